// The drive list: probe, measure and describe every drive.
#include "drives/drive_list_build.h"

#include <bit>

#include "drives/drive_kind.h"
#include "drives/drive_list_text.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

namespace {

// A drive opened for the probe and measured, or not there.
bool Measure(IDeviceProvider& devices, T_ITEM_DATA& item, T_DRIVE_TEXT& text)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDrive = devices.Open(item.strPath, EOpenMode::ProbeDrive, nError);
    if (!pDrive) return false;
    if (item.nKind == DRIVE_KIND_FLOPPY) {
        T_DISK_GEOMETRY geometry;
        if (pDrive->GetDriveGeometry(geometry, nError)) {
            text.eMeasure = EDriveMeasure::Size;
            item.nSize = static_cast<uint64_t>(geometry.Cylinders) * geometry.TracksPerCylinder *
                         geometry.SectorsPerTrack * geometry.BytesPerSector;
        } else {
            text.eMeasure = EDriveMeasure::NotReady;
            item.bNotReady = true;
        }
        return true;
    }
    T_STORAGE_DESCRIPTOR descriptor;
    if (!pDrive->QueryStorageProperty(descriptor, nError)) return true;  // listed, with no size or names
    item.strVendor = text.strVendor = descriptor.strVendor;
    item.strProduct = text.strProduct = descriptor.strProduct;
    item.strRevision = descriptor.strRevision;
    item.strSerial = descriptor.strSerial;
    if (pDrive->GetLengthInfo(item.nSize, nError)) {
        text.eMeasure = EDriveMeasure::Size;
    } else if (nError == SystemError::NotReady()) {
        text.eMeasure = EDriveMeasure::NotReady;
        item.bNotReady = true;
    } else {
        text.eMeasure = EDriveMeasure::Error;
        text.nError = nError;
        item.bError = true;
    }
    text.nSize = item.nSize;
    return true;
}

// A CD-ROM drive that has a size and a letter: its size is that of the
// disc's file system, which the letter's root tells.
void MeasureDisc(IVolumeScanner& scanner, T_ITEM_DATA& item, T_DRIVE_TEXT& text)
{
    uint64_t nTotalBytes = 0;
    if (text.eMeasure != EDriveMeasure::Size || item.arrLetters.empty()) return;
    if (!scanner.GetFileSystemTotalBytes(scanner.RootOf(item.arrLetters.front()), nTotalBytes)) return;
    item.nSize = text.nSize = nTotalBytes;
}

// Fills the letters, the lock mark and the text; false when the settings
// hide the drive.
bool Describe(const T_DRIVE_LIST_OPTIONS& options, T_ITEM_DATA& item, T_DRIVE_TEXT& text)
{
    for (const std::string& strLetter : item.arrLetters) {
        if (LetterBit(strLetter) & options.dwHideLetters) return false;
        if (LetterBit(strLetter) & options.dwLockedLetters) item.bLocked = true;
    }
    if (item.arrLetters.empty() && (options.bShowRemovableOnly || options.bHideNoDriveLetter)) return false;
    for (size_t i = 0; i < item.arrLetters.size(); ++i) item.strLetters += (i ? "," : "") + item.arrLetters[i];
    text.nKind = item.nKind;
    if (item.nKind != DRIVE_KIND_FLOPPY) text.nNumber = item.nNumber;  // a floppy shows its own number
    text.arrLetters = item.arrLetters;
    text.bLocked = item.bLocked;
    item.strText = DriveListText(text);
    return true;
}

void ProbeNumbered(CDriveInfo& drives, IVolumeScanner& scanner, IDeviceProvider& devices,
                   const T_DRIVE_LIST_OPTIONS& options, uint32_t nKind, std::vector<T_ITEM_DATA>& arrItems)
{
    for (uint32_t n = 0; n <= MAX_DRIVE_NUMBER; ++n) {
        T_ITEM_DATA item;
        item.nKind = nKind;
        item.nNumber = n;
        if (!scanner.GetDrivePath(nKind, n, item.strPath)) continue;
        if (options.fnProbeOnly && !options.fnProbeOnly(item.strPath)) continue;
        T_DRIVE_TEXT text;
        if (!Measure(devices, item, text)) continue;
        item.arrLetters = drives.GetDriveLetters(nKind, n);
        if (nKind == DRIVE_KIND_CDROM) MeasureDisc(scanner, item, text);
        item.bRemovable = IsRemovableDriveOf(drives, nKind, n);
        if (Describe(options, item, text)) arrItems.push_back(item);
    }
}

// Floppy drives are known by the inventory's floppy volumes.
void ProbeFloppies(CDriveInfo& drives, IVolumeScanner& scanner, IDeviceProvider& devices,
                   const T_DRIVE_LIST_OPTIONS& options, std::vector<T_ITEM_DATA>& arrItems)
{
    for (const DISK_DRIVE_INFO& record : std::vector<DISK_DRIVE_INFO>(drives.m_arrDrive)) {
        if (!record.bFloppy || (LetterBit(record.chLetter) & options.dwNoScanLetters)) continue;
        T_ITEM_DATA item;
        item.nKind = DRIVE_KIND_FLOPPY;
        const uint32_t dwBit = LetterBit(record.chLetter);
        const auto nOwnNumber = static_cast<uint32_t>(record.dwDeviceNumber);
        item.nNumber = dwBit ? static_cast<uint32_t>(std::countr_zero(dwBit)) : nOwnNumber;
        item.strPath = dwBit ? FormatText("\\\\.\\%s:", record.chLetter) : scanner.RootOf(record.chLetter);
        if (options.fnProbeOnly && !options.fnProbeOnly(item.strPath)) continue;
        T_DRIVE_TEXT text;
        if (!Measure(devices, item, text)) continue;
        text.nNumber = nOwnNumber;
        item.arrLetters = {record.chLetter};
        item.bRemovable = true;
        if (Describe(options, item, text)) arrItems.push_back(item);
    }
}

}  // namespace

bool IsRemovableDriveOf(const CDriveInfo& drives, uint32_t nKind, uint32_t nNumber)
{
    const std::vector<std::string> arrLetters = drives.GetDriveLetters(nKind, nNumber);
    if (arrLetters.empty()) return false;
    for (const std::string& strLetter : arrLetters) {
        const DISK_DRIVE_INFO* pRecord = drives.FindLetter(strLetter);
        if (!pRecord || (pRecord->nDriveType != DRIVE_TYPE_REMOVABLE && pRecord->nDriveType != DRIVE_TYPE_CDROM))
            return false;
    }
    return true;
}

std::vector<T_ITEM_DATA> BuildDriveItems(CDriveInfo& drives, IVolumeScanner& scanner, IDeviceProvider& devices,
                                         const T_DRIVE_LIST_OPTIONS& options)
{
    drives.m_dwNoScanLetters = options.dwNoScanLetters;
    drives.Refresh();
    std::vector<T_ITEM_DATA> arrItems;
    ProbeNumbered(drives, scanner, devices, options, DRIVE_KIND_DISK, arrItems);
    if (options.bShowCDROM) ProbeNumbered(drives, scanner, devices, options, DRIVE_KIND_CDROM, arrItems);
    if (options.bShowFloppy) ProbeFloppies(drives, scanner, devices, options, arrItems);
    return arrItems;
}
