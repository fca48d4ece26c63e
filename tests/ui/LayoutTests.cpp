// The layout tables against the numbers the dialogs are defined by: ids,
// kinds, texts, places, menus and the string table.
#include "ui/Layout.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

struct CExpected {
    int Id;
    EControlKind Kind;
    std::string Text;
    CRectDu Rect;
};

void ExpectSame(const CControlDef& actual, const CExpected& expected, size_t index) {
    SCOPED_TRACE("control " + std::to_string(index) + " \"" + expected.Text + "\"");
    EXPECT_EQ(actual.Id, expected.Id);
    EXPECT_EQ(actual.Kind, expected.Kind);
    EXPECT_EQ(std::string(actual.Text), expected.Text);
    EXPECT_EQ(actual.Rect.X, expected.Rect.X);
    EXPECT_EQ(actual.Rect.Y, expected.Rect.Y);
    EXPECT_EQ(actual.Rect.Width, expected.Rect.Width);
    EXPECT_EQ(actual.Rect.Height, expected.Rect.Height);
}

// The dialog's controls, in this order, exactly (`extra` more may follow).
void ExpectControls(const CDialogLayout& layout, const std::vector<CExpected>& expected, size_t extra = 0) {
    ASSERT_EQ(layout.Controls.size(), expected.size() + extra);
    for (size_t i = 0; i < expected.size(); ++i) {
        ExpectSame(layout.Controls[i], expected[i], i);
    }
}

const CDialogLayout& Dialog(int id) {
    const CDialogLayout* layout = FindDialogLayout(id);
    EXPECT_NE(layout, nullptr) << "dialog " << id;
    static const CDialogLayout kNone = {0, "", 0, 0, "", 0, 0, {}};
    return layout != nullptr ? *layout : kNone;
}

const CControlDef& Control(const CDialogLayout& layout, int id) {
    const CControlDef* control = FindControl(layout, id);
    EXPECT_NE(control, nullptr) << "control " << id;
    static const CControlDef kNone = {0, EControlKind::Static, "", {}};
    return control != nullptr ? *control : kNone;
}

const CControlDef* GroupBox(const CDialogLayout& layout, const std::string& caption) {
    for (const CControlDef& control : layout.Controls) {
        if (control.Kind == EControlKind::GroupBox && caption == control.Text) {
            return &control;
        }
    }
    return nullptr;
}

bool Inside(const CRectDu& inner, const CRectDu& outer) {
    return inner.X >= outer.X && inner.Y >= outer.Y && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

using K = EControlKind;

} // namespace

TEST(MainLayout, DialogAndControlsOfTheMainWindow) {
    const CDialogLayout& main = Dialog(kIddMain);
    EXPECT_STREQ(main.Title, "Kavex3");
    EXPECT_EQ(main.Width, 425);
    EXPECT_EQ(main.Height, 292);
    EXPECT_STREQ(main.FontName, "ＭＳ ゴシック");
    EXPECT_EQ(main.FontPoints, 9);
    EXPECT_EQ(main.MenuId, 129);

    struct CNamed {
        int Id;
        K Kind;
        const char* Text; // null: any
    };
    std::vector<CNamed> named = {
        {1030, K::Button, "File Open"},
        {1031, K::Button, "File Save"},
        {1033, K::Button, "Program"},
        {1034, K::Button, "Read"},
        {1035, K::Button, "Verify"},
        {1036, K::Button, "Erase"},
        {1037, K::Button, "Test"},
        {1038, K::DropList, nullptr},
        {1028, K::Static, "Disconnect Writer"},
        {1010, K::Static, "Static"},
        {1013, K::Static, "Static"},
        {1041, K::GroupBox, "Program Memorys"},
        {1042, K::GroupBox, "EEPROM Memorys"},
        {1043, K::DumpEdit, nullptr},
        {1044, K::DumpEdit, nullptr},
        {1039, K::Button, "Prev"},
        {1040, K::Button, "Next"},
        {1045, K::ProgressBar, nullptr},
        {1046, K::Static, nullptr},
        {1, K::DefaultButton, "OK"},
        {2, K::Button, "キャンセル"},
    };
    for (int id = 1060; id <= 1067; ++id) {
        named.push_back({id, K::Cell, nullptr});
    }
    for (int id = 1070; id <= 1125; ++id) {
        named.push_back({id, K::Cell, nullptr});
    }
    for (int id = 1050; id <= 1053; ++id) {
        named.push_back({id, K::Static, nullptr});
    }

    std::set<int> expectedIds;
    for (const CNamed& n : named) {
        SCOPED_TRACE("control " + std::to_string(n.Id));
        expectedIds.insert(n.Id);
        const CControlDef& c = Control(main, n.Id);
        EXPECT_EQ(c.Kind, n.Kind);
        if (n.Text != nullptr) {
            EXPECT_STREQ(c.Text, n.Text);
        }
    }
    std::set<int> ids;
    for (const CControlDef& c : main.Controls) {
        if (c.Id != kIdStatic) {
            EXPECT_TRUE(ids.insert(c.Id).second) << "two controls " << c.Id;
        }
    }
    EXPECT_EQ(ids, expectedIds);

    for (const char* caption : {"Device ID", "Socket / ICSP", "User ID", "Configuration bits"}) {
        EXPECT_NE(GroupBox(main, caption), nullptr) << caption;
    }
    const CControlDef& combo = Control(main, kIdcDevice);
    EXPECT_GT(combo.DropHeight, combo.Rect.Height) << "the list opens below the box";
}

