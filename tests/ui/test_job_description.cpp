// The job description from the window: the drives of the usable rows,
// each option box, the erase method of the dialog's choice, and the buffer
// size from free memory at its edges.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "engine/erase/erase_methods.h"
#include "jobs/job_preflight.h"
#include "ui/model/job_description.h"
#include "ui/model/row_state.h"

namespace {

T_JOB_REQUEST TwoDiskRequest(int nTask)
{
    T_JOB_REQUEST request;
    request.nTask = nTask;
    request.strImagePath = "D:\\images\\ドライブ.gmi";
    request.rows[1] = {true, true, DRIVE_KIND_DISK, 3};
    request.rows[2] = {false, true, DRIVE_KIND_DISK, 4};  // not checked: no part
    request.rows[3] = {true, true, DRIVE_KIND_CDROM, 0};
    request.nBufferMiB = 1536;
    return request;
}

constexpr uint64_t MiB = 1024 * 1024;

}  // namespace

TEST(JobDescription, OnlyCheckedRowsWithADriveTakePartAndOnlyTheirStateWordsChange)
{
    for (int nTask : {DUMPTASK_READ, DUMPTASK_ERASE}) {
        const T_JOB_REQUEST request = TwoDiskRequest(nTask);
        const T_DUMPTASK_PARAM param = BuildJobDescription(request);
        EXPECT_EQ(param.nTask, nTask);
        EXPECT_EQ(param.szImagePath, request.strImagePath);
        EXPECT_EQ(param.nBufferMiB, 1536);
        const uint32_t kinds[4] = {DRIVE_KIND_NONE, DRIVE_KIND_DISK, DRIVE_KIND_NONE, DRIVE_KIND_CDROM};
        const int numbers[4] = {-1, 3, -1, 0};
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(param.nDriveKind[r], kinds[r]) << r;
            EXPECT_EQ(param.nDriveNumber[r], numbers[r]) << r;
        }
        std::array<uint32_t, 4> nState = {0x4010, 0x8010, 0x4010, 0};
        RowStatesForJob(param, nState);
        const uint32_t nBusy = RowStateAtStart(nTask);
        EXPECT_EQ(nState, (std::array<uint32_t, 4>{0x4010, nBusy, 0x4010, nBusy}));
    }
}

TEST(JobDescription, EachOptionBoxSetsItsOwnFieldAndNoOther)
{
    using TField = bool T_DUMPTASK_PARAM::*;
    const std::vector<std::pair<bool T_WINDOW_OPTIONS::*, TField>> boxes = {
        {&T_WINDOW_OPTIONS::bVerify, &T_DUMPTASK_PARAM::bVerify},
        {&T_WINDOW_OPTIONS::bEject, &T_DUMPTASK_PARAM::bEject},
        {&T_WINDOW_OPTIONS::bShareRead, &T_DUMPTASK_PARAM::bShareRead},
        {&T_WINDOW_OPTIONS::bForceWrite, &T_DUMPTASK_PARAM::bForceWrite},
        {&T_WINDOW_OPTIONS::bForceVerify, &T_DUMPTASK_PARAM::bForceVerify},
        {&T_WINDOW_OPTIONS::bCompareAfterWrite, &T_DUMPTASK_PARAM::bCompareAfterWrite},
        {&T_WINDOW_OPTIONS::bMD5Verify, &T_DUMPTASK_PARAM::bMD5Verify},
        {&T_WINDOW_OPTIONS::bUnstableRead, &T_DUMPTASK_PARAM::bUnstableRead},
        {&T_WINDOW_OPTIONS::bMakeMD5SUM, &T_DUMPTASK_PARAM::bMakeMD5SUM},
        {&T_WINDOW_OPTIONS::bCompressImage, &T_DUMPTASK_PARAM::bCompressImage},
    };
    for (const auto& [pBox, pField] : boxes) {
        T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_WRITE);
        request.bZlibLoaded = true;
        request.options.*pBox = true;
        const T_DUMPTASK_PARAM param = BuildJobDescription(request);
        for (const auto& [pOtherBox, pOtherField] : boxes)
            EXPECT_EQ(param.*pOtherField, pOtherField == pField) << "box " << (pBox == pOtherBox);
        EXPECT_FALSE(param.bSharedWrite);
        EXPECT_EQ(param.nUnstableReadCount > 0, pField == &T_DUMPTASK_PARAM::bUnstableRead);
    }
    T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_READ);
    request.options.bCompressImage = true;
    request.bZlibLoaded = false;  // compressed images need the library
    EXPECT_FALSE(BuildJobDescription(request).bCompressImage);
}

// A read's image: a .zst name makes a zstd image whatever the compress box
// says; the box decides for the other names; a name of a format no read
// makes keeps it, for the pre-flight to refuse.
TEST(JobDescription, AReadsFormatComesFromAZstdNameElseFromTheCompressBox)
{
    const struct {
        const char* pszImage;
        bool bBox;
        EImageFormat eFormat;
    } cases[] = {
        {"D:\\a.zst", false, EImageFormat::Zstd}, {"D:\\a.ZSTD", true, EImageFormat::Zstd},
        {"D:\\a.gmz", true, EImageFormat::Gzip},  {"D:\\a.gmz", false, EImageFormat::Raw},
        {"D:\\a.gmi", true, EImageFormat::Gzip},  {"D:\\a.xz", true, EImageFormat::Xz},
    };
    for (const auto& c : cases) {
        T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_READ);
        request.strImagePath = c.pszImage;
        request.options.bCompressImage = c.bBox;
        request.bZlibLoaded = true;
        EXPECT_EQ(JobImageFormat(BuildJobDescription(request)), c.eFormat) << c.pszImage << " " << c.bBox;
    }
}

TEST(JobDescription, AnEraseDialogChoiceOutsideItsListIsTheFirstMethod)
{
    T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_ERASE);
    request.nEraseMethod = EraseMethodOfDialogIndex(0);
    const int nFirst = BuildJobDescription(request).nEraseMethod;
    request.nEraseMethod = EraseMethodOfDialogIndex(15);
    EXPECT_NE(BuildJobDescription(request).nEraseMethod, nFirst);
    for (int nIndex : {16, -1}) {
        request.nEraseMethod = EraseMethodOfDialogIndex(nIndex);
        EXPECT_EQ(BuildJobDescription(request).nEraseMethod, nFirst) << nIndex;
    }
}

TEST(BufferSize, TheSettingsLimitIsLoweredToThreeQuartersOfTheSmallerFreeMemoryButNotBelow16)
{
    const T_MEMORY_STATUS twoGiB{true, 2048 * MiB, 8ull * 1024 * 1024 * MiB};
    EXPECT_EQ(JobBufferMiB(4096, twoGiB), 1536);
    EXPECT_EQ(JobBufferMiB(16, twoGiB), 16);
    EXPECT_EQ(JobBufferMiB(4096, {true, 8192 * MiB, 1000 * MiB}), 750);  // the virtual side is smaller
    // A fraction of a MiB does not count, and three quarters are cut down.
    EXPECT_EQ(JobBufferMiB(4096, {true, 101 * MiB - 1, 8192 * MiB}), 75);
    // Unknown memory leaves the limit; nearly none still gives 16 blocks.
    EXPECT_EQ(JobBufferMiB(4096, {false, 0, 0}), 4096);
    EXPECT_EQ(JobBufferMiB(4096, {true, 0, 0}), 16);
}
