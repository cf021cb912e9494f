#pragma once
// What the main window reaches the machine through. The program passes the
// platform's scanner, devices, settings store and file path; the window
// test passes a scripted scanner, fake drives and a temporary file.
#include <cstdint>
#include <functional>
#include <string>

#include "drives/profile_store.h"
#include "drives/settings_load.h"
#include "drives/volume_scanner.h"
#include "engine/core/prompt.h"
#include "engine/device/device.h"
#include "ui/model/buffer_size.h"

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
};
