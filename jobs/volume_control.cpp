// The window's volume operations: held locks, eject and load.
#include "jobs/volume_control.h"

#include <chrono>
#include <thread>

#include <bit>

#include "drives/drive_kind.h"
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "jobs/job_ports.h"

namespace {

constexpr auto LOCK_RETRY_PAUSE = std::chrono::milliseconds(100);

bool Dismounted(IDevice& volume, uint32_t& nError)
{
    return volume.DismountVolume(nError) || nError == SystemError::NotReady();
}

}  // namespace

std::string VolumePathOf(size_t nLetter)
{
    return FormatText("\\\\.\\%c:", static_cast<unsigned>('A' + nLetter));
}

std::vector<int> CVolumeControl::LettersOf(uint32_t nKind, uint32_t nNumber) const
{
    std::vector<int> arrLetters;
    for (const std::string& strLetter : m_drives.GetDriveLetters(nKind, nNumber)) {
        const uint32_t dwBit = LetterBit(strLetter);
        arrLetters.push_back(dwBit ? std::countr_zero(dwBit) : -1);
    }
    return arrLetters;
}

std::unique_ptr<IDevice> CVolumeControl::LockSequence(const std::string& strPath, bool bRetry)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pVolume = m_devices.Open(strPath, EOpenMode::Volume, nError);
    if (!pVolume) return nullptr;
    bool bLocked = pVolume->LockVolume(nError);
    if (!bLocked && bRetry) {
        std::this_thread::sleep_for(LOCK_RETRY_PAUSE);
        bLocked = pVolume->LockVolume(nError);
    }
    if (!bLocked) return nullptr;
    if (!Dismounted(*pVolume, nError)) {
        pVolume->UnlockVolume(nError);
        return nullptr;
    }
    return pVolume;
}

bool CVolumeControl::LockLetter(size_t nLetter)
{
    if (nLetter >= LETTERS) return false;
    if (IsHeld(nLetter)) return true;
    std::unique_ptr<IDevice> pVolume = LockSequence(VolumePathOf(nLetter), true);
    if (!pVolume) return false;
    ShellNotifyMediaRemovedDrive(static_cast<int>(nLetter));
    m_hLockVolume[nLetter] = std::move(pVolume);
    return true;
}

bool CVolumeControl::IsMediaPresent(uint32_t nKind, uint32_t, const std::string& strDrivePath)
{
    if (nKind != DRIVE_KIND_CDROM && nKind != DRIVE_KIND_DISK) return true;
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDrive = m_devices.Open(strDrivePath, EOpenMode::ProbeDrive, nError);
    if (!pDrive) return true;
    uint64_t nLength = 0;
    return pDrive->GetLengthInfo(nLength, nError) || nError != SystemError::NotReady();
}

void CVolumeControl::LoadMedia(uint32_t nKind, uint32_t nNumber)
{
    uint32_t nError = 0;
    for (const int n : LettersOf(nKind, nNumber)) {
        if (n < 0) continue;
        if (IsHeld(static_cast<size_t>(n))) {
            IDevice& held = *m_hLockVolume[static_cast<size_t>(n)];
            if (held.AllowMediaRemoval(nError) && held.LoadMedia(nError)) ShellNotifyMediaInsertedDrive(n);
            continue;
        }
        const std::string strPath = VolumePathOf(static_cast<size_t>(n));
        std::unique_ptr<IDevice> pVolume = m_devices.Open(strPath, EOpenMode::Volume, nError);
        if (pVolume && pVolume->LoadMedia(nError)) ShellNotifyMediaInserted(strPath);
    }
}

void CVolumeControl::EjectMedia(uint32_t nKind, uint32_t nNumber)
{
    uint32_t nError = 0;
    for (const int n : LettersOf(nKind, nNumber)) {
        if (n < 0) continue;
        const auto nLetter = static_cast<size_t>(n);
        const std::string strPath = VolumePathOf(nLetter);
        if (IsHeld(nLetter)) {
            IDevice& held = *m_hLockVolume[nLetter];
            held.Flush(nError);
            if (!Dismounted(held, nError) || !held.AllowMediaRemoval(nError) || !held.EjectMedia(nError)) continue;
            Relock(nLetter);
            continue;
        }
        std::unique_ptr<IDevice> pVolume = m_devices.Open(strPath, EOpenMode::Volume, nError);
        if (!pVolume) continue;
        if (!pVolume->LockVolume(nError)) {
            std::this_thread::sleep_for(LOCK_RETRY_PAUSE);
            if (!pVolume->LockVolume(nError)) continue;
        }
        pVolume->Flush(nError);
        if (Dismounted(*pVolume, nError)) {
            ShellNotifyMediaRemoved(strPath);
            if (pVolume->AllowMediaRemoval(nError)) pVolume->EjectMedia(nError);
        } else {
            pVolume->UnlockVolume(nError);
        }
    }
}

