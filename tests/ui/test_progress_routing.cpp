// Where the engines' reports go: each row's codes to that row's control,
// codes nobody shows ignored, the remaining time's rounding, and the
// checksum task's reports.
#include <gtest/gtest.h>

#include "engine/core/notify_queue.h"
#include "ui/model/control_ids.h"
#include "ui/model/progress_routing.h"

TEST(ProgressRouting, EachRowsCodesReachThatRowsControlAndOnlyTextCodesCarryStrings)
{
    for (uint32_t r = 0; r < ROW_COUNT; ++r) {
        for (uint32_t nBase : {PROGRESS_DRIVE, PROGRESS_DRIVE_VERIFY, PROGRESS_DRIVE_SPEED}) {
            const T_PROGRESS_ROUTE route = RouteProgress(nBase + r);
            EXPECT_EQ(route.eTarget, EProgressTarget::Row);
            EXPECT_EQ(route.nRow, static_cast<int>(r));
            EXPECT_EQ(route.nControlId, IDC_ROW_PROGRESS[r]);
        }
        EXPECT_NE(RouteProgress(PROGRESS_DRIVE + r).nBar, RouteProgress(PROGRESS_DRIVE_VERIFY + r).nBar);
    }
    for (uint32_t nCode = 0; nCode < 3000; ++nCode) {
        const T_PROGRESS_ROUTE route = RouteProgress(nCode);
        // A heap string must reach a text route, or nobody frees it.
        EXPECT_EQ(route.eEffect == EProgressEffect::SpeedText, IsProgressText(nCode)) << nCode;
        EXPECT_EQ(route.eTarget == EProgressTarget::None, route.nControlId == 0u) << nCode;
    }
    EXPECT_EQ(RouteProgress(PROGRESS_DRIVE + ROW_COUNT).eTarget, EProgressTarget::None);
    EXPECT_EQ(RouteProgress(PROGRESS_IMAGE_VERIFY).nControlId, IDC_IMAGE_PROGRESS);
    EXPECT_EQ(RouteProgress(PROGRESS_TOTAL).eEffect, EProgressEffect::TotalBar);
}

TEST(ProgressRouting, RemainingTimeIsRoundedMoreCoarselyAsItGrows)
{
    EXPECT_EQ(TotalPercentText(425), "42.5%");
    EXPECT_EQ(RemainText(59), "59秒");
    EXPECT_EQ(RemainText(5369), "1時間29分");  // 29 min 29 s rounds down
    EXPECT_EQ(RemainText(5370), "1時間30分");  // 29 min 30 s rounds up
    EXPECT_EQ(RemainText(34201), "10時間");  // 9.5 hours round up
    // Beyond 32 bits of seconds the hours do not wrap, and a negative
    // remaining time (a clock that went back) is no time left.
    EXPECT_EQ(RemainText(int64_t{3600} * 2'000'000), "2000000時間");
    EXPECT_EQ(RemainText(-5), "0秒");
}

TEST(ChecksumDisplay, EachReportChangesItsOwnControlAndEveryHeapStringIsFreed)
{
    for (WPARAM_T nKind : {CHECKSUM_STATE, CHECKSUM_DIGEST, CHECKSUM_VERDICT, CHECKSUM_SIZE, CHECKSUM_FILE_SHA256,
                           CHECKSUM_DATA_SHA256, CHECKSUM_VERDICT_SHA256SUM}) {
        EXPECT_EQ(ChecksumViewOf(nKind, 0, "x").bFreeString, ChecksumReportHasString(nKind)) << nKind;
        EXPECT_EQ(ChecksumReportHasString(nKind), NotifyCarriesString({WM_CHECKSUM_RESULT, nKind, 1}, 0, 0));
    }
    const T_CHECKSUM_VIEW started = ChecksumViewOf(CHECKSUM_STATE, CHECKSUM_STATE_STARTED, "");
    EXPECT_EQ(started.strDigest, DIGEST_TEXT_COMPUTING);
    EXPECT_EQ(started.strVerdict, "");  // a new run clears the old verdict
    EXPECT_FALSE(ChecksumViewOf(CHECKSUM_STATE, 7, "").strDigest.has_value());
    const T_CHECKSUM_VIEW ng = ChecksumViewOf(CHECKSUM_VERDICT, 1, "");
    EXPECT_EQ(ng.strVerdict, VERDICT_TEXT_NG);
    EXPECT_TRUE(ng.bClearImageBars);
    EXPECT_EQ(ChecksumViewOf(CHECKSUM_VERDICT, 0, "").strVerdict, VERDICT_TEXT_OK);
}
