#include "cli/cli_prompt.h"

#include <cctype>

#include "cli/console.h"

bool CCliPrompt::AskYesNo(INotifyTarget*, std::string_view strText, std::string_view)
{
    auto* pRequest = new T_PROMPT_REQUEST{std::string(strText), {}};
    std::future<bool> answer = pRequest->answer.get_future();
    m_queue.Post(WM_CLI_PROMPT, 0, reinterpret_cast<LPARAM_T>(pRequest));
    return answer.get();
}

bool IsYesAnswer(std::string_view strAnswer)
{
    std::string strLower;
    for (char c : strAnswer) {
        if (!std::isspace(static_cast<unsigned char>(c))) strLower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return strLower == "y" || strLower == "yes";
}

void AnswerPrompt(T_PROMPT_REQUEST& request, bool bYes)
{
    bool bAnswer = false;
    if (bYes) {
        WriteOut(EStream::Error, request.strText + " [y/N] y (--yes)\n");
        bAnswer = true;
    } else if (!IsTerminal(EStream::Input)) {
        WriteOut(EStream::Error, request.strText + " [y/N] N (no terminal to ask; --yes answers Yes)\n");
    } else {
        WriteOut(EStream::Error, request.strText + " [y/N] ");
        std::string strLine;
        const bool bRead = ReadTerminalLine(strLine);
        if (!bRead) WriteOut(EStream::Error, "\n");  // end of input or Ctrl-C: No
        bAnswer = bRead && IsYesAnswer(strLine);
    }
    request.answer.set_value(bAnswer);
}
