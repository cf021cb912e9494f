#include "cli/cli_output.h"

#include <utility>

#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"

namespace {

// The nearest of the eight terminal colours: 1 red, 2 green, 4 blue bits.
unsigned AnsiColourIndex(uint32_t dwColorRef)
{
    const unsigned r = dwColorRef & 0xFF, g = (dwColorRef >> 8) & 0xFF, b = (dwColorRef >> 16) & 0xFF;
    return (r >= 0x80 ? 1u : 0u) | (g >= 0x80 ? 2u : 0u) | (b >= 0x80 ? 4u : 0u);
}

void AddCode(std::string& strCodes, unsigned nCode)
{
    if (!strCodes.empty()) strCodes += ';';
    strCodes += std::to_string(nCode);
}

std::string FormatDuration(int64_t nSeconds)
{
    return FormatText("%d:%02d:%02d", nSeconds / 3600, (nSeconds / 60) % 60, nSeconds % 60);
}

const char RESET[] = "\033[0m";
const char CLEAR_LINE[] = "\r\033[K";

}  // namespace

T_OUTPUT_MODE ChooseOutputMode(const T_OUTPUT_FACTS& facts)
{
    const bool bDumb = facts.strTerm == "dumb";
    T_OUTPUT_MODE mode;
    mode.bColour = facts.eOutput == EStreamKind::Terminal && facts.strNoColor.empty() && !bDumb;
    if (facts.eError != EStreamKind::Terminal)
        mode.eProgress = EProgressMode::None;
    else if (bDumb || facts.eOutput == EStreamKind::Pipe)
        mode.eProgress = EProgressMode::Lines;
    else
        mode.eProgress = EProgressMode::Live;
    if (facts.eError == EStreamKind::Terminal) mode.bellAfter = BELL_AFTER_JOB;
    return mode;
}

T_OUTPUT_FACTS ReadOutputFacts()
{
    return T_OUTPUT_FACTS{StreamKindOf(EStream::Output), StreamKindOf(EStream::Error),
                          GetEnvironmentText("NO_COLOR"), GetEnvironmentText("TERM")};
}

std::vector<uint32_t> ImageJobSpeedCodes()
{
    return {PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 1, PROGRESS_DRIVE_SPEED + 2,
            PROGRESS_DRIVE_SPEED + 3};
}

std::vector<uint32_t> DriveSpeedCodes()
{
    return {PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 1, PROGRESS_DRIVE_SPEED + 2, PROGRESS_DRIVE_SPEED + 3};
}

void ReportOutputFailure(uint32_t nError, std::string_view strWhatInstead, const T_CONSOLE_IO& io)
{
    std::string strText = "gravelmoor-cli: standard output could not be written";
    strText.append(strWhatInstead).append(".\n").append(GetSystemErrorText(nError));
    if (strText.back() != '\n') strText += '\n';
    io.write(EStream::Error, strText);
}

int PrintWholeText(std::string_view strText, const T_CONSOLE_IO& io)
{
    const uint32_t nError = io.write(EStream::Output, strText);
    if (nError == 0) return 0;
    ReportOutputFailure(nError, "", io);
    return 1;
}

std::string AnsiStyleOf(uint32_t dwWord)
{
    std::string strCodes;
    if (dwWord & LOG_WORD_BOLD) AddCode(strCodes, 1);
    if (dwWord & LOG_WORD_ITALIC) AddCode(strCodes, 3);
    if (dwWord & LOG_WORD_UNDERLINE) AddCode(strCodes, 4);
    if (dwWord & LOG_WORD_STRIKEOUT) AddCode(strCodes, 9);
    const unsigned nIndex = AnsiColourIndex(dwWord & 0xFFFFFF);
    if (dwWord & LOG_WORD_BACKGROUND) {
        AddCode(strCodes, 40 + nIndex);
        AddCode(strCodes, 97);  // light text on the coloured background
    } else if (nIndex != 0 && nIndex != 7) {
        // Black and white are left to the terminal's own text colour.
        AddCode(strCodes, 30 + nIndex);
    }
    return strCodes.empty() ? std::string() : "\033[" + strCodes + "m";
}

std::string RenderLogLine(uint32_t dwWord, std::string_view strText, bool bColour, bool bContinuesLine)
{
    const std::string_view strPrefix = LogPrefixText(LogPrefixOf(dwWord));
    std::string strPlain;
    if (!bContinuesLine) {
        strPlain.append(strPrefix).append(strText);
    } else if (strText.starts_with('\n')) {
        strPlain.append("\n").append(strPrefix).append(strText.substr(1));
    } else {
        strPlain = strText;
    }
    const std::string strStyle = bColour ? AnsiStyleOf(dwWord) : std::string();
    if (strStyle.empty()) return strPlain;
    // Each line is styled on its own, so the style never leaks past a line end.
    std::string strOut;
    size_t nPos = 0;
    while (nPos < strPlain.size()) {
        size_t nEnd = strPlain.find('\n', nPos);
        const bool bNewline = nEnd != std::string::npos;
        if (!bNewline) nEnd = strPlain.size();
        if (nEnd > nPos) strOut.append(strStyle).append(strPlain, nPos, nEnd - nPos).append(RESET);
        if (bNewline) strOut += '\n';
        nPos = nEnd + 1;
    }
    return strOut;
}

