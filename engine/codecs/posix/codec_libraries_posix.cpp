// POSIX adapter of the decompression libraries: they are linked, and each
// table is filled once from the linked functions. Our declarations of their
// types (codec_entry_points.h) are checked here against the real headers.
#include <archive.h>
#include <archive_entry.h>
#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <cstddef>
#include <type_traits>

#include "engine/codecs/codec_platform.h"

namespace {

#define GM_SAME_LAYOUT(ours, theirs, field) \
    static_assert(offsetof(ours, field) == offsetof(theirs, field), #theirs "." #field " moved")

static_assert(sizeof(T_LZMA_STREAM) == sizeof(lzma_stream));
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, next_in);
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, avail_in);
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, next_out);
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, avail_out);
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, internal);
GM_SAME_LAYOUT(T_LZMA_STREAM, lzma_stream, seek_pos);
static_assert(sizeof(T_LZMA_STREAM_FLAGS) == sizeof(lzma_stream_flags));
GM_SAME_LAYOUT(T_LZMA_STREAM_FLAGS, lzma_stream_flags, backward_size);
GM_SAME_LAYOUT(T_LZMA_STREAM_FLAGS, lzma_stream_flags, check);
static_assert(offsetof(T_LZMA_STREAM_FLAGS, reserved_bool) == offsetof(lzma_stream_flags, reserved_bool1) &&
              offsetof(T_LZMA_STREAM_FLAGS, reserved_int) == offsetof(lzma_stream_flags, reserved_int1));
static_assert(sizeof(T_LZMA_FILTER) == sizeof(lzma_filter));
GM_SAME_LAYOUT(T_LZMA_FILTER, lzma_filter, options);
static_assert(sizeof(T_LZMA_BLOCK) == sizeof(lzma_block));
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, header_size);
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, check);
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, compressed_size);
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, uncompressed_size);
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, filters);
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, raw_check);
static_assert(offsetof(T_LZMA_BLOCK, reserved_vli) == offsetof(lzma_block, reserved_int3) &&
              offsetof(T_LZMA_BLOCK, reserved_enum) == offsetof(lzma_block, reserved_enum1));
GM_SAME_LAYOUT(T_LZMA_BLOCK, lzma_block, ignore_check);
static_assert(sizeof(lzma_ret) == sizeof(int) && sizeof(lzma_action) == sizeof(int));
static_assert(sizeof(lzma_check) == sizeof(int) && sizeof(lzma_bool) == sizeof(unsigned char));
static_assert(Lzma::OK == LZMA_OK && Lzma::STREAM_END == LZMA_STREAM_END &&
              Lzma::UNSUPPORTED_CHECK == LZMA_UNSUPPORTED_CHECK && Lzma::MEM_ERROR == LZMA_MEM_ERROR &&
              Lzma::MEMLIMIT_ERROR == LZMA_MEMLIMIT_ERROR && Lzma::FORMAT_ERROR == LZMA_FORMAT_ERROR &&
              Lzma::OPTIONS_ERROR == LZMA_OPTIONS_ERROR && Lzma::DATA_ERROR == LZMA_DATA_ERROR &&
              Lzma::BUF_ERROR == LZMA_BUF_ERROR && Lzma::RUN == LZMA_RUN && Lzma::FINISH == LZMA_FINISH);
static_assert(Lzma::VLI_UNKNOWN == LZMA_VLI_UNKNOWN && Lzma::STREAM_HEADER_SIZE == LZMA_STREAM_HEADER_SIZE &&
              Lzma::FILTERS_MAX == LZMA_FILTERS_MAX && sizeof(T_LZMA_BLOCK::raw_check) == LZMA_CHECK_SIZE_MAX);

static_assert(sizeof(T_ZSTD_IN_BUFFER) == sizeof(ZSTD_inBuffer) && sizeof(T_ZSTD_OUT_BUFFER) == sizeof(ZSTD_outBuffer));
GM_SAME_LAYOUT(T_ZSTD_IN_BUFFER, ZSTD_inBuffer, pos);
GM_SAME_LAYOUT(T_ZSTD_OUT_BUFFER, ZSTD_outBuffer, pos);
static_assert(sizeof(ZSTD_ErrorCode) == sizeof(int));
static_assert(Zstd::PREFIX_UNKNOWN == ZSTD_error_prefix_unknown && Zstd::CHECKSUM_WRONG == ZSTD_error_checksum_wrong &&
              Zstd::MEMORY_ALLOCATION == ZSTD_error_memory_allocation);
// The image writer's parameters and directives.
static_assert(sizeof(ZSTD_cParameter) == sizeof(int) && sizeof(ZSTD_EndDirective) == sizeof(int));
static_assert(Zstd::C_COMPRESSION_LEVEL == ZSTD_c_compressionLevel && Zstd::C_CHECKSUM_FLAG == ZSTD_c_checksumFlag &&
              Zstd::C_NB_WORKERS == ZSTD_c_nbWorkers && Zstd::C_JOB_SIZE == ZSTD_c_jobSize &&
              Zstd::E_CONTINUE == ZSTD_e_continue &&
              Zstd::E_END == ZSTD_e_end);

