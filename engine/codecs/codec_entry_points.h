#pragma once
// The entry points of the decompression libraries, one table each,
// as zlib's are (engine/zlib/zlib_binding.h). The libraries' own headers
// are not included here: the Windows build has none of them and binds the
// libraries at run time, so the few types and constants the decoders use
// are declared below, laid out exactly as the libraries' stable ABIs lay
// them out (the POSIX adapter checks every layout against the real headers
// when it compiles). Every call goes through a table; a table is got from
// codec_libraries.h and is null when its library is absent.
#include <cstddef>
#include <cstdint>

// liblzma (lzma.h, 5.4 or later for lzma_filters_free).
struct T_LZMA_STREAM {
    const uint8_t* next_in = nullptr;
    size_t avail_in = 0;
    uint64_t total_in = 0;
    uint8_t* next_out = nullptr;
    size_t avail_out = 0;
    uint64_t total_out = 0;
    const void* allocator = nullptr;
    void* internal = nullptr;
    void* reserved_ptr[4] = {};
    uint64_t seek_pos = 0;
    uint64_t reserved_int2 = 0;
    size_t reserved_int3 = 0;
    size_t reserved_int4 = 0;
    int reserved_enum[2] = {};
};

// lzma_stream_flags: a stream header's or footer's fields.
struct T_LZMA_STREAM_FLAGS {
    uint32_t version = 0;
    uint64_t backward_size = 0;
    int check = 0;
    int reserved_enum[4] = {};
    unsigned char reserved_bool[8] = {};
    uint32_t reserved_int[2] = {};
};

// lzma_filter: one filter of a block's chain; the chain ends with an id of
// Lzma::VLI_UNKNOWN.
struct T_LZMA_FILTER {
    uint64_t id = 0;
    void* options = nullptr;
};

// lzma_block: a block header's fields, and the block decoder's options.
struct T_LZMA_BLOCK {
    uint32_t version = 0;
    uint32_t header_size = 0;
    int check = 0;
    uint64_t compressed_size = 0;
    uint64_t uncompressed_size = 0;
    T_LZMA_FILTER* filters = nullptr;
    uint8_t raw_check[64] = {};
    void* reserved_ptr[3] = {};
    uint32_t reserved_int[2] = {};
    uint64_t reserved_vli[6] = {};
    int reserved_enum[4] = {};
    unsigned char ignore_check = 0;
    unsigned char reserved_bool[7] = {};
};

struct T_LZMA_INDEX_HASH;  // lzma_index_hash, opaque

namespace Lzma {
// lzma_ret
constexpr int OK = 0, STREAM_END = 1, UNSUPPORTED_CHECK = 3, MEM_ERROR = 5, MEMLIMIT_ERROR = 6, FORMAT_ERROR = 7,
              OPTIONS_ERROR = 8, DATA_ERROR = 9, BUF_ERROR = 10;
// lzma_action
constexpr int RUN = 0, FINISH = 3;
// The vli that stands for "not recorded" (a size a block header leaves out).
constexpr uint64_t VLI_UNKNOWN = UINT64_MAX;
// A stream header's and footer's length; the longest filter chain.
constexpr size_t STREAM_HEADER_SIZE = 12, FILTERS_MAX = 4;
}  // namespace Lzma

