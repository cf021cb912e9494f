#pragma once
// The version dialog: the icon, the product line with its build number and
// build date, the copyright and the comments of the version resource.
#include "ui/win32/modal_dialog.h"

class CAboutDlg : public CModalDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};
