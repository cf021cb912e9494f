// Which controls the window enables: idle with no, one or several checked
// rows, images that exist or not, CD-ROM drives, the force options, the
// compressed image whose size is not known yet, and a running job.
#include <gtest/gtest.h>

#include <set>

#include "drives/drive_kind.h"
#include "ui/model/enable_list.h"
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

struct T_JOBS {
    bool bRead, bWrite, bVerify, bErase;
    bool operator==(const T_JOBS&) const = default;
};

T_JOBS JobsOf(const T_WINDOW_STATE& state)
{
    const T_ENABLE_SET set = EnableSetOf(state);
    return {set.bRead, set.bWrite, set.bVerify, set.bErase};
}

}  // namespace

TEST(EnableRules, WithNoCheckedRowNoJobCanStartButEverythingElseIsUsable)
{
    const T_ENABLE_SET set = EnableSetOf(IdleWithImage());
    EXPECT_EQ(JobsOf(IdleWithImage()), (T_JOBS{false, false, false, false}));
    EXPECT_TRUE(set.bSetupMenu && set.bClose && set.bImagePath && set.bBrowse && set.bOptVerify);
    EXPECT_FALSE(set.bStop);
    for (const T_ROW_ENABLES& row : set.rows) {
        EXPECT_TRUE(row.bEnableBox);
        EXPECT_FALSE(row.bDriveBox || row.bProbe || row.bProgress || row.bEject || row.bLock);
    }
}

TEST(EnableRules, ReadWantsExactlyOneReadyRowAndAnImagePath)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.bImageExists = false;  // reading makes the image
    state.rows[2] = ReadyDisk(1);
    EXPECT_EQ(JobsOf(state), (T_JOBS{true, false, false, true}));
    state.bImagePathEmpty = true;
    EXPECT_FALSE(EnableSetOf(state).bRead);
    state.bImagePathEmpty = false;
    state.rows[0] = ReadyDisk(1);
    EXPECT_FALSE(EnableSetOf(state).bRead) << "two rows";
    state.rows[0].bChecked = false;
    state.rows[2].bReady = false;  // "NOT READY"
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, false, false, false}));
    state.rows[2] = ReadyDisk();
    state.rows[2].bHasDrive = false;  // a checked row without a drive
    EXPECT_FALSE(EnableSetOf(state).bRead);
}

TEST(EnableRules, WriteAndVerifyWantEveryCheckedDriveToMatchTheImageUnlessForced)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.rows[3] = ReadyDisk();
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, true, true, true}));
    state.rows[3].nSize = IMAGE_SIZE + 512;
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, false, false, true}));
    state.options.bForceWrite = true;
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, true, false, true}));
    state.options.bForceWrite = false;
    state.options.bForceVerify = true;
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, false, true, true}));
    // A drive that is not ready matches no size, but the force options
    // still let the job start (the runner reports the drive).
    state.rows[3] = ReadyDisk();
    state.rows[3].bReady = false;
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, false, true, false}));
    // No image file: neither write nor verify, forced or not.
    state.options.bForceWrite = true;
    state.bImageExists = false;
    EXPECT_FALSE(EnableSetOf(state).bWrite || EnableSetOf(state).bVerify);
}

TEST(EnableRules, ACdromDriveCanBeReadAndVerifiedButNeverWrittenOrErased)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[1] = ReadyDisk();
    state.rows[1].nKind = DRIVE_KIND_CDROM;
    state.options.bForceWrite = true;
    EXPECT_EQ(JobsOf(state), (T_JOBS{true, false, true, false}));
    state.rows[0] = ReadyDisk();  // with a disk beside it, still no write
    EXPECT_EQ(JobsOf(state), (T_JOBS{false, false, true, false}));
}

TEST(EnableRules, ACompressedImageWaitsForItsChecksumBeforeWriteAndVerify)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.options.bCompressImage = true;
    EXPECT_EQ(JobsOf(state), (T_JOBS{true, false, false, true}));
    state.bHashValid = true;
    EXPECT_EQ(JobsOf(state), (T_JOBS{true, true, true, true}));
}

TEST(EnableRules, RowControlsFollowTheEnableBoxAndTheDrive)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[1] = ReadyDisk();
    state.rows[1].bRemovable = state.rows[1].bCanLock = true;
    state.rows[2] = state.rows[1];
    state.rows[2].bChecked = false;
    state.rows[3] = state.rows[1];
    state.rows[3].bHasDrive = false;
    const T_ENABLE_SET set = EnableSetOf(state);
    EXPECT_TRUE(set.rows[1].bDriveBox && set.rows[1].bProbe && set.rows[1].bProgress && set.rows[1].bEject &&
                set.rows[1].bLock);
    EXPECT_FALSE(set.rows[2].bDriveBox || set.rows[2].bProbe || set.rows[2].bEject || set.rows[2].bLock);
    EXPECT_TRUE(set.rows[3].bDriveBox && set.rows[3].bProbe);
    EXPECT_FALSE(set.rows[3].bEject || set.rows[3].bLock) << "no drive to eject or lock";
    state.rows[1].bRemovable = state.rows[1].bCanLock = false;
    EXPECT_FALSE(EnableSetOf(state).rows[1].bEject || EnableSetOf(state).rows[1].bLock);
}

TEST(EnableRules, OptionBoxesDependOnTheVerifyOptionAndTheZlibLibrary)
{
    T_WINDOW_STATE state = IdleWithImage();
    EXPECT_FALSE(EnableSetOf(state).bOptMD5Verify);
    state.options.bVerify = true;
    EXPECT_TRUE(EnableSetOf(state).bOptMD5Verify);
    EXPECT_TRUE(EnableSetOf(state).bOptCompressImage);
    state.bZlibLoaded = false;
    EXPECT_FALSE(EnableSetOf(state).bOptCompressImage);
}

TEST(EnableRules, WhileAJobRunsOnlyStopAndTheProgressControlsOfCheckedRowsAreOn)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[0] = ReadyDisk();
    state.rows[0].bRemovable = state.rows[0].bCanLock = true;
    state.options.bVerify = true;
    state.bDumpTask = true;
    const T_ENABLE_SET set = EnableSetOf(state);
    std::set<uint32_t> on;
    for (const auto& [nId, bOn] : ControlEnables(set))
        if (bOn) on.insert(nId);
    EXPECT_EQ(on, (std::set<uint32_t>{IDC_STOP, IDC_ROW_PROGRESS[0], IDC_IMAGE_PROGRESS, IDC_TOTAL_PROGRESS}));
    EXPECT_FALSE(set.bSetupMenu);
}

TEST(EnableRules, TheControlListNamesEveryControlOnceAndCarriesTheSetsValues)
{
    T_WINDOW_STATE state = IdleWithImage();
    state.rows[1] = ReadyDisk();
    const auto list = ControlEnables(EnableSetOf(state));
    std::set<uint32_t> ids;
    for (const auto& [nId, bOn] : list) ids.insert(nId);
    EXPECT_EQ(ids.size(), list.size());
    EXPECT_EQ(list.size(), 4u * 6u + 22u);
    auto onOf = [&](uint32_t nId) {
        for (const auto& [n, bOn] : list)
            if (n == nId) return bOn;
        ADD_FAILURE() << nId << " missing";
        return false;
    };
    EXPECT_TRUE(onOf(IDC_ROW_DRIVE[1]) && onOf(IDC_READ) && onOf(IDC_WRITE) && onOf(IDC_CLOSE));
    EXPECT_FALSE(onOf(IDC_ROW_DRIVE[0]) || onOf(IDC_STOP) || onOf(IDC_OPT_MD5_VERIFY));
}
