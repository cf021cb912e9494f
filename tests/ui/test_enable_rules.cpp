// Which jobs the window lets start: idle with no, one or several checked
// rows, images that exist or not, CD-ROM drives, the force options and the
// compressed image whose size is not known yet; and the controls left on
// while a job runs.
#include <gtest/gtest.h>

#include <set>

#include "drives/drive_kind.h"
#include "ui/model/enable_rules.h"

namespace {

constexpr uint64_t IMAGE_SIZE = 16'008'609'792;

T_ROW_FACTS ReadyDisk(uint64_t nSize = IMAGE_SIZE)
{
    T_ROW_FACTS row;
    row.bChecked = row.bHasDrive = row.bReady = true;
    row.nKind = DRIVE_KIND_DISK;
    row.nSize = nSize;
    return row;
}

T_WINDOW_STATE IdleWithImage()
{
    T_WINDOW_STATE state;
    state.bImagePathEmpty = false;
    state.bImageExists = true;
    state.nImageSize = IMAGE_SIZE;
    state.bZlibLoaded = true;
    return state;
}

// Read, write, verify, erase as "RWVE", "-" for a disabled one.
std::string JobsOf(const T_WINDOW_STATE& state)
{
    const T_ENABLE_SET set = EnableSetOf(state);
    return std::string(set.bRead ? "R" : "-") + (set.bWrite ? "W" : "-") + (set.bVerify ? "V" : "-") +
           (set.bErase ? "E" : "-");
}

// The ids of the controls the set enables, through the list the window applies.
std::set<uint32_t> EnabledIds(const T_ENABLE_SET& set)
{
    const std::vector<T_CONTROL_ENABLE> list = ControlEnables(set);
    std::set<uint32_t> all, on;
    for (const auto& [nId, bOn] : list) {
        all.insert(nId);
        if (bOn) on.insert(nId);
    }
    EXPECT_EQ(all.size(), list.size()) << "a control is named twice";
    EXPECT_EQ(all.size(), 4u * 6u + 22u) << "a control is missing";
    return on;
}

}  // namespace

TEST(EnableRules, ReadWantsExactlyOneReadyRowWithADriveAndAnImagePath)
{
    T_WINDOW_STATE state = IdleWithImage();
    EXPECT_EQ(JobsOf(state), "----");  // no checked row
    state.bImageExists = false;  // reading makes the image
    state.rows[2] = ReadyDisk(1);
    EXPECT_EQ(JobsOf(state), "R--E");
    state.bImagePathEmpty = true;
    EXPECT_EQ(JobsOf(state), "---E");
    state.bImagePathEmpty = false;
    state.rows[0] = ReadyDisk(1);
    EXPECT_EQ(JobsOf(state), "---E") << "two rows";
    state.rows[0].bHasDrive = false;
    state.rows[2].bReady = false;  // "NOT READY", beside a row without a drive
    EXPECT_EQ(JobsOf(state), "----");
}

TEST(EnableRules, WriteAndVerifyWantEveryCheckedDriveToMatchTheImageUnlessForced)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.rows[3] = ReadyDisk();
    EXPECT_EQ(JobsOf(state), "-WVE");
    state.rows[3].nSize = IMAGE_SIZE + 512;
    EXPECT_EQ(JobsOf(state), "---E");
    state.options.bForceWrite = true;
    EXPECT_EQ(JobsOf(state), "-W-E");
    state.options.bForceWrite = false;
    state.options.bForceVerify = true;
    EXPECT_EQ(JobsOf(state), "--VE");
    // A drive that is not ready matches no size, but the force options
    // still let the job start (the runner reports the drive).
    state.rows[3] = ReadyDisk();
    state.rows[3].bReady = false;
    EXPECT_EQ(JobsOf(state), "--V-");
    // No image file: neither write nor verify, forced or not.
    state.options.bForceWrite = true;
    state.bImageExists = false;
    EXPECT_EQ(JobsOf(state), "----");
}

TEST(EnableRules, ACdromIsNeverWrittenOrErasedAndACompressedImageWaitsForItsSize)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[1] = ReadyDisk();
    state.rows[1].nKind = DRIVE_KIND_CDROM;
    state.options.bForceWrite = true;
    EXPECT_EQ(JobsOf(state), "R-V-");
    state.rows[0] = ReadyDisk();  // with a disk beside it, still no write
    EXPECT_EQ(JobsOf(state), "--V-");

    state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.options.bCompressImage = true;
    EXPECT_EQ(JobsOf(state), "R--E");
    state.bHashValid = true;
    EXPECT_EQ(JobsOf(state), "RWVE");
}

TEST(EnableRules, WhileAJobRunsOnlyStopAndTheProgressControlsOfCheckedRowsAreOn)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.rows[0].bRemovable = state.rows[0].bCanLock = true;
    state.options.bVerify = true;
    state.bDumpTask = true;
    const T_ENABLE_SET set = EnableSetOf(state);
    EXPECT_EQ(EnabledIds(set),
              (std::set<uint32_t>{IDC_STOP, IDC_ROW_PROGRESS[0], IDC_IMAGE_PROGRESS, IDC_TOTAL_PROGRESS}));
    EXPECT_FALSE(set.bSetupMenu);
}
