// Resource ids of the window and its dialogs: dialogs, menus, controls, menu
// commands and the system-menu command. The layout tables (ui/Layout.h) and
// the dialog logic both use these names; the numbers are the ones a user's
// accelerators, tests and the platform hosts rely on, so they never change.
#pragma once

// Dialogs, menu and icon.
enum : int {
    kIddAbout = 100,
    kIddMain = 102,
    kIdiMain = 128,
    kIdrMainMenu = 129,
    kIddFunctionTest = 130,
    kIddProtect = 133,
    kIddCalibration = 134,
    kIddVerifyError = 137,
};

// Dialog results and the two standard buttons.
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
};

// Controls without an id (labels, group boxes, the icon).
constexpr int kIdStatic = -1;

// Main window (dialog 102).
enum : int {
    kIdcDeviceIdText = 1010,
    kIdcPinCountText = 1013,
    kIdcWriterLabel = 1028,
    kIdcFileOpen = 1030,
    kIdcFileSave = 1031,
    kIdcProgram = 1033,
    kIdcRead = 1034,
    kIdcVerify = 1035,
    kIdcErase = 1036,
    kIdcTest = 1037,
    kIdcDevice = 1038,
    kIdcPrev = 1039,
    kIdcNext = 1040,
    kIdcProgramGroup = 1041,
    kIdcEepromGroup = 1042,
    kIdcProgramDump = 1043,
    kIdcEepromDump = 1044,
    kIdcProgress = 1045,
    kIdcStatus = 1046,
    kIdcWordLabel0 = 1050,  // 1050 to 1053, one per grid row
    kIdcUserIdCell1 = 1060, // ID k is 1059 + k; ID 1 rightmost
    kIdcConfigCell0 = 1070, // 1070 + row * 14 + bit
    kIdcConfigCellLast = 1125,
};

// Configuration grid and user ID geometry by index.
enum : int {
    kGridRows = 4,
    kGridColumns = 14,
    kUserIdCells = 8,
};
constexpr int ConfigCellId(int row, int bit) {
    return kIdcConfigCell0 + row * kGridColumns + bit;
}
constexpr int WordLabelId(int row) {
    return kIdcWordLabel0 + row;
}
// k = 1 to 8.
constexpr int UserIdCellId(int k) {
    return kIdcUserIdCell1 - 1 + k;
}

// Protect settings (dialog 133) and calibration (dialog 134): each has one
// check box 1020; the protect dialog has a second one.
enum : int {
    kIdcDisProtect = 1020,
    kIdcViewProtect = 1021,
    kIdcRewriteCalibration = 1020,
};

// Verify error report (dialog 137).
enum : int {
    kIdcVerifyProgram = 1057,
    kIdcVerifyEeprom = 1058,
    kIdcVerifyConfig = 1059,
    kIdcVerifyUserId = 1060,
    kIdcVerifyReason = 1061, // why no area could be compared; empty otherwise
};

// Writer function test (dialog 130).
enum : int {
    kIdcPowerLedOn = 1000,
    kIdcPowerLedOff = 1001,
    kIdcDcDcOff = 1002,
    kIdcDcDcOn = 1003,
    kIdcMclrVpp = 1004,
    kIdcMclrReset = 1005,
    kIdcMclrNormal = 1006,
    kIdcSocket18 = 1007,
    kIdcSocket40 = 1008,
    kIdcSocketIcsp = 1009,
    kIdcBusyLedOn = 1011,
    kIdcBusyLedOff = 1012,
    kIdcErrorLedOn = 1014,
    kIdcErrorLedOff = 1015,
};

// Menu commands of menu 129.
enum : int {
    kIdmProtectSettings = 32778,
    kIdmCalibrationSettings = 32779,
    kIdmRecentFile1 = 32781, // 32781 to 32784; 32781 is also the empty-list placeholder
    kIdmRecentFileLast = 32784,
    kIdmDeleteRegistry = 32787,
    kIdmReadAll = 32792,
    kIdmReadProgram = 32793,
    kIdmReadData = 32794,
    kIdmReadConfig = 32795,
    kIdmCompleteMessage = 32798,
    kIdmSumId = 32800,
    kIdmDeviceIdCheck = 32802,
    kIdmHexCheck = 32804,
    kIdmSkipBlank = 32806, // beyond the original menu: Program leaves blank areas unwritten
    // The tools menu, beyond the original menu: the checks around a write.
    kIdmPreflight = 32810,
    kIdmDiffChip = 32811,
    kIdmSnapshotBeforeWrite = 32812,
    kIdmRollback = 32813,
    kIdmCalibrationValues = 32814,
    kIdmDoctor = 32815,
    kIdmHexOpen = 57601,
    kIdmHexSave = 57603,
    kIdmExit = 57665,
};
constexpr int kRecentFiles = 4;

// The about item the window adds to its system menu.
constexpr int kIdmAboutBox = 16;
