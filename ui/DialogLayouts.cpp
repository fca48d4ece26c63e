// The auxiliary dialogs: about box, writer function test, protect settings,
// calibration and verify error report, in the 8-point dialog font.
#include "ui/LayoutTables.h"
#include "ui/ResourceIds.h"

namespace {

using K = EControlKind;

constexpr const char* kShellFont = "MS Shell Dlg";
constexpr int kShellPoints = 8;

constexpr CControlDef kAboutControls[] = {
    {kIdStatic, K::Icon, "", {14, 14, 21, 20}},
    {kIdStatic, K::Static, "Kavex 3", {42, 14, 114, 8}, kStyleNoPrefix},
    {kIdStatic, K::Static, "kvx3.exe  Version 1.7.0", {42, 26, 114, 8}, kStyleNoPrefix},
    {kIdOk, K::DefaultButton, "OK", {113, 41, 50, 14}, kStyleGroup},
};

constexpr CControlDef kFunctionTestControls[] = {
    {kIdOk, K::DefaultButton, "終了", {145, 103, 50, 14}},
    {kIdStatic, K::GroupBox, "PowerLED", {8, 7, 49, 41}},
    {kIdcPowerLedOn, K::RadioButton, "ON", {12, 16, 29, 9}, kStyleGroup},
    {kIdcPowerLedOff, K::RadioButton, "OFF", {12, 25, 34, 9}},
    {kIdStatic, K::GroupBox, "DC-DC", {73, 7, 49, 41}},
    {kIdcDcDcOn, K::RadioButton, "ON", {77, 16, 29, 9}, kStyleGroup},
    {kIdcDcDcOff, K::RadioButton, "OFF", {77, 25, 34, 9}},
    {kIdStatic, K::GroupBox, "MCLR", {134, 7, 61, 41}},
    {kIdcMclrVpp, K::RadioButton, "VPP", {138, 16, 26, 9}, kStyleGroup},
    {kIdcMclrReset, K::RadioButton, "RESET", {138, 25, 43, 9}},
    {kIdcMclrNormal, K::RadioButton, "Normal", {138, 34, 43, 9}},
    {kIdStatic, K::GroupBox, "BusyLED", {8, 53, 49, 41}},
    {kIdcBusyLedOn, K::RadioButton, "ON", {12, 62, 29, 9}, kStyleGroup},
    {kIdcBusyLedOff, K::RadioButton, "OFF", {12, 72, 34, 9}},
    {kIdStatic, K::GroupBox, "ErrorLED", {73, 53, 49, 41}},
    {kIdcErrorLedOn, K::RadioButton, "ON", {77, 62, 29, 9}, kStyleGroup},
    {kIdcErrorLedOff, K::RadioButton, "OFF", {77, 72, 34, 9}},
    {kIdStatic, K::GroupBox, "Socket", {134, 53, 61, 41}},
    {kIdcSocket18, K::RadioButton, "8/14/18Pin", {138, 62, 50, 9}, kStyleGroup},
    {kIdcSocket40, K::RadioButton, "28/40Pin", {138, 72, 49, 9}},
    {kIdcSocketIcsp, K::RadioButton, "ICSP", {138, 82, 35, 9}},
    {kIdStatic,
     K::Static,
     "書き込みするディバイスを繋いだまま テストを行わないようにしてください。",
     {8, 95, 127, 22},
     kStyleGroup},
};

constexpr CControlDef kProtectControls[] = {
    {kIdOk, K::DefaultButton, "OK", {129, 7, 50, 14}},
    {kIdCancel, K::Button, "キャンセル", {129, 24, 50, 14}},
    {kIdcDisProtect, K::CheckBox, "プロテクトを使用しない", {7, 26, 86, 10}},
    {kIdcViewProtect, K::CheckBox, "プロテクトビット表示設定を反転する", {7, 44, 127, 10}},
    {kIdStatic, K::Static, "(プロテクト時に色表示になります)", {23, 56, 104, 8}},
};

constexpr CControlDef kCalibrationControls[] = {
    {kIdOk, K::DefaultButton, "OK", {129, 7, 50, 14}},
    {kIdCancel, K::Button, "キャンセル", {129, 24, 50, 14}},
    {kIdcRewriteCalibration, K::CheckBox, "キャリブレーションを書き換える", {7, 28, 108, 10}},
};

// The four result lines, and below them, in the room above OK, the line that
// says why every area reads NG when image and chip are of different devices.
constexpr CControlDef kVerifyErrorControls[] = {
    {kIdStatic, K::Static, "Program Memorys : ", {15, 7, 69, 8}},
    {kIdcVerifyProgram, K::Static, "OK", {98, 7, 21, 8}},
    {kIdStatic, K::Static, "EEPROM Memorys :", {15, 22, 69, 8}},
    {kIdcVerifyEeprom, K::Static, "OK", {98, 22, 21, 8}},
    {kIdStatic, K::Static, "Config Word : ", {15, 36, 49, 8}},
    {kIdcVerifyConfig, K::Static, "OK", {98, 36, 21, 8}},
    {kIdStatic, K::Static, "User ID : ", {15, 49, 49, 8}},
    {kIdcVerifyUserId, K::Static, "OK", {98, 49, 21, 8}},
    {kIdOk, K::DefaultButton, "OK", {41, 69, 50, 14}},
    {kIdcVerifyReason, K::Static, "", {7, 59, 112, 8}, kStyleCentre},
};

} // namespace

const CDialogLayout kAboutDialog = {kIddAbout,  "バージョン情報 KVX3", 170, 62,
                                    kShellFont, kShellPoints,          0,   kAboutControls};
const CDialogLayout kFunctionTestDialog = {
    kIddFunctionTest, "KVX3 Function Test", 202, 124, kShellFont, kShellPoints, 0, kFunctionTestControls};
const CDialogLayout kProtectDialog = {kIddProtect, "Protect bit", 186, 90,
                                      kShellFont,  kShellPoints,  0,   kProtectControls};
const CDialogLayout kCalibrationDialog = {kIddCalibration, "Calibration", 186, 90,
                                          kShellFont,      kShellPoints,  0,   kCalibrationControls};
const CDialogLayout kVerifyErrorDialog = {kIddVerifyError, "Verify Error", 126, 90,
                                          kShellFont,      kShellPoints,   0,   kVerifyErrorControls};