// The block-level calls: the xz decoder parses the container itself and
// decodes whole blocks on threads of its own (xz_decoder.cpp). The
// allocator arguments are always null (malloc and free).
struct T_LZMA_ENTRY_POINTS {
    int (*lzma_code)(T_LZMA_STREAM* strm, int action) = nullptr;
    void (*lzma_end)(T_LZMA_STREAM* strm) = nullptr;
    int (*lzma_stream_header_decode)(T_LZMA_STREAM_FLAGS* options, const uint8_t* in) = nullptr;
    int (*lzma_stream_footer_decode)(T_LZMA_STREAM_FLAGS* options, const uint8_t* in) = nullptr;
    int (*lzma_stream_flags_compare)(const T_LZMA_STREAM_FLAGS* a, const T_LZMA_STREAM_FLAGS* b) = nullptr;
    int (*lzma_block_header_decode)(T_LZMA_BLOCK* block, const void* allocator, const uint8_t* in) = nullptr;
    int (*lzma_block_decoder)(T_LZMA_STREAM* strm, T_LZMA_BLOCK* block) = nullptr;
    uint64_t (*lzma_block_unpadded_size)(const T_LZMA_BLOCK* block) = nullptr;
    void (*lzma_filters_free)(T_LZMA_FILTER* filters, const void* allocator) = nullptr;
    uint64_t (*lzma_raw_decoder_memusage)(const T_LZMA_FILTER* filters) = nullptr;
    T_LZMA_INDEX_HASH* (*lzma_index_hash_init)(T_LZMA_INDEX_HASH* index_hash, const void* allocator) = nullptr;
    int (*lzma_index_hash_append)(T_LZMA_INDEX_HASH* index_hash, uint64_t unpadded_size,
                                  uint64_t uncompressed_size) = nullptr;
    int (*lzma_index_hash_decode)(T_LZMA_INDEX_HASH* index_hash, const uint8_t* in, size_t* in_pos,
                                  size_t in_size) = nullptr;
    uint64_t (*lzma_index_hash_size)(const T_LZMA_INDEX_HASH* index_hash) = nullptr;
    void (*lzma_index_hash_end)(T_LZMA_INDEX_HASH* index_hash, const void* allocator) = nullptr;
};

// libzstd (zstd.h, zstd_errors.h).
struct T_ZSTD_DCTX;  // ZSTD_DCtx, opaque
struct T_ZSTD_CCTX;  // ZSTD_CCtx, opaque
struct T_ZSTD_IN_BUFFER {
    const void* src = nullptr;
    size_t size = 0;
    size_t pos = 0;
};
struct T_ZSTD_OUT_BUFFER {
    void* dst = nullptr;
    size_t size = 0;
    size_t pos = 0;
};

namespace Zstd {
// ZSTD_ErrorCode values the decoder tells apart (stable across versions).
constexpr int PREFIX_UNKNOWN = 10, CHECKSUM_WRONG = 22, MEMORY_ALLOCATION = 64;
// ZSTD_cParameter values the image writer sets, and ZSTD_EndDirective.
constexpr int C_COMPRESSION_LEVEL = 100, C_CHECKSUM_FLAG = 201, C_NB_WORKERS = 400, C_JOB_SIZE = 401;
constexpr int E_CONTINUE = 0, E_END = 2;
}  // namespace Zstd

struct T_ZSTD_ENTRY_POINTS {
    T_ZSTD_DCTX* (*ZSTD_createDCtx)() = nullptr;
    size_t (*ZSTD_freeDCtx)(T_ZSTD_DCTX* dctx) = nullptr;
    size_t (*ZSTD_decompressStream)(T_ZSTD_DCTX* dctx, T_ZSTD_OUT_BUFFER* output, T_ZSTD_IN_BUFFER* input) = nullptr;
    unsigned (*ZSTD_isError)(size_t code) = nullptr;
    const char* (*ZSTD_getErrorName)(size_t code) = nullptr;
    int (*ZSTD_getErrorCode)(size_t functionResult) = nullptr;

    // Compression, for reading a drive into a .zst image. A library that
    // lacks any of these still decodes; it writes no image.
    T_ZSTD_CCTX* (*ZSTD_createCCtx)() = nullptr;
    size_t (*ZSTD_freeCCtx)(T_ZSTD_CCTX* cctx) = nullptr;
    size_t (*ZSTD_CCtx_setParameter)(T_ZSTD_CCTX* cctx, int param, int value) = nullptr;
    size_t (*ZSTD_compressStream2)(T_ZSTD_CCTX* cctx, T_ZSTD_OUT_BUFFER* output, T_ZSTD_IN_BUFFER* input,
                                   int endOp) = nullptr;
    size_t (*ZSTD_CStreamOutSize)() = nullptr;
};

