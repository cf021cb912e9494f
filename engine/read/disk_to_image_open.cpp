// The read job's handles: the drive, opened and measured first, and the
// image, opened last, when everything that can fail before the first block
// has been checked. An existing image keeps its contents until the writer
// has its first block; a new image that never got one is removed again.
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/prompt.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"

bool CDiskToImage::OpenDisk()
{
    const std::string& strDevice = m_job.arrDrives[0].strPath;
    uint32_t nError = 0;
    const EOpenMode eMode = m_job.options.bShareRead ? EOpenMode::ReadDriveShared : EOpenMode::ReadDrive;
    m_hDisk = m_run.Devices().Open(strDevice, eMode, nError);
    if (!m_hDisk) {
        m_reader.dwError = nError;
        LogDiskOpenError(strDevice, nError);
        return false;
    }
    const EDeviceKind eKind = m_hDisk->GetKind();
    if (eKind == EDeviceKind::BlockDevice || eKind == EDeviceKind::RegularFile) return true;
    LogError("can't open disk %s.\nit is %s, not a disk.\n", strDevice, DeviceKindText(eKind));
    return false;
}

bool CDiskToImage::MeasureDisk()
{
    uint32_t nError = 0;
    if (!GetDiskSize(*m_hDisk, m_nTotal, nError)) {
        m_reader.dwError = nError;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        return false;
    }
    LogInfo("%s\n", m_strDiskName);
    LogInfo("  disk size=%I64u bytes.\n", m_nTotal);
    return true;
}

// Creates the image, or replaces an existing regular file after a Yes. The
// checks run on what was actually opened, so a path that changes between
// check and open cannot slip a device or the drive itself in.
bool CDiskToImage::OpenImage()
{
    const std::string& strImage = m_job.strImage;
    uint32_t nError = 0;
    m_hImage = m_run.Devices().Open(strImage, EOpenMode::CreateImageNew, nError);
    if (m_hImage) {
        m_bImageCreated = true;
        return CheckImage(*m_hImage);
    }
    if (nError != SystemError::FileExists()) return ImageFailed(GetSystemErrorText(nError), nError);
    if (!MayReplace()) return false;
    const T_ENGINE_WIRING& wiring = m_job.wiring;
    if (!m_job.options.bOverwrite && !AskYesNo(wiring.pPrompt, wiring.pNotify, PROMPT_OVERWRITE, PROMPT_CAPTION)) {
        return ImageFailed("it exists and was kept as it is.", nError);
    }
    uint32_t nReplaceError = 0;
    m_hImage = m_run.Devices().Open(strImage, EOpenMode::ReplaceImage, nReplaceError);
    if (!m_hImage) return ImageFailed(GetSystemErrorText(nReplaceError), nReplaceError);
    m_bImageReplaced = true;
    return CheckImage(*m_hImage);
}

// Before anyone is asked to replace it: an existing path must be a regular
// file that does not hold the drive's data. When it cannot be opened for
// reading, the check on the opened image decides.
bool CDiskToImage::MayReplace()
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pExisting = m_run.Devices().Open(m_job.strImage, EOpenMode::ReadImage, nError);
    return !pExisting || CheckImage(*pExisting);
}

bool CDiskToImage::CheckImage(IDevice& image)
{
    const EDeviceKind eKind = image.GetKind();
    if (eKind != EDeviceKind::RegularFile) {
        return ImageFailed(FormatText("it is %s, not a regular file.", DeviceKindText(eKind)), 0);
    }
    if (IsStoredOn(image.GetStorage(), m_hDisk->GetStorage())) {
        return ImageFailed(FormatText("it would be stored on the drive being read (%s).", m_strDiskName), 0);
    }
    return true;
}

bool CDiskToImage::ImageFailed(const std::string& strReason, uint32_t nError)
{
    m_writer.dwError = nError;
    LogError("can't create file %s.\n%s\n", m_job.strImage, strReason);
    return false;
}

// The old contents of a replaced image go when its first block is written
// (or when a drive of 0 bytes was read in full), not before.
bool CDiskToImage::CutReplacedImage()
{
    if (!m_bImageReplaced) return true;
    uint32_t nError = 0;
    if (!m_hImage->SetLength(0, nError)) {
        m_writer.dwError = nError;
        LogError("can't replace file %s.\n%s\n", m_job.strImage, GetSystemErrorText(nError));
        return false;
    }
    m_bImageReplaced = false;
    return true;
}

// The image writer has flushed the image on every way out; closing is all
// that is left, and removing a new image that holds none of the drive's
// bytes (an unfinished compressed one is kept: it is all there is).
void CDiskToImage::CloseHandles(bool bResult)
{
    m_hDisk.reset();
    const bool bUnused = m_hImage && m_bImageCreated && !bResult && m_nImageBytes == 0 && !m_bImageUnfinished;
    m_hImage.reset();
    uint32_t nError = 0;
    if (bUnused) m_run.Devices().RemoveFile(m_job.strImage, nError);
    m_bImageCreated = m_bImageReplaced = false;
}
