// Progress codes and checksum reports to the controls that show them.
#include "ui/model/progress_routing.h"

#include "engine/core/format.h"
#include "ui/model/control_ids.h"

namespace {

constexpr int64_t ROUND_TO_HOURS_ABOVE = 34200;  // nine and a half hours

// A per-row code: base + row for rows 0..3.
bool RowOf(uint32_t nCode, uint32_t nBase, int& nRow)
{
    if (nCode < nBase || nCode >= nBase + ROW_COUNT) return false;
    nRow = static_cast<int>(nCode - nBase);
    return true;
}

T_PROGRESS_ROUTE RowRoute(int nRow, EProgressEffect eEffect, int nBar)
{
    return {EProgressTarget::Row, eEffect, nRow, nBar, IDC_ROW_PROGRESS[static_cast<size_t>(nRow)]};
}

}  // namespace

T_PROGRESS_ROUTE RouteProgress(uint32_t nCode)
{
    switch (nCode) {
    case PROGRESS_TOTAL: return {EProgressTarget::Total, EProgressEffect::TotalBar, -1, 0, IDC_TOTAL_PROGRESS};
    case PROGRESS_REMAIN: return {EProgressTarget::Remain, EProgressEffect::RemainText, -1, -1, IDC_REMAIN};
    case PROGRESS_IMAGE: return {EProgressTarget::Image, EProgressEffect::Bar, -1, 0, IDC_IMAGE_PROGRESS};
    case PROGRESS_IMAGE_VERIFY: return {EProgressTarget::Image, EProgressEffect::Bar, -1, 1, IDC_IMAGE_PROGRESS};
    case PROGRESS_IMAGE_SPEED:
        return {EProgressTarget::Image, EProgressEffect::SpeedText, -1, -1, IDC_IMAGE_PROGRESS};
    case PROGRESS_CHECKSUM: return {EProgressTarget::Image, EProgressEffect::Bar, -1, 3, IDC_IMAGE_PROGRESS};
    default: break;
    }
    int nRow = 0;
    if (RowOf(nCode, PROGRESS_DRIVE, nRow)) return RowRoute(nRow, EProgressEffect::Bar, 0);
    if (RowOf(nCode, PROGRESS_DRIVE_VERIFY, nRow)) return RowRoute(nRow, EProgressEffect::Bar, 1);
    if (RowOf(nCode, PROGRESS_DRIVE_SPEED, nRow)) return RowRoute(nRow, EProgressEffect::SpeedText, -1);
    return {};
}

bool CShownSpeeds::Shows(const T_PROGRESS_ROUTE& route, std::string_view strSpeed)
{
    bool& bMoved = m_bMoved[route.eTarget == EProgressTarget::Row ? static_cast<size_t>(route.nRow) : 4];
    const bool bMoving = strSpeed != SpeedText(0.0);
    if (bMoving) bMoved = true;
    return bMoving || !bMoved;
}

std::string TotalPercentText(int64_t nPerMille)
{
    return FormatText("%.1f%%", static_cast<double>(nPerMille) / 10.0);
}

std::string RemainText(int64_t nSeconds)
{
    // Whole 64-bit arithmetic: a remaining time beyond 2^32 seconds is
    // still shown in hours rather than wrapped.
    const uint64_t s = nSeconds < 0 ? 0 : static_cast<uint64_t>(nSeconds);
    if (nSeconds > ROUND_TO_HOURS_ABOVE) return FormatText("%I64u時間", (s + 1800) / 3600);
    if (s >= 3600) {
        const uint64_t t = s + 30;
        return FormatText("%I64u時間%I64u分", t / 3600, (t % 3600) / 60);
    }
    if (s >= 60) return FormatText("%I64u分%I64u秒", s / 60, s % 60);
    return FormatText("%I64u秒", s);
}

bool ChecksumReportHasString(WPARAM_T nKind)
{
    return ChecksumReportCarriesString(nKind);
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
