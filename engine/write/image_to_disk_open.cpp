// Everything a write job checks before its first byte: the targets opened
// exclusively and of a kind that can be written, the image opened, no
// target that holds the image or is given twice, and the length to write
// decided from the image's and the drives' sizes.
#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/write/image_to_disk.h"

namespace {

constexpr std::string_view SHARED_STORAGE_LINE =
    "can't write disk %s.\nit shares its storage with %s, also a target of this job.\n";

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

bool CImageToDisk::Prepare(int nCount, const std::string* arrPaths, const std::string& strImage)
{
    if (!RefuseRepeatedPaths(nCount, arrPaths)) return false;
    for (int i = 0; i < nCount; ++i) OpenTarget(i, arrPaths[i]);
    const bool bImage = OpenImage(strImage);
    if (!bImage || !AnyActive() || !RefuseConflicts(strImage)) return false;
    uint64_t nFileSize = 0;
    if (!m_image.GetFileSize(nFileSize)) {
        m_dwReaderError = m_image.LastError();
        return false;
    }
    return DecideLength(nFileSize);
}

// A target that cannot be opened, or is neither a disk nor a regular file
// standing in for one, is skipped with its line; the others go on.
void CImageToDisk::OpenTarget(int nSlot, const std::string& strPath)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    t.strPath = strPath;
    uint32_t nError = 0;
    t.hDisk = m_pDevices->Open(strPath, m_opt.bShared ? EOpenMode::WriteDriveShared : EOpenMode::WriteDrive, nError);
    if (!t.hDisk) {
        t.dwError = nError;
        LogDiskOpenError(strPath, nError);
        return;
    }
    const EDeviceKind eKind = t.hDisk->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s.\nit is %s, not a disk.\n", strPath, DeviceKindText(eKind));
        t.hDisk.reset();
        return;
    }
    t.bActive = true;
}

bool CImageToDisk::OpenImage(const std::string& strImage)
{
    CStorageWatch watch(*m_pDevices);
    if (!m_image.Open(watch, strImage, m_opt.bCompressed)) {
        m_dwReaderError = m_image.LastError();
        return false;
    }
    m_imageStorage = watch.Storage();
    return true;
}

// A path given twice is refused before anything is opened: where opens
// are exclusive (Windows) the second open would fail and leave the first
// to be written as if nothing were wrong.
bool CImageToDisk::RefuseRepeatedPaths(int nCount, const std::string* arrPaths)
{
    for (int i = 1; i < nCount; ++i) {
        for (int j = 0; j < i; ++j) {
            if (arrPaths[i] != arrPaths[j]) continue;
            LogError(SHARED_STORAGE_LINE, arrPaths[i], arrPaths[j]);
            return false;
        }
    }
    return true;
}

// Writing a target that holds the image would destroy the data being
// written; writing one drive through two slots (or a drive and a part of
// it) would mix two streams on it. Either ends the job before any write.
bool CImageToDisk::RefuseConflicts(const std::string& strImage)
{
    T_STORAGE storage[MAX_TARGETS];
    for (int i = 0; i < MAX_TARGETS; ++i) {
        T_DISKTASK_INFO& t = m_Task[i];
        if (!t.bActive) continue;
        storage[i] = t.hDisk->GetStorage();
        if (IsStoredOn(m_imageStorage, storage[i])) {
            LogError("can't write disk %s.\nthe image file %s is stored on it.\n", t.strPath, strImage);
            return false;
        }
        for (int j = 0; j < i; ++j) {
            if (!m_Task[j].bActive) continue;
            if (IsStoredOn(storage[i], storage[j]) || IsStoredOn(storage[j], storage[i])) {
                LogError(SHARED_STORAGE_LINE, t.strPath, m_Task[j].strPath);
                return false;
            }
        }
    }
    return true;
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
    uint64_t arrSize[MAX_TARGETS] = {};
    uint64_t nTotal = UINT64_MAX;
    uint64_t nLargest = 0;
    for (int i = 0; i < MAX_TARGETS; ++i) {
        if (!m_Task[i].bActive || !MeasureTarget(i, nFileSize, arrSize[i])) continue;
        nTotal = std::min(nTotal, arrSize[i]);
        nLargest = std::max(nLargest, arrSize[i]);
    }
    if (!AnyActive()) return false;
    m_bOneSize = nLargest == nTotal;
    m_nTotal = m_opt.bCompressed ? nTotal : std::min(nTotal, nFileSize);
    if (m_opt.bCompressed || nTotal == nFileSize) return true;
    bool bZeroEnd = false;
    if (nTotal < nFileSize && m_bOneSize) {
        T_IMAGE_TAIL tail;
        if (!m_image.ReadTail(nTotal, tail, m_bAbortRequested)) {
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
    const uint16_t nStyle = m_opt.bForce ? LOG_STYLE_FORCED : LOG_STYLE_ERROR;
    bool bMismatch = false;
    for (int i = 0; i < MAX_TARGETS; ++i) {
        if (!m_Task[i].bActive || arrSize[i] == nFileSize || (arrSize[i] < nFileSize && bZeroEnd)) continue;
        LogPost(nStyle, arrSize[i] < nFileSize ? "image file size too large.\n" : "image size mismatch.\n");
        bMismatch = true;
    }
    return !bMismatch || m_opt.bForce;
}

// nSize becomes the drive's size; false (the target left out) when it
// cannot be told.
bool CImageToDisk::MeasureTarget(int nSlot, uint64_t nFileSize, uint64_t& nSize)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    uint32_t nError = 0;
    if (!GetDiskSize(*t.hDisk, nSize, nError)) {
        t.dwError = nError;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        t.bActive = false;
        return false;
    }
    LogInfo("%s\n", m_strName[nSlot]);
    LogInfo("  disk size=%I64u bytes.\n", nSize);
    LogInfo("  file size=%I64u bytes%s.\n", nFileSize, m_opt.bCompressed ? "(compressed)" : "");
    return true;
}

bool CImageToDisk::AnyActive() const
{
    return std::any_of(std::begin(m_Task), std::end(m_Task), [](const T_DISKTASK_INFO& t) { return t.bActive; });
}
