// POSIX adapter of the dynamic loader: the system's zlib is libz.so.1.
#include <dlfcn.h>

#include "engine/zlib/shared_library.h"

void* OpenSharedLibrary(const std::string& strName)
{
    return ::dlopen(strName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

PFN_SHARED_SYMBOL FindSharedLibrarySymbol(void* hModule, const char* pszName)
{
    return reinterpret_cast<PFN_SHARED_SYMBOL>(::dlsym(hModule, pszName));
}

void CloseSharedLibrary(void* hModule)
{
    ::dlclose(hModule);
}

std::vector<std::string> ZlibLibraryNames()
{
    return {"libz.so.1"};
}
