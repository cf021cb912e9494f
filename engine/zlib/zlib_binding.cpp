#include "engine/zlib/zlib_binding.h"

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
};

T_BINDING& Binding()
{
    static T_BINDING binding;
    return binding;
}

template <class F>
bool Bind(void* hModule, const char* pszName, F& pfn)
{
    pfn = reinterpret_cast<F>(FindSharedLibrarySymbol(hModule, pszName));
    return pfn != nullptr;
}

bool BindAll(void* hModule, T_ZLIB_ENTRY_POINTS& e)
{
    bool bAll = Bind(hModule, "zlibVersion", e.zlibVersion);
    bAll = Bind(hModule, "deflateInit_", e.deflateInit_) && bAll;
    bAll = Bind(hModule, "deflateInit2_", e.deflateInit2_) && bAll;
    bAll = Bind(hModule, "deflate", e.deflate) && bAll;
    bAll = Bind(hModule, "deflateEnd", e.deflateEnd) && bAll;
    bAll = Bind(hModule, "inflateInit_", e.inflateInit_) && bAll;
    bAll = Bind(hModule, "inflateInit2_", e.inflateInit2_) && bAll;
    bAll = Bind(hModule, "inflate", e.inflate) && bAll;
    return Bind(hModule, "inflateEnd", e.inflateEnd) && bAll;
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
    if (BindAll(b.hModule, b.entry)) return true;
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

}  // namespace ZlibBinding
