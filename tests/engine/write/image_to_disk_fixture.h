#pragma once
// The write engine's test fixture: fake target drives, a fake image file
// (raw, or compressed here with CZLIBIO), and a recorder for the log,
// progress and the per-target failure messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/md5.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/write/image_to_disk.h"
#include "engine/zlib/zlib_io.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"

// Named, so that the fixture is one class in every test file.
namespace write_test {

inline constexpr uint64_t MIB = 0x100000;
inline const std::string FAKE_IMAGE = "fake:image";

inline std::string Target(int i)
{
    return "fake:target" + std::to_string(i);
}

inline std::string Md5Of(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return Md5Text(md5.Final());
}

inline std::vector<uint8_t> Head(const std::vector<uint8_t>& data, uint64_t nSize)
{
    return std::vector<uint8_t>(data.begin(), data.begin() + static_cast<ptrdiff_t>(nSize));
}

// The data as one compressed image, written block by block as the read
// engine writes it.
inline std::vector<uint8_t> Compress(const std::vector<uint8_t>& data)
{
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
    pFile->GrowOnWrite();
    CFakeDeviceProvider provider;
    provider.Add("fake:gz", pFile);
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pHandle = provider.Open("fake:gz", EOpenMode::CreateImageAlways, nError);
    CZLIBIO zlib;
    EXPECT_TRUE(zlib.InitWrite(*pHandle).bOk);
    for (size_t nPos = 0; nPos < data.size(); nPos += MIB) {
        const auto nCount = static_cast<uint32_t>(std::min<size_t>(MIB, data.size() - nPos));
        EXPECT_TRUE(zlib.WriteCompressFile(data.data() + nPos, nCount).bOk);
    }
    EXPECT_TRUE(zlib.CommitWrite().bOk);
    zlib.Release();
    return pFile->Contents();
}

class ImageToDiskTest : public ::testing::Test {
protected:
    // Rows that differ from the slots, so a message with the slot instead
    // of the row shows.
    static constexpr int ROWS[CImageToDisk::MAX_TARGETS] = {2, 0, 3, 1};

    void SetUp() override
    {
        ResetJobOptions();
        Wire(m_engine);
    }
    // An engine as a job sets it up, on the fixture's devices and recorder
    // (tests that run several jobs use fresh engines).
    void Wire(CImageToDisk& engine)
    {
        engine.m_pDevices = &m_devices;
        engine.m_hNotifyWnd = &m_recorder;
        engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
        engine.m_uErrorMsg = WM_USER_ERROR;
        engine.m_dwInterval = 20;
        std::copy(std::begin(ROWS), std::end(ROWS), engine.m_nRow);
    }
    void TearDown() override { ResetJobOptions(); }

    // Target i: a drive of nSize bytes whose old contents differ from any image.
    std::shared_ptr<CFakeDisk> AddTarget(int i, uint64_t nSize)
    {
        auto pDisk = std::make_shared<CFakeDisk>(Pattern(static_cast<size_t>(nSize), static_cast<uint8_t>(100 + i)));
        m_devices.Add(Target(i), pDisk);
        m_targets.push_back(pDisk);
        return pDisk;
    }
    // The image file, holding these bytes as they stand.
    std::shared_ptr<CFakeDisk> AddImageFile(std::vector<uint8_t> contents)
    {
        m_pImage = std::make_shared<CFakeDisk>(std::move(contents));
        m_pImage->SetKind(EDeviceKind::RegularFile);
        m_devices.Add(FAKE_IMAGE, m_pImage);
        return m_pImage;
    }
    // A raw image of nSize bytes; its data are returned.
    std::vector<uint8_t> RawImage(uint64_t nSize)
    {
        std::vector<uint8_t> data = Pattern(static_cast<size_t>(nSize), 7);
        AddImageFile(data);
        return data;
    }
    // A compressed image of these data, and the job option that goes with it.
    void CompressedImage(const std::vector<uint8_t>& data)
    {
        AddImageFile(Compress(data));
        g_bOptCompressImage = true;
    }

    // Writes the image to targets 0..nCount-1.
    bool RunWrite(int nCount, uint32_t nBlocks = 16)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < nCount; ++i) paths.push_back(Target(i));
        return m_engine.Run(nCount, paths.data(), FAKE_IMAGE, nBlocks);
    }

    // The rows that WM_USER_ERROR reported, in order.
    std::vector<int64_t> ErrorRows()
    {
        std::vector<int64_t> rows;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
            if (msg.uMsg == WM_USER_ERROR) rows.push_back(static_cast<int64_t>(msg.lParam));
        }
        return rows;
    }
    // The style word of the first log line with this text; 0 when none.
    uint32_t WordOf(const std::string& strText)
    {
        for (const T_LOG_LINE& line : m_recorder.LogLines()) {
            if (line.strText == strText) return line.dwWord;
        }
        return 0;
    }
    bool Logged(const std::string& strPart) { return m_recorder.LogText().find(strPart) != std::string::npos; }
    // Every handle the run opened was closed again.
    void ExpectAllClosed()
    {
        for (const auto& pDisk : m_targets) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
        if (m_pImage) {
            EXPECT_EQ(m_pImage->OpenCount(), m_pImage->CloseCount());
        }
    }

    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    CImageToDisk m_engine;
    std::vector<std::shared_ptr<CFakeDisk>> m_targets;
    std::shared_ptr<CFakeDisk> m_pImage;
};

}  // namespace write_test

using namespace write_test;
