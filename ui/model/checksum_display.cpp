// The checksum task's reports in the window.
#include "ui/model/checksum_display.h"

bool ChecksumReportHasString(WPARAM_T nKind)
{
    return nKind == CHECKSUM_DIGEST || nKind == CHECKSUM_SIZE;
}

T_CHECKSUM_VIEW ChecksumViewOf(WPARAM_T nKind, LPARAM_T lValue, const std::string& strText)
{
    T_CHECKSUM_VIEW view;
    view.bFreeString = ChecksumReportHasString(nKind);
    switch (nKind) {
    case CHECKSUM_STATE:
        view.strVerdict = std::string();
        if (lValue == CHECKSUM_STATE_STARTED) view.strDigest = DIGEST_TEXT_COMPUTING;
        if (lValue == CHECKSUM_STATE_CANCELLED) view.strDigest = DIGEST_TEXT_STOPPED;
        if (lValue == CHECKSUM_STATE_FAILED) view.strDigest = DIGEST_TEXT_ERROR;
        break;
    case CHECKSUM_DIGEST: view.strDigest = strText; break;
    case CHECKSUM_VERDICT:
        view.strVerdict = lValue == 0 ? VERDICT_TEXT_OK : VERDICT_TEXT_NG;
        view.bClearImageBars = true;
        break;
    case CHECKSUM_SIZE:
        view.strImageText = strText;
        view.bUpdateControls = true;
        break;
    default: break;
    }
    return view;
}
