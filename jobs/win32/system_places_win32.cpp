// The running system's place on Windows: the volume of the system folder,
// known by a file in it, so that the disks under that volume are set apart.
// The other volumes are locked against a job like any other.
#include <windows.h>

#include "jobs/system_places.h"
#include "engine/core/win32/text_win32.h"

std::vector<T_SYSTEM_PLACE> SystemPlaces()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    const std::string strFolder = WideToUtf8(std::wstring_view(folder, n));
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pFile =
        GetPlatformDevices().Open(strFolder + "\\kernel32.dll", EOpenMode::ReadImage, nError);
    if (!pFile) return {};
    return {T_SYSTEM_PLACE{"the Windows system folder (" + strFolder + ")", pFile->GetStorage()}};
}
