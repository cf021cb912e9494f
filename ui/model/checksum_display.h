#pragma once
// What the image checksum task's reports (WM_CHECKSUM_RESULT: kind,
// value) change in the window: the digest static 1046, the verdict static
// 1047 ("OK" or "NG" against the .md5sum file), the image control's text
// and bars. A report with a heap string has its string freed by the
// window whatever it shows.
#include <optional>
#include <string>

#include "engine/core/notify.h"

constexpr const char* DIGEST_TEXT_COMPUTING = "計算中";
constexpr const char* DIGEST_TEXT_STOPPED = "計算中止";
constexpr const char* DIGEST_TEXT_ERROR = "エラー";
constexpr const char* VERDICT_TEXT_OK = "OK";
constexpr const char* VERDICT_TEXT_NG = "NG";

struct T_CHECKSUM_VIEW {
    std::optional<std::string> strDigest;   // the new text of 1046
    std::optional<std::string> strVerdict;  // the new text of 1047 (empty: cleared)
    std::optional<std::string> strImageText;  // the image control's text (right-aligned)
    bool bClearImageBars = false;  // the four bars of the image control to 0
    bool bUpdateControls = false;  // the image's size is now known
    bool bFreeString = false;      // lParam is a heap string
};

// strText: the heap string's text for the kinds that carry one.
T_CHECKSUM_VIEW ChecksumViewOf(WPARAM_T nKind, LPARAM_T lValue, const std::string& strText);

// Whether a report of this kind carries a heap string.
bool ChecksumReportHasString(WPARAM_T nKind);
