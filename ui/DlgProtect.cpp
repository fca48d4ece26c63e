#include "ui/DlgProtect.h"

#include "ui/LayoutTables.h"

const CDialogLayout& CDlgProtect::Layout() const {
    return kProtectDialog;
}

bool CDlgProtect::OnInitDialog() {
    CDialogLogic::OnInitDialog();
    Host().SetCheck(kIdcDisProtect, m_bDisProtect);
    Host().SetCheck(kIdcViewProtect, m_bViewProtect);
    return true;
}

void CDlgProtect::OnCommand(int id) {
    switch (id) {
    case kIdcDisProtect:
        OnClickedDisProtect();
        break;
    case kIdcViewProtect:
        OnClickedViewProtect();
        break;
    default:
        CDialogLogic::OnCommand(id);
        break;
    }
}

void CDlgProtect::OnClickedDisProtect() {
    m_bDisProtect = Host().GetCheck(kIdcDisProtect);
}

void CDlgProtect::OnClickedViewProtect() {
    m_bViewProtect = Host().GetCheck(kIdcViewProtect);
}

bool CDlgProtect::Edit(IWindowHost& host, bool& disProtect, bool& viewProtect) {
    CDlgProtect dialog;
    dialog.m_bDisProtect = disProtect;
    dialog.m_bViewProtect = viewProtect;
    if (host.RunModalDialog(dialog) != kIdOk) {
        return false;
    }
    disProtect = dialog.m_bDisProtect;
    viewProtect = dialog.m_bViewProtect;
    return true;
}
