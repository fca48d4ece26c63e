// The about box (dialog 100): the icon, the program's name and version, OK.
#pragma once

#include "ui/DialogLogic.h"

class CAboutDlg : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override;
};
