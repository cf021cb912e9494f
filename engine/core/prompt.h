#pragma once
// The port for the questions an engine asks the operator (a message box on
// Windows, the terminal in the CLI, scripted answers in tests).
#include <string_view>

#include "engine/core/notify.h"

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A Yes/No question; true only for Yes.
    virtual bool AskYesNo(INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption) = 0;
};

// Asks through the port; without one the answer is No, which keeps data safe.
inline bool AskYesNo(IPrompt* pPrompt, INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption)
{
    return pPrompt != nullptr && pPrompt->AskYesNo(pOwner, strText, strCaption);
}

constexpr std::string_view PROMPT_CAPTION = "Gravelmoor";
constexpr std::string_view PROMPT_OVERWRITE = "上書きしますか？";
