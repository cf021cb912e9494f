#pragma once
// The platform's dynamic loader (LoadLibraryW/GetProcAddress on Windows,
// dlopen/dlsym on POSIX), and the names under which the platform's zlib is
// looked for. The adapters translate calls; the binding holds the policy.
#include <string>
#include <vector>

// Any exported function; the caller casts it to the function's real type.
using PFN_SHARED_SYMBOL = void (*)();

// The library's handle, or null when it cannot be loaded.
void* OpenSharedLibrary(const std::string& strName);
// The exported function of that name, or null when the library lacks it.
PFN_SHARED_SYMBOL FindSharedLibrarySymbol(void* hModule, const char* pszName);
void CloseSharedLibrary(void* hModule);

// The names of zlib's shared library on this platform, in the order they
// are tried.
std::vector<std::string> ZlibLibraryNames();
