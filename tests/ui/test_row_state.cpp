// A row's state word through a job and its two lamps: the job kind's
// colour blinking while busy, the outcome below; the verdict messages and
// the eject mask they trim.
#include <gtest/gtest.h>


#include "jobs/job_runner_param.h"
#include "ui/model/drive_rows.h"
#include "ui/model/eject_mask.h"
#include "ui/model/row_state.h"

namespace {

std::pair<uint32_t, uint32_t> Lamps(uint32_t nState, bool bBlink)
{
    const T_ROW_LAMPS lamps = RowLamps(nState, bBlink);
    return {lamps.nUpper, lamps.nLower};
}

}  // namespace

TEST(RowLamps, AJobKindBlinksWhileBusyAndStaysLitAboveItsOutcome)
{
    for (int nTask : {DUMPTASK_READ, DUMPTASK_WRITE, DUMPTASK_VERIFY, DUMPTASK_ERASE}) {
        SCOPED_TRACE(nTask);
        const uint32_t nBusy = RowStateAtStart(nTask);
        const auto [nBright, nLowerBusy] = Lamps(nBusy, false);
        const uint32_t nDark = Lamps(nBusy, true).first;
        EXPECT_NE(nBright, nDark);
        EXPECT_EQ(nLowerBusy, LAMP_UNLIT);
        EXPECT_TRUE(LampIndex(nBright) > 0 && LampIndex(nDark) > 0);
        // Done or failed: no longer busy, so no blinking.
        EXPECT_EQ(Lamps(RowStateAfterVerdict(nBusy, true), true), std::make_pair(nBright, LAMP_GREEN));
        EXPECT_EQ(Lamps(RowStateAfterVerdict(nBusy, false), true), std::make_pair(nBright, LAMP_RED));
    }
    EXPECT_EQ(Lamps(0, true), std::make_pair(LAMP_UNLIT, LAMP_UNLIT));
}

TEST(RowState, AVerdictEndsBusyALateSecondOneAgreesAndANewMediumClearsTheOutcome)
{
    const uint32_t nBusy = RowStateAtStart(DUMPTASK_WRITE);
    const uint32_t nFailed = RowStateAfterVerdict(nBusy, false);
    EXPECT_EQ(RowStateAfterVerdict(nFailed, false), nFailed);  // the runner repeats the engine's report
    EXPECT_EQ(RowStateAfterVerdict(nFailed, true), RowStateAfterVerdict(nBusy, true));
    EXPECT_EQ(RowStateAfterReadyChange(nFailed, false), nFailed | ROWSTATE_NOT_READY);
    EXPECT_EQ(RowStateAfterReadyChange(nFailed | ROWSTATE_NOT_READY, true), 0u);
    EXPECT_EQ(RowStateAfterReadyChange(nBusy, true), ROWSTATE_BUSY);
}

TEST(RowState, OnlyWellFormedVerdictMessagesReachARow)
{
    const T_ROW_VERDICT ok = RowVerdictOf(0x8000, 2);  // any low word but 0
    EXPECT_TRUE(ok.bValid && ok.bOk && ok.nRow == 2);
    const T_ROW_VERDICT failed = RowVerdictOf(0, 3);
    EXPECT_TRUE(failed.bValid && !failed.bOk && failed.nRow == 3);
    EXPECT_FALSE(RowVerdictOf(0x10001, 0).bValid);
    EXPECT_FALSE(RowVerdictOf(1, 4).bValid);
    EXPECT_FALSE(RowVerdictOf(0, -1).bValid);
}

TEST(EjectMask, CheckedRowsLettersAreEjectedUnlessTheirDriveFailedAndOnlyHeldOnesByTheWindow)
{
    const FnDriveLetters lettersOf = [](uint32_t nKind, uint32_t nNumber) -> std::vector<std::string> {
        if (nKind != 7) return {};
        if (nNumber == 1) return {"E", "f"};
        if (nNumber == 2) return {"G"};
        if (nNumber == 3) return {"sdd1"};  // a name without a letter bit
        return {};
    };
    const uint32_t E = 1u << 4, F = 1u << 5, G = 1u << 6;
    const std::array<uint32_t, 4> keys = {0x70001, 0x70002, 0x70003, NO_DRIVE_KEY};
    EXPECT_EQ(EjectMaskAtStart(true, {true, true, true, true}, keys, lettersOf), E | F | G);
    EXPECT_EQ(EjectMaskAtStart(true, {false, true, false, false}, keys, lettersOf), G);
    EXPECT_EQ(EjectMaskAtStart(false, {true, true, true, true}, keys, lettersOf), 0u);
    EXPECT_EQ(EjectMaskAfterFailure(E | F | G, keys[0], lettersOf), G);
    EXPECT_EQ(EjectMaskAfterFailure(G, NO_DRIVE_KEY, lettersOf), G);
    EXPECT_EQ(LettersToEjectAtEnd(true, E | G, G | F), std::vector<int>{6});
    EXPECT_TRUE(LettersToEjectAtEnd(false, E | G, E | G).empty());
}