static_assert(sizeof(T_BZ_STREAM) == sizeof(bz_stream));
GM_SAME_LAYOUT(T_BZ_STREAM, bz_stream, avail_in);
GM_SAME_LAYOUT(T_BZ_STREAM, bz_stream, next_out);
GM_SAME_LAYOUT(T_BZ_STREAM, bz_stream, avail_out);
GM_SAME_LAYOUT(T_BZ_STREAM, bz_stream, state);
GM_SAME_LAYOUT(T_BZ_STREAM, bz_stream, opaque);
static_assert(Bzip2::OK == BZ_OK && Bzip2::STREAM_END == BZ_STREAM_END && Bzip2::MEM_ERROR == BZ_MEM_ERROR &&
              Bzip2::DATA_ERROR == BZ_DATA_ERROR && Bzip2::DATA_ERROR_MAGIC == BZ_DATA_ERROR_MAGIC);

#undef GM_SAME_LAYOUT

// The table's pointer types take our layout-identical declarations; the
// linked function is the same code either way.
template <class F, class G>
F As(G* pfn)
{
    return reinterpret_cast<F>(pfn);
}

}  // namespace

// The table T's entry point NAME, its type checked against the library's
// own declaration: SAME<ours, theirs>::value says whether our declaration
// stands for theirs; LIBRARY names the headers in the message.
#define GM_CHECKED_ENTRY(SAME, LIBRARY, NAME)                                  \
    [] {                                                                       \
        static_assert(SAME<decltype(T::NAME), decltype(&::NAME)>::value,       \
                      #NAME " is declared otherwise in " LIBRARY "'s headers"); \
        return As<decltype(T::NAME)>(&::NAME);                                 \
    }()

// ---- liblzma ---------------------------------------------------------------
// Each entry point's type is checked against liblzma's declaration: our
// structs stand for theirs, int for their enums of the same size, and
// const void* for the allocator.
namespace {

template <class Ours, class Theirs>
struct TLzmaSame : std::is_same<Ours, Theirs> {};
template <class Theirs>
struct TLzmaSame<int, Theirs> : std::bool_constant<std::is_enum_v<Theirs> && sizeof(Theirs) == sizeof(int)> {};
template <>
struct TLzmaSame<const void*, const lzma_allocator*> : std::true_type {};
template <>
struct TLzmaSame<T_LZMA_STREAM, lzma_stream> : std::true_type {};
template <>
struct TLzmaSame<T_LZMA_STREAM_FLAGS, lzma_stream_flags> : std::true_type {};
template <>
struct TLzmaSame<T_LZMA_BLOCK, lzma_block> : std::true_type {};
template <>
struct TLzmaSame<T_LZMA_FILTER, lzma_filter> : std::true_type {};
template <>
struct TLzmaSame<T_LZMA_INDEX_HASH, lzma_index_hash> : std::true_type {};
template <class Ours, class Theirs>
struct TLzmaSame<Ours*, Theirs*> : TLzmaSame<Ours, Theirs> {};
template <class Ours, class Theirs>
struct TLzmaSame<const Ours, const Theirs> : TLzmaSame<Ours, Theirs> {};
template <class R, class... A, class S, class... B>
struct TLzmaSame<R (*)(A...), S (*)(B...) noexcept>
    : std::bool_constant<sizeof...(A) == sizeof...(B) && TLzmaSame<R, S>::value && (TLzmaSame<A, B>::value && ...)> {};

}  // namespace

// (liblzma's declarations carry attributes, pure and warn_unused_result,
// that a template argument drops.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
const T_LZMA_ENTRY_POINTS* PlatformLzmaEntryPoints()
{
    using T = T_LZMA_ENTRY_POINTS;
#define GM_LZMA_ENTRY(name) GM_CHECKED_ENTRY(TLzmaSame, "liblzma", name)
    static const T entry{GM_LZMA_ENTRY(lzma_code),
                         GM_LZMA_ENTRY(lzma_end),
                         GM_LZMA_ENTRY(lzma_stream_header_decode),
                         GM_LZMA_ENTRY(lzma_stream_footer_decode),
                         GM_LZMA_ENTRY(lzma_stream_flags_compare),
                         GM_LZMA_ENTRY(lzma_block_header_decode),
                         GM_LZMA_ENTRY(lzma_block_decoder),
                         GM_LZMA_ENTRY(lzma_block_unpadded_size),
                         GM_LZMA_ENTRY(lzma_filters_free),
                         GM_LZMA_ENTRY(lzma_raw_decoder_memusage),
                         GM_LZMA_ENTRY(lzma_index_hash_init),
                         GM_LZMA_ENTRY(lzma_index_hash_append),
                         GM_LZMA_ENTRY(lzma_index_hash_decode),
                         GM_LZMA_ENTRY(lzma_index_hash_size),
                         GM_LZMA_ENTRY(lzma_index_hash_end)};
#undef GM_LZMA_ENTRY
    return &entry;
}
#pragma GCC diagnostic pop

const T_ZSTD_ENTRY_POINTS* PlatformZstdEntryPoints()
{
    using T = T_ZSTD_ENTRY_POINTS;
    static const T entry{As<decltype(T::ZSTD_createDCtx)>(&::ZSTD_createDCtx),
                         As<decltype(T::ZSTD_freeDCtx)>(&::ZSTD_freeDCtx),
                         As<decltype(T::ZSTD_decompressStream)>(&::ZSTD_decompressStream),
                         As<decltype(T::ZSTD_isError)>(&::ZSTD_isError),
                         As<decltype(T::ZSTD_getErrorName)>(&::ZSTD_getErrorName),
                         As<decltype(T::ZSTD_getErrorCode)>(&::ZSTD_getErrorCode),
                         // compression
                         As<decltype(T::ZSTD_createCCtx)>(&::ZSTD_createCCtx),
                         As<decltype(T::ZSTD_freeCCtx)>(&::ZSTD_freeCCtx),
                         As<decltype(T::ZSTD_CCtx_setParameter)>(&::ZSTD_CCtx_setParameter),
                         As<decltype(T::ZSTD_compressStream2)>(&::ZSTD_compressStream2),
                         As<decltype(T::ZSTD_CStreamOutSize)>(&::ZSTD_CStreamOutSize)};
    return &entry;
}

const T_BZIP2_ENTRY_POINTS* PlatformBzip2EntryPoints()
{
    using T = T_BZIP2_ENTRY_POINTS;
    static const T entry{As<decltype(T::BZ2_bzDecompressInit)>(&::BZ2_bzDecompressInit),
                         As<decltype(T::BZ2_bzDecompress)>(&::BZ2_bzDecompress),
                         As<decltype(T::BZ2_bzDecompressEnd)>(&::BZ2_bzDecompressEnd)};
    return &entry;
}

std::string PlatformCodecLibraryFileName(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return "liblzma";
    case ECodecLibrary::Zstd: return "libzstd";
    case ECodecLibrary::Bzip2: return "libbz2";
    case ECodecLibrary::Archive: return "libarchive";
    }
    return {};
}

