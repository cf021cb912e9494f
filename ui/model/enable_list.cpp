// The enable set by control id.
#include "ui/model/enable_list.h"

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
