#include "ui/DlgVerifyError.h"

#include "device/PicDevice.h"
#include "ui/LayoutTables.h"
#include "ui/StringTable.h"

namespace {

struct CAreaLine {
    int32_t Flag;
    int ResultId;
};

constexpr CAreaLine kAreaLines[] = {
    {kVerifyProgram, kIdcVerifyProgram},
    {kVerifyEeprom, kIdcVerifyEeprom},
    {kVerifyConfig, kIdcVerifyConfig},
    {kVerifyUserId, kIdcVerifyUserId},
};

constexpr const char* kNg = "NG";

} // namespace

const CDialogLayout& CDlgVerifyError::Layout() const {
    return kVerifyErrorDialog;
}

bool CDlgVerifyError::OnInitDialog() {
    CDialogLogic::OnInitDialog();
    const bool differentDevice = (m_nErrorFlags & kVerifyDifferentDevice) != 0;
    for (const CAreaLine& line : kAreaLines) {
        if (differentDevice || (m_nErrorFlags & line.Flag) != 0) {
            Host().SetItemText(line.ResultId, kNg);
        }
    }
    if (differentDevice) {
        Host().SetItemText(kIdcVerifyReason, kMsgVerifyDifferentDevice);
    }
    return true;
}

void CDlgVerifyError::Show(IWindowHost& host, int32_t verifyFlags) {
    CDlgVerifyError dialog;
    dialog.m_nErrorFlags = verifyFlags;
    host.RunModalDialog(dialog);
}
