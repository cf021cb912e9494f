#include "engine/codecs/codec_libraries.h"

#include <atomic>
#include <utility>

#include "engine/codecs/codec_platform.h"
#include "engine/core/format.h"

namespace {

std::atomic<bool> g_bAbsent[4];

bool SeamAbsent(ECodecLibrary eLibrary)
{
    return g_bAbsent[static_cast<int>(eLibrary)].load();
}

struct T_LIBRARY_FACTS {
    const char* pszWhat;  // "the xz library"
    const char* pszEndings;  // the name endings that ask for its format
};

T_LIBRARY_FACTS FactsOf(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return {"the xz library", ".xz"};
    case ECodecLibrary::Zstd: return {"the zstd library", ".zst"};
    case ECodecLibrary::Bzip2: return {"the bzip2 library", ".bz2"};
    case ECodecLibrary::Archive: return {"the zip library", ".zip"};
    }
    return {"", ""};
}

}  // namespace

const T_LZMA_ENTRY_POINTS* LzmaEntryPoints()
{
    return SeamAbsent(ECodecLibrary::Lzma) ? nullptr : PlatformLzmaEntryPoints();
}

const T_ZSTD_ENTRY_POINTS* ZstdEntryPoints()
{
    return SeamAbsent(ECodecLibrary::Zstd) ? nullptr : PlatformZstdEntryPoints();
}

const T_BZIP2_ENTRY_POINTS* Bzip2EntryPoints()
{
    return SeamAbsent(ECodecLibrary::Bzip2) ? nullptr : PlatformBzip2EntryPoints();
}

const T_ARCHIVE_ENTRY_POINTS* ArchiveEntryPoints()
{
    return SeamAbsent(ECodecLibrary::Archive) ? nullptr : PlatformArchiveEntryPoints();
}

std::optional<ECodecLibrary> CodecLibraryOf(EImageFormat eFormat)
{
    switch (eFormat) {
    case EImageFormat::Xz: return ECodecLibrary::Lzma;
    case EImageFormat::Zstd: return ECodecLibrary::Zstd;
    case EImageFormat::Bzip2: return ECodecLibrary::Bzip2;
    case EImageFormat::Zip: return ECodecLibrary::Archive;
    default: return std::nullopt;
    }
}

bool CodecLibraryFound(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return LzmaEntryPoints() != nullptr;
    case ECodecLibrary::Zstd: return ZstdEntryPoints() != nullptr;
    case ECodecLibrary::Bzip2: return Bzip2EntryPoints() != nullptr;
    case ECodecLibrary::Archive: return ArchiveEntryPoints() != nullptr;
    }
    return false;
}

std::string CodecLibraryFileName(ECodecLibrary eLibrary)
{
    return PlatformCodecLibraryFileName(eLibrary);
}

std::string FormatUnreadableReason(EImageFormat eFormat)
{
    const std::optional<ECodecLibrary> eLibrary = CodecLibraryOf(eFormat);
    if (!eLibrary || CodecLibraryFound(*eLibrary)) return {};
    const T_LIBRARY_FACTS facts = FactsOf(*eLibrary);
    const std::string strProblem = PlatformCodecLibraryProblem(*eLibrary);
    if (!strProblem.empty()) {
        return FormatText("%s (%s) is needed to read %s images, and %s", facts.pszWhat,
                          CodecLibraryFileName(*eLibrary), facts.pszEndings, strProblem);
    }
    return FormatText("%s (%s) is needed to read %s images and was not found", facts.pszWhat,
                      CodecLibraryFileName(*eLibrary), facts.pszEndings);
}

std::string MissingZstdCompression(const T_ZSTD_ENTRY_POINTS& zstd)
{
    const std::pair<bool, const char*> entries[] = {
        {zstd.ZSTD_createCCtx != nullptr, "ZSTD_createCCtx"},
        {zstd.ZSTD_freeCCtx != nullptr, "ZSTD_freeCCtx"},
        {zstd.ZSTD_CCtx_setParameter != nullptr, "ZSTD_CCtx_setParameter"},
        {zstd.ZSTD_compressStream2 != nullptr, "ZSTD_compressStream2"},
        {zstd.ZSTD_CStreamOutSize != nullptr, "ZSTD_CStreamOutSize"},
    };
    std::string strMissing;
    for (const auto& [bThere, pszName] : entries) {
        if (!bThere) strMissing += (strMissing.empty() ? "" : ", ") + std::string(pszName);
    }
    return strMissing;
}

std::string FormatUnwritableReason(EImageFormat eFormat)
{
    if (eFormat != EImageFormat::Zstd) return {};
    const std::string strFile = CodecLibraryFileName(ECodecLibrary::Zstd);
    const T_ZSTD_ENTRY_POINTS* pZstd = ZstdEntryPoints();
    if (!pZstd) return FormatText("the zstd library (%s) is needed to write .zst images and was not found", strFile);
    const std::string strMissing = MissingZstdCompression(*pZstd);
    if (strMissing.empty()) return {};
    return FormatText("the zstd library (%s) cannot write .zst images: it lacks %s", strFile, strMissing);
}

namespace CodecLibraries {

void SetAbsent(ECodecLibrary eLibrary, bool bAbsent)
{
    g_bAbsent[static_cast<int>(eLibrary)] = bAbsent;
}

}  // namespace CodecLibraries
