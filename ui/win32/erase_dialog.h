#pragma once
// The erase-method dialog: the drives about to be erased and the sixteen
// methods as one radio group. The button that gets the focus shows its
// method's description; OK returns the checked button's index in
// m_nSelect (0 to 15).
#include <array>
#include <string>

#include "ui/model/control_ids.h"
#include "ui/win32/modal_dialog.h"

class CSelectEraseAlgorithmDlg : public CModalDialog {
public:
    CSelectEraseAlgorithmDlg();
    int m_nSelect = 0;
    std::array<std::string, ROW_COUNT> m_strDrive;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD nId, WORD nCode) override;
    void OnOK() override;

private:
    void ShowDescription(WORD nId);
};
