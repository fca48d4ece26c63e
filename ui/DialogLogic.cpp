#include "ui/DialogLogic.h"

void CDialogLogic::OnCommand(int id) {
    if (id == kIdOk) {
        OnOK();
    } else if (id == kIdCancel) {
        OnCancel();
    }
}

void CDialogLogic::EndDialog(int result) {
    if (m_pHost != nullptr) {
        m_pHost->EndDialog(result);
    }
}