TEST(MainLayout, ConfigurationGridGeometry) {
    const CDialogLayout& main = Dialog(kIddMain);
    const CControlDef* group = GroupBox(main, "Configuration bits");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Rect.X, 7);
    EXPECT_EQ(group->Rect.Y, 86);
    EXPECT_EQ(group->Rect.Width, 411);
    EXPECT_EQ(group->Rect.Height, 91);

    // x of the columns for bit 13 down to bit 0.
    const int columnX[14] = {11, 39, 71, 99, 127, 155, 187, 215, 243, 271, 303, 331, 360, 388};
    const int rowY[4] = {109, 121, 133, 145};
    for (int row = 0; row < 4; ++row) {
        for (int bit = 0; bit < 14; ++bit) {
            SCOPED_TRACE("row " + std::to_string(row) + " bit " + std::to_string(bit));
            const CControlDef& cell = Control(main, 1070 + row * 14 + bit);
            EXPECT_EQ(cell.Rect.X, columnX[13 - bit]);
            EXPECT_EQ(cell.Rect.Y, rowY[row]);
            EXPECT_EQ(cell.Rect.Width, 27);
            EXPECT_EQ(cell.Rect.Height, 9);
            EXPECT_EQ((cell.Style & kStyleDisabled) != 0, row != 0) << "row 0 enabled, rows 1 to 3 disabled";
        }
    }

    // Headings above their columns, bit13 leftmost.
    std::vector<const CControlDef*> headings;
    for (const CControlDef& c : main.Controls) {
        if (c.Kind == K::Static && std::string(c.Text).rfind("bit", 0) == 0) {
            headings.push_back(&c);
        }
    }
    ASSERT_EQ(headings.size(), 14u);
    for (int col = 0; col < 14; ++col) {
        EXPECT_EQ(std::string(headings[static_cast<size_t>(col)]->Text), "bit" + std::to_string(13 - col));
        EXPECT_EQ(headings[static_cast<size_t>(col)]->Rect.X, columnX[col]);
        EXPECT_EQ(headings[static_cast<size_t>(col)]->Rect.Y, 98);
        EXPECT_LE(headings[static_cast<size_t>(col)]->Rect.Bottom(), rowY[0]);
    }

    const int labelX[4] = {45, 118, 191, 264};
    for (int row = 0; row < 4; ++row) {
        const CControlDef& label = Control(main, 1050 + row);
        EXPECT_EQ(label.Rect.X, labelX[row]);
        EXPECT_EQ(label.Rect.Y, 159);
        EXPECT_EQ(label.Rect.Width, 42);
        EXPECT_EQ(label.Rect.Height, 11);
    }
    const CControlDef& prev = Control(main, kIdcPrev);
    const CControlDef& next = Control(main, kIdcNext);
    EXPECT_EQ(prev.Rect.X, 351);
    EXPECT_EQ(prev.Rect.Y, 159);
    EXPECT_EQ(next.Rect.X, 384);
    EXPECT_EQ(next.Rect.Y, 159);
    for (const CControlDef* button : {&prev, &next}) {
        EXPECT_EQ(button->Rect.Width, 29);
        EXPECT_EQ(button->Rect.Height, 14);
        EXPECT_TRUE(Inside(button->Rect, group->Rect));
    }
}

