#pragma once
// The CLI's answer to an engine's question. The engine asks on its job
// thread; the question travels through the message queue, so that it is
// put after every log line posted before it, and the main thread answers
// it: No once a stop was requested, Yes with --yes, otherwise the
// operator's answer on the terminal, and No when there is no terminal to
// ask on or the operator stops the program while it asks.
#include <future>
#include <string>

#include "cli/console.h"
#include "engine/core/notify_queue.h"
#include "engine/core/prompt.h"

constexpr uint32_t WM_CLI_PROMPT = 0x1410;

struct T_PROMPT_REQUEST {
    std::string strText;
    std::promise<bool> answer;
};

class CCliPrompt : public IPrompt {
public:
    explicit CCliPrompt(CNotifyQueue& queue) : m_queue(queue) {}
    bool AskYesNo(INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption) override;

private:
    CNotifyQueue& m_queue;
};

enum class EPromptRule {
    Ask,      // ask on the terminal if there is one, else No
    Yes,      // --yes
    Stopped,  // a stop was requested: No, whatever else was asked for
};

// A question an engine may ask during the job (whether to replace an
// existing image), and the rule it is answered by.
struct T_JOB_QUESTION {
    std::string strSubject;  // what it is about, shown before the question
    bool bYes = false;       // --yes was given
};

// Asks a Yes/No question on standard error: strQuestion, " [y/N] ", then
// the operator's answer on the terminal, or the answer the rule gives with
// its reason. True only for Yes.
bool AskOperator(std::string_view strQuestion, EPromptRule eRule, const T_CONSOLE_IO& io);
// Answers a request taken from the queue (main thread). The question goes
// to standard error after strSubject, which says what it is about
// ("disk.gmi already exists. 上書きしますか？ [y/N] "), and an answer not
// typed by the operator is shown with its reason.
void AnswerPrompt(T_PROMPT_REQUEST& request, std::string_view strSubject, EPromptRule eRule, const T_CONSOLE_IO& io);
// The terminal's reading of an answer: "y" or "yes", any case.
bool IsYesAnswer(std::string_view strAnswer);
