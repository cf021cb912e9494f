#include "engine/codecs/format_decision.h"

#include <cstring>

#include "engine/codecs/codec_libraries.h"
#include "engine/codecs/zip_archive.h"
#include "engine/core/format.h"

namespace {

// An archive of no file is its directory's end record alone, which
// libarchive does not list.
bool EmptyZipArchive(IDevice& file)
{
    uint8_t head[4] = {};
    const T_IO_RESULT read = file.ReadAt(0, head, sizeof head);
    return read.bOk && read.nCount == sizeof head && std::memcmp(head, "PK\x05\x06", sizeof head) == 0;
}

// A zip image is looked at by its directory, not its first bytes: it must
// list as a zip archive and hold one image file (zip_member_choice.h).
std::string ZipRefusal(IDeviceProvider& devices, const std::string& strPath)
{
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pFile = devices.Open(strPath, EOpenMode::ReadImage, nError);
    const T_ARCHIVE_ENTRY_POINTS* pArchive = ArchiveEntryPoints();
    if (!pFile || pFile->GetKind() != EDeviceKind::RegularFile || !pArchive) return {};
    std::vector<T_ZIP_MEMBER> members;
    const T_DECODE_RESULT listed = ListZipArchive(*pFile, *pArchive, members);
    if (!listed.bOk && !EmptyZipArchive(*pFile))
        return FormatText("can't read %s: %s", strPath, DecodeFailureText(EImageFormat::Zip, listed));
    const std::optional<size_t> nImage = ChooseZipImage(members);
    if (!nImage) return FormatText("can't read %s: %s", strPath, ZipChoiceRefusal(members));
    const std::string strRefusal = ZipImageRefusal(members[*nImage]);
    return strRefusal.empty() ? std::string() : FormatText("can't read %s: %s", strPath, strRefusal);
}

// The first bytes of a regular file, fewer when it is shorter; none when it
// does not open or is no regular file.
size_t FirstBytes(IDeviceProvider& devices, const std::string& strPath, uint8_t* pBytes)
{
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pFile = devices.Open(strPath, EOpenMode::ReadImage, nError);
    if (!pFile || pFile->GetKind() != EDeviceKind::RegularFile) return 0;
    const T_IO_RESULT read = pFile->ReadAt(0, pBytes, FORMAT_MAGIC_BYTES);
    return read.bOk ? read.nCount : 0;
}

}  // namespace

T_FORMAT_DECISION DecideImageFormat(IDeviceProvider& devices, const std::string& strPath, EFormatAsk eAsk)
{
    T_FORMAT_DECISION decision;
    decision.eFormat = FormatAsked(strPath, eAsk);
    decision.look = LookAtFormat(devices, strPath, decision.eFormat);
    return decision;
}

std::string FormatUnreadableRefusal(const std::string& strPath, EImageFormat eFormat)
{
    const std::string strUnreadable = FormatUnreadableReason(eFormat);
    return strUnreadable.empty() ? std::string() : FormatText("can't read %s: %s.\n", strPath, strUnreadable);
}

T_FORMAT_LOOK LookAtFormat(IDeviceProvider& devices, const std::string& strPath, EImageFormat eFormat)
{
    T_FORMAT_LOOK look;
    look.strRefusal = FormatUnreadableRefusal(strPath, eFormat);
    if (!look.strRefusal.empty()) return look;
    if (eFormat == EImageFormat::Zip) {
        look.strRefusal = ZipRefusal(devices, strPath);
        return look;
    }
    uint8_t bytes[FORMAT_MAGIC_BYTES] = {};
    const size_t nBytes = FirstBytes(devices, strPath, bytes);
    if (nBytes == 0) return look;
    const EImageFormat eShown = FormatShownByBytes(bytes, nBytes);
    if (eFormat == EImageFormat::Raw && eShown != EImageFormat::Raw) {
        look.strWarning = FormatText("%s starts as %s file does; it is read as a raw image, byte for byte, all the "
                                     "same (an image is decompressed when its name ends in %s).\n",
                                     strPath, ImageFormatWithArticle(eShown), ImageFormatSuffix(eShown));
    } else if (eFormat != EImageFormat::Raw && eShown != eFormat) {
        look.strRefusal = FormatText("%s is not %s file: its first bytes are not those of %s stream.\n", strPath,
                                     ImageFormatWithArticle(eFormat), ImageFormatWithArticle(eFormat));
    }
    return look;
}
