// Everything a write job checks before its first byte: the targets opened
// exclusively and of a kind that can be written, the image opened, no
// target that holds the image or is given twice, and the length to write
// decided from the image's and the drives' sizes.
#include <algorithm>
#include <vector>

#include "engine/blockio/target_drives.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/write/image_to_disk.h"

namespace {

// Hands the image reader the provider's handle and keeps where that very
// handle's data live, so the conflict checks look at what was opened.
class CStorageWatch : public IDeviceProvider {
public:
    explicit CStorageWatch(IDeviceProvider& devices) : m_devices(devices) {}
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        std::unique_ptr<IDevice> pDevice = m_devices.Open(strPath, eMode, nError);
        if (pDevice) m_storage = pDevice->GetStorage();
        return pDevice;
    }
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return m_devices.RemoveFile(strPath, nError);
    }
    const T_STORAGE& Storage() const { return m_storage; }

private:
    IDeviceProvider& m_devices;
    T_STORAGE m_storage;
};

}  // namespace

// A target that cannot be opened, or is neither a disk nor a regular file
// standing in for one, is skipped with its line; the others go on.
bool CImageToDisk::Prepare()
{
    std::vector<std::string> arrPaths;
    for (const T_SLOT& t : m_slots) arrPaths.push_back(t.strPath);
    if (!RefuseRepeatedPaths(arrPaths)) return false;
    for (T_SLOT& t : m_slots) {
        t.hDisk = OpenTargetDrive(m_run.Devices(), t.strPath, m_job.options.bSharedWrite, t.dwError);
        t.bActive = t.hDisk != nullptr;
        if (!t.bActive) t.eVerdict = ESlotVerdict::NotOpened;
    }
    const bool bImage = OpenImage();
    if (!bImage || !AnyActive() || !RefuseConflicts()) return false;
    uint64_t nFileSize = 0;
    if (!m_image.GetFileSize(nFileSize)) {
        m_dwReaderError = m_image.LastError();
        return false;
    }
    m_nImageFileSize = nFileSize;
    return DecideLength(nFileSize);
}

bool CImageToDisk::OpenImage()
{
    CStorageWatch watch(ImageDevices());
    if (!m_image.Open(watch, m_job.strImage, ImageFormatOf(m_job.options))) {
        m_dwReaderError = m_image.LastError();
        return false;
    }
    m_imageStorage = watch.Storage();
    return true;
}

// Writing a target that holds the image would destroy the data being
// written; writing one drive through two slots (or a drive and a part of
// it) would mix two streams on it. Either ends the job before any write.
bool CImageToDisk::RefuseConflicts()
{
    std::vector<IDevice*> arrDrives;
    std::vector<std::string> arrPaths;
    for (const T_SLOT& t : m_slots) {
        arrDrives.push_back(t.bActive ? t.hDisk.get() : nullptr);
        arrPaths.push_back(t.strPath);
        if (t.bActive && IsStoredOn(m_imageStorage, t.hDisk->GetStorage())) {
            LogError("can't write disk %s.\nthe image file %s is stored on it.\n", t.strPath, m_job.strImage);
            return false;
        }
    }
    return RefuseSharedStorage(arrDrives, arrPaths);
}

// m_nTotal becomes the smallest length among the targets that could be
// measured. A raw image that differs in size from a drive stops the job
// unless the force-write option is on, with one exception: an image longer
// than targets all of one size, whose bytes past their end are all zero,
// loses nothing when those are left out. (Targets of several sizes all get
// the smallest one's length, so a larger one would miss bytes it could
// hold.) A compressed image's length is learned only by inflating it, so
// its targets take their drive sizes. An image that cannot be read stops
// the job.
bool CImageToDisk::DecideLength(uint64_t nFileSize)
{
    const bool bCompressed = ImageIsCompressed(m_job.options);
    const bool bForce = m_job.options.bForceWrite;
    std::vector<uint64_t> arrSize(m_slots.size(), 0);
    uint64_t nTotal = UINT64_MAX;
    uint64_t nLargest = 0;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i].bActive || !MeasureTarget(m_slots[i], nFileSize, arrSize[i])) continue;
        nTotal = std::min(nTotal, arrSize[i]);
        nLargest = std::max(nLargest, arrSize[i]);
    }
    if (!AnyActive()) return false;
    m_bOneSize = nLargest == nTotal;
    m_nTotal = bCompressed ? nTotal : std::min(nTotal, nFileSize);
    if (bCompressed || nTotal == nFileSize) return true;
    bool bZeroEnd = false;
    if (nTotal < nFileSize && m_bOneSize) {
        T_IMAGE_TAIL tail;
        if (!m_image.ReadTail(nTotal, tail, m_run.StopFlag())) {
            m_dwReaderError = m_image.LastError();
            return false;
        }
        bZeroEnd = tail.bAllZero;
        if (bZeroEnd) {
            LogWarning("the image's last %I64u bytes do not fit on the drive; they are all zero and are not "
                       "written.\n",
                       tail.nBytes);
        }
    }
    const uint16_t nStyle = bForce ? LOG_STYLE_FORCED : LOG_STYLE_ERROR;
    bool bMismatch = false;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i].bActive || arrSize[i] == nFileSize || (arrSize[i] < nFileSize && bZeroEnd)) continue;
        LogPost(nStyle, arrSize[i] < nFileSize ? "image file size too large.\n" : "image size mismatch.\n");
        bMismatch = true;
    }
    return !bMismatch || bForce;
}

// nSize becomes the drive's size; false (the target left out) when it
// cannot be told.
bool CImageToDisk::MeasureTarget(T_SLOT& t, uint64_t nFileSize, uint64_t& nSize)
{
    uint32_t nError = 0;
    if (!GetDiskSize(*t.hDisk, nSize, nError)) {
        t.dwError = nError;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        t.bActive = false;
        t.eVerdict = ESlotVerdict::NotOpened;
        return false;
    }
    LogInfo("%s\n", t.strName);
    LogInfo("  disk size=%I64u bytes.\n", nSize);
    LogInfo("  file size=%I64u bytes%s.\n", nFileSize, ImageIsCompressed(m_job.options) ? "(compressed)" : "");
    return true;
}

bool CImageToDisk::AnyActive() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const T_SLOT& t) { return t.bActive; });
}
