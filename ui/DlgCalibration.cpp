#include "ui/DlgCalibration.h"

#include "ui/LayoutTables.h"

const CDialogLayout& CDlgCalibration::Layout() const {
    return kCalibrationDialog;
}

bool CDlgCalibration::OnInitDialog() {
    CDialogLogic::OnInitDialog();
    Host().SetCheck(kIdcRewriteCalibration, m_bRewriteCalibration);
    return true;
}

void CDlgCalibration::OnCommand(int id) {
    if (id == kIdcRewriteCalibration) {
        OnClickedRewriteCalibration();
        return;
    }
    CDialogLogic::OnCommand(id);
}

void CDlgCalibration::OnClickedRewriteCalibration() {
    m_bRewriteCalibration = Host().GetCheck(kIdcRewriteCalibration);
}

bool CDlgCalibration::Edit(IWindowHost& host, bool& rewriteCalibration) {
    CDlgCalibration dialog;
    dialog.m_bRewriteCalibration = rewriteCalibration;
    if (host.RunModalDialog(dialog) != kIdOk) {
        return false;
    }
    rewriteCalibration = dialog.m_bRewriteCalibration;
    return true;
}
