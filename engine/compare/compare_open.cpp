// The compare job's handles: every drive is opened for reading and
// measured; a drive that cannot be opened, is neither a disk nor a regular
// file, or does not tell its size is left out of the comparison (and so
// fails the run). The comparison length is the shortest drive's length,
// cut to the image's size for a raw image; what the image holds past it
// is looked at when the comparison is done.
#include <algorithm>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"

// True when at least one drive is open.
bool CCompareDiskImage::OpenDrives(std::span<const std::string> arrPaths)
{
    bool bAny = false;
    for (size_t i = 0; i < arrPaths.size(); ++i) bAny = OpenDrive(i, arrPaths[i]) || bAny;
    return bAny;
}

bool CCompareDiskImage::OpenDrive(size_t i, const std::string& strPath)
{
    T_DISKREAD_INFO& rec = m_diskRead[i];
    uint32_t nError = 0;
    const EOpenMode eMode = g_bOptShareRead ? EOpenMode::ReadDriveShared : EOpenMode::ReadDrive;
    rec.hDisk = m_pDevices->Open(strPath, eMode, nError);
    if (!rec.hDisk) {
        rec.dwError = nError;
        LogDiskOpenError(strPath, nError);
        return false;
    }
    const EDeviceKind eKind = rec.hDisk->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s.\nit is %s, not a disk.\n", strPath, DeviceKindText(eKind));
        rec.hDisk.reset();
        return false;
    }
    rec.bActive = true;
    m_compTask[i].bActive = true;
    return true;
}

// Sets m_nTotal from the drives that tell their size; true when at least
// one of them is left. nFileSize is a compressed size for a compressed
// image and says nothing about its data's length: the drive decides then.
bool CCompareDiskImage::MeasureDrives(uint64_t nFileSize)
{
    bool bAny = false;
    uint64_t nTotal = UINT64_MAX;
    for (size_t i = 0; i < m_nDrives; ++i) {
        T_DISKREAD_INFO& rec = m_diskRead[i];
        if (!rec.bActive) continue;
        uint64_t nDiskSize = 0;
        uint32_t nError = 0;
        if (!GetDiskSize(*rec.hDisk, nDiskSize, nError)) {
            rec.dwError = nError;
            LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
            LeaveOut(i);
            continue;
        }
        rec.nDiskSize = nDiskSize;
        LogInfo("%s\n", m_strName[i]);
        LogInfo("  disk size=%I64u bytes.\n", nDiskSize);
        LogInfo("  file size=%I64u bytes%s.\n", nFileSize, m_bCompressed ? "(compressed)" : "");
        nTotal = std::min(nTotal, m_bCompressed ? nDiskSize : std::min(nDiskSize, nFileSize));
        bAny = true;
    }
    m_nTotal = bAny ? nTotal : 0;
    return bAny;
}

void CCompareDiskImage::LeaveOut(size_t i)
{
    m_diskRead[i].hDisk.reset();
    m_diskRead[i].bActive = false;
    m_compTask[i].bActive = false;
}

void CCompareDiskImage::CloseHandles()
{
    for (T_DISKREAD_INFO& rec : m_diskRead) rec.hDisk.reset();
    m_imageFile.Close();
}
