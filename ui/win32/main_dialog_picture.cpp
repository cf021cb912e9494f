// The optional background picture: its pixels, and the colours of the
// labels drawn over it (their background is the picture's average colour
// along the label's middle row; their text black or white by its brightness).
#include "ui/win32/main_dialog.h"

#include <vector>

#include "ui/model/control_colours.h"
#include "ui/model/control_ids.h"
#include "ui/win32/resource.h"

namespace {

bool IsLabelOverPicture(int nId)
{
    if (nId == 0xFFFF || nId == -1) return true;  // unnumbered labels
    if (nId >= IDC_CAPTION_DRIVES && nId <= IDC_CAPTION_OPTIONS) return true;
    for (uint32_t nEnable : IDC_ROW_ENABLE) {
        if (static_cast<uint32_t>(nId) == nEnable) return true;
    }
    switch (nId) {
    case IDC_OPT_VERIFY:
    case IDC_OPT_EJECT:
    case IDC_OPT_SHARE_READ:
    case IDC_OPT_FORCE_WRITE:
    case IDC_OPT_FORCE_VERIFY:
    case IDC_OPT_MAKE_MD5SUM:
    case IDC_OPT_UNSTABLE_READ:
    case IDC_OPT_COMPRESS_IMAGE:
    case IDC_OPT_MD5_VERIFY:
    case IDC_OPT_COMPARE_AFTER_WRITE:
        return true;
    default:
        return false;
    }
}

}  // namespace

void CGravelmoorDlg::DescribePicture()
{
    DIBSECTION ds{};
    if (::GetObjectW(m_hBackBitmap, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits) {
        m_bBackDib = true;
        m_nBackBits = ds.dsBm.bmBitsPixel;
        const LONG nStride = ((ds.dsBm.bmWidth * ds.dsBm.bmBitsPixel + 31) / 32) * 4;
        auto* pBits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
        if (ds.dsBmih.biHeight > 0) {
            m_pBackFirstRow = pBits + static_cast<ptrdiff_t>(nStride) * (m_nBackHeight - 1);
            m_nBackStride = -nStride;
        } else {
            m_pBackFirstRow = pBits;
            m_nBackStride = nStride;
        }
    } else {
        m_bBackDib = false;
        m_pBackFirstRow = nullptr;
        m_nBackStride = 0;
    }
}

COLORREF CGravelmoorDlg::PicturePixel(LONG x, LONG y) const
{
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const LONG px = x - m_nBackX;
    const LONG py = y - m_nBackY;
    if (!m_bBackDib || !m_pBackFirstRow || px < 0 || py < 0 || px >= m_nBackWidth || py >= m_nBackHeight) {
        return crFace;
    }
    const uint8_t* pRow = m_pBackFirstRow + static_cast<ptrdiff_t>(m_nBackStride) * py;
    if (m_nBackBits == 24 || m_nBackBits == 32) {
        const uint8_t* p = pRow + px * (m_nBackBits / 8);
        return RGB(p[2], p[1], p[0]);
    }
    return crFace;
}

INT_PTR CGravelmoorDlg::PictureLabelColours(HDC hdc, HWND hControl)
{
    if (!m_hBackBitmap || !IsLabelOverPicture(::GetDlgCtrlID(hControl))) return FALSE;
    RECT rc;
    ::GetWindowRect(hControl, &rc);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    const LONG y = (rc.top + rc.bottom) / 2;
    std::vector<uint32_t> arrPixels;
    for (LONG x = rc.left; x < rc.right - 1; ++x) arrPixels.push_back(PicturePixel(x, y));
    const COLORREF crAverage = AverageColour(arrPixels, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(hdc, LabelTextColour(crAverage));
    ::SetBkColor(hdc, crAverage);
    ::SetBkMode(hdc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
}
