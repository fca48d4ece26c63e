// Calibration setting (dialog 134): whether the chip's factory calibration
// may be rewritten from the image. It holds for the current run only.
#pragma once

#include "ui/DialogLogic.h"

class CDlgCalibration : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

    // Runs the dialog with the option; on OK takes it back and returns true.
    static bool Edit(IWindowHost& host, bool& rewriteCalibration);

    bool m_bRewriteCalibration = false; // mirrors check box 1020

private:
    void OnClickedRewriteCalibration();
};
