#pragma once
// The CLI's answer to an engine's question. The engine asks on its job
// thread; the question travels through the message queue, so that it is
// put after every log line posted before it, and the main thread answers:
// Yes with --yes, otherwise the operator's answer on the terminal, and No
// when there is no terminal to ask on.
#include <future>
#include <string>

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

// Answers a request taken from the queue (main thread).
void AnswerPrompt(T_PROMPT_REQUEST& request, bool bYes);
// The terminal's reading of an answer: "y" or "yes", any case.
bool IsYesAnswer(std::string_view strAnswer);
