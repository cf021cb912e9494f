#pragma once
// The window's adapters of the job runner's desktop ports: the completion
// sound (PlaySoundW), the shell's media notifications (SHChangeNotify) and
// the Yes/No question of a read over an existing image (MessageBoxW).
#include <windows.h>

#include "engine/core/prompt.h"
#include "jobs/job_ports.h"

class CWin32JobSound : public IJobSound {
public:
    void PlayFile(const std::string& strPath) override;
    std::string ProgramFolder() override;
};

class CWin32ShellNotifier : public IShellNotifier {
public:
    void Notify(long nEvent, const std::string& strPath) override;
};

class CMessageBoxPrompt : public IPrompt {
public:
    bool AskYesNo(INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption) override;
};
