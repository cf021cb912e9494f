// The image file: its path box, its size, the background checksum and the
// file dialog.
#include <windows.h>

#include <commdlg.h>

#include "engine/codecs/format_decision.h"
#include "engine/core/win32/text_win32.h"
#include "ui/model/control_ids.h"
#include "ui/model/image_history.h"
#include "ui/model/job_description.h"
#include "ui/win32/main_dialog.h"

namespace {

// The size of an existing file; false when it cannot be opened.
bool OpenImageFile(const std::string& strPath, uint64_t& nSize, bool& bSizeKnown)
{
    bSizeKnown = false;
    if (strPath.empty()) return false;
    const HANDLE hFile = ::CreateFileW(Utf8ToWide(strPath).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(hFile, &size)) {
        nSize = static_cast<uint64_t>(size.QuadPart);
        bSizeKnown = true;
    }
    ::CloseHandle(hFile);
    return true;
}

// "Name(*.x)|*.x|...||" as the file dialog wants it: NUL-separated.
std::wstring DialogFilter(const std::string& strFilter)
{
    std::wstring strOut = Utf8ToWide(strFilter);
    for (wchar_t& ch : strOut) {
        if (ch == L'|') ch = L'\0';
    }
    return strOut;
}

}  // namespace

bool CGravelmoorDlg::CompressedChosen() const
{
    return m_ports.bZlibLoaded && ::IsDlgButtonChecked(m_hWnd, IDC_OPT_COMPRESS_IMAGE) == BST_CHECKED;
}

void CGravelmoorDlg::RequestChecksum(const std::string& strPath)
{
    const EFormatAsk eAsk = WindowFormatAsk(strPath, CompressedChosen());
    m_HashTask.Request(strPath, DecideImageFormat(*m_ports.pDevices, strPath, eAsk).eFormat);
}

void CGravelmoorDlg::CancelChecksum()
{
    m_HashTask.Cancel();
}

void CGravelmoorDlg::OnImagePathChanged(const std::string& strPath)
{
    for (int nId : {IDC_IMAGE_NOTE, IDC_IMAGE_DIGEST, IDC_IMAGE_VERDICT}) SetItemTextUtf8(m_hWnd, nId, "");
    m_nImageSize = 0;
    uint64_t nSize = 0;
    bool bSizeKnown = false;
    m_bImageExists = OpenImageFile(strPath, nSize, bSizeKnown);
    if (m_bImageExists) {
        if (bSizeKnown) {
            m_nImageSize = nSize;
            m_progress[5].SetText(std::to_string(nSize), TEXT_RIGHT);
        }
        RequestChecksum(strPath);
    } else {
        CancelChecksum();
        m_progress[5].SetText("", TEXT_RIGHT);
    }
    UpdateControls();
}

void CGravelmoorDlg::OnCompressToggled()
{
    const std::string strPath = m_imagePath.GetText();
    uint64_t nSize = 0;
    bool bSizeKnown = false;
    if (OpenImageFile(strPath, nSize, bSizeKnown)) {
        RequestChecksum(strPath);
    } else {
        m_bImageExists = false;
        CancelChecksum();
    }
    UpdateControls();
}

void CGravelmoorDlg::ShowImageSize()
{
    m_progress[5].SetText(std::to_string(m_nImageSize), TEXT_RIGHT);
}

void CGravelmoorDlg::OnBrowse()
{
    const T_BROWSE_PROPOSAL proposal = BrowseProposal(m_imagePath.GetText(), CompressedChosen());
    std::wstring strFile = Utf8ToWide(proposal.strFileName);
    strFile.resize(MAX_PATH * 4, L'\0');
    const std::wstring strFilter = DialogFilter(proposal.strFilter);
    const std::wstring strExt = Utf8ToWide(proposal.strDefaultExt);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = strFilter.c_str();
    ofn.lpstrFile = strFile.data();
    ofn.nMaxFile = static_cast<DWORD>(strFile.size());
    ofn.lpstrDefExt = strExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_EXTENSIONDIFFERENT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!::GetOpenFileNameW(&ofn)) return;
    const std::string strChosen = WideToUtf8(strFile.c_str());
    m_imagePath.SetText(strChosen);
    SetItemTextUtf8(m_hWnd, IDC_IMAGE_DIGEST, "");
    SetItemTextUtf8(m_hWnd, IDC_IMAGE_VERDICT, "");
}