TEST(MainLayout, UserIdAndInformationControlsSitInTheirBoxes) {
    const CDialogLayout& main = Dialog(kIddMain);
    const CControlDef* userId = GroupBox(main, "User ID");
    ASSERT_NE(userId, nullptr);
    // ID 1 rightmost, ID 8 leftmost, in one row.
    for (int k = 1; k <= 8; ++k) {
        const CControlDef& cell = Control(main, 1059 + k);
        EXPECT_TRUE(Inside(cell.Rect, userId->Rect)) << "ID " << k;
        EXPECT_EQ(cell.Rect.Y, Control(main, 1060).Rect.Y);
        if (k > 1) {
            EXPECT_LT(cell.Rect.Right(), Control(main, 1058 + k).Rect.X)
                << "ID " << k << " left of ID " << k - 1;
        }
    }
    // Labels above the cells: "ID 8" at the left end, "--" in the middle, "ID 1" at the right end.
    std::vector<const CControlDef*> labels;
    for (const CControlDef& c : main.Controls) {
        if (c.Kind == K::Static && Inside(c.Rect, userId->Rect)) {
            labels.push_back(&c);
        }
    }
    ASSERT_EQ(labels.size(), 3u);
    const CControlDef& leftCell = Control(main, 1067);
    const CControlDef& rightCell = Control(main, 1060);
    EXPECT_STREQ(labels[0]->Text, "ID 8");
    EXPECT_EQ(labels[0]->Rect.X, leftCell.Rect.X);
    EXPECT_STREQ(labels[1]->Text, "--");
    const int middle = (leftCell.Rect.X + rightCell.Rect.Right()) / 2;
    EXPECT_EQ(labels[1]->Rect.X + labels[1]->Rect.Width / 2, middle);
    EXPECT_STREQ(labels[2]->Text, "ID 1");
    EXPECT_EQ(labels[2]->Rect.Right(), rightCell.Rect.Right());
    for (const CControlDef* label : labels) {
        EXPECT_LE(label->Rect.Bottom(), rightCell.Rect.Y);
    }

    EXPECT_TRUE(Inside(Control(main, 1010).Rect, GroupBox(main, "Device ID")->Rect));
    EXPECT_TRUE(Inside(Control(main, 1013).Rect, GroupBox(main, "Socket / ICSP")->Rect));
    EXPECT_TRUE(Inside(Control(main, 1043).Rect, Control(main, 1041).Rect));
    EXPECT_TRUE(Inside(Control(main, 1044).Rect, Control(main, 1042).Rect));

    // The status line under the progress bar; the writer label at the top right.
    const CControlDef& progress = Control(main, kIdcProgress);
    const CControlDef& status = Control(main, kIdcStatus);
    EXPECT_GE(status.Rect.Y, progress.Rect.Bottom());
    const CControlDef& writer = Control(main, kIdcWriterLabel);
    EXPECT_EQ(writer.Rect.Right(), 418);
    EXPECT_LT(writer.Rect.Y, 20);
    EXPECT_NE(writer.Style & kStyleRight, 0u);
}

TEST(DialogLayouts, FunctionTestDialog) {
    const CDialogLayout& d = Dialog(130);
    EXPECT_STREQ(d.Title, "KVX3 Function Test");
    EXPECT_EQ(d.Width, 202);
    EXPECT_EQ(d.Height, 124);
    EXPECT_STREQ(d.FontName, "MS Shell Dlg");
    EXPECT_EQ(d.FontPoints, 8);
    ExpectControls(d, {
                          {1, K::DefaultButton, "終了", {145, 103, 50, 14}},
                          {-1, K::GroupBox, "PowerLED", {8, 7, 49, 41}},
                          {1000, K::RadioButton, "ON", {12, 16, 29, 9}},
                          {1001, K::RadioButton, "OFF", {12, 25, 34, 9}},
                          {-1, K::GroupBox, "DC-DC", {73, 7, 49, 41}},
                          {1003, K::RadioButton, "ON", {77, 16, 29, 9}},
                          {1002, K::RadioButton, "OFF", {77, 25, 34, 9}},
                          {-1, K::GroupBox, "MCLR", {134, 7, 61, 41}},
                          {1004, K::RadioButton, "VPP", {138, 16, 26, 9}},
                          {1005, K::RadioButton, "RESET", {138, 25, 43, 9}},
                          {1006, K::RadioButton, "Normal", {138, 34, 43, 9}},
                          {-1, K::GroupBox, "BusyLED", {8, 53, 49, 41}},
                          {1011, K::RadioButton, "ON", {12, 62, 29, 9}},
                          {1012, K::RadioButton, "OFF", {12, 72, 34, 9}},
                          {-1, K::GroupBox, "ErrorLED", {73, 53, 49, 41}},
                          {1014, K::RadioButton, "ON", {77, 62, 29, 9}},
                          {1015, K::RadioButton, "OFF", {77, 72, 34, 9}},
                          {-1, K::GroupBox, "Socket", {134, 53, 61, 41}},
                          {1007, K::RadioButton, "8/14/18Pin", {138, 62, 50, 9}},
                          {1008, K::RadioButton, "28/40Pin", {138, 72, 49, 9}},
                          {1009, K::RadioButton, "ICSP", {138, 82, 35, 9}},
                          {-1,
                           K::Static,
                           "書き込みするディバイスを繋いだまま テストを行わないようにしてください。",
                           {8, 95, 127, 22}},
                      });

    // Each group's first button starts it, so one button per group is checked.
    EXPECT_EQ(RadioGroupOf(d, 1001), (std::vector<int>{1000, 1001}));
    EXPECT_EQ(RadioGroupOf(d, 1003), (std::vector<int>{1003, 1002}));
    EXPECT_EQ(RadioGroupOf(d, 1005), (std::vector<int>{1004, 1005, 1006}));
    EXPECT_EQ(RadioGroupOf(d, 1011), (std::vector<int>{1011, 1012}));
    EXPECT_EQ(RadioGroupOf(d, 1015), (std::vector<int>{1014, 1015}));
    EXPECT_EQ(RadioGroupOf(d, 1009), (std::vector<int>{1007, 1008, 1009}));
    EXPECT_TRUE(RadioGroupOf(d, 1).empty());
    EXPECT_TRUE(IsTabStop(*FindControl(d, 1000)));
    EXPECT_FALSE(IsTabStop(*FindControl(d, 1001)));
}

