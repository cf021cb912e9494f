// Pictures of the main window for the documentation, taken inside Wine's
// virtual desktop (scripts/screenshots.sh): idle with two drives and an
// image chosen, during a read, after it, and the erase-method dialog. The
// window runs over the same fakes as the window test. Each picture is a
// 24-bit BMP of the window's screen area, named after its state.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/ui/win32/window_harness.h"
#include "ui/model/control_ids.h"

namespace {

using namespace std::chrono_literals;

bool SaveScreenArea(const RECT& rc, const std::string& strFile)
{
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    const HDC hScreen = ::GetDC(nullptr);
    const HDC hdc = ::CreateCompatibleDC(hScreen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), nWidth, nHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    const HBITMAP hBitmap = ::CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const HGDIOBJ hOld = ::SelectObject(hdc, hBitmap);
    ::BitBlt(hdc, 0, 0, nWidth, nHeight, hScreen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    const DWORD nStride = ((static_cast<DWORD>(nWidth) * 3 + 3) / 4) * 4;
    const DWORD nBits = nStride * static_cast<DWORD>(nHeight);
    BITMAPFILEHEADER head{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + nBits), 0,
                          0, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
    std::ofstream out(strFile, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(pBits), nBits);
    ::SelectObject(hdc, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hdc);
    ::ReleaseDC(nullptr, hScreen);
    std::printf("%s %dx%d\n", strFile.c_str(), nWidth, nHeight);
    return out.good();
}

bool SaveWindow(HWND hWnd, const std::string& strFile)
{
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    return SaveScreenArea(rc, strFile);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::string strOut = argc > 1 ? std::string(argv[1], argv[1] + wcslen(argv[1])) : std::string(".");
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1, 48 * 1024 * 1024);
    pDisk->SetReadDelayMs(40);
    harness.AddDisk(2, 16 * 1024 * 1024);
    const std::string strImage = harness.m_temp.File("disk1.gmi");
    WriteWholeFile(strImage, std::vector<uint8_t>(16 * 1024 * 1024, 0x6B));
    harness.Open();
    ::SetWindowPos(harness.Window(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    harness.SetRowChecked(0, true);
    harness.SetRowChecked(1, true);
    harness.ChooseDrive(1, 1);
    harness.Click(IDC_OPT_MAKE_MD5SUM);
    harness.SetImagePath(strImage);
    PumpUntil([&] { return harness.Text(IDC_IMAGE_DIGEST).size() == 32; }, 10s);
    PumpFor(500ms);
    bool bOk = SaveWindow(harness.Window(), strOut + "\\window-idle.bmp");

    {
        CDialogAnswerer answer("ドライブ消去（代替セクタは消去出来ません）", [&](HWND hDialog) {
            ::SetWindowPos(hDialog, nullptr, 120, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            ClickButton(hDialog, 1093);
            std::this_thread::sleep_for(700ms);
            bOk = SaveWindow(hDialog, strOut + "\\erase-dialog.bmp") && bOk;
            ::PostMessageW(hDialog, WM_COMMAND, IDCANCEL, 0);
        });
        harness.Click(IDC_ERASE);
    }

    harness.SetRowChecked(1, false);
    harness.SetImagePath(harness.m_temp.File("disk1-copy.gmi"));
    harness.Click(IDC_READ);
    PumpFor(1500ms);
    harness.Dialog().FlushDisplay();
    PumpFor(100ms);
    bOk = SaveWindow(harness.Window(), strOut + "\\window-running.bmp") && bOk;
    bOk = harness.WaitJobEnd() && bOk;
    PumpUntil([&] { return harness.Text(IDC_IMAGE_DIGEST).size() == 32; }, 10s);
    PumpFor(700ms);
    bOk = SaveWindow(harness.Window(), strOut + "\\window-done.bmp") && bOk;
    harness.Destroy();
    return bOk ? 0 : 1;
}
