// The optional background picture: with it the group frames go and the
// labels over it take the picture's colour, with text that stays readable;
// without it the frames stay and labels keep the system's colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "ui/model/control_ids.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

// A 24-bit picture: the upper half of colour crTop, the lower half crBottom.
void WritePicture(const std::string& strPath, LONG nWidth, LONG nHeight, COLORREF crTop, COLORREF crBottom)
{
    const LONG nStride = ((nWidth * 3 + 3) / 4) * 4;
    std::vector<uint8_t> bits(static_cast<size_t>(nStride * nHeight));
    for (LONG y = 0; y < nHeight; ++y) {
        // Rows are stored bottom-up.
        const COLORREF cr = (nHeight - 1 - y) < nHeight / 2 ? crTop : crBottom;
        for (LONG x = 0; x < nWidth; ++x) {
            uint8_t* p = &bits[static_cast<size_t>(y * nStride + x * 3)];
            p[0] = GetBValue(cr);
            p[1] = GetGValue(cr);
            p[2] = GetRValue(cr);
        }
    }
    BITMAPINFOHEADER info{sizeof info, nWidth, nHeight, 1, 24, BI_RGB, static_cast<DWORD>(bits.size()), 0, 0, 0, 0};
    BITMAPFILEHEADER head{0x4D42, static_cast<DWORD>(sizeof head + sizeof info + bits.size()), 0, 0,
                          static_cast<DWORD>(sizeof head + sizeof info)};
    std::vector<uint8_t> file(sizeof head + sizeof info + bits.size());
    std::memcpy(file.data(), &head, sizeof head);
    std::memcpy(file.data() + sizeof head, &info, sizeof info);
    std::memcpy(file.data() + sizeof head + sizeof info, bits.data(), bits.size());
    WriteWholeFile(strPath, file);
}

// What the window answers when a control asks for its colours.
struct T_ASKED {
    INT_PTR nBrush = 0;
    COLORREF crText = 0;
    COLORREF crBack = 0;
};
T_ASKED AskColours(HWND hWnd, int nId, UINT uMsg)
{
    const HDC hdc = ::CreateCompatibleDC(nullptr);
    ::SetTextColor(hdc, RGB(1, 2, 3));
    T_ASKED asked;
    asked.nBrush = ::SendMessageW(hWnd, uMsg, reinterpret_cast<WPARAM>(hdc),
                                  reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, nId)));
    asked.crText = ::GetTextColor(hdc);
    asked.crBack = ::GetBkColor(hdc);
    ::DeleteDC(hdc);
    return asked;
}

TEST(WindowPicture, LabelsOverADarkPictureAreWhiteOverBrightOnesBlackAndTheFramesGo)
{
    CWindowHarness harness;
    harness.m_strBackground = harness.m_temp.File("Gravelmoor.bmp");
    WritePicture(harness.m_strBackground, 1600, 1600, RGB(10, 20, 60), RGB(250, 250, 200));
    harness.Open();
    ASSERT_TRUE(harness.Dialog().HasBackgroundPicture());
    EXPECT_FALSE(::IsWindowVisible(harness.Item(IDC_FRAME_DRIVES)));
    EXPECT_FALSE(::IsWindowVisible(harness.Item(IDC_FRAME_OPTIONS)));
    ::UpdateWindow(harness.Window());  // the picture's place is fixed by painting

    // The drive rows lie in the picture's dark upper half, the options in
    // its bright lower half (the picture is centred on the window).
    const T_ASKED upper = AskColours(harness.Window(), static_cast<int>(IDC_ROW_ENABLE[0]), WM_CTLCOLORSTATIC);
    EXPECT_EQ(upper.nBrush, reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(upper.crText, RGB(255, 255, 255));
    EXPECT_EQ(upper.crBack, RGB(10, 20, 60));
    const T_ASKED lower = AskColours(harness.Window(), IDC_OPT_EJECT, WM_CTLCOLORSTATIC);
    EXPECT_EQ(lower.crText, RGB(0, 0, 0));
    EXPECT_EQ(lower.crBack, RGB(250, 250, 200));
}

TEST(WindowPicture, WithoutAPictureTheFramesStayAndLabelsKeepTheDefault)
{
    CWindowHarness harness;
    harness.m_strBackground = harness.m_temp.File("missing.bmp");
    harness.Open();
    EXPECT_FALSE(harness.Dialog().HasBackgroundPicture());
    EXPECT_TRUE(::IsWindowVisible(harness.Item(IDC_FRAME_DRIVES)));
    // The dialog's own brush, not the see-through one of labels over a picture.
    EXPECT_NE(AskColours(harness.Window(), IDC_OPT_EJECT, WM_CTLCOLORSTATIC).nBrush,
              reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH)));
    // The verdict static is coloured by its text with or without a picture.
    ::SetWindowTextW(harness.Item(IDC_IMAGE_VERDICT), L"NG");
    const T_ASKED verdict = AskColours(harness.Window(), IDC_IMAGE_VERDICT, WM_CTLCOLORSTATIC);
    EXPECT_EQ(verdict.crText, RGB(255, 255, 255));
    EXPECT_EQ(verdict.crBack, RGB(255, 0, 0));
}

}  // namespace
