// Win32 adapter of the dynamic loader. zlib comes as zlibwapi.dll (the
// WINAPI build), zlib1.dll (the usual DLL, shipped beside the program) or
// zlib.dll; on x64 all three share one calling convention.
#include <windows.h>

#include "engine/core/win32/text_win32.h"
#include "engine/zlib/shared_library.h"

void* OpenSharedLibrary(const std::string& strName)
{
    return ::LoadLibraryW(Utf8ToWide(strName).c_str());
}

PFN_SHARED_SYMBOL FindSharedLibrarySymbol(void* hModule, const char* pszName)
{
    return reinterpret_cast<PFN_SHARED_SYMBOL>(::GetProcAddress(static_cast<HMODULE>(hModule), pszName));
}

void CloseSharedLibrary(void* hModule)
{
    ::FreeLibrary(static_cast<HMODULE>(hModule));
}

std::vector<std::string> ZlibLibraryNames()
{
    return {"zlibwapi.dll", "zlib1.dll", "zlib.dll"};
}
