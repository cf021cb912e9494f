#include "engine/codecs/codec_dll_binding.h"

#include "engine/zlib/shared_library.h"

namespace {

// One lookup of a loaded library; remembers the first entry point it lacks.
struct T_LOOKUP {
    void* hModule;
    std::string strMissing;
};

template <class F>
void Bind(T_LOOKUP& lookup, const char* pszName, F& pfn, bool bRequired)
{
    pfn = reinterpret_cast<F>(FindSharedLibrarySymbol(lookup.hModule, pszName));
    if (!pfn && bRequired && lookup.strMissing.empty()) lookup.strMissing = pszName;
}

// The name looked up is the table's field name. An optional entry point
// that is missing stays null and the library still binds.
#define GM_BIND(lookup, table, name) Bind(lookup, #name, table.name, true)
#define GM_BIND_OPTIONAL(lookup, table, name) Bind(lookup, #name, table.name, false)

void BindAll(T_LOOKUP& l, T_LZMA_ENTRY_POINTS& e)
{
    GM_BIND(l, e, lzma_code);
    GM_BIND(l, e, lzma_end);
    GM_BIND(l, e, lzma_stream_header_decode);
    GM_BIND(l, e, lzma_stream_footer_decode);
    GM_BIND(l, e, lzma_stream_flags_compare);
    GM_BIND(l, e, lzma_block_header_decode);
    GM_BIND(l, e, lzma_block_decoder);
    GM_BIND(l, e, lzma_block_unpadded_size);
    GM_BIND(l, e, lzma_filters_free);
    GM_BIND(l, e, lzma_raw_decoder_memusage);
    GM_BIND(l, e, lzma_index_hash_init);
    GM_BIND(l, e, lzma_index_hash_append);
    GM_BIND(l, e, lzma_index_hash_decode);
    GM_BIND(l, e, lzma_index_hash_size);
    GM_BIND(l, e, lzma_index_hash_end);
}

void BindAll(T_LOOKUP& l, T_ZSTD_ENTRY_POINTS& e)
{
    GM_BIND(l, e, ZSTD_createDCtx);
    GM_BIND(l, e, ZSTD_freeDCtx);
    GM_BIND(l, e, ZSTD_decompressStream);
    GM_BIND(l, e, ZSTD_isError);
    GM_BIND(l, e, ZSTD_getErrorName);
    GM_BIND(l, e, ZSTD_getErrorCode);
    // Compression: a library without it still decodes.
    GM_BIND_OPTIONAL(l, e, ZSTD_createCCtx);
    GM_BIND_OPTIONAL(l, e, ZSTD_freeCCtx);
    GM_BIND_OPTIONAL(l, e, ZSTD_CCtx_setParameter);
    GM_BIND_OPTIONAL(l, e, ZSTD_compressStream2);
    GM_BIND_OPTIONAL(l, e, ZSTD_CStreamOutSize);
}

void BindAll(T_LOOKUP& l, T_BZIP2_ENTRY_POINTS& e)
{
    GM_BIND(l, e, BZ2_bzDecompressInit);
    GM_BIND(l, e, BZ2_bzDecompress);
    GM_BIND(l, e, BZ2_bzDecompressEnd);
}

void BindAll(T_LOOKUP& l, T_ARCHIVE_ENTRY_POINTS& e)
{
    GM_BIND(l, e, archive_read_new);
    GM_BIND(l, e, archive_read_support_format_zip_seekable);
    GM_BIND(l, e, archive_read_set_read_callback);
    GM_BIND(l, e, archive_read_set_seek_callback);
    GM_BIND(l, e, archive_read_set_callback_data);
    GM_BIND(l, e, archive_read_open1);
    GM_BIND(l, e, archive_read_next_header);
    GM_BIND(l, e, archive_read_data);
    GM_BIND(l, e, archive_error_string);
    GM_BIND(l, e, archive_read_free);
    GM_BIND(l, e, archive_entry_pathname);
    GM_BIND(l, e, archive_entry_pathname_utf8);
    GM_BIND(l, e, archive_entry_size);
    GM_BIND(l, e, archive_entry_filetype);
    GM_BIND(l, e, archive_entry_is_data_encrypted);
}

#undef GM_BIND
#undef GM_BIND_OPTIONAL

template <class T>
T_CODEC_BINDING<T> BindLibrary(const std::vector<std::string>& paths)
{
    T_CODEC_BINDING<T> binding;
    for (const std::string& strPath : paths) {
        void* hModule = OpenSharedLibrary(strPath);
        if (!hModule) continue;
        T_LOOKUP lookup{hModule, {}};
        BindAll(lookup, binding.entry);
        binding.bBound = lookup.strMissing.empty();
        if (!binding.bBound) {
            CloseSharedLibrary(hModule);
            binding.entry = T{};
            binding.strProblem = strPath + " lacks " + lookup.strMissing;
        }
        break;
    }
    return binding;
}

}  // namespace

std::vector<std::string> CodecDllNames(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return {"liblzma.dll", "liblzma-5.dll"};
    case ECodecLibrary::Zstd: return {"libzstd.dll", "zstd.dll", "libzstd-1.dll"};
    case ECodecLibrary::Bzip2: return {"libbz2-1.dll", "libbz2.dll", "bz2.dll"};
    case ECodecLibrary::Archive: return {"archive.dll", "libarchive.dll", "libarchive-13.dll"};
    }
    return {};
}

T_CODEC_BINDING<T_LZMA_ENTRY_POINTS> BindLzmaLibrary(const std::vector<std::string>& paths)
{
    return BindLibrary<T_LZMA_ENTRY_POINTS>(paths);
}

T_CODEC_BINDING<T_ZSTD_ENTRY_POINTS> BindZstdLibrary(const std::vector<std::string>& paths)
{
    return BindLibrary<T_ZSTD_ENTRY_POINTS>(paths);
}

T_CODEC_BINDING<T_BZIP2_ENTRY_POINTS> BindBzip2Library(const std::vector<std::string>& paths)
{
    return BindLibrary<T_BZIP2_ENTRY_POINTS>(paths);
}

T_CODEC_BINDING<T_ARCHIVE_ENTRY_POINTS> BindArchiveLibrary(const std::vector<std::string>& paths)
{
    return BindLibrary<T_ARCHIVE_ENTRY_POINTS>(paths);
}
