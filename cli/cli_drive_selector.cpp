#include "cli/cli_drive_selector.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "drives/drive_kind.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "jobs/job_runner_param.h"
#include "jobs/job_preflight.h"

namespace {

constexpr const char* LIST_HINT = "'gravelmoor-cli list' shows the drives";

std::string Lower(std::string strText)
{
    for (char& c : strText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return strText;
}

T_CLI_DRIVE FromItem(const T_ITEM_DATA& item)
{
    return T_CLI_DRIVE{item.nKind, item.nNumber, item.strPath, item.strText, item.nSize};
}

const T_ITEM_DATA* FindItem(CCliInventory& inventory, uint32_t nKind, uint32_t nNumber)
{
    for (const T_ITEM_DATA& item : inventory.Items()) {
        if (item.nKind == nKind && item.nNumber == nNumber) return &item;
    }
    return nullptr;
}

// "disk:N" and "cdrom:N": a decimal number of a listed drive.
bool ResolveNumbered(CCliInventory& inventory, uint32_t nKind, const std::string& strWord, const std::string& strName,
                     const std::string& strValue, T_CLI_DRIVE& drive, std::string& strError)
{
    uint32_t nNumber = 0;
    const char* pEnd = strValue.data() + strValue.size();
    const auto [ptr, ec] = std::from_chars(strValue.data(), pEnd, nNumber);
    if (strValue.empty() || ec != std::errc() || ptr != pEnd) {
        strError = strWord + " is not a drive: " + strName + ":N takes a " + strName + " number (" + LIST_HINT + ")";
        return false;
    }
    const T_ITEM_DATA* pItem = FindItem(inventory, nKind, nNumber);
    if (!pItem) {
        strError = "no " + strName + " " + std::to_string(nNumber) + ": " + LIST_HINT;
        return false;
    }
    drive = FromItem(*pItem);
    return true;
}

// "floppy:A" (or "floppy:a:") where floppy drives have letters.
bool ResolveFloppy(CCliInventory& inventory, const std::string& strWord, const std::string& strValue,
                   bool bFloppyLetters, T_CLI_DRIVE& drive, std::string& strError)
{
    if (!bFloppyLetters) {
        strError = strWord + ": floppy drives have no letters on this system; give the floppy's device path "
                             "(/dev/fd0), as 'gravelmoor-cli list' shows it";
        return false;
    }
    const bool bLetter = (strValue.size() == 1 || (strValue.size() == 2 && strValue[1] == ':')) &&
                         std::isalpha(static_cast<unsigned char>(strValue[0]));
    if (!bLetter) {
        strError = strWord + " is not a drive: floppy:X takes a drive letter (floppy:A)";
        return false;
    }
    const char cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(strValue[0])));
    const T_ITEM_DATA* pItem = FindItem(inventory, DRIVE_KIND_FLOPPY, static_cast<uint32_t>(cLetter - 'A'));
    if (!pItem) {
        strError = std::string("no floppy drive ") + cLetter + ": " + LIST_HINT;
        return false;
    }
    drive = FromItem(*pItem);
    return true;
}

// What a path opens, as far as the device tells.
struct T_OPENED {
    T_STORAGE storage;
    EDeviceKind eKind = EDeviceKind::Other;
    bool bNumber = false;  // the device number request was answered
    T_DEVICE_NUMBER number;
    uint64_t nSize = 0;  // 0 when it cannot be measured
};

std::optional<T_OPENED> Probe(IDeviceProvider& devices, const std::string& strPath, uint32_t& nError)
{
    const std::unique_ptr<IDevice> pDevice = devices.Open(strPath, EOpenMode::ProbeDrive, nError);
    if (!pDevice) return std::nullopt;
    T_OPENED opened;
    opened.storage = pDevice->GetStorage();
    opened.eKind = pDevice->GetKind();
    uint32_t nRequestError = 0;
    opened.bNumber = pDevice->GetDeviceNumber(opened.number, nRequestError);
    if (!GetDiskSize(*pDevice, opened.nSize, nRequestError)) opened.nSize = 0;
    return opened;
}

// The same object: the same block device, or the same file where neither
// is a device. A loop device is not the file behind it.
bool SameObject(const T_STORAGE& a, const T_STORAGE& b)
{
    const T_STORAGE_IDS &x = a.self, &y = b.self;
    if (!x.arrDevices.empty() || !y.arrDevices.empty()) {
        return !x.arrDevices.empty() && !y.arrDevices.empty() && x.arrDevices[0] == y.arrDevices[0];
    }
    return !x.arrFiles.empty() && !y.arrFiles.empty() && x.arrFiles[0] == y.arrFiles[0];
}

// The listed whole drive that holds a partition; null when none is listed.
const T_ITEM_DATA* WholeDriveOf(CCliInventory& inventory, const T_DEVICE_NUMBER& partition)
{
    for (const T_ITEM_DATA& item : inventory.Items()) {
        uint32_t nError = 0;
        const std::optional<T_OPENED> opened = Probe(inventory.Devices(), item.strPath, nError);
        if (opened && opened->bNumber && opened->number.DeviceType == partition.DeviceType &&
            opened->number.DeviceNumber == partition.DeviceNumber && opened->number.PartitionNumber <= 0)
            return &item;
    }
    return nullptr;
}

