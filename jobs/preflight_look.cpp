// The pre-flight's look at the job's image and drives: each opened through
// a handle that claims nothing, of the right kind and measured; a drive to
// be written also opened once the way its engine will open it, and closed
// again with nothing written.
#include <system_error>

#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "jobs/preflight_rules.h"

namespace {

// A system error text as the end of a one-line message: no line end and no
// closing full stop.
std::string ErrorClause(uint32_t nError)
{
    std::string strText = GetSystemErrorText(nError);
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r' || strText.back() == ' ' ||
                                strText.back() == '.')) {
        strText.pop_back();
    }
    return strText.empty() ? "system error " + std::to_string(nError) : strText;
}

bool IsDiskKind(EDeviceKind eKind)
{
    return eKind == EDeviceKind::BlockDevice || eKind == EDeviceKind::RegularFile;
}

// Opens a drive the way its engine will write it and closes it again at
// once: a drive held by someone else (a mounted file system) is refused
// now, before anyone is asked and before any other drive is written.
bool OpensForWriting(IDeviceProvider& devices, const T_PREFLIGHT_DRIVE& drive, EOpenMode eMode, bool bErase,
                     T_PREFLIGHT_RESULT& result)
{
    uint32_t nError = 0;
    if (devices.Open(drive.strPath, eMode, nError)) return true;
    Refuse(result, drive.nSlot,
           FormatText(bErase ? "can't open disk %s for erasing: %s.\n" : "can't write disk %s: %s.\n", drive.strName,
                      ErrorClause(nError)));
    return false;
}

}  // namespace

std::filesystem::path PathOf(const std::string& strUtf8)
{
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

bool IsSameObject(const std::string& strFirst, const std::string& strSecond)
{
    namespace fs = std::filesystem;
    const fs::path first = PathOf(strFirst);
    const fs::path second = PathOf(strSecond);
    std::error_code ec;
    if (fs::equivalent(first, second, ec) && !ec) return true;
    std::error_code ecFirst, ecSecond;
    const fs::path canonicalFirst = fs::canonical(first, ecFirst);
    const fs::path canonicalSecond = fs::canonical(second, ecSecond);
    return !ecFirst && !ecSecond && canonicalFirst == canonicalSecond;
}

// The drive itself is named first: /dev/sdb as image is "the drive
// itself", not merely "not a regular file".
bool LookAtImagePath(const std::string& strDrive, const std::string& strImage, T_PREFLIGHT_RESULT& result)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(strImage), ec);
    result.bImageExists = fs::exists(status);
    if (!result.bImageExists) return true;
    const char* pszWhy = nullptr;
    if (IsSameObject(strDrive, strImage)) pszWhy = "is the drive itself";
    else if (!fs::is_regular_file(status)) pszWhy = "exists and is not a regular file";
    if (!pszWhy) return true;
    Refuse(result, -1, FormatText("can't create file %s.\nthe image %s %s.\n", strImage, strImage, pszWhy));
    return false;
}

T_PREFLIGHT_DRIVE LookAtDrive(IDeviceProvider& devices, const T_PREFLIGHT_DRIVE& drive)
{
    T_PREFLIGHT_DRIVE looked = drive;
    uint32_t nError = 0;
    if (const std::unique_ptr<IDevice> pDrive = devices.Open(drive.strPath, EOpenMode::ProbeDrive, nError)) {
        looked.bOpened = true;
        looked.storage = pDrive->GetStorage();
    }
    return looked;
}

T_PREFLIGHT_IMAGE LookAtNewImage(IDeviceProvider& devices, const std::string& strPath)
{
    T_PREFLIGHT_IMAGE image{strPath, false, {}, 0};
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pImage = devices.Open(strPath, EOpenMode::ReadImage, nError);
    if (!pImage) {
        const std::u8string strFolder = PathOf(strPath).parent_path().u8string();
        pImage = devices.Open(strFolder.empty() ? std::string(".") : std::string(strFolder.begin(), strFolder.end()),
                              EOpenMode::ReadImage, nError);
    }
    if (pImage) {
        image.bOpened = true;
        image.storage = pImage->GetStorage();
    }
    return image;
}

T_PREFLIGHT_IMAGE InspectImage(IDeviceProvider& devices, const std::string& strPath, T_PREFLIGHT_RESULT& result)
{
    T_PREFLIGHT_IMAGE image{strPath, false, {}, 0};
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pImage = devices.Open(strPath, EOpenMode::ReadImage, nError);
    if (!pImage) {
        Refuse(result, -1, FormatText("can't open file %s: %s.\n", strPath, ErrorClause(nError)));
        return image;
    }
    const EDeviceKind eKind = pImage->GetKind();
    if (eKind != EDeviceKind::RegularFile) {
        Refuse(result, -1, FormatText("can't open file %s: it is %s, not an image file.\n", strPath,
                                      DeviceKindText(eKind)));
        return image;
    }
    if (!GetDiskSize(*pImage, image.nSize, nError)) {
        Refuse(result, -1,
               FormatText("can't open file %s: its size cannot be told: %s.\n", strPath, ErrorClause(nError)));
        return image;
    }
    image.bOpened = true;
    image.storage = pImage->GetStorage();
    return image;
}

T_PREFLIGHT_DRIVE InspectDrive(IDeviceProvider& devices, T_PREFLIGHT_DRIVE drive, EOpenMode eWriteMode, bool bErase,
                               T_PREFLIGHT_RESULT& result)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDrive = devices.Open(drive.strPath, EOpenMode::ProbeDrive, nError);
    std::string strRefusal;
    if (!pDrive) {
        strRefusal = FormatText("can't open disk %s: %s.\n", drive.strName, ErrorClause(nError));
    } else if (!IsDiskKind(pDrive->GetKind())) {
        strRefusal = FormatText("can't open disk %s: it is %s, not a disk.\n", drive.strName,
                                DeviceKindText(pDrive->GetKind()));
    } else if (!GetDiskSize(*pDrive, drive.nSize, nError)) {
        drive.nSize = 0;
        strRefusal = FormatText("can't open disk %s: its size cannot be told: %s.\n", drive.strName,
                                ErrorClause(nError));
    }
    if (!strRefusal.empty()) {
        Refuse(result, drive.nSlot, std::move(strRefusal));
        return drive;
    }
    drive.storage = pDrive->GetStorage();
    pDrive.reset();
    drive.bOpened = eWriteMode == EOpenMode::ProbeDrive || drive.bReleased ||
                    OpensForWriting(devices, drive, eWriteMode, bErase, result);
    return drive;
}
