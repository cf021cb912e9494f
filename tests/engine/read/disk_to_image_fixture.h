#pragma once
// The read engine's test fixture: a fake drive, a real or fake image, a
// recorder for the log and progress, and scripted answers.
#include <gtest/gtest.h>

#include "engine/read/disk_to_image.h"
#include "engine/device/fake/fake_device.h"
#include "engine/core/job_options.h"
#include "engine/core/md5.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

// Named, so that the fixture is one class in every test file.
namespace read_test {

inline constexpr uint64_t MIB = 0x100000;
inline const std::string DRIVE = "fake:drive0";
inline const std::string FAKE_IMAGE = "fake:image";

inline std::string Md5Of(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return Md5Text(md5.Final());
}

class CScriptedPrompt : public IPrompt {
public:
    explicit CScriptedPrompt(bool bAnswer) : m_bAnswer(bAnswer) {}
    bool AskYesNo(INotifyTarget*, std::string_view strText, std::string_view strCaption) override
    {
        ++m_nAsked;
        m_strText = strText;
        m_strCaption = strCaption;
        return m_bAnswer;
    }
    bool m_bAnswer;
    int m_nAsked = 0;
    std::string m_strText, m_strCaption;
};

class DiskToImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetJobOptions();
        m_engine.m_pDevices = &m_devices;
        m_engine.m_hNotifyWnd = &m_recorder;
        m_engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
        m_engine.m_dwInterval = 20;
        m_engine.m_nRow = 2;
    }
    void TearDown() override { ResetJobOptions(); }

    // Runs the engine on the fake drive into image.gmi of the temp folder.
    bool RunRead(std::shared_ptr<CFakeDisk> pDisk, IPrompt* pPrompt = nullptr)
    {
        m_devices.Add(DRIVE, pDisk);
        m_engine.m_pPrompt = pPrompt;
        const bool bResult = m_engine.Run(DRIVE, Image(), 16);
        m_strDigest = Md5Text(m_engine.m_digest);
        return bResult;
    }
    std::string Image() const { return m_dir.File("image.gmi"); }
    // A fake image file that grows as it is written.
    std::shared_ptr<CFakeDisk> FakeImage(const std::string& strPath = FAKE_IMAGE)
    {
        auto pImage = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
        pImage->SetKind(EDeviceKind::RegularFile);
        pImage->GrowOnWrite();
        m_devices.Add(strPath, pImage);
        return pImage;
    }

    CTempDir m_dir;
    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    CDiskToImage m_engine;
    std::string m_strDigest;
};

}  // namespace read_test

using namespace read_test;
