#pragma once
// Helpers of the engine tests: watching threads that must wait or finish,
// reproducible data and its digest, and the fixture of the platform device tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/core/md5.h"
#include "engine/device/device.h"
#include "tests/support/temp_dir.h"

// Only detects a hang; a correct pool or queue answers in microseconds.
inline constexpr auto HANG_LIMIT = std::chrono::seconds(30);
// How long a waiter is watched to see that it really waits. A correct waiter
// never returns early, so a loaded machine can only weaken this check.
inline constexpr auto WATCH = std::chrono::milliseconds(50);

template <class T>
bool StillWaiting(const std::future<T>& f)
{
    return f.wait_for(WATCH) == std::future_status::timeout;
}

template <class T>
bool Finishes(const std::future<T>& f)
{
    return f.wait_for(HANG_LIMIT) == std::future_status::ready;
}

template <class F>
auto Async(F&& f)
{
    return std::async(std::launch::async, std::forward<F>(f));
}

// Declared after a test's futures, so that a failing test still wakes its
// waiters (the futures' destructors join them) instead of hanging.
template <class T>
struct T_ABORT_ON_EXIT {
    T& target;
    ~T_ABORT_ON_EXIT() { target.Abort(); }
};

// Runs fnRun on this thread and stops the engine from another one once
// bReady says so (or after a long while, to fail instead of hanging). The
// run must then return within nLimit, however long it would have taken.
template <class TEngine, class F, class G>
void StopWhen(TEngine& engine, F bReady, G fnRun, std::chrono::seconds nLimit = std::chrono::seconds(1))
{
    using namespace std::chrono;
    steady_clock::time_point stopped{};
    std::thread stopper([&] {
        const auto deadline = steady_clock::now() + seconds(20);
        while (!bReady() && steady_clock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
        EXPECT_TRUE(bReady()) << "the run never came to the place it was to be stopped at";
        stopped = steady_clock::now();
        engine.Abort();
    });
    EXPECT_FALSE(fnRun());
    const auto returned = steady_clock::now();
    stopper.join();
    EXPECT_LT(returned - stopped, nLimit);
}

// Every 8-byte word differs from every other word of any pattern, so data
// read from a wrong offset or a wrong seed never matches.
inline std::vector<uint8_t> Pattern(size_t nSize, uint8_t nSeed)
{
    std::vector<uint8_t> data(nSize);
    for (size_t i = 0; i < nSize; ++i) {
        const uint64_t x = (i / 8 + 1 + (uint64_t{nSeed} << 48)) * 0x9E3779B97F4A7C15ull;
        data[i] = static_cast<uint8_t>(x >> (8 * (i % 8)));
    }
    return data;
}

inline std::string Md5Of(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return DigestText(md5.Final());
}

inline std::string Sha256Of(const std::vector<uint8_t>& data)
{
    CSha256 sha256;
    sha256.Update(data.data(), data.size());
    return DigestText(sha256.Final());
}

// A temporary folder, and opening through the platform's adapter with the
// error code kept.
class PlatformDeviceTest : public ::testing::Test {
protected:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode)
    {
        m_nError = 0;
        return GetPlatformDevices().Open(strPath, eMode, m_nError);
    }

    CTempDir m_dir;
    uint32_t m_nError = 0;
};
