#include "jobs/job_ports.h"

#include <atomic>

#include "engine/core/format.h"

namespace {

std::atomic<IJobSound*> g_pSound{nullptr};
std::atomic<IShellNotifier*> g_pNotifier{nullptr};

void NotifyPath(long nEvent, std::string strPath)
{
    IShellNotifier* pNotifier = g_pNotifier;
    if (pNotifier == nullptr) return;
    if (strPath.empty() || strPath.back() != '\\') strPath += '\\';
    pNotifier->Notify(nEvent, strPath);
}

void NotifyDrive(long nEvent, int nLetter)
{
    int nIndex = -1;
    if (nLetter >= 0 && nLetter < 26) nIndex = nLetter;
    else if (nLetter >= 'A' && nLetter <= 'Z') nIndex = nLetter - 'A';
    else if (nLetter >= 'a' && nLetter <= 'z') nIndex = nLetter - 'a';
    if (nIndex < 0) return;
    NotifyPath(nEvent, FormatText("\\\\.\\%c:\\", static_cast<unsigned>('A' + nIndex)));
}

}  // namespace

void SetJobSound(IJobSound* pSound) { g_pSound = pSound; }
IJobSound* GetJobSound() { return g_pSound; }
void SetShellNotifier(IShellNotifier* pNotifier) { g_pNotifier = pNotifier; }

void ShellNotifyMediaRemoved(const std::string& strPath) { NotifyPath(SHCNE_MEDIAREMOVED_EVENT, strPath); }
void ShellNotifyMediaInserted(const std::string& strPath) { NotifyPath(SHCNE_MEDIAINSERTED_EVENT, strPath); }
void ShellNotifyMediaRemovedDrive(int nLetter) { NotifyDrive(SHCNE_MEDIAREMOVED_EVENT, nLetter); }
void ShellNotifyMediaInsertedDrive(int nLetter) { NotifyDrive(SHCNE_MEDIAINSERTED_EVENT, nLetter); }
