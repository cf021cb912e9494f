#pragma once
// The compare engine's test fixture: fake drives named fake:drive0 to
// fake:drive4, an image file (raw or compressed) in a temporary folder or a
// fake image with faults, and a recorder for the log, the progress and the
// failure messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/zlib/zlib_io.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

// Named, so that the fixture is one class in every test file.
namespace compare_test {

inline constexpr uint64_t MIB = 0x100000;
inline const std::string FAKE_IMAGE = "fake:image";

inline std::string Drive(size_t i)
{
    return "fake:drive" + std::to_string(i);
}

inline std::string IoErrorText()
{
    return GetSystemErrorText(SystemError::IoError());
}

class CompareDiskImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetJobOptions();
        m_engine.m_pDevices = &m_devices;
        m_engine.m_hNotifyWnd = &m_recorder;
        m_engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
        m_engine.m_uErrorMsg = WM_USER_ERROR;
        m_engine.m_dwInterval = 20;
    }
    void TearDown() override { ResetJobOptions(); }

    // Compares the drives, added as fake:drive0, fake:drive1, ..., with the
    // image at strImage, using the smallest pool.
    bool Compare(const std::vector<std::shared_ptr<CFakeDisk>>& drives, const std::string& strImage)
    {
        std::vector<std::string> paths;
        for (size_t i = 0; i < drives.size(); ++i) {
            m_devices.Add(Drive(i), drives[i]);
            paths.push_back(Drive(i));
        }
        return m_engine.Run(paths, strImage, 16);
    }

    // A raw image file holding data.
    std::string RawImage(const std::vector<uint8_t>& data)
    {
        const std::string strPath = m_dir.File("image.gmi");
        WriteWholeFile(strPath, data);
        return strPath;
    }

    // A compressed image file holding data, written as the read engine
    // writes one: 1 MiB at a time, then the finishing step.
    std::string CompressedImage(const std::vector<uint8_t>& data)
    {
        const std::string strPath = m_dir.File("image.gmz");
        uint32_t nError = 0;
        std::unique_ptr<IDevice> pFile = GetPlatformDevices().Open(strPath, EOpenMode::CreateImageNew, nError);
        EXPECT_NE(pFile, nullptr);
        if (!pFile) return strPath;
        CZLIBIO zlib;
        bool bOk = zlib.InitWrite(*pFile).bOk;
        for (size_t nPos = 0; bOk && nPos < data.size(); nPos += MIB) {
            const size_t nCount = std::min<size_t>(MIB, data.size() - nPos);
            bOk = zlib.WriteCompressFile(data.data() + nPos, static_cast<uint32_t>(nCount)).bOk;
        }
        EXPECT_TRUE(bOk && zlib.CommitWrite().bOk);
        zlib.Release();
        return strPath;
    }

    // A fake image file, for faults and for counting its reads and handles.
    std::shared_ptr<CFakeDisk> FakeImage(const std::vector<uint8_t>& data)
    {
        auto pImage = std::make_shared<CFakeDisk>(data);
        pImage->SetKind(EDeviceKind::RegularFile);
        m_devices.Add(FAKE_IMAGE, pImage);
        return pImage;
    }

    // The rows of the failure messages posted, in order; each must carry
    // wParam 0, the engines' mark.
    std::vector<int64_t> FailedRows()
    {
        std::vector<int64_t> rows;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg != WM_USER_ERROR) continue;
            EXPECT_EQ(msg.wParam, 0u);
            rows.push_back(static_cast<int64_t>(msg.lParam));
        }
        return rows;
    }

    // Log lines of one style.
    size_t CountStyled(uint16_t nStyle)
    {
        const auto lines = m_recorder.LogLines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const T_LOG_LINE& line) {
            return line.dwWord == ComposeLogWord(nStyle);
        }));
    }

    // The progress codes posted, in order.
    std::vector<uint32_t> ProgressCodes()
    {
        std::vector<uint32_t> codes;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg == WM_ENGINE_PROGRESS) codes.push_back(static_cast<uint32_t>(msg.wParam));
        }
        return codes;
    }

    CTempDir m_dir;
    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    CCompareDiskImage m_engine;
};

}  // namespace compare_test

using namespace compare_test;
