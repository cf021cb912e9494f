// The window's desktop ports over the system's calls.
#include "ui/win32/window_ports.h"

#include <windows.h>

#include <mmsystem.h>
#include <shlobj.h>

#include "engine/core/win32/text_win32.h"
#include "engine/core/win32/window_notify_target.h"

// A file that is missing plays the system's default sound instead.
void CWin32JobSound::PlayFile(const std::string& strPath)
{
    ::PlaySoundW(Utf8ToWide(strPath).c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}

std::string CWin32JobSound::ProgramFolder()
{
    wchar_t szModule[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::wstring strPath = szModule;
    const size_t nSlash = strPath.find_last_of(L'\\');
    if (nSlash != std::wstring::npos && nSlash > 0) strPath.resize(nSlash);
    return WideToUtf8(strPath);
}

void CWin32ShellNotifier::Notify(long nEvent, const std::string& strPath)
{
    ::SHChangeNotify(nEvent, SHCNF_PATHW, Utf8ToWide(strPath).c_str(), nullptr);
}

bool CMessageBoxPrompt::AskYesNo(INotifyTarget* pOwner, std::string_view strText, std::string_view strCaption)
{
    auto* pWindow = dynamic_cast<CWindowNotifyTarget*>(pOwner);
    return MessageBoxUtf8(pWindow ? pWindow->Window() : nullptr, strText, strCaption, MB_YESNO) == IDYES;
}