// After an eject of a held volume: the old handle goes and the volume is
// locked anew, so it stays held after its medium left.
void CVolumeControl::Relock(size_t nLetter)
{
    m_hLockVolume[nLetter].reset();
    const std::string strPath = VolumePathOf(nLetter);
    std::unique_ptr<IDevice> pVolume = LockSequence(strPath, true);
    if (!pVolume) return;
    ShellNotifyMediaRemoved(strPath);
    m_hLockVolume[nLetter] = std::move(pVolume);
}

void CVolumeControl::LockDriveVolumes(uint32_t nKind, uint32_t nNumber)
{
    for (const int n : LettersOf(nKind, nNumber)) {
        if (n < 0 || IsHeld(static_cast<size_t>(n))) continue;
        const auto cLetter = static_cast<unsigned>('A' + n);
        std::unique_ptr<IDevice> pVolume = LockSequence(VolumePathOf(static_cast<size_t>(n)), false);
        if (!pVolume) {
            LogError("Volume %c: lock failed.\n", cLetter);
            continue;
        }
        ShellNotifyMediaRemovedDrive(n);
        m_hLockVolume[static_cast<size_t>(n)] = std::move(pVolume);
        LogInfo("Volume %c: locked.\n", cLetter);
    }
}

void CVolumeControl::UnlockDriveVolumes(uint32_t nKind, uint32_t nNumber)
{
    for (const int n : LettersOf(nKind, nNumber)) {
        if (n < 0 || !IsHeld(static_cast<size_t>(n))) continue;
        const auto cLetter = static_cast<unsigned>('A' + n);
        uint32_t nError = 0;
        if (!m_hLockVolume[static_cast<size_t>(n)]->UnlockVolume(nError)) {
            LogError("Volume %c: unlock failed.\n", cLetter);
            continue;
        }
        m_hLockVolume[static_cast<size_t>(n)].reset();
        ShellNotifyMediaInsertedDrive(n);
        LogInfo("Volume %c: unlocked.\n", cLetter);
    }
}

bool CVolumeControl::IsDriveLocked(uint32_t nKind, uint32_t nNumber) const
{
    const std::vector<int> arrLetters = LettersOf(nKind, nNumber);
    if (arrLetters.empty()) return false;
    for (const int n : arrLetters) {
        if (n < 0 || !IsHeld(static_cast<size_t>(n))) return false;
    }
    return true;
}

bool CVolumeControl::CanLockDrive(uint32_t nKind, uint32_t nNumber) const
{
    const std::vector<std::string> arrLetters = m_drives.GetDriveLetters(nKind, nNumber);
    if (arrLetters.empty()) return false;
    for (const std::string& strLetter : arrLetters) {
        const DISK_DRIVE_INFO* pRecord = m_drives.FindLetter(strLetter);
        if (!pRecord || pRecord->bFloppy || pRecord->dwDeviceType == DEVICE_NUMBER_TYPE_CD_ROM) return false;
    }
    return true;
}

void CVolumeControl::EjectLockedVolume(size_t nLetter)
{
    if (!IsHeld(nLetter)) return;
    IDevice& held = *m_hLockVolume[nLetter];
    const auto cLetter = static_cast<unsigned>('A' + nLetter);
    uint32_t nError = 0;
    held.Flush(nError);
    LogInfo("Volume %c: unmount...", cLetter);
    if (!Dismounted(held, nError)) {
        LogWarning("\nvolume %c: unmount failed.\n%s\n", cLetter, GetSystemErrorText(nError));
        return;
    }
    ShellNotifyMediaRemoved(VolumePathOf(nLetter) + "\\");
    LogInfo("OK.\n");
    if (!held.AllowMediaRemoval(nError)) return;
    LogInfo("Volume %c: eject...", cLetter);
    if (!held.EjectMedia(nError)) {
        LogError("failed.\n%s\n", GetSystemErrorText(nError));
        return;
    }
    ShellNotifyMediaRemovedDrive(static_cast<int>(nLetter));
    LogInfo("OK.\n");
    Relock(nLetter);
}

void CVolumeControl::ReleaseLostLocks()
{
    for (size_t n = 0; n < LETTERS; ++n) {
        if (!IsHeld(n)) continue;
        const std::string strLetter(1, static_cast<char>('A' + n));
        const DISK_DRIVE_INFO* pRecord = m_drives.FindLetter(strLetter);
        if (pRecord && pRecord->dwDeviceNumber >= 0) continue;
        const auto nHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_hLockVolume[n].get()));
        DebugTrace(FormatText("Locked drive %c not found. -> CloseHandle(%08X)\n", static_cast<unsigned>('A' + n),
                              nHandle));
        LogError("Locked volume %c is already invalid, because physical drive was lost.\n",
                 static_cast<unsigned>('A' + n));
        m_hLockVolume[n].reset();
    }
}

uint32_t CVolumeControl::LockedLetters() const
{
    uint32_t dwMask = 0;
    for (size_t n = 0; n < LETTERS; ++n) {
        if (IsHeld(n)) dwMask |= 1u << n;
    }
    return dwMask;
}
