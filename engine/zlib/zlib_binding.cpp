#include "engine/zlib/zlib_binding.h"

#include <algorithm>
#include <mutex>

#include "engine/core/debug_trace.h"
#include "engine/zlib/shared_library.h"

namespace {

struct T_BINDING {
    std::mutex hMutex;  // guards every field below
    void* hModule = nullptr;
    bool bLoaded = false;
    uint32_t nLinks = 0;
    std::string strName;
    T_ZLIB_ENTRY_POINTS entry;
    std::vector<std::string> names;  // the test seam's names; empty: the platform's
    std::vector<std::string> missing;  // the test seam's entry points to leave unbound
};

T_BINDING& Binding()
{
    static T_BINDING binding;
    return binding;
}

// The entry points a load binds; the test seam's missing ones stay null.
struct T_LOOKUP {
    void* hModule;
    const std::vector<std::string>& missing;
};

template <class F>
bool Bind(const T_LOOKUP& lookup, const char* pszName, F& pfn)
{
    pfn = nullptr;
    if (std::find(lookup.missing.begin(), lookup.missing.end(), pszName) == lookup.missing.end()) {
        pfn = reinterpret_cast<F>(FindSharedLibrarySymbol(lookup.hModule, pszName));
    }
    return pfn != nullptr;
}

void BindExtras(const T_LOOKUP& lookup, T_ZLIB_EXTRA_ENTRY_POINTS& x)
{
    Bind(lookup, "deflateReset", x.deflateReset);
    Bind(lookup, "deflateSetDictionary", x.deflateSetDictionary);
    Bind(lookup, "crc32", x.crc32);
    Bind(lookup, "crc32_combine", x.crc32_combine);
}

bool BindAll(const T_LOOKUP& lookup, T_ZLIB_ENTRY_POINTS& e)
{
    bool bAll = Bind(lookup, "zlibVersion", e.zlibVersion);
    bAll = Bind(lookup, "deflateInit_", e.deflateInit_) && bAll;
    bAll = Bind(lookup, "deflateInit2_", e.deflateInit2_) && bAll;
    bAll = Bind(lookup, "deflate", e.deflate) && bAll;
    bAll = Bind(lookup, "deflateEnd", e.deflateEnd) && bAll;
    bAll = Bind(lookup, "inflateInit_", e.inflateInit_) && bAll;
    bAll = Bind(lookup, "inflateInit2_", e.inflateInit2_) && bAll;
    bAll = Bind(lookup, "inflate", e.inflate) && bAll;
    bAll = Bind(lookup, "inflateEnd", e.inflateEnd) && bAll;
    BindExtras(lookup, e.extra);
    return bAll;
}

// The first name that loads is the library; it is used only when it has
// all nine entry points. Called with the lock held.
bool Load(T_BINDING& b)
{
    const std::vector<std::string> names = b.names.empty() ? ZlibLibraryNames() : b.names;
    b.strName.clear();
    for (const std::string& strName : names) {
        b.hModule = OpenSharedLibrary(strName);
        if (b.hModule) {
            b.strName = strName;
            break;
        }
    }
    if (!b.hModule) return false;
    if (BindAll(T_LOOKUP{b.hModule, b.missing}, b.entry)) return true;
    CloseSharedLibrary(b.hModule);
    b.hModule = nullptr;
    b.entry = T_ZLIB_ENTRY_POINTS{};
    b.strName.clear();
    return false;
}

}  // namespace

namespace ZlibBinding {

const T_ZLIB_ENTRY_POINTS* Link()
{
    T_BINDING& b = Binding();
    std::lock_guard lock(b.hMutex);
    if (!b.bLoaded) {
        DebugTrace("CZLIBIO::LOAD\n");
        b.bLoaded = Load(b);
        if (!b.bLoaded) return nullptr;
    }
    ++b.nLinks;
    DebugTrace("CZLIBIO::LINK\n");
    return &b.entry;
}

void Unlink()
{
    T_BINDING& b = Binding();
    std::lock_guard lock(b.hMutex);
    if (b.nLinks == 0) return;
    --b.nLinks;
    DebugTrace("CZLIBIO::UNLINK\n");
    if (b.nLinks > 0 || !b.bLoaded) return;
    CloseSharedLibrary(b.hModule);
    b.hModule = nullptr;
    b.bLoaded = false;
    b.entry = T_ZLIB_ENTRY_POINTS{};
    DebugTrace("CZLIBIO::FREE\n");
}

bool IsLoaded()
{
    std::lock_guard lock(Binding().hMutex);
    return Binding().bLoaded;
}

uint32_t LinkCount()
{
    std::lock_guard lock(Binding().hMutex);
    return Binding().nLinks;
}

std::string LibraryName()
{
    std::lock_guard lock(Binding().hMutex);
    return Binding().strName;
}

void SetLibraryNames(std::vector<std::string> names)
{
    std::lock_guard lock(Binding().hMutex);
    Binding().names = std::move(names);
}

void SetMissingEntryPoints(std::vector<std::string> names)
{
    std::lock_guard lock(Binding().hMutex);
    Binding().missing = std::move(names);
}

}  // namespace ZlibBinding
