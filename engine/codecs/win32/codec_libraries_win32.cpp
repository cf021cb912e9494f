// Win32 adapter of the decompression libraries. They are not linked: each
// is bound at run time from its DLL in the program's own folder, loaded by
// its full path there (codec_dll_binding.h says which names, in which
// order, and what makes a DLL usable). A library is bound once, at its
// first use, and kept for the rest of the process; one that is absent stays
// absent until the program starts again.
#include <windows.h>

#include "engine/codecs/codec_dll_binding.h"
#include "engine/codecs/codec_platform.h"
#include "engine/core/win32/text_win32.h"

namespace {

// The folder the program was started from, without its last backslash.
std::string ProgramFolder()
{
    std::wstring strPath(32768, L'\0');
    const DWORD nLength = ::GetModuleFileNameW(nullptr, strPath.data(), static_cast<DWORD>(strPath.size()));
    strPath.resize(nLength < strPath.size() ? nLength : 0);
    const size_t nSlash = strPath.find_last_of(L'\\');
    strPath.resize(nSlash == std::wstring::npos ? 0 : nSlash);
    return WideToUtf8(strPath);
}

std::vector<std::string> DllPaths(ECodecLibrary eLibrary)
{
    const std::string strFolder = ProgramFolder();
    std::vector<std::string> paths;
    if (strFolder.empty()) return paths;  // no folder to look in: nothing is loaded by a bare name
    for (const std::string& strName : CodecDllNames(eLibrary)) paths.push_back(strFolder + "\\" + strName);
    return paths;
}

const T_CODEC_BINDING<T_LZMA_ENTRY_POINTS>& LzmaBinding()
{
    static const auto binding = BindLzmaLibrary(DllPaths(ECodecLibrary::Lzma));
    return binding;
}

const T_CODEC_BINDING<T_ZSTD_ENTRY_POINTS>& ZstdBinding()
{
    static const auto binding = BindZstdLibrary(DllPaths(ECodecLibrary::Zstd));
    return binding;
}

const T_CODEC_BINDING<T_BZIP2_ENTRY_POINTS>& Bzip2Binding()
{
    static const auto binding = BindBzip2Library(DllPaths(ECodecLibrary::Bzip2));
    return binding;
}

const T_CODEC_BINDING<T_ARCHIVE_ENTRY_POINTS>& ArchiveBinding()
{
    static const auto binding = BindArchiveLibrary(DllPaths(ECodecLibrary::Archive));
    return binding;
}

template <class T>
const T* EntryOf(const T_CODEC_BINDING<T>& binding)
{
    return binding.bBound ? &binding.entry : nullptr;
}

}  // namespace

const T_LZMA_ENTRY_POINTS* PlatformLzmaEntryPoints()
{
    return EntryOf(LzmaBinding());
}

const T_ZSTD_ENTRY_POINTS* PlatformZstdEntryPoints()
{
    return EntryOf(ZstdBinding());
}

const T_BZIP2_ENTRY_POINTS* PlatformBzip2EntryPoints()
{
    return EntryOf(Bzip2Binding());
}

const T_ARCHIVE_ENTRY_POINTS* PlatformArchiveEntryPoints()
{
    return EntryOf(ArchiveBinding());
}

// The first name tried is the one the operator is told to put there.
std::string PlatformCodecLibraryFileName(ECodecLibrary eLibrary)
{
    return CodecDllNames(eLibrary).front();
}

std::string PlatformCodecLibraryProblem(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return LzmaBinding().strProblem;
    case ECodecLibrary::Zstd: return ZstdBinding().strProblem;
    case ECodecLibrary::Bzip2: return Bzip2Binding().strProblem;
    case ECodecLibrary::Archive: return ArchiveBinding().strProblem;
    }
    return {};
}
