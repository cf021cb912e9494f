#pragma once
// The real main window over fakes: a scripted volume scanner that names
// up to three disks, fake disks behind their device paths (images are real
// files in a temporary folder, which the fake provider hands to the
// platform), and a settings file in the same folder. The test thread is the
// window's thread: it sends the window messages and pumps its queue.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "drives/fake/scripted_volume_scanner.h"
#include "engine/device/fake/fake_device.h"
#include "tests/support/temp_dir.h"
#include "ui/win32/main_dialog.h"

// Pumps the test thread's queue until the condition holds or the time is
// up; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& fnDone, std::chrono::milliseconds timeout);
void PumpFor(std::chrono::milliseconds duration);

// Answers a modal dialog of this process from another thread: waits for a
// top-level dialog with the title, runs the answer on it (which may read its
// controls, click them, and post IDOK or IDCANCEL), and remembers what the
// answer saw.
class CDialogAnswerer {
public:
    using FnAnswer = std::function<void(HWND hDialog)>;
    CDialogAnswerer(std::string strTitle, FnAnswer fnAnswer);
    ~CDialogAnswerer();
    CDialogAnswerer(const CDialogAnswerer&) = delete;
    CDialogAnswerer& operator=(const CDialogAnswerer&) = delete;
    bool Answered() const { return m_bAnswered.load(); }

private:
    std::atomic<bool> m_bAnswered{false};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// The text of a dialog item, read from any thread.
std::string DialogItemText(HWND hDialog, int nId);
// Presses a button the way a click does (nothing happens when it is disabled).
void ClickButton(HWND hDialog, int nId);

constexpr uint64_t DISK_SIZE = 4 * 1024 * 1024;

class CWindowHarness {
public:
    CWindowHarness();
    ~CWindowHarness();

    // Disk n (1 to 3) as \\.\PhysicalDriveN, listed by the scanner.
    std::shared_ptr<CFakeDisk> AddDisk(uint32_t nNumber, uint64_t nSize = DISK_SIZE);
    // Opens the window (after the disks are added).
    void Open();
    // Closes it with the close box, answering nothing.
    void Destroy();

    HWND Window() const { return m_pDialog ? m_pDialog->Window() : nullptr; }
    CGravelmoorDlg& Dialog() { return *m_pDialog; }
    HWND Item(int nId) const { return ::GetDlgItem(Window(), nId); }
    bool Enabled(int nId) const { return ::IsWindowEnabled(Item(nId)) != FALSE; }
    bool Checked(int nId) const { return ::IsDlgButtonChecked(Window(), nId) == BST_CHECKED; }
    std::string Text(int nId) const { return DialogItemText(Window(), nId); }

    void Click(int nId);
    // Checks (or unchecks) row r's enable box the operator's way.
    void SetRowChecked(int r, bool bChecked);
    // Chooses list position nPos in row r's drive box.
    void ChooseDrive(int r, int nPos);
    // Types a path into the image path box.
    void SetImagePath(const std::string& strPath);
    // Waits for a job that was started to end; false when it did not.
    bool WaitJobEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The lamp bitmap ids a row shows (upper, lower); 0 for an unknown picture.
    std::pair<uint32_t, uint32_t> RowLamps(int r);
    // Opens the window on disk 1, which stops answering in the middle of the
    // read it starts; true once a read hangs.
    bool StartHungRead(std::shared_ptr<CFakeDisk>& pDisk);
    // The log shown so far holds the text.
    bool LogSays(const std::string& strText);

    CTempDir m_temp;
    std::string m_strSettings;
    CScriptedVolumeScanner m_scanner;
    CFakeDeviceProvider m_devices;
    std::unique_ptr<IProfileStore> m_pProfile;
    std::chrono::milliseconds m_stopPatience{1000};
    int m_nProcessEnds = 0;  // how often the window ended the process (a job still ran)

private:
    std::unique_ptr<CGravelmoorDlg> m_pDialog;
};
