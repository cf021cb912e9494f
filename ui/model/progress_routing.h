#pragma once
// Where the engines' reports go in the window. A progress report
// (WM_ENGINE_PROGRESS: code, value) goes to one of the six progress
// controls (a bar position or its text) or the remaining-time static;
// codes nobody shows are ignored, and a code whose value is a heap string
// (the speed texts) still has its string freed. A report of the image
// checksum task (WM_CHECKSUM_RESULT: kind, value) changes the digest static
// 1046, the verdict static 1047 ("OK" or "NG" against the .md5sum file), or
// the image control's text and bars; a report with a heap string has its
// string freed by the window whatever it shows.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/notify.h"
#include "engine/core/progress.h"

enum class EProgressTarget {
    None,       // ignored
    Total,      // the whole-job control 1033
    Remain,     // the remaining-time static 1036
    Image,      // the image control 1022
    Row,        // the progress control of row nRow
};

enum class EProgressEffect {
    None,
    Bar,          // bar nBar = the value
    TotalBar,     // bar 0 = the value and the text = the per mille as "%.1f%%"
    SpeedText,    // the text = the heap string
    RemainText,   // the static = the remaining-time text of the value
};

struct T_PROGRESS_ROUTE {
    EProgressTarget eTarget = EProgressTarget::None;
    EProgressEffect eEffect = EProgressEffect::None;
    int nRow = -1;  // Row targets only
    int nBar = -1;  // Bar effects only
    uint32_t nControlId = 0;  // the control changed; 0 for None
};

T_PROGRESS_ROUTE RouteProgress(uint32_t nCode);

// Whether a speed text reaches its control. A stage that ends reports the
// speed 0, which would hide how fast it went: once a control has shown a
// measured speed, a 0 leaves it in place until the next job (Reset).
class CShownSpeeds {
public:
    void Reset() { m_bMoved.fill(false); }
    // route: a SpeedText route of RouteProgress.
    bool Shows(const T_PROGRESS_ROUTE& route, std::string_view strSpeed);

private:
    std::array<bool, 5> m_bMoved{};  // rows 0 to 3, then the image control
};

// The whole-job text of a per-mille value, centred in its control: "100.0%".
std::string TotalPercentText(int64_t nPerMille);

// The remaining time in Japanese: seconds below a minute, minutes and
// seconds below an hour, hours and minutes (rounded to the minute) up to
// nine and a half hours, whole hours (rounded) beyond. A negative value
// shows as no time left.
std::string RemainText(int64_t nSeconds);

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
