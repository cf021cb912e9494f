#pragma once
// The setup dialog: the settings file's setup keys in three letter boxes,
// the buffer limit and five check boxes. "設定" (OK) writes every key as
// shown and closes; Cancel writes nothing.
#include <string>

#include "drives/profile_store.h"
#include "ui/win32/modal_dialog.h"

class CInitSetupDlg : public CModalDialog {
public:
    CInitSetupDlg(IProfileStore& store, std::string strPath);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    IProfileStore& m_store;
    const std::string m_strPath;
};
