#include "engine/zlib/zlib_failure.h"

#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "engine/zlib/zlib_binding.h"

std::string ZlibFailureText(const CZLIBIO::T_RESULT& result)
{
    if (result.nZlibResult == Z_ERRNO && result.nError != 0) return GetSystemErrorText(result.nError);
    switch (result.nZlibResult) {
    case Z_DATA_ERROR: return "the compressed data are damaged, or are not a gzip stream.\n";
    case CZLIBIO::NEXT_MEMBER: return "the image has more than one gzip member, which is not supported.\n";
    case Z_BUF_ERROR: return "the compressed data end too soon (the file is cut short).\n";
    case Z_MEM_ERROR: return "out of memory.\n";
    case Z_VERSION_ERROR: return "no usable zlib library is loaded.\n";
    case Z_STREAM_ERROR: return "the compressed stream is not usable.\n";
    default: return FormatText("zlib error %d.\n", result.nZlibResult);
    }
}
