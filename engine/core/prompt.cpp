#include "engine/core/prompt.h"

bool AskYesNo(IPrompt* pPrompt, INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption)
{
    return pPrompt != nullptr && pPrompt->AskYesNo(pOwner, strText, strCaption);
}
