#pragma once
// What the main window reaches the machine through. The program passes the
// platform's scanner, devices, settings store and file path; the window
// test passes a scripted scanner, fake drives and a temporary file. Below
// them, the window's adapters of the job runner's desktop ports: the
// completion sound (PlaySoundW), the shell's media notifications
// (SHChangeNotify) and the Yes/No question of a read over an existing image
// (MessageBoxW).
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "drives/profile_store.h"
#include "drives/settings_load.h"
#include "drives/volume_scanner.h"
#include "engine/core/prompt.h"
#include "engine/device/device.h"
#include "jobs/job_ports.h"
#include "ui/model/job_description.h"

struct T_WINDOW_PORTS {
    IVolumeScanner* pScanner = nullptr;
    IDeviceProvider* pDevices = nullptr;
    IProfileStore* pProfile = nullptr;
    std::string strSettingsPath;
    // Answers the read's question about replacing an existing image.
    IPrompt* pPrompt = nullptr;
    bool bZlibLoaded = false;
    // GetDriveTypeW of a letter's root, for "ShowRemovableOnly".
    FnDriveTypeOfLetter fnDriveTypeOf;
    // GlobalMemoryStatusEx, for a job's buffer count.
    std::function<T_MEMORY_STATUS()> fnMemoryStatus;
    // The optional background picture ("\Gravelmoor.bmp" beside the program).
    std::string strBackgroundPath;
    // How long a stopped job may take before the window says that a drive
    // does not answer, and before a window closed during a job leaves
    // without it.
    std::chrono::milliseconds stopPatience{5000};
    // Ends the process while a job's thread still runs; null: at once,
    // without unwinding anything that thread may still use.
    std::function<void()> fnEndProcess;
};

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
