// The window test's harness: the real window over fakes, pumped by the test.
#include "tests/ui/win32/window_harness.h"

#include <commctrl.h>

#include <cstdio>

#include "engine/core/win32/text_win32.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"

bool PumpUntil(const std::function<bool()>& fnDone, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() >= end) return fnDone();
        MSG msg;
        bool bAny = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            bAny = true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            if (fnDone()) return true;
        }
        if (!bAny) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration)
{
    PumpUntil([] { return false; }, duration);
}

CDialogAnswerer::CDialogAnswerer(std::string strTitle, FnAnswer fnAnswer)
{
    m_thread = std::thread([this, strWide = Utf8ToWide(strTitle), fnAnswer = std::move(fnAnswer)] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!m_bStop.load() && std::chrono::steady_clock::now() < end) {
            const HWND hDialog = ::FindWindowW(L"#32770", strWide.c_str());
            if (hDialog && ::IsWindowVisible(hDialog)) {
                fnAnswer(hDialog);
                m_bAnswered = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

CDialogAnswerer::~CDialogAnswerer()
{
    m_bStop = true;
    m_thread.join();
}

std::string DialogItemText(HWND hDialog, int nId)
{
    wchar_t szText[4096] = {};
    ::GetWindowTextW(::GetDlgItem(hDialog, nId), szText, 4096);
    return WideToUtf8(szText);
}

void ClickButton(HWND hDialog, int nId)
{
    ::SendMessageW(::GetDlgItem(hDialog, nId), BM_CLICK, 0, 0);
}

CWindowHarness::CWindowHarness()
    : m_strSettings(m_temp.File("gravelmoor.ini")), m_pProfile(CreateProfileStore())
{
}

CWindowHarness::~CWindowHarness()
{
    Destroy();
}

std::shared_ptr<CFakeDisk> CWindowHarness::AddDisk(uint32_t nNumber, uint64_t nSize)
{
    const std::string strPath = "\\\\.\\PhysicalDrive" + std::to_string(nNumber);
    std::shared_ptr<CFakeDisk> pDisk = CFakeDisk::WithPattern(nSize, nNumber);
    pDisk->Volume().SetStorageDescriptor({"GM", "FakeDisk" + std::to_string(nNumber), "1.0", "S", false});
    m_devices.Add(strPath, pDisk);
    m_scanner.SetDrivePath(DRIVE_KIND_DISK, nNumber, strPath);
    return pDisk;
}

void CWindowHarness::Open()
{
    // The controls and libraries every window needs, set up once.
    static const bool bControls = [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        return ::LoadLibraryW(L"riched20.dll") != nullptr;
    }();
    if (!bControls) std::fprintf(stderr, "riched20.dll did not load\n");
    T_WINDOW_PORTS ports;
    ports.pScanner = &m_scanner;
    ports.pDevices = &m_devices;
    ports.pProfile = m_pProfile.get();
    ports.strSettingsPath = m_strSettings;
    ports.bZlibLoaded = true;
    ports.stopPatience = m_stopPatience;
    ports.fnEndProcess = [this] { ++m_nProcessEnds; };
    ports.fnDriveTypeOf = [](char) { return 1u; };
    ports.fnMemoryStatus = [] { return T_MEMORY_STATUS{true, 1ull << 30, 1ull << 40}; };
    m_pDialog = std::make_unique<CGravelmoorDlg>(ports);
    if (!m_pDialog->Create(nullptr)) std::fprintf(stderr, "window not created: error %lu\n", ::GetLastError());
    ::ShowWindow(Window(), SW_SHOW);
    PumpFor(std::chrono::milliseconds(50));
}

void CWindowHarness::Destroy()
{
    if (m_pDialog && m_pDialog->Window()) ::DestroyWindow(m_pDialog->Window());
    m_pDialog.reset();
    PumpFor(std::chrono::milliseconds(10));
}

void CWindowHarness::Click(int nId)
{
    ClickButton(Window(), nId);
}

void CWindowHarness::SetRowChecked(int r, bool bChecked)
{
    const int nId = static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)]);
    if (Checked(nId) != bChecked) Click(nId);
}

void CWindowHarness::ChooseDrive(int r, int nPos)
{
    const HWND hBox = Item(static_cast<int>(IDC_ROW_DRIVE[static_cast<size_t>(r)]));
    ::SendMessageW(hBox, CB_SETCURSEL, static_cast<WPARAM>(nPos), 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_ROW_DRIVE[static_cast<size_t>(r)], CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(hBox));
}

void CWindowHarness::SetImagePath(const std::string& strPath)
{
    const HWND hBox = Item(IDC_IMAGE_PATH);
    ::SetWindowTextW(hBox, Utf8ToWide(strPath).c_str());
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_IMAGE_PATH, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(hBox));
}

bool CWindowHarness::WaitJobEnd(std::chrono::milliseconds timeout)
{
    const bool bEnded = PumpUntil([this] { return !m_pDialog->JobRunning(); }, timeout);
    m_pDialog->FlushDisplay();
    return bEnded;
}

std::pair<uint32_t, uint32_t> CWindowHarness::RowLamps(int r)
{
    const auto lampOf = [this](uint32_t nId) -> uint32_t {
        const auto hShown = reinterpret_cast<HBITMAP>(::SendMessageW(Item(static_cast<int>(nId)), STM_GETIMAGE,
                                                                     IMAGE_BITMAP, 0));
        for (uint32_t nLamp : LAMP_LOAD_ORDER) {
            if (m_pDialog->LampBitmap(nLamp) == hShown) return nLamp;
        }
        return 0;
    };
    return {lampOf(IDC_ROW_UPPER_LAMP[static_cast<size_t>(r)]), lampOf(IDC_ROW_LOWER_LAMP[static_cast<size_t>(r)])};
}

bool CWindowHarness::StartHungRead(std::shared_ptr<CFakeDisk>& pDisk)
{
    pDisk = AddDisk(1, 64 * 1024 * 1024);
    pDisk->HangReads(2 * 1024 * 1024, 3 * 1024 * 1024, false);
    Open();
    SetRowChecked(0, true);
    SetImagePath(m_temp.File("hung.gmi"));
    Click(IDC_READ);
    return m_pDialog->JobRunning() && PumpUntil([&] { return pDisk->HungReads() > 0; }, std::chrono::seconds(10));
}

bool CWindowHarness::LogSays(const std::string& strText)
{
    m_pDialog->FlushDisplay();
    return m_pDialog->LogText().find(strText) != std::string::npos;
}
