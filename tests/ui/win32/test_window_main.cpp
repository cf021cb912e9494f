// The main window without a job: the log under a flood of messages and the
// image's checksum. (The window's and the setup dialog's settings: their
// round trips in tests/ui and tests/drives.)
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/checksum/md5sum_file.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

TEST(MainWindowLog, AFloodOfLinesArrivesWholeAndInOrderAndProgressShowsTheLastReport)
{
    CWindowHarness harness;
    harness.Open();
    const HWND hWnd = harness.Window();
    for (int i = 0; i < 3000; ++i) {
        char* pszText = NewHeapString("line " + std::to_string(i) + "\n");
        ASSERT_TRUE(::PostMessageW(hWnd, WM_ENGINE_LOG, i == 7 ? 0x80000000u | 0x0000FF : 0xFFFFFF,
                                   reinterpret_cast<LPARAM>(pszText)));
        ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_TOTAL, i % 1001);
    }
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_TOTAL, 1000);
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_REMAIN, 3600);
    PumpFor(300ms);
    harness.Dialog().FlushDisplay();
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_NE(strLog.find("line 0\nline 1\n"), std::string::npos);
    EXPECT_NE(strLog.find("[ERROR] line 7\nline 8\n"), std::string::npos);
    EXPECT_NE(strLog.find("line 2998\nline 2999\n"), std::string::npos);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_TOTAL_PROGRESS), "100.0%");
    EXPECT_EQ(harness.Text(IDC_REMAIN), "1時間0分");
}

TEST(WindowChecksum, AChosenImageShowsItsSizeAndDigestAndTheMd5sumFilesVerdict)
{
    CWindowHarness harness;
    std::vector<uint8_t> image(3 * 1024 * 1024 + 17);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    const std::string strImage = harness.m_temp.File("image.gmi");
    WriteWholeFile(strImage, image);
    CMd5 md5;
    md5.Update(image.data(), image.size());
    T_MD5_DIGEST digest = md5.Final();
    harness.Open();
    // Chooses the image afresh; the verdict it shows once its digest is in.
    const auto verdictAfterChoosing = [&](const std::string& strExpected) {
        harness.SetImagePath("");
        EXPECT_EQ(harness.Text(IDC_IMAGE_DIGEST), "");
        harness.SetImagePath(strImage);
        EXPECT_EQ(harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), std::to_string(image.size()));
        EXPECT_TRUE(PumpUntil([&] { return harness.Text(IDC_IMAGE_DIGEST).size() == 32; }, 20s));
        PumpUntil([&] { return harness.Text(IDC_IMAGE_VERDICT) == strExpected; }, strExpected.empty() ? 200ms : 5s);
        return harness.Text(IDC_IMAGE_VERDICT);
    };
    EXPECT_EQ(verdictAfterChoosing(""), "") << "no .md5sum file";
    EXPECT_EQ(harness.Text(IDC_IMAGE_DIGEST), DigestText(digest));
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(harness.m_devices, strImage, digest, nError));
    EXPECT_EQ(verdictAfterChoosing("OK"), "OK");
    digest[0] ^= 0xFF;
    ASSERT_TRUE(WriteMd5SumFile(harness.m_devices, strImage, digest, nError));
    EXPECT_EQ(verdictAfterChoosing("NG"), "NG");
}

}  // namespace
