// The enable set of each window state, and the set by control id.
#include "ui/model/enable_rules.h"

#include "drives/drive_kind.h"

namespace {

// What the checked rows allow.
struct T_TARGETS {
    bool bHaveTargets = false;
    bool bReadOK = false;
    bool bWriteOK = false;
    bool bVerifyOK = false;
    bool bEraseOK = false;
};

T_TARGETS TargetsOf(const T_WINDOW_STATE& state)
{
    int nChecked = 0;
    bool bAllSelected = true, bAllReady = true, bSizesMatch = true, bCdrom = false;
    for (const T_ROW_FACTS& row : state.rows) {
        if (!row.bChecked) continue;
        ++nChecked;
        bAllSelected = bAllSelected && row.bHasDrive;
        bAllReady = bAllReady && row.bReady;
        bSizesMatch = bSizesMatch && row.bReady && row.nSize == state.nImageSize;
        bCdrom = bCdrom || (row.bHasDrive && row.nKind == DRIVE_KIND_CDROM);
    }
    T_TARGETS targets;
    if (nChecked == 0) return targets;
    targets.bHaveTargets = !state.bImagePathEmpty && bAllSelected;
    targets.bReadOK = bAllReady && nChecked == 1;
    targets.bWriteOK = (bSizesMatch || state.options.bForceWrite) && !bCdrom;
    targets.bVerifyOK = bSizesMatch || state.options.bForceVerify;
    targets.bEraseOK = bAllReady && !bCdrom;
    return targets;
}

// Everything but Stop is off; the progress controls keep what the idle
// state gave them, which the running job cannot change.
T_ENABLE_SET RunningSet(const T_WINDOW_STATE& state)
{
    T_ENABLE_SET set;
    for (int r = 0; r < ROW_COUNT; ++r) set.rows[r].bProgress = state.rows[r].bChecked;
    set.bImageProgress = set.bTotalProgress = true;
    set.bStop = true;
    return set;
}

T_ROW_ENABLES IdleRow(const T_ROW_FACTS& row)
{
    T_ROW_ENABLES enables;
    enables.bEnableBox = true;
    enables.bDriveBox = enables.bProgress = enables.bProbe = row.bChecked;
    enables.bEject = row.bChecked && row.bHasDrive && row.bRemovable;
    enables.bLock = row.bChecked && row.bHasDrive && row.bCanLock;
    return enables;
}

}  // namespace

T_ENABLE_SET EnableSetOf(const T_WINDOW_STATE& state)
{
    if (state.bDumpTask) return RunningSet(state);
    T_ENABLE_SET set;
    set.bSetupMenu = true;
    for (int r = 0; r < ROW_COUNT; ++r) set.rows[r] = IdleRow(state.rows[r]);
    set.bImagePath = set.bBrowse = set.bImageDigest = set.bImageVerdict = true;
    set.bImageProgress = set.bTotalProgress = true;
    set.bOptVerify = set.bOptEject = set.bOptShareRead = set.bOptForceWrite = set.bOptForceVerify = true;
    set.bOptCompareAfterWrite = set.bOptMakeMD5SUM = set.bOptUnstableRead = true;
    set.bOptCompressImage = state.bZlibLoaded;
    set.bOptMD5Verify = state.options.bVerify;

    const T_TARGETS targets = TargetsOf(state);
    const bool bImageOK = state.bImageExists && (!state.options.bCompressImage || state.bHashValid);
    set.bRead = targets.bHaveTargets && targets.bReadOK;
    set.bWrite = targets.bHaveTargets && bImageOK && targets.bWriteOK;
    set.bVerify = targets.bHaveTargets && bImageOK && targets.bVerifyOK;
    set.bErase = targets.bEraseOK;
    set.bClose = true;
    return set;
}

std::vector<T_CONTROL_ENABLE> ControlEnables(const T_ENABLE_SET& set)
{
    std::vector<T_CONTROL_ENABLE> list;
    for (int r = 0; r < ROW_COUNT; ++r) {
        const T_ROW_ENABLES& row = set.rows[r];
        list.insert(list.end(), {{IDC_ROW_ENABLE[r], row.bEnableBox},
                                 {IDC_ROW_DRIVE[r], row.bDriveBox},
                                 {IDC_ROW_PROGRESS[r], row.bProgress},
                                 {IDC_ROW_PROBE[r], row.bProbe},
                                 {IDC_ROW_EJECT[r], row.bEject},
                                 {IDC_ROW_LOCK[r], row.bLock}});
    }
    list.insert(list.end(), {{IDC_IMAGE_PATH, set.bImagePath},
                             {IDC_BROWSE, set.bBrowse},
                             {IDC_IMAGE_DIGEST, set.bImageDigest},
                             {IDC_IMAGE_VERDICT, set.bImageVerdict},
                             {IDC_IMAGE_PROGRESS, set.bImageProgress},
                             {IDC_TOTAL_PROGRESS, set.bTotalProgress},
                             {IDC_OPT_VERIFY, set.bOptVerify},
                             {IDC_OPT_EJECT, set.bOptEject},
                             {IDC_OPT_SHARE_READ, set.bOptShareRead},
                             {IDC_OPT_FORCE_WRITE, set.bOptForceWrite},
                             {IDC_OPT_FORCE_VERIFY, set.bOptForceVerify},
                             {IDC_OPT_COMPARE_AFTER_WRITE, set.bOptCompareAfterWrite},
                             {IDC_OPT_MAKE_MD5SUM, set.bOptMakeMD5SUM},
                             {IDC_OPT_UNSTABLE_READ, set.bOptUnstableRead},
                             {IDC_OPT_COMPRESS_IMAGE, set.bOptCompressImage},
                             {IDC_OPT_MD5_VERIFY, set.bOptMD5Verify},
                             {IDC_READ, set.bRead},
                             {IDC_WRITE, set.bWrite},
                             {IDC_VERIFY, set.bVerify},
                             {IDC_ERASE, set.bErase},
                             {IDC_STOP, set.bStop},
                             {IDC_CLOSE, set.bClose}});
    return list;
}
