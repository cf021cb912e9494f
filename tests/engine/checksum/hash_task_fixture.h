#pragma once
// The checksum task's test fixture: the task posting to a recorder, fake
// image files, and the task's results in the order they came.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/checksum/hash_task.h"
#include "engine/core/md5.h"
#include "engine/core/progress.h"
#include "engine/device/fake/fake_device.h"
#include "tests/engine/test_helpers.h"
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/recorder.h"

namespace hash_test {

class HashTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_task.m_hNotifyWnd = &m_recorder;
        m_task.m_pDevices = &m_devices;
    }

    std::shared_ptr<CFakeDisk> AddImage(const std::string& strPath, const std::vector<uint8_t>& contents)
    {
        auto pImage = std::make_shared<CFakeDisk>(contents);
        pImage->SetKind(EDeviceKind::RegularFile);
        m_devices.Add(strPath, pImage);
        return pImage;
    }

    // Starts the task if it is not running and waits for one calculation.
    void Calculate(const std::string& strPath, bool bCompressed = false)
    {
        ASSERT_TRUE(m_task.Start());
        const EImageFormat eFormat = bCompressed ? EImageFormat::Gzip : EImageFormat::Raw;
        ASSERT_TRUE(m_task.WaitFinished(m_task.Request(strPath, eFormat), HANG_LIMIT));
    }

    // The WM_CHECKSUM_RESULT messages so far as "code:value": "0:0" the
    // start, "3:1024" a size, "1:<digest>", "2:0" a verdict, "0:2" a failure.
    std::vector<std::string> Results()
    {
        std::vector<std::string> results;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg != WM_CHECKSUM_RESULT) continue;
            const bool bText = ChecksumReportCarriesString(msg.wParam);
            results.push_back(std::to_string(msg.wParam) + ":" +
                              (bText ? std::string(HeapStringOf(msg.lParam)) : std::to_string(msg.lParam)));
        }
        return results;
    }

    bool WaitForResult(const std::string& strResult)
    {
        for (auto tEnd = std::chrono::steady_clock::now() + HANG_LIMIT; std::chrono::steady_clock::now() < tEnd;) {
            const std::vector<std::string> results = Results();
            if (std::find(results.begin(), results.end(), strResult) != results.end()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    CHashTask m_task;  // last: it has quit before the others go
};

}  // namespace hash_test

using namespace hash_test;
