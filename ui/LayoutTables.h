// The tables themselves, for the lookups of ui/Layout.cpp. Everyone else
// finds them by id (FindDialogLayout, FindMenuLayout).
#pragma once

#include "ui/Layout.h"

extern const CDialogLayout kMainDialog;
extern const CDialogLayout kAboutDialog;
extern const CDialogLayout kFunctionTestDialog;
extern const CDialogLayout kProtectDialog;
extern const CDialogLayout kCalibrationDialog;
extern const CDialogLayout kVerifyErrorDialog;
extern const CMenuLayout kMainMenu;
