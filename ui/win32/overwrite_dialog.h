#pragma once
// The write confirmation: the heading and the drives the write is about to
// overwrite, one line each; "実行" (OK) goes on, anything else stops.
#include <array>
#include <string>

#include "ui/model/control_ids.h"
#include "ui/win32/modal_dialog.h"

class COverWriteDlg : public CModalDialog {
public:
    COverWriteDlg();
    std::string m_strMessage;
    std::array<std::string, ROW_COUNT> m_strDrive;

protected:
    BOOL OnInitDialog() override;
};