// libbz2 (bzlib.h). On 64-bit Windows its WINAPI calling convention is the
// only one there is, so the same table serves there.
struct T_BZ_STREAM {
    char* next_in = nullptr;
    unsigned int avail_in = 0;
    unsigned int total_in_lo32 = 0;
    unsigned int total_in_hi32 = 0;
    char* next_out = nullptr;
    unsigned int avail_out = 0;
    unsigned int total_out_lo32 = 0;
    unsigned int total_out_hi32 = 0;
    void* state = nullptr;
    void* (*bzalloc)(void*, int, int) = nullptr;
    void (*bzfree)(void*, void*) = nullptr;
    void* opaque = nullptr;
};

namespace Bzip2 {
constexpr int OK = 0, STREAM_END = 4, MEM_ERROR = -3, DATA_ERROR = -4, DATA_ERROR_MAGIC = -5;
}  // namespace Bzip2

struct T_BZIP2_ENTRY_POINTS {
    int (*BZ2_bzDecompressInit)(T_BZ_STREAM* strm, int verbosity, int small) = nullptr;
    int (*BZ2_bzDecompress)(T_BZ_STREAM* strm) = nullptr;
    int (*BZ2_bzDecompressEnd)(T_BZ_STREAM* strm) = nullptr;
};

// libarchive (archive.h, archive_entry.h, 3.2 or later), for zip images
// only: its seekable zip reader over read and seek callbacks of ours.
struct T_ARCHIVE;        // struct archive, opaque
struct T_ARCHIVE_ENTRY;  // struct archive_entry, opaque
// la_ssize_t is a ptrdiff_t and la_int64_t an int64_t on both platforms.
using PFN_ARCHIVE_READ = ptrdiff_t (*)(T_ARCHIVE* pArchive, void* pClient, const void** ppBuffer);
using PFN_ARCHIVE_SEEK = int64_t (*)(T_ARCHIVE* pArchive, void* pClient, int64_t nOffset, int nWhence);

namespace Archive {
// Results; END is ARCHIVE_EOF. FAILED: this entry cannot be read, the
// archive can; FATAL: the archive cannot be read on.
constexpr int END = 1, OK = 0, WARN = -20, FAILED = -25, FATAL = -30;
// File types of archive_entry_filetype.
constexpr unsigned IFMT = 0170000, IFREG = 0100000, IFDIR = 0040000;
}  // namespace Archive

struct T_ARCHIVE_ENTRY_POINTS {
    T_ARCHIVE* (*archive_read_new)() = nullptr;
    int (*archive_read_support_format_zip_seekable)(T_ARCHIVE* a) = nullptr;
    int (*archive_read_set_read_callback)(T_ARCHIVE* a, PFN_ARCHIVE_READ pfnRead) = nullptr;
    int (*archive_read_set_seek_callback)(T_ARCHIVE* a, PFN_ARCHIVE_SEEK pfnSeek) = nullptr;
    int (*archive_read_set_callback_data)(T_ARCHIVE* a, void* pClient) = nullptr;
    int (*archive_read_open1)(T_ARCHIVE* a) = nullptr;
    int (*archive_read_next_header)(T_ARCHIVE* a, T_ARCHIVE_ENTRY** ppEntry) = nullptr;
    ptrdiff_t (*archive_read_data)(T_ARCHIVE* a, void* pBuffer, size_t nSize) = nullptr;
    const char* (*archive_error_string)(T_ARCHIVE* a) = nullptr;
    int (*archive_read_free)(T_ARCHIVE* a) = nullptr;
    const char* (*archive_entry_pathname)(T_ARCHIVE_ENTRY* e) = nullptr;
    const char* (*archive_entry_pathname_utf8)(T_ARCHIVE_ENTRY* e) = nullptr;
    int64_t (*archive_entry_size)(T_ARCHIVE_ENTRY* e) = nullptr;
    // mode_t on POSIX, unsigned short on Windows, int from libarchive 4: only
    // the bits under Archive::IFMT are read, which every one of them returns.
    unsigned (*archive_entry_filetype)(T_ARCHIVE_ENTRY* e) = nullptr;
    // 1 when the entry's data are encrypted, 0 when not, -1 when the format
    // cannot tell before the data are read.
    int (*archive_entry_is_data_encrypted)(T_ARCHIVE_ENTRY* e) = nullptr;
};