std::string PlatformCodecLibraryProblem(ECodecLibrary)
{
    return {};  // linked: a library is always whole
}

// ---- libarchive ----------------------------------------------------------
// Each entry point's type is ours with the opaque structs swapped for
// libarchive's, so the table's declarations are checked one by one.
namespace {

template <class T>
struct TTheirs {
    using type = T;
};
template <>
struct TTheirs<T_ARCHIVE*> {
    using type = archive*;
};
template <>
struct TTheirs<T_ARCHIVE_ENTRY*> {
    using type = archive_entry*;
};
template <>
struct TTheirs<T_ARCHIVE_ENTRY**> {
    using type = archive_entry**;
};
template <class R, class... A>
struct TTheirs<R (*)(A...)> {
    using type = typename TTheirs<R>::type (*)(typename TTheirs<A>::type...);
};
template <class Ours, class Theirs>
struct TArchiveSame : std::is_same<typename TTheirs<Ours>::type, Theirs> {};

static_assert(Archive::END == ARCHIVE_EOF && Archive::OK == ARCHIVE_OK && Archive::WARN == ARCHIVE_WARN &&
              Archive::FAILED == ARCHIVE_FAILED && Archive::FATAL == ARCHIVE_FATAL);
static_assert(Archive::IFMT == AE_IFMT && Archive::IFREG == AE_IFREG && Archive::IFDIR == AE_IFDIR);

}  // namespace

const T_ARCHIVE_ENTRY_POINTS* PlatformArchiveEntryPoints()
{
    using T = T_ARCHIVE_ENTRY_POINTS;
#define GM_ARCHIVE_ENTRY(name) GM_CHECKED_ENTRY(TArchiveSame, "libarchive", name)
    static const T entry{GM_ARCHIVE_ENTRY(archive_read_new),
                         GM_ARCHIVE_ENTRY(archive_read_support_format_zip_seekable),
                         GM_ARCHIVE_ENTRY(archive_read_set_read_callback),
                         GM_ARCHIVE_ENTRY(archive_read_set_seek_callback),
                         GM_ARCHIVE_ENTRY(archive_read_set_callback_data),
                         GM_ARCHIVE_ENTRY(archive_read_open1),
                         GM_ARCHIVE_ENTRY(archive_read_next_header),
                         GM_ARCHIVE_ENTRY(archive_read_data),
                         GM_ARCHIVE_ENTRY(archive_error_string),
                         GM_ARCHIVE_ENTRY(archive_read_free),
                         GM_ARCHIVE_ENTRY(archive_entry_pathname),
                         GM_ARCHIVE_ENTRY(archive_entry_pathname_utf8),
                         GM_ARCHIVE_ENTRY(archive_entry_size),
                         GM_ARCHIVE_ENTRY(archive_entry_filetype),
                         GM_ARCHIVE_ENTRY(archive_entry_is_data_encrypted)};
#undef GM_ARCHIVE_ENTRY
    return &entry;
}

#undef GM_CHECKED_ENTRY
