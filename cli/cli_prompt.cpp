#include "cli/cli_prompt.h"

#include <cctype>

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

bool AskOperator(std::string_view strQuestion, EPromptRule eRule, const T_CONSOLE_IO& io)
{
    const std::string strAsked = std::string(strQuestion) + " [y/N] ";
    if (eRule == EPromptRule::Stopped) {
        io.write(EStream::Error, strAsked + "N (stopped)\n");
        return false;
    }
    if (eRule == EPromptRule::Yes) {
        io.write(EStream::Error, strAsked + "y (--yes)\n");
        return true;
    }
    if (!io.bCanAsk) {
        io.write(EStream::Error, strAsked + "N (no terminal to ask; --yes answers Yes)\n");
        return false;
    }
    io.write(EStream::Error, strAsked);
    std::string strLine;
    const bool bRead = io.readLine(strLine);
    if (!bRead) io.write(EStream::Error, "N\n");  // end of input or a stop request: No
    return bRead && IsYesAnswer(strLine);
}

void AnswerPrompt(T_PROMPT_REQUEST& request, std::string_view strSubject, EPromptRule eRule, const T_CONSOLE_IO& io)
{
    std::string strQuestion(strSubject);
    strQuestion.append(" ").append(request.strText);
    request.answer.set_value(AskOperator(strQuestion, eRule, io));
}
