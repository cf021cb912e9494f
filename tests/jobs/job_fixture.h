#pragma once
// The job runner's test fixture: fake drives and volumes, a scripted
// inventory, a recorder for the log and the window's messages, and a sound
// port that remembers what it was asked to play.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/device/fake/fake_device.h"
#include "jobs/job_runner.h"
#include "jobs/job_inventory.h"
#include "jobs/job_ports.h"
#include "jobs/system_places.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

namespace job_test {

inline constexpr uint64_t MIB = 0x100000;

// Drives by kind and number, each with its volumes.
class CScriptedInventory : public IJobInventory {
public:
    void AddDisk(int nNumber, std::string strPath, std::vector<T_JOB_VOLUME> arrVolumes)
    {
        m_disks[nNumber] = {std::move(strPath), std::move(arrVolumes)};
    }
    std::string GetDrivePath(uint32_t nKind, int nNumber) override
    {
        const auto it = m_disks.find(nNumber);
        return nKind == DRIVE_KIND_DISK && it != m_disks.end() ? it->second.first : std::string();
    }
    std::vector<T_JOB_VOLUME> GetDriveVolumes(uint32_t nKind, int nNumber) override
    {
        const auto it = m_disks.find(nNumber);
        return nKind == DRIVE_KIND_DISK && it != m_disks.end() ? it->second.second : std::vector<T_JOB_VOLUME>();
    }

private:
    std::map<int, std::pair<std::string, std::vector<T_JOB_VOLUME>>> m_disks;
};

class CSoundRecorder : public IJobSound {
public:
    void PlayFile(const std::string& strPath) override { m_arrPlayed.push_back(strPath); }
    std::string ProgramFolder() override { return "C:\\tools"; }
    std::vector<std::string> m_arrPlayed;
};

// Fake drives ("fake:...") and volumes ("\\.\E:") from the fake provider,
// every other path from the platform (an image in a temporary folder, with
// its .md5sum file beside it).
class CMixedProvider : public IDeviceProvider {
public:
    explicit CMixedProvider(CFakeDeviceProvider& fakes) : m_fakes(fakes) {}
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        return IsFake(strPath) ? m_fakes.Open(strPath, eMode, nError) : GetPlatformDevices().Open(strPath, eMode, nError);
    }
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        return IsFake(strPath) ? m_fakes.RemoveFile(strPath, nError) : GetPlatformDevices().RemoveFile(strPath, nError);
    }
    size_t CancelWaitingTransfers(uint32_t nWaitedMs) override { return m_fakes.CancelWaitingTransfers(nWaitedMs); }

private:
    static bool IsFake(const std::string& strPath)
    {
        return strPath.rfind("fake:", 0) == 0 || strPath.rfind("\\\\.\\", 0) == 0;
    }
    CFakeDeviceProvider& m_fakes;
};

class JobTest : public ::testing::Test {
protected:
    JobTest() : m_capture(m_recorder), m_devices(m_fakes)
    {
        ResetJobOptions();
        SetJobSound(&m_sound);
        m_param.hWnd = &m_recorder;
        m_param.uMsgProgress = WM_ENGINE_PROGRESS;
        m_param.uMsgError = WM_USER_ERROR;
        m_param.uMsgEnd = WM_DUMPTASK_END;
        m_param.dwInterval = 20;
        m_param.pDriveInfo = &m_inventory;
        m_param.pDevices = &m_devices;
        m_param.szImagePath = m_dir.File("disk.gmi");
        m_param.pSystemPlaces = &m_places;
    }
    ~JobTest() override { SetJobSound(nullptr); }

    // Disk nNumber in slot nSlot, at "fake:diskN", with volumes of these letters.
    std::shared_ptr<CFakeDisk> AddDisk(int nSlot, int nNumber, uint64_t nSize, const std::string& strLetters = "")
    {
        auto pDisk = CFakeDisk::WithPattern(nSize, static_cast<uint32_t>(nNumber + 1));
        const std::string strPath = "fake:disk" + std::to_string(nNumber);
        m_fakes.Add(strPath, pDisk);
        std::vector<T_JOB_VOLUME> arrVolumes;
        for (const char c : strLetters) {
            const std::string strVolume = std::string("\\\\.\\") + c + ":";
            m_volumes[c] = CFakeDisk::WithPattern(4096);
            m_fakes.Add(strVolume, m_volumes[c]);
            arrVolumes.push_back(T_JOB_VOLUME{c - 'A', std::string(1, c) + ":", strVolume});
        }
        m_inventory.AddDisk(nNumber, strPath, arrVolumes);
        m_param.nDriveKind[nSlot] = DRIVE_KIND_DISK;
        m_param.nDriveNumber[nSlot] = nNumber;
        return pDisk;
    }

    // The log so far holds strText.
    bool Logged(const std::string& strText) { return m_recorder.LogText().find(strText) != std::string::npos; }
    // The (wParam, lParam) of every message with this id, in order.
    std::vector<std::pair<WPARAM_T, LPARAM_T>> Posted(uint32_t uMsg)
    {
        std::vector<std::pair<WPARAM_T, LPARAM_T>> arrPosted;
        for (const T_NOTIFY_MSG& msg : m_recorder.Messages())
            if (msg.uMsg == uMsg) arrPosted.emplace_back(msg.wParam, msg.lParam);
        return arrPosted;
    }

    CRecorder m_recorder;
    CLogCapture m_capture;
    CTempDir m_dir;
    CFakeDeviceProvider m_fakes;
    CMixedProvider m_devices;
    CScriptedInventory m_inventory;
    CSoundRecorder m_sound;
    std::map<char, std::shared_ptr<CFakeDisk>> m_volumes;
    std::vector<T_SYSTEM_PLACE> m_places;  // the running system's, as the pre-flight sees it
    T_DUMPTASK_PARAM m_param;
};

}  // namespace job_test