TEST(DialogLayouts, ProtectAndCalibrationDialogs) {
    const CDialogLayout& protect = Dialog(133);
    EXPECT_STREQ(protect.Title, "Protect bit");
    EXPECT_EQ(protect.Width, 186);
    EXPECT_EQ(protect.Height, 90);
    EXPECT_STREQ(protect.FontName, "MS Shell Dlg");
    EXPECT_EQ(protect.FontPoints, 8);
    ExpectControls(protect, {
                                {1, K::DefaultButton, "OK", {129, 7, 50, 14}},
                                {2, K::Button, "キャンセル", {129, 24, 50, 14}},
                                {1020, K::CheckBox, "プロテクトを使用しない", {7, 26, 86, 10}},
                                {1021, K::CheckBox, "プロテクトビット表示設定を反転する", {7, 44, 127, 10}},
                                {-1, K::Static, "(プロテクト時に色表示になります)", {23, 56, 104, 8}},
                            });

    const CDialogLayout& calibration = Dialog(134);
    EXPECT_STREQ(calibration.Title, "Calibration");
    EXPECT_EQ(calibration.Width, 186);
    EXPECT_EQ(calibration.Height, 90);
    EXPECT_STREQ(calibration.FontName, "MS Shell Dlg");
    EXPECT_EQ(calibration.FontPoints, 8);
    ExpectControls(calibration, {
                                    {1, K::DefaultButton, "OK", {129, 7, 50, 14}},
                                    {2, K::Button, "キャンセル", {129, 24, 50, 14}},
                                    {1020, K::CheckBox, "キャリブレーションを書き換える", {7, 28, 108, 10}},
                                });
}

TEST(DialogLayouts, VerifyErrorDialogKeepsItsLinesAndAddsTheReasonLine) {
    const CDialogLayout& d = Dialog(137);
    EXPECT_STREQ(d.Title, "Verify Error");
    EXPECT_EQ(d.Width, 126);
    EXPECT_EQ(d.Height, 90);
    EXPECT_STREQ(d.FontName, "MS Shell Dlg");
    EXPECT_EQ(d.FontPoints, 8);
    ExpectControls(d,
                   {
                       {-1, K::Static, "Program Memorys : ", {15, 7, 69, 8}},
                       {1057, K::Static, "OK", {98, 7, 21, 8}},
                       {-1, K::Static, "EEPROM Memorys :", {15, 22, 69, 8}},
                       {1058, K::Static, "OK", {98, 22, 21, 8}},
                       {-1, K::Static, "Config Word : ", {15, 36, 49, 8}},
                       {1059, K::Static, "OK", {98, 36, 21, 8}},
                       {-1, K::Static, "User ID : ", {15, 49, 49, 8}},
                       {1060, K::Static, "OK", {98, 49, 21, 8}},
                       {1, K::DefaultButton, "OK", {41, 69, 50, 14}},
                   },
                   1);
    const CControlDef& reason = Control(d, kIdcVerifyReason);
    EXPECT_EQ(reason.Kind, K::Static);
    EXPECT_STREQ(reason.Text, "") << "empty unless the areas could not be compared";
    EXPECT_GE(reason.Rect.Y, 49 + 8) << "below the user ID line";
    EXPECT_LE(reason.Rect.Bottom(), 69) << "above the OK button";
}

