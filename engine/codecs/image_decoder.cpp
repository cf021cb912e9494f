#include "engine/codecs/image_decoder.h"

#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/codec_libraries.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

std::unique_ptr<IImageDecoder> OpenImageDecoder(EImageFormat eFormat, IDevice& file, T_DECODE_RESULT& failure)
{
    failure = T_DECODE_RESULT{false, EDecodeFailure::NoLibrary, 0, FormatUnreadableReason(eFormat)};
    switch (eFormat) {
    case EImageFormat::Xz:
        if (const T_LZMA_ENTRY_POINTS* pLzma = LzmaEntryPoints()) return MakeXzDecoder(file, *pLzma, failure);
        break;
    case EImageFormat::Zstd:
        if (const T_ZSTD_ENTRY_POINTS* pZstd = ZstdEntryPoints()) return MakeZstdDecoder(file, *pZstd, failure);
        break;
    case EImageFormat::Bzip2:
        if (const T_BZIP2_ENTRY_POINTS* pBzip2 = Bzip2EntryPoints()) return MakeBzip2Decoder(file, *pBzip2, failure);
        break;
    case EImageFormat::Zip:
        if (const T_ARCHIVE_ENTRY_POINTS* pZip = ArchiveEntryPoints()) return MakeZipDecoder(file, *pZip, failure);
        break;
    default: failure.strDetail = FormatText("%s images have no decoder here", ImageFormatName(eFormat)); break;
    }
    return nullptr;
}

std::string DecodeFailureText(EImageFormat eFormat, const T_DECODE_RESULT& failure)
{
    const char* pszName = ImageFormatName(eFormat);
    const std::string strDetail = failure.strDetail.empty() ? std::string() : ": " + failure.strDetail;
    switch (failure.eFailure) {
    case EDecodeFailure::FileRead: return GetSystemErrorText(failure.nError);
    case EDecodeFailure::Truncated: return FormatText("the %s data end too soon (the file is cut short).\n", pszName);
    case EDecodeFailure::Damaged: return FormatText("the %s data are damaged%s.\n", pszName, strDetail);
    case EDecodeFailure::Trailing:
        return FormatText("the file goes on after its %s data with bytes that are not another %s stream.\n", pszName,
                          pszName);
    case EDecodeFailure::NotThisFormat:
        return FormatText("the file does not start as %s stream does.\n", ImageFormatWithArticle(eFormat));
    case EDecodeFailure::NoMemory: return "out of memory.\n";
    case EDecodeFailure::NoLibrary: return failure.strDetail + ".\n";
    case EDecodeFailure::Unsupported: return FormatText("the %s data cannot be read here%s.\n", pszName, strDetail);
    case EDecodeFailure::Unusable: return FormatText("the %s stream is not usable after a failure.\n", pszName);
    case EDecodeFailure::None: break;
    }
    return "\n";
}
