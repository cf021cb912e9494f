// Where every progress code goes, the whole-job and remaining-time texts,
// and the image checksum task's reports.
#include <gtest/gtest.h>

#include "ui/model/checksum_display.h"
#include "ui/model/control_ids.h"
#include "ui/model/progress_routing.h"

namespace {

struct T_EXPECT {
    uint32_t nCode;
    EProgressEffect eEffect;
    uint32_t nControlId;
    int nBar;
};

}  // namespace

TEST(ProgressRouting, EveryCodeReachesItsControlAndBar)
{
    std::vector<T_EXPECT> expected = {
        {PROGRESS_TOTAL, EProgressEffect::TotalBar, IDC_TOTAL_PROGRESS, 0},
        {PROGRESS_REMAIN, EProgressEffect::RemainText, IDC_REMAIN, -1},
        {PROGRESS_IMAGE, EProgressEffect::Bar, IDC_IMAGE_PROGRESS, 0},
        {PROGRESS_IMAGE_VERIFY, EProgressEffect::Bar, IDC_IMAGE_PROGRESS, 1},
        {PROGRESS_IMAGE_SPEED, EProgressEffect::SpeedText, IDC_IMAGE_PROGRESS, -1},
        {PROGRESS_CHECKSUM, EProgressEffect::Bar, IDC_IMAGE_PROGRESS, 3},
    };
    for (uint32_t r = 0; r < 4; ++r) {
        expected.push_back({PROGRESS_DRIVE + r, EProgressEffect::Bar, IDC_ROW_PROGRESS[r], 0});
        expected.push_back({PROGRESS_DRIVE_VERIFY + r, EProgressEffect::Bar, IDC_ROW_PROGRESS[r], 1});
        expected.push_back({PROGRESS_DRIVE_SPEED + r, EProgressEffect::SpeedText, IDC_ROW_PROGRESS[r], -1});
    }
    for (const T_EXPECT& e : expected) {
        const T_PROGRESS_ROUTE route = RouteProgress(e.nCode);
        EXPECT_EQ(route.eEffect, e.eEffect) << e.nCode;
        EXPECT_EQ(route.nControlId, e.nControlId) << e.nCode;
        EXPECT_EQ(route.nBar, e.nBar) << e.nCode;
        // The text routes are exactly the codes whose value is a heap string.
        EXPECT_EQ(route.eEffect == EProgressEffect::SpeedText, IsProgressText(e.nCode)) << e.nCode;
        if (route.eTarget == EProgressTarget::Row) {
            EXPECT_EQ(IDC_ROW_PROGRESS[static_cast<size_t>(route.nRow)], e.nControlId);
        }
    }
    for (uint32_t nCode : {2u, 999u, 1001u, 1150u, 1999u, 2004u, 2049u, 2054u, 2104u, 3000u}) {
        EXPECT_EQ(RouteProgress(nCode).eTarget, EProgressTarget::None) << nCode;
        EXPECT_EQ(RouteProgress(nCode).nControlId, 0u) << nCode;
    }
}

TEST(ProgressRouting, AControlKeepsItsLastMeasuredSpeedUntilTheNextJob)
{
    CShownSpeeds speeds;
    const T_PROGRESS_ROUTE row = RouteProgress(PROGRESS_DRIVE_SPEED + 1);
    EXPECT_TRUE(speeds.Shows(row, SpeedText(0.0)));  // nothing measured yet
    EXPECT_TRUE(speeds.Shows(row, "    12.00MB/s"));
    EXPECT_FALSE(speeds.Shows(row, SpeedText(0.0)));
    EXPECT_TRUE(speeds.Shows(RouteProgress(PROGRESS_IMAGE_SPEED), SpeedText(0.0)));  // each control apart
    speeds.Reset();
    EXPECT_TRUE(speeds.Shows(row, SpeedText(0.0)));
}

TEST(ProgressRouting, TheWholeJobShowsPerMilleAsAPercentage)
{
    EXPECT_EQ(TotalPercentText(1000), "100.0%");
    EXPECT_EQ(TotalPercentText(0), "0.0%");
    EXPECT_EQ(TotalPercentText(425), "42.5%");
}

TEST(ProgressRouting, RemainingTimeIsRoundedMoreCoarselyAsItGrows)
{
    EXPECT_EQ(RemainText(0), "0秒");
    EXPECT_EQ(RemainText(59), "59秒");
    EXPECT_EQ(RemainText(60), "1分0秒");
    EXPECT_EQ(RemainText(3599), "59分59秒");
    EXPECT_EQ(RemainText(3600), "1時間0分");
    EXPECT_EQ(RemainText(5369), "1時間29分");  // 29 min 29 s rounds down
    EXPECT_EQ(RemainText(5370), "1時間30分");  // 29 min 30 s rounds up
    EXPECT_EQ(RemainText(34200), "9時間30分");
    EXPECT_EQ(RemainText(34201), "10時間");  // 9.5 hours round up
    EXPECT_EQ(RemainText(37799), "10時間");
    EXPECT_EQ(RemainText(37800), "11時間");
    // Beyond 32 bits of seconds the hours do not wrap, and a negative
    // remaining time (a clock that went back) is no time left.
    EXPECT_EQ(RemainText(int64_t{3600} * 2'000'000), "2000000時間");
    EXPECT_EQ(RemainText(-5), "0秒");
}

TEST(ChecksumDisplay, StatesDigestVerdictAndSizeEachChangeTheirOwnControl)
{
    const T_CHECKSUM_VIEW started = ChecksumViewOf(CHECKSUM_STATE, CHECKSUM_STATE_STARTED, "");
    EXPECT_EQ(started.strDigest, "計算中");
    EXPECT_EQ(started.strVerdict, "");
    EXPECT_FALSE(started.strImageText || started.bFreeString);
    EXPECT_EQ(ChecksumViewOf(CHECKSUM_STATE, CHECKSUM_STATE_CANCELLED, "").strDigest, "計算中止");
    EXPECT_EQ(ChecksumViewOf(CHECKSUM_STATE, CHECKSUM_STATE_FAILED, "").strDigest, "エラー");
    const T_CHECKSUM_VIEW other = ChecksumViewOf(CHECKSUM_STATE, 7, "");
    EXPECT_FALSE(other.strDigest.has_value());
    EXPECT_EQ(other.strVerdict, "");

    const std::string strDigest = "d41d8cd98f00b204e9800998ecf8427e";
    const T_CHECKSUM_VIEW digest = ChecksumViewOf(CHECKSUM_DIGEST, 0, strDigest);
    EXPECT_EQ(digest.strDigest, strDigest);
    EXPECT_TRUE(digest.bFreeString && !digest.strVerdict);

    const T_CHECKSUM_VIEW ok = ChecksumViewOf(CHECKSUM_VERDICT, 0, "");
    EXPECT_EQ(ok.strVerdict, "OK");
    EXPECT_TRUE(ok.bClearImageBars && !ok.bFreeString);
    EXPECT_EQ(ChecksumViewOf(CHECKSUM_VERDICT, 1, "").strVerdict, "NG");

    const T_CHECKSUM_VIEW size = ChecksumViewOf(CHECKSUM_SIZE, 0, "16008609792");
    EXPECT_EQ(size.strImageText, "16008609792");
    EXPECT_TRUE(size.bUpdateControls && size.bFreeString && !size.strDigest);
}
