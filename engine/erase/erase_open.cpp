// Everything an erase checks before its first byte: no path given twice,
// the method chosen, the targets opened exclusively (a disk with a mounted
// file system is refused by the system) and of a kind that can be erased,
// no two targets that share their storage, and every target measured.
#include <algorithm>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/erase/erase_disk.h"

namespace {

constexpr std::string_view SHARED_STORAGE_LINE =
    "can't write disk %s.\nit shares its storage with %s, also a target of this job.\n";

}  // namespace

bool CEraseDisk::Prepare(int nCount, const std::string* arrPaths)
{
    if (!RefuseRepeatedPaths(nCount, arrPaths)) return false;
    SelectMethod();  // its line belongs under the head line, before any target's failure
    for (int i = 0; i < nCount; ++i) OpenTarget(i, arrPaths[i]);
    if (!AnyActive() || !RefuseSharedStorage()) return false;
    for (int i = 0; i < nCount; ++i) {
        if (m_Task[i].bActive) MeasureTarget(i);
    }
    return AnyActive();
}

// A path given twice would be erased by two writers with different
// patterns; where opens are exclusive the second open would fail and hide
// the mistake. Refused before anything is opened.
bool CEraseDisk::RefuseRepeatedPaths(int nCount, const std::string* arrPaths)
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

// A target that cannot be opened, or is neither a disk nor a regular file
// standing in for one, is skipped with its line; the others go on.
void CEraseDisk::OpenTarget(int nSlot, const std::string& strPath)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    t.strPath = strPath;
    uint32_t nError = 0;
    const EOpenMode eMode = g_bOptSharedWrite ? EOpenMode::WriteDriveShared : EOpenMode::WriteDrive;
    t.hDisk = m_pDevices->Open(strPath, eMode, nError);
    if (!t.hDisk) {
        t.dwError = nError;
        t.eFailure = EEraseFailure::NotOpened;
        LogDiskOpenError(strPath, nError);
        return;
    }
    const EDeviceKind eKind = t.hDisk->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s.\nit is %s, not a disk.\n", strPath, DeviceKindText(eKind));
        t.eFailure = EEraseFailure::NotOpened;
        t.hDisk.reset();
        return;
    }
    t.bActive = true;
}

// The method's passes, and its line in the log.
void CEraseDisk::SelectMethod()
{
    const T_ERASE_METHOD& method = FindEraseMethod(m_nMethod);
    m_nPass = method.nPass;
    std::copy(method.arrPass, method.arrPass + method.nPass, m_Pass);
    LogInfo("%s", method.pLogLine);
}

// Two targets on one drive (a disk and its partition, a loop device and
// its backing file) would mix two erasures on it: the job ends before any
// write.
bool CEraseDisk::RefuseSharedStorage()
{
    T_STORAGE storage[MAX_TARGETS];
    for (int i = 0; i < MAX_TARGETS; ++i) {
        if (!m_Task[i].bActive) continue;
        storage[i] = m_Task[i].hDisk->GetStorage();
        for (int j = 0; j < i; ++j) {
            if (!m_Task[j].bActive) continue;
            if (IsStoredOn(storage[i], storage[j]) || IsStoredOn(storage[j], storage[i])) {
                LogError(SHARED_STORAGE_LINE, m_Task[i].strPath, m_Task[j].strPath);
                return false;
            }
        }
    }
    return true;
}

void CEraseDisk::MeasureTarget(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    uint64_t nSize = 0;
    uint32_t nError = 0;
    if (!GetDiskSize(*t.hDisk, nSize, nError)) {
        t.dwError = nError;
        t.eFailure = EEraseFailure::NotOpened;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        t.bActive = false;
        t.hDisk.reset();
        return;
    }
    LogInfo("%s\n", m_strName[nSlot]);
    LogInfo("  disk size=%I64u bytes.\n", nSize);
    t.nSize = nSize;
    m_nTotal = std::max(m_nTotal, nSize);
}

bool CEraseDisk::AnyActive() const
{
    return std::any_of(std::begin(m_Task), std::end(m_Task), [](const T_DISKTASK_INFO& t) { return t.bActive; });
}
