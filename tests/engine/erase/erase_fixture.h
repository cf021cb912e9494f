#pragma once
// The erase engine's test fixture: fake drives named fake:drive0 to
// fake:drive3 whose old contents differ from every pattern, a clock whose
// ticks (and so the random seeds) the test chooses, and a recorder for the
// log and the progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/erase/erase_disk.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"

// Named, so that the fixture is one class in every test file.
namespace erase_test {

inline constexpr uint64_t MIB = 0x100000;
// The tick of the fixed clock: slot s's random sequences are seeded with
// FIXED_TICK + s.
inline constexpr uint32_t FIXED_TICK = 123456;

inline std::string Drive(int i)
{
    return "fake:drive" + std::to_string(i);
}

// The C run-time's rand() bytes from a seed, one step at a time, XORed
// with nMask: what a pass of that seed must leave on the drive.
inline std::vector<uint8_t> RandBytes(uint32_t nSeed, size_t nSize, uint8_t nMask = 0)
{
    std::vector<uint8_t> data(nSize);
    uint32_t nState = nSeed;
    for (uint8_t& b : data) {
        nState = nState * 214013u + 2531011u;
        b = static_cast<uint8_t>(((nState >> 16) & 0x7FFF) ^ nMask);
    }
    return data;
}

// Records what each pass wrote to a drive: a write at offset 0 opens a new
// pass. (Useful only without write-differences-only.)
class CPassRecorder {
public:
    explicit CPassRecorder(CFakeDisk& disk)
    {
        disk.SetWriteHook([this](uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents) {
            if (nOffset == 0) m_passes.emplace_back();
            m_passes.back().insert(m_passes.back().end(), contents.begin() + static_cast<ptrdiff_t>(nOffset),
                                   contents.begin() + static_cast<ptrdiff_t>(nOffset + nCount));
        });
    }
    // Read after the run only.
    const std::vector<std::vector<uint8_t>>& Passes() const { return m_passes; }

private:
    std::vector<std::vector<uint8_t>> m_passes;
};

class EraseDiskTest : public ::testing::Test {
protected:
    // Rows that differ from the slots, so a message with the slot instead
    // of the row shows.
    static constexpr int ROWS[CEraseDisk::MAX_TARGETS] = {2, 0, 3, 1};

    void SetUp() override
    {
        ResetJobOptions();
        m_engine.m_pDevices = &m_devices;
        m_engine.m_hNotifyWnd = &m_recorder;
        m_engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
        m_engine.m_dwInterval = 20;
        m_engine.m_fnTick = [] { return FIXED_TICK; };
        std::copy(std::begin(ROWS), std::end(ROWS), m_engine.m_nRow);
    }
    void TearDown() override { ResetJobOptions(); }

    // Drive i: nSize bytes of old data.
    std::shared_ptr<CFakeDisk> AddDrive(int i, uint64_t nSize)
    {
        auto pDisk = std::make_shared<CFakeDisk>(Pattern(static_cast<size_t>(nSize), static_cast<uint8_t>(50 + i)));
        m_devices.Add(Drive(i), pDisk);
        m_drives.push_back(pDisk);
        return pDisk;
    }
    // A clock that gives every call a new tick, so that every random
    // sequence gets a seed of its own.
    void CountingClock()
    {
        m_engine.m_fnTick = [this] { return m_nTicks.fetch_add(1) + 1; };
    }

    // Erases drives 0..nCount-1 with method nMethod and the smallest pool.
    bool Erase(int nCount, uint32_t nMethod, uint32_t nBlocks = 16)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < nCount; ++i) paths.push_back(Drive(i));
        return m_engine.Run(nCount, paths.data(), nMethod, nBlocks);
    }

    bool Logged(const std::string& strPart) { return m_recorder.LogText().find(strPart) != std::string::npos; }
    // The log lines that contain strPart, in order.
    std::vector<std::string> LinesWith(const std::string& strPart)
    {
        std::vector<std::string> lines;
        for (const T_LOG_LINE& line : m_recorder.LogLines()) {
            if (line.strText.find(strPart) != std::string::npos) lines.push_back(line.strText);
        }
        return lines;
    }
    void ExpectAllClosed()
    {
        for (const auto& pDisk : m_drives) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    }

    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    CEraseDisk m_engine;
    std::vector<std::shared_ptr<CFakeDisk>> m_drives;
    std::atomic<uint32_t> m_nTicks{0};
};

}  // namespace erase_test

using namespace erase_test;
