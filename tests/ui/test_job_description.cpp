// The job description from the window: the message ids and interval, each
// option box, the drives of the usable rows, the erase method of the
// dialog's choice, and the buffer size from free memory at its edges.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "engine/erase/erase_methods.h"
#include "ui/model/buffer_size.h"
#include "ui/model/job_description.h"

namespace {

class CNoTarget : public INotifyTarget {
public:
    bool Post(uint32_t, WPARAM_T, LPARAM_T) override { return true; }
};

T_JOB_REQUEST TwoDiskRequest(int nTask)
{
    T_JOB_REQUEST request;
    request.nTask = nTask;
    request.strImagePath = "D:\\images\\ドライブ.gmi";
    request.rows[1] = {true, true, DRIVE_KIND_DISK, 3};
    request.rows[2] = {false, true, DRIVE_KIND_DISK, 4};  // not checked: no part
    request.rows[3] = {true, true, DRIVE_KIND_CDROM, 0};
    request.nBufferMiB = 1536;
    request.nCompressThreads = 3;
    request.dwNoScanLetters = 0x3;
    request.dwLockedLetters = 0x10;
    return request;
}

constexpr uint64_t MiB = 1024 * 1024;

}  // namespace

TEST(JobDescription, TheWindowsIdsIntervalDrivesAndPathReachTheRunner)
{
    CNoTarget window;
    for (int nTask : {DUMPTASK_READ, DUMPTASK_WRITE, DUMPTASK_VERIFY, DUMPTASK_ERASE}) {
        T_JOB_REQUEST request = TwoDiskRequest(nTask);
        request.pWindow = &window;
        const T_DUMPTASK_PARAM param = BuildJobDescription(request);
        EXPECT_EQ(param.nTask, nTask);
        EXPECT_EQ(param.hWnd, &window);
        EXPECT_EQ(param.uMsgProgress, 0x1400u);
        EXPECT_EQ(param.uMsgLog, 0x1401u);
        EXPECT_EQ(param.uMsgError, 0x1402u);
        EXPECT_EQ(param.uMsgEnd, 0x1403u);
        EXPECT_EQ(param.dwInterval, 250u);
        EXPECT_EQ(param.nBufferMiB, 1536);
        EXPECT_EQ(param.nCompressThreads, 3u);
        EXPECT_EQ(param.szImagePath, request.strImagePath);
        EXPECT_EQ(param.dwNoScanLetters, 0x3u);
        EXPECT_EQ(param.dwLockedLetters, 0x10u);
        std::array<uint32_t, 4> nState = {0x4010, 0x8010, 0x4010, 0};
        RowStatesForJob(param, nState);
        const uint32_t nBusy = (0x10u << nTask) | 0x100;
        EXPECT_EQ(nState, (std::array<uint32_t, 4>{0x4010, nBusy, 0x4010, nBusy}));
        const uint32_t kinds[4] = {DRIVE_KIND_NONE, DRIVE_KIND_DISK, DRIVE_KIND_NONE, DRIVE_KIND_CDROM};
        const int numbers[4] = {-1, 3, -1, 0};
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(param.nDriveKind[r], kinds[r]) << r;
            EXPECT_EQ(param.nDriveNumber[r], numbers[r]) << r;
        }
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
        EXPECT_EQ(param.nUnstableReadCount, pField == &T_DUMPTASK_PARAM::bUnstableRead ? 4 : 0);
    }
    T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_READ);
    request.options.bCompressImage = true;
    request.bZlibLoaded = false;  // compressed images need the library
    EXPECT_FALSE(BuildJobDescription(request).bCompressImage);
}

TEST(JobDescription, TheEraseDialogsChoiceBecomesTheJobsMethod)
{
    T_JOB_REQUEST request = TwoDiskRequest(DUMPTASK_ERASE);
    const std::pair<int, int> choices[] = {{0, 0x01}, {1, 0x11}, {7, 0x20}, {15, 0xB0}, {16, 0x01}, {-1, 0x01}};
    for (const auto& [nIndex, nMethod] : choices) {
        request.nEraseMethod = EraseMethodOfDialogIndex(nIndex);
        EXPECT_EQ(BuildJobDescription(request).nEraseMethod, nMethod) << nIndex;
    }
}

TEST(BufferSize, TheSettingsLimitIsLoweredToThreeQuartersOfTheSmallerFreeMemory)
{
    const T_MEMORY_STATUS twoGiB{true, 2048 * MiB, 8ull * 1024 * 1024 * MiB};
    EXPECT_EQ(JobBufferMiB(4096, twoGiB), 1536);
    EXPECT_EQ(JobBufferMiB(16, twoGiB), 16);
    EXPECT_EQ(JobBufferMiB(1536, twoGiB), 1536);
    EXPECT_EQ(JobBufferMiB(1537, twoGiB), 1536);
    // The virtual side can be the smaller one.
    EXPECT_EQ(JobBufferMiB(4096, {true, 8192 * MiB, 1000 * MiB}), 750);
    // A fraction of a MiB does not count, and three quarters are cut down.
    EXPECT_EQ(JobBufferMiB(4096, {true, 101 * MiB - 1, 8192 * MiB}), 75);
    EXPECT_EQ(JobBufferMiB(4096, {true, 101 * MiB, 8192 * MiB}), 75);
    EXPECT_EQ(JobBufferMiB(4096, {true, 102 * MiB, 8192 * MiB}), 76);
    // Unknown memory leaves the limit; nearly none still gives 16 blocks.
    EXPECT_EQ(JobBufferMiB(4096, {false, 0, 0}), 4096);
    EXPECT_EQ(JobBufferMiB(4096, {true, 10 * MiB, 8192 * MiB}), 16);
    EXPECT_EQ(JobBufferMiB(4096, {true, 0, 0}), 16);
}