std::string RenderProgress(int64_t nPerMille, std::string_view strSpeed, int64_t nRemainSeconds)
{
    std::string strLine = FormatText("%5.1f%%", nPerMille < 0 ? 0.0 : static_cast<double>(nPerMille) / 10.0);
    const size_t nFirst = strSpeed.find_first_not_of(' ');
    if (nFirst != std::string_view::npos) strLine.append("  ").append(strSpeed.substr(nFirst));
    if (nRemainSeconds >= 0) strLine.append("  remaining ").append(FormatDuration(nRemainSeconds));
    return strLine;
}

CCliPrinter::CCliPrinter(T_OUTPUT_MODE mode, std::vector<uint32_t> arrSpeedCodes, TWriteFn write)
    : m_mode(mode),
      m_arrSpeedCodes(std::move(arrSpeedCodes)),
      m_write(std::move(write)),
      m_arrSpeeds(m_arrSpeedCodes.size())
{
}

void CCliPrinter::Handle(const T_NOTIFY_MSG& msg)
{
    if (msg.uMsg == WM_ENGINE_LOG) {
        PrintLog(static_cast<uint32_t>(msg.wParam), HeapStringOf(msg.lParam));
        FreeHeapString(msg.lParam);
    } else if (msg.uMsg == WM_ENGINE_PROGRESS) {
        HandleProgress(static_cast<uint32_t>(msg.wParam), msg.lParam);
    }
}

void CCliPrinter::PrintLog(uint32_t dwWord, std::string_view strText)
{
    ClearProgress();
    if (m_nOutputError == 0)
        m_nOutputError = m_write(EStream::Output, RenderLogLine(dwWord, strText, m_mode.bColour, m_bMidLine));
    if (m_nOutputError != 0) m_write(EStream::Error, RenderLogLine(dwWord, strText, false, m_bMidLine));
    if (!strText.empty()) m_bMidLine = strText.back() != '\n';
    DrawProgress();
}

void CCliPrinter::HandleProgress(uint32_t nCode, LPARAM_T lParam)
{
    if (IsProgressText(nCode)) {
        TakeSpeed(nCode, HeapStringOf(lParam));
        FreeHeapString(lParam);
        return;
    }
    // The checksum task's figure is the whole of its job.
    if (nCode == PROGRESS_TOTAL || nCode == PROGRESS_CHECKSUM) {
        m_nPerMille = static_cast<int64_t>(lParam);
        DrawProgress();
        PrintProgressLine();
    } else if (nCode == PROGRESS_REMAIN) {
        m_nRemain = static_cast<int64_t>(lParam);
    }
}

namespace {
bool IsMoving(std::string_view strSpeed)
{
    static const std::string ZERO = SpeedText(0.0);
    return !strSpeed.empty() && strSpeed != ZERO;
}
}  // namespace

void CCliPrinter::TakeSpeed(uint32_t nCode, std::string_view strSpeed)
{
    for (size_t i = 0; i < m_arrSpeedCodes.size(); ++i) {
        if (m_arrSpeedCodes[i] != nCode) continue;
        m_arrSpeeds[i] = strSpeed;
        if (IsMoving(strSpeed)) m_strLastMoving = strSpeed;
    }
}

// A stage that ends reports the speed 0; until another one moves, the last
// speed measured stays, so the end of a job or of its write pass still
// shows how fast it went.
std::string_view CCliPrinter::ShownSpeed() const
{
    for (const std::string& strSpeed : m_arrSpeeds) {
        if (IsMoving(strSpeed)) return strSpeed;
    }
    if (!m_strLastMoving.empty()) return m_strLastMoving;
    return m_arrSpeeds.empty() ? std::string_view() : std::string_view(m_arrSpeeds.front());
}

void CCliPrinter::DrawProgress()
{
    if (m_mode.eProgress != EProgressMode::Live || m_nPerMille < 0 || m_bMidLine) return;
    m_write(EStream::Error, CLEAR_LINE + RenderProgress(m_nPerMille, ShownSpeed(), m_nRemain));
    m_bProgressShown = true;
}

void CCliPrinter::PrintProgressLine()
{
    if (m_mode.eProgress != EProgressMode::Lines || m_nPerMille / 100 <= m_nTenthsPrinted || m_bMidLine) return;
    m_nTenthsPrinted = m_nPerMille / 100;
    m_write(EStream::Error, RenderProgress(m_nPerMille, ShownSpeed(), m_nRemain) + "\n");
}

void CCliPrinter::ClearProgress()
{
    if (!m_bProgressShown) return;
    m_write(EStream::Error, CLEAR_LINE);
    m_bProgressShown = false;
}