TEST(DialogLayouts, AboutBox) {
    const CDialogLayout& d = Dialog(100);
    EXPECT_STREQ(d.Title, "バージョン情報 KVX3");
    std::vector<std::string> texts;
    bool icon = false;
    for (const CControlDef& c : d.Controls) {
        icon = icon || c.Kind == K::Icon;
        if (c.Kind == K::Static) {
            texts.emplace_back(c.Text);
        }
    }
    EXPECT_TRUE(icon);
    EXPECT_EQ(texts, (std::vector<std::string>{"Kavex 3", "kvx3.exe  Version 1.7.0"}));
    const CControlDef& ok = Control(d, 1);
    EXPECT_EQ(ok.Kind, K::DefaultButton);
    EXPECT_STREQ(ok.Text, "OK");
}

TEST(MenuLayout, MainMenuBar) {
    const CMenuLayout* menu = FindMenuLayout(129);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->Popups.size(), 4u);
    EXPECT_STREQ(menu->Popups[0].Text, "ファイル(&F)");
    EXPECT_STREQ(menu->Popups[1].Text, "設定(&O)");
    EXPECT_STREQ(menu->Popups[2].Text, "読み込み(&R)");
    EXPECT_STREQ(menu->Popups[3].Text, "ツール(&T)");

    struct CItem {
        int Id;
        std::string Text;
        bool Check;
    };
    auto expectItems = [](std::span<const CMenuItemDef> items, const std::vector<CItem>& expected) {
        ASSERT_EQ(items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].Text);
            EXPECT_EQ(items[i].Id, expected[i].Id);
            if (expected[i].Id != 0) {
                EXPECT_EQ(std::string(items[i].Text), expected[i].Text);
            }
            EXPECT_EQ(items[i].CheckItem, expected[i].Check);
        }
    };
    // The window finds the File menu by its last item, the exit command.
    expectItems(menu->Popups[0].Items, {{57601, "Hexファイル読み込み", false},
                                        {57603, "Hexファイル書き出し", false},
                                        {0, "", false},
                                        {32781, "最新のファイル", false},
                                        {0, "", false},
                                        {57665, "アプリケーションの終了(&X)", false}});
    EXPECT_TRUE(menu->Popups[0].Items[3].Grayed) << "the empty recent-file placeholder is grayed";
    expectItems(menu->Popups[1].Items, {{32778, "プロテクト設定...", false},
                                        {32779, "キャリブレーション設定...", false},
                                        {0, "", false},
                                        {32798, "正常終了時にメッセージを出す", true},
                                        {32804, "HexFileの更新をチェックする", true},
                                        {32802, "Device IDをチェックする", true},
                                        {32800, "SUM_IDを使用する", true},
                                        {32787, "レジストリからデータを削除", true},
                                        {32806, "空き領域を書き込まない", true}});
    expectItems(menu->Popups[2].Items, {{32792, "全て(&A)", false},
                                        {32793, "Program(&P)", false},
                                        {32794, "Data(&D)", false},
                                        {32795, "ConfigBit(&C)", false}});
    expectItems(menu->Popups[3].Items, {{32810, "書き込み前チェック...", false},
                                        {32811, "チップとファイルの差分...", false},
                                        {0, "", false},
                                        {32812, "書き込み前にスナップショットを取る", true},
                                        {32813, "スナップショットから戻す...", false},
                                        {0, "", false},
                                        {32814, "キャリブレーション値...", false},
                                        {32815, "接続診断...", false}});
    EXPECT_EQ(FindMenuLayout(130), nullptr);
}

TEST(StringTable, EveryEntryFrom101To113) {
    EXPECT_STREQ(StringTableText(101), "バージョン情報 KVX3(&A)...");
    EXPECT_STREQ(StringTableText(102), "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||");
    const char* status[] = {"KVX Connect",
                            "KVX Non Conect",
                            "Program / EEPROM Write",
                            "Program / EEPROM Read",
                            "Program / EEPROM Verify",
                            "Program / EEPROM Erase",
                            "OSC Calibration Data Read",
                            "OSC Calibration Data Write",
                            "Load Hex File",
                            "Save Hex File",
                            "Select Device"};
    for (int id = 103; id <= 113; ++id) {
        EXPECT_STREQ(StringTableText(id), status[id - 103]) << id;
    }
    EXPECT_STREQ(StringTableText(100), "");
    EXPECT_STREQ(StringTableText(114), "");
    EXPECT_STREQ(kMsgFileNotFound, "ファイルが見つかりません");
}
