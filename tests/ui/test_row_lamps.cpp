// A row's state word through a job and its two lamps: the job kind's
// colour blinking while busy, the outcome below; the verdict messages and
// the eject mask they trim.
#include <gtest/gtest.h>

#include <map>

#include "jobs/dump_task_param.h"
#include "ui/model/drive_rows.h"
#include "ui/model/eject_mask.h"
#include "ui/model/row_lamps.h"
#include "ui/model/row_state.h"

namespace {

bool SameLamps(T_ROW_LAMPS a, T_ROW_LAMPS b)
{
    return a.nUpper == b.nUpper && a.nLower == b.nLower;
}

}  // namespace

TEST(RowLamps, EachJobKindLightsItsColourAndBlinksToTheDarkOneWhileBusy)
{
    const std::map<int, std::pair<uint32_t, uint32_t>> colours = {
        {DUMPTASK_READ, {LAMP_GREEN, LAMP_DARK_GREEN}},
        {DUMPTASK_WRITE, {LAMP_RED, LAMP_DARK_RED}},
        {DUMPTASK_VERIFY, {LAMP_YELLOW, LAMP_OLIVE}},
        {DUMPTASK_ERASE, {LAMP_MAGENTA, LAMP_PURPLE}},
    };
    for (const auto& [nTask, lamps] : colours) {
        const uint32_t nBusy = RowStateAtStart(nTask);
        EXPECT_TRUE(SameLamps(RowLamps(nBusy, false), {lamps.first, LAMP_UNLIT})) << nTask;
        EXPECT_TRUE(SameLamps(RowLamps(nBusy, true), {lamps.second, LAMP_UNLIT})) << nTask;
        // Done: no longer busy, so no blinking, and a green lamp below.
        const uint32_t nDone = RowStateAfterVerdict(nBusy, true);
        EXPECT_TRUE(SameLamps(RowLamps(nDone, true), {lamps.first, LAMP_GREEN})) << nTask;
        const uint32_t nFailed = RowStateAfterVerdict(nBusy, false);
        EXPECT_TRUE(SameLamps(RowLamps(nFailed, true), {lamps.first, LAMP_RED})) << nTask;
    }
}

TEST(RowLamps, AnUncheckedOrFreshRowShowsNothingLit)
{
    const uint32_t nDone = RowStateAfterVerdict(RowStateAtStart(DUMPTASK_READ), true);
    EXPECT_TRUE(SameLamps(RowLamps(RowLampWord(nDone, false), false), {LAMP_UNLIT, LAMP_UNLIT}));
    EXPECT_TRUE(SameLamps(RowLamps(0, true), {LAMP_UNLIT, LAMP_UNLIT}));
    EXPECT_TRUE(SameLamps(RowLamps(ROWSTATE_NOT_READY, true), {LAMP_UNLIT, LAMP_UNLIT}));
    // Busy without a job kind (none known) leaves the upper lamp unlit.
    EXPECT_EQ(RowLamps(ROWSTATE_BUSY, true).nUpper, LAMP_UNLIT);
}

TEST(RowLamps, TheElevenPicturesLoadInTheirOrderAndEveryLampShownIsOne)
{
    EXPECT_EQ(LampIndex(LAMP_UNLIT), 0);
    EXPECT_EQ(LampIndex(LAMP_PURPLE), 10);
    EXPECT_EQ(LampIndex(LAMP_GREEN), 3);
    EXPECT_EQ(LampIndex(100), -1);
    for (uint32_t nState = 0; nState < 0x10000; nState += 0x10) {
        const T_ROW_LAMPS lamps = RowLamps(nState, (nState & 0x20) != 0);
        ASSERT_GE(LampIndex(lamps.nUpper), 0);
        ASSERT_GE(LampIndex(lamps.nLower), 0);
        ASSERT_NE(lamps.nUpper, LAMP_BLUE);
        ASSERT_NE(lamps.nUpper, LAMP_NAVY);
    }
}

TEST(RowVerdicts, AVerdictMovesTheRowFromBusyToDoneOrFailedAndALateSecondOneAgrees)
{
    const uint32_t nBusy = RowStateAtStart(DUMPTASK_WRITE);
    EXPECT_EQ(nBusy, 0x120u);
    const uint32_t nFailed = RowStateAfterVerdict(nBusy, false);
    EXPECT_EQ(nFailed, 0x8020u);
    EXPECT_EQ(RowStateAfterVerdict(nFailed, false), nFailed);  // the runner repeats the engine's report
    EXPECT_EQ(RowStateAfterVerdict(nBusy, true), 0x4020u);
    EXPECT_EQ(RowStateAfterVerdict(0x4020 | ROWSTATE_FAILED, true), 0x4020u);
}

TEST(RowVerdicts, OnlyWellFormedVerdictMessagesReachARow)
{
    const T_ROW_VERDICT ok = RowVerdictOf(1, 2);
    EXPECT_TRUE(ok.bValid && ok.bOk && ok.nRow == 2);
    const T_ROW_VERDICT failed = RowVerdictOf(0, 3);
    EXPECT_TRUE(failed.bValid && !failed.bOk && failed.nRow == 3);
    EXPECT_TRUE(RowVerdictOf(0x8000, 0).bOk);  // any low word but 0
    EXPECT_FALSE(RowVerdictOf(0x10001, 0).bValid);
    EXPECT_FALSE(RowVerdictOf(1, 4).bValid);
    EXPECT_FALSE(RowVerdictOf(0, -1).bValid);
}

TEST(EjectMask, CheckedRowsLettersAreEjectedUnlessTheirDriveFailed)
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
    // At the end the window ejects only what it holds.
    EXPECT_EQ(LettersToEjectAtEnd(true, E | G, G | F), std::vector<int>{6});
    EXPECT_TRUE(LettersToEjectAtEnd(false, E | G, E | G).empty());
}
