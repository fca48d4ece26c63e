// Protect settings (dialog 133): whether Program applies the image's code
// protection at all, and whether the grid colours protect bits by their
// protecting state. The caller copies its options in and takes them back
// only on OK.
#pragma once

#include "ui/DialogLogic.h"

class CDlgProtect : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

    // Runs the dialog with the two options; on OK takes both back and
    // returns true, on Cancel leaves them and returns false.
    static bool Edit(IWindowHost& host, bool& disProtect, bool& viewProtect);

    bool m_bDisProtect = false;  // mirrors check box 1020
    bool m_bViewProtect = false; // mirrors check box 1021

private:
    void OnClickedDisProtect();
    void OnClickedViewProtect();
};
