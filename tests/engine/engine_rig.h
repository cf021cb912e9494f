#pragma once
// The rig of the engines that take a T_ENGINE_JOB: fake drives named
// fake:drive0 to fake:drive4 whose old contents differ from any image or
// pattern, a fake image file, the job as a job runner would hand it (rows
// that differ from the slots, so a message with the slot instead of the
// row shows), and a recorder for the log, the progress and the failures.
// Images may be compressed, made here by the sequential stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/compare/compare_disk_image.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/run/engine_job.h"
#include "engine/write/image_to_disk.h"
#include "tests/engine/test_helpers.h"
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/recorder.h"

namespace engine_test {

class EngineRig;
using WriteTest = EngineRig;
using CompareTest = EngineRig;

inline constexpr uint64_t MIB = 0x100000;
inline const std::string IMAGE = "fake:image";
inline constexpr int ROWS[] = {2, 0, 3, 1, 4};

inline std::string Drive(int i)
{
    return "fake:drive" + std::to_string(i);
}

inline std::string IoError()
{
    return GetSystemErrorText(SystemError::IoError()) + "\n";
}

// data[nFrom, nTo) equals other[nFrom, nTo).
inline bool SameRange(const std::vector<uint8_t>& data, const std::vector<uint8_t>& other, uint64_t nFrom, uint64_t nTo)
{
    return std::equal(data.begin() + static_cast<ptrdiff_t>(nFrom), data.begin() + static_cast<ptrdiff_t>(nTo),
                      other.begin() + static_cast<ptrdiff_t>(nFrom));
}

// The data with the byte at each offset changed.
inline std::vector<uint8_t> Changed(std::vector<uint8_t> data, const std::vector<uint64_t>& offsets)
{
    for (uint64_t nOffset : offsets) data[nOffset] ^= 0x5A;
    return data;
}

// Its members are open to the tables of test cases that drive it.
class EngineRig : public ::testing::Test {
public:
    // Drive i: nSize bytes of old data.
    std::shared_ptr<CFakeDisk> AddDrive(int i, uint64_t nSize)
    {
        return AddDriveWith(i, Pattern(static_cast<size_t>(nSize), static_cast<uint8_t>(100 + i)));
    }
    std::shared_ptr<CFakeDisk> AddDriveWith(int i, std::vector<uint8_t> contents)
    {
        auto pDisk = std::make_shared<CFakeDisk>(std::move(contents));
        m_devices.Add(Drive(i), pDisk);
        m_drives.push_back(pDisk);
        return pDisk;
    }
    // The image file, holding these bytes as they stand.
    std::shared_ptr<CFakeDisk> AddImage(std::vector<uint8_t> contents)
    {
        m_pImage = std::make_shared<CFakeDisk>(std::move(contents));
        m_pImage->SetKind(EDeviceKind::RegularFile);
        m_devices.Add(IMAGE, m_pImage);
        return m_pImage;
    }
    // A raw image of nSize bytes; its data are returned.
    std::vector<uint8_t> RawImage(uint64_t nSize)
    {
        std::vector<uint8_t> data = Pattern(static_cast<size_t>(nSize), 7);
        AddImage(data);
        return data;
    }

    // A compressed image of these data, and the option that goes with it.
    void CompressedImage(const std::vector<uint8_t>& data)
    {
        AddImage(CompressToMemory(data));
        m_options.bCompressImage = true;
    }
    // Starts the next case of a table: no lines, no drives.
    void NextCase()
    {
        m_recorder.Clear();
        m_drives.clear();
    }

    // The job over drives 0..nDrives-1 with the rig's options, method and
    // clock, the smallest pool and a short progress interval.
    T_ENGINE_JOB Job(int nDrives)
    {
        T_ENGINE_JOB job;
        job.options = m_options;
        job.wiring = T_ENGINE_WIRING{&m_recorder, WM_ENGINE_PROGRESS, WM_USER_ERROR, 20, &m_devices, m_fnTick};
        for (int i = 0; i < nDrives; ++i) job.arrDrives.push_back(T_ENGINE_DRIVE{Drive(i), "", ROWS[i]});
        job.strImage = IMAGE;
        job.nEraseMethod = m_nMethod;
        return job;
    }

    // The image to, or compared with, drives 0..nDrives-1 by a fresh engine.
    T_ENGINE_RESULT Write(int nDrives) { return CImageToDisk().Run(Job(nDrives)); }
    T_ENGINE_RESULT Compare(int nDrives) { return CCompareDiskImage().Run(Job(nDrives)); }

    bool Logged(const std::string& strPart) { return m_recorder.LogText().find(strPart) != std::string::npos; }
    size_t Count(const std::string& strLine) { return m_recorder.CountLines(strLine); }
    // The log lines that contain strPart, in order.
    std::vector<std::string> LinesWith(const std::string& strPart)
    {
        std::vector<std::string> lines;
        for (const T_LOG_LINE& line : m_recorder.LogLines()) {
            if (line.strText.find(strPart) != std::string::npos) lines.push_back(line.strText);
        }
        return lines;
    }
    // Log lines of one style.
    size_t CountStyled(uint16_t nStyle)
    {
        const auto lines = m_recorder.LogLines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const T_LOG_LINE& line) {
            return line.dwWord == ComposeLogWord(nStyle);
        }));
    }
    // The style word of the first log line with this text; 0 when none.
    uint32_t WordOf(const std::string& strText)
    {
        for (const T_LOG_LINE& line : m_recorder.LogLines()) {
            if (line.strText == strText) return line.dwWord;
        }
        return 0;
    }
    // The rows the failure message reported, in order.
    std::vector<int64_t> FailedRows()
    {
        std::vector<int64_t> rows;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg == WM_USER_ERROR) rows.push_back(static_cast<int64_t>(msg.lParam));
        }
        return rows;
    }
    // Every handle the run opened was closed again.
    void ExpectAllClosed()
    {
        for (const auto& pDisk : m_drives) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
        if (m_pImage) {
            EXPECT_EQ(m_pImage->OpenCount(), m_pImage->CloseCount());
        }
    }
    // The drive's first write waits until strLine has been logged, and a
    // while more, so that a run that stops on that failure has stopped (at
    // most 20 s, so that a broken engine fails instead of hanging).
    void HoldUntilLogged(CFakeDisk& disk, const std::string& strLine)
    {
        disk.SetWriteHook([this, strLine, bHeld = false](uint64_t, uint32_t, std::vector<uint8_t>&) mutable {
            if (bHeld) return;
            bHeld = true;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!Logged(strLine) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
    }

    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    std::vector<std::shared_ptr<CFakeDisk>> m_drives;
    std::shared_ptr<CFakeDisk> m_pImage;
    T_JOB_OPTIONS m_options;
    uint32_t m_nMethod = 1;
    TTickSource m_fnTick;  // empty: the real clock
};

}  // namespace engine_test