std::string PartitionRefusal(CCliInventory& inventory, const std::string& strPath, const T_DEVICE_NUMBER& number,
                             bool bFloppyLetters)
{
    const std::string strWhat =
        FormatText("%s is partition %d of ", strPath, static_cast<int>(number.PartitionNumber));
    const T_ITEM_DATA* pWhole = WholeDriveOf(inventory, number);
    if (!pWhole) return strWhat + "a disk, not a whole drive: give the whole disk (" + LIST_HINT + ")";
    const std::string strSelector = DriveSelector(*pWhole, bFloppyLetters);
    return strWhat + strSelector + " (" + pWhole->strPath + "), not a whole drive: give " + strSelector + " or " +
           pWhole->strPath + "; the jobs work on whole drives";
}

// A listed drive whose path opens the same object; null when none does.
const T_ITEM_DATA* ListedAs(CCliInventory& inventory, const T_STORAGE& storage)
{
    for (const T_ITEM_DATA& item : inventory.Items()) {
        uint32_t nError = 0;
        const std::optional<T_OPENED> listed = Probe(inventory.Devices(), item.strPath, nError);
        if (listed && SameObject(storage, listed->storage)) return &item;
    }
    return nullptr;
}

bool ResolvePath(CCliInventory& inventory, const std::string& strPath, bool bFloppyLetters, T_CLI_DRIVE& drive,
                 std::string& strError)
{
    uint32_t nError = 0;
    const std::optional<T_OPENED> opened = Probe(inventory.Devices(), strPath, nError);
    const T_ITEM_DATA* pItem = nullptr;
    if (!opened) {
        // A listed drive that does not open now (no medium) is still known by its name.
        for (const T_ITEM_DATA& item : inventory.Items()) {
            if (!pItem && IsSameObject(strPath, item.strPath)) pItem = &item;
        }
        // Anything else that does not open is left to the job, which says
        // why in its own words.
        if (!pItem) drive = T_CLI_DRIVE{DRIVE_KIND_PATH, 0, strPath, strPath, 0};
    } else if (opened->eKind == EDeviceKind::BlockDevice && opened->bNumber && opened->number.PartitionNumber > 0) {
        strError = PartitionRefusal(inventory, strPath, opened->number, bFloppyLetters);
        return false;
    } else {
        pItem = ListedAs(inventory, opened->storage);
        if (!pItem) drive = T_CLI_DRIVE{DRIVE_KIND_PATH, 0, strPath, strPath, opened->nSize};
    }
    if (pItem) drive = FromItem(*pItem);
    return strError.empty();
}

}  // namespace

bool IsDriveSelector(const std::string& strWord)
{
    const size_t nColon = strWord.find(':');
    if (nColon == std::string::npos) return false;
    const std::string strPrefix = Lower(strWord.substr(0, nColon));
    return strPrefix == "disk" || strPrefix == "cdrom" || strPrefix == "floppy";
}

bool ResolveDrive(CCliInventory& inventory, const std::string& strWord, T_CLI_DRIVE& drive, std::string& strError,
                  bool bFloppyLetters)
{
    const size_t nColon = strWord.find(':');
    const std::string strPrefix = nColon == std::string::npos ? "" : Lower(strWord.substr(0, nColon));
    const std::string strValue = nColon == std::string::npos ? "" : strWord.substr(nColon + 1);
    if (strPrefix == "disk")
        return ResolveNumbered(inventory, DRIVE_KIND_DISK, strWord, "disk", strValue, drive, strError);
    if (strPrefix == "cdrom")
        return ResolveNumbered(inventory, DRIVE_KIND_CDROM, strWord, "cdrom", strValue, drive, strError);
    if (strPrefix == "floppy") return ResolveFloppy(inventory, strWord, strValue, bFloppyLetters, drive, strError);
    return ResolvePath(inventory, strWord, bFloppyLetters, drive, strError);
}

bool ResolveDrives(CCliInventory& inventory, const std::vector<std::string>& arrWords,
                   std::vector<T_CLI_DRIVE>& arrDrives, bool bFloppyLetters)
{
    bool bOk = true;
    arrDrives.clear();
    for (const std::string& strWord : arrWords) {
        T_CLI_DRIVE drive;
        std::string strError;
        if (ResolveDrive(inventory, strWord, drive, strError, bFloppyLetters)) {
            arrDrives.push_back(drive);
        } else {
            LogError("%s.\n", strError);
            bOk = false;
        }
    }
    return bOk;
}

std::string DriveSelector(const T_ITEM_DATA& item, bool bFloppyLetters)
{
    switch (item.nKind) {
    case DRIVE_KIND_DISK: return "disk:" + std::to_string(item.nNumber);
    case DRIVE_KIND_CDROM: return "cdrom:" + std::to_string(item.nNumber);
    case DRIVE_KIND_FLOPPY:
        if (bFloppyLetters && item.nNumber < 26) return std::string("floppy:") + static_cast<char>('A' + item.nNumber);
        return item.strPath;
    default: return item.strPath;
    }
}
