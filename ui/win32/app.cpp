#include "ui/win32/app.h"

#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <memory>

#include "drives/settings_path.h"
#include "engine/zlib/zlib_io.h"
#include "jobs/job_ports.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_ports.h"

namespace {

T_MEMORY_STATUS PlatformMemoryStatus()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    T_MEMORY_STATUS memory;
    if (!::GlobalMemoryStatusEx(&status)) return memory;
    memory.bKnown = true;
    memory.nAvailPhys = status.ullAvailPhys;
    memory.nAvailVirtual = status.ullAvailVirtual;
    return memory;
}

uint32_t PlatformDriveType(char chLetter)
{
    const wchar_t szRoot[4] = {static_cast<wchar_t>(chLetter), L':', L'\\', 0};
    return ::GetDriveTypeW(szRoot);
}

std::string ProgramFolderFile(const char* pszName)
{
    CWin32JobSound folder;
    return folder.ProgramFolder() + "\\" + pszName;
}

}  // namespace

void FillPlatformPorts(T_WINDOW_PORTS& ports)
{
    ports.strSettingsPath = GetSettingsFilePath();
    ports.fnDriveTypeOf = PlatformDriveType;
    ports.fnMemoryStatus = PlatformMemoryStatus;
    ports.strBackgroundPath = ProgramFolderFile("Gravelmoor.bmp");
}

bool CGravelmoorApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (FAILED(::OleInitialize(nullptr))) {
        wchar_t szText[256] = {};
        ::LoadStringW(::GetModuleHandleW(nullptr), IDS_OLE_INIT_FAILED, szText, 256);
        ::MessageBoxW(nullptr, szText, L"Gravelmoor", MB_OK | MB_ICONERROR);
        return false;
    }
    const HMODULE hRichEdit = ::LoadLibraryW(L"riched20.dll");
    {
        const CZLIBIO zlib;  // binds zlib until the window has ended
        std::unique_ptr<IVolumeScanner> pScanner = CreatePlatformVolumeScanner();
        std::unique_ptr<IProfileStore> pProfile = CreateProfileStore();
        CWin32JobSound sound;
        CWin32ShellNotifier shell;
        CMessageBoxPrompt prompt;
        SetJobSound(&sound);
        SetShellNotifier(&shell);
        T_WINDOW_PORTS ports;
        FillPlatformPorts(ports);
        ports.pScanner = pScanner.get();
        ports.pDevices = &GetPlatformDevices();
        ports.pProfile = pProfile.get();
        ports.pPrompt = &prompt;
        ports.bZlibLoaded = zlib.IsLoaded();
        {
            CGravelmoorDlg dlg(ports);
            dlg.DoModal();
        }
        SetJobSound(nullptr);
        SetShellNotifier(nullptr);
    }
    if (hRichEdit) ::FreeLibrary(hRichEdit);
    ::OleUninitialize();
    return false;
}
