// The enable set of each window state.
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
