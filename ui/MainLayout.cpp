// The main window (dialog 102): 425 x 292 dialog units in the fixed-pitch
// "ＭＳ ゴシック" 9, so that the dumps' columns line up.
//
// From top to bottom: the device selector with the file buttons, the Test
// button and the writer label; the device ID, socket and user ID boxes beside
// the four operation buttons; the configuration grid; the two dumps; the
// progress bar over the status line, beside OK and Cancel.
#include "ui/LayoutTables.h"

#include "ui/ResourceIds.h"

#include <array>
#include <cstddef>

namespace {

using K = EControlKind;

// The grid's columns for bit 13 down to bit 0: nibbles 13-12, 11-8, 7-4, 3-0
// with a wider gap between them.
constexpr int kColumnX[kGridColumns] = {11, 39, 71, 99, 127, 155, 187, 215, 243, 271, 303, 331, 360, 388};
constexpr const char* kHeadings[kGridColumns] = {"bit13", "bit12", "bit11", "bit10", "bit9", "bit8", "bit7",
                                                 "bit6",  "bit5",  "bit4",  "bit3",  "bit2", "bit1", "bit0"};
constexpr int kRowY[kGridRows] = {109, 121, 133, 145};
constexpr int kWordLabelX[kGridRows] = {45, 118, 191, 264};
constexpr int kCellWidth = 27;
constexpr int kCellHeight = 9;

// User ID cells: ID 8 leftmost, ID 1 rightmost.
constexpr int kUserIdX0 = 137;
constexpr int kUserIdPitch = 21;
constexpr int kUserIdWidth = 19;
constexpr int kUserIdY = 55;

constexpr size_t kMainControlCount = 36 + kGridColumns + kGridRows * kGridColumns + kGridRows;

struct CMainControls {
    std::array<CControlDef, kMainControlCount> Controls{};
    size_t Count = 0;
};

constexpr CMainControls BuildMain() {
    CMainControls result;
    auto add = [&result](CControlDef def) {
        if (result.Count < kMainControlCount) {
            result.Controls[result.Count] = def;
        }
        ++result.Count;
    };

    // Device selector, file commands, writer test and the writer label.
    add({kIdcDevice, K::DropList, "", {7, 7, 110, 14}, 0, 160});
    add({kIdcFileOpen, K::Button, "File Open", {123, 7, 50, 14}});
    add({kIdcFileSave, K::Button, "File Save", {177, 7, 50, 14}});
    add({kIdcTest, K::Button, "Test", {231, 7, 50, 14}});
    add({kIdcWriterLabel, K::Static, "Disconnect Writer", {285, 10, 133, 8}, kStyleRight | kStyleNoPrefix});

    // Device information.
    add({kIdStatic, K::GroupBox, "Device ID", {7, 30, 52, 44}});
    add({kIdcDeviceIdText, K::Static, "Static", {13, 48, 40, 8}, kStyleCentre});
    add({kIdStatic, K::GroupBox, "Socket / ICSP", {63, 30, 64, 44}});
    add({kIdcPinCountText, K::Static, "Static", {69, 48, 52, 8}, kStyleCentre});

    // User ID.
    add({kIdStatic, K::GroupBox, "User ID", {131, 30, 178, 44}});
    add({kIdStatic, K::Static, "ID 8", {kUserIdX0, 43, kUserIdWidth, 8}});
    add({kIdStatic, K::Static, "--", {212, 43, 16, 8}, kStyleCentre});
    add({kIdStatic, K::Static, "ID 1", {kUserIdX0 + 7 * kUserIdPitch, 43, kUserIdWidth, 8}, kStyleRight});
    for (int k = kUserIdCells; k >= 1; --k) {
        const int x = kUserIdX0 + (kUserIdCells - k) * kUserIdPitch;
        add({UserIdCellId(k), K::Cell, "--", {x, kUserIdY, kUserIdWidth, 10}});
    }

    // Operations.
    add({kIdcProgram, K::Button, "Program", {314, 34, 50, 14}});
    add({kIdcRead, K::Button, "Read", {368, 34, 50, 14}});
    add({kIdcVerify, K::Button, "Verify", {314, 56, 50, 14}});
    add({kIdcErase, K::Button, "Erase", {368, 56, 50, 14}});

    // Configuration grid.
    add({kIdStatic, K::GroupBox, "Configuration bits", {7, 86, 411, 91}});
    for (int col = 0; col < kGridColumns; ++col) {
        add({kIdStatic, K::Static, kHeadings[col], {kColumnX[col], 98, kCellWidth, 8}, kStyleCentre});
    }
    for (int row = 0; row < kGridRows; ++row) {
        for (int col = 0; col < kGridColumns; ++col) {
            const int bit = kGridColumns - 1 - col;
            add({ConfigCellId(row, bit),
                 K::Cell,
                 "---",
                 {kColumnX[col], kRowY[row], kCellWidth, kCellHeight},
                 row == 0 ? 0u : kStyleDisabled});
        }
    }
    for (int row = 0; row < kGridRows; ++row) {
        add({WordLabelId(row), K::Static, "----", {kWordLabelX[row], 159, 42, 11}, kStyleCentre});
    }
    // The built-in default device is a mid-range one: one page, no paging.
    add({kIdcPrev, K::Button, "Prev", {351, 159, 29, 14}, kStyleDisabled});
    add({kIdcNext, K::Button, "Next", {384, 159, 29, 14}, kStyleDisabled});

    // Dumps.
    add({kIdcProgramGroup, K::GroupBox, "Program Memorys", {7, 180, 226, 81}});
    add({kIdcProgramDump, K::DumpEdit, "", {13, 191, 214, 66}});
    add({kIdcEepromGroup, K::GroupBox, "EEPROM Memorys", {237, 180, 181, 81}});
    add({kIdcEepromDump, K::DumpEdit, "", {243, 191, 169, 66}});

    // Progress, status and closing.
    add({kIdcProgress, K::ProgressBar, "", {7, 266, 300, 9}});
    add({kIdcStatus, K::Static, "", {7, 279, 300, 8}, kStyleNoPrefix});
    add({kIdOk, K::DefaultButton, "OK", {314, 271, 50, 14}});
    add({kIdCancel, K::Button, "キャンセル", {368, 271, 50, 14}});

    return result;
}

constexpr CMainControls kMain = BuildMain();
static_assert(kMain.Count == kMainControlCount, "every main window control has its place in the table");

} // namespace

const CDialogLayout kMainDialog = {kIddMain,        "Kavex3", 425,          292,
                                   "ＭＳ ゴシック", 9,        kIdrMainMenu, kMain.Controls};
