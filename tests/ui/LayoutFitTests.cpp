// No two controls overlap, every control lies in its dialog, and the texts
// fit their controls by the width model of TextModel.h.
#include "TextModel.h"

#include "device/Bounds.h"
#include "device/DeviceList.h"
#include "ui/Layout.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

bool Intersect(const CRectDu& a, const CRectDu& b) {
    return a.X < b.Right() && b.X < a.Right() && a.Y < b.Bottom() && b.Y < a.Bottom();
}

bool Inside(const CRectDu& inner, const CRectDu& outer) {
    return inner.X >= outer.X && inner.Y >= outer.Y && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

std::string Name(const CControlDef& c) {
    return std::to_string(c.Id) + " \"" + c.Text + "\"";
}

void ExpectFits(const CControlDef& control, const std::string& text) {
    std::string why;
    EXPECT_TRUE(TextFits(control, text, why)) << "\"" << text << "\" in " << Name(control) << ": " << why;
}

const CControlDef& MainControl(int id) {
    const CControlDef* control = FindControl(*FindDialogLayout(kIddMain), id);
    EXPECT_NE(control, nullptr) << id;
    static const CControlDef kNone = {0, EControlKind::Static, "", {}};
    return control != nullptr ? *control : kNone;
}

} // namespace

TEST(TextModel, CountsHalfAndFullWidthCharacters) {
    EXPECT_EQ(TextWidthDu("File Open", true), 36);
    EXPECT_EQ(TextWidthDu("キャンセル", true), 40);
    EXPECT_EQ(TextWidthDu("ﾃｽﾄ", true), 12) << "half-width katakana";
    EXPECT_EQ(TextWidthDu("ファイル(&F)", true), 4 * 8 + 3 * 4) << "the mnemonic mark takes no room";
    EXPECT_EQ(TextWidthDu("ファイル(&F)", false), 4 * 8 + 4 * 4);
    EXPECT_EQ(TextWidthDu("A&&B", true), 12);
    EXPECT_EQ(TextWidthDu("\xE3\x81", true), 8) << "a cut sequence counts as two half-width characters";
    EXPECT_EQ(WrappedLines("あいうえお", 16, true), 3);
    EXPECT_EQ(WrappedLines("", 16, true), 1);

    CControlDef button = {1, EControlKind::Button, "", {0, 0, 44, 14}};
    std::string why;
    EXPECT_TRUE(TextFits(button, "File Open", why));
    button.Rect.Width = 43;
    EXPECT_FALSE(TextFits(button, "File Open", why));
    EXPECT_EQ(why, "needs 36 units, has 35");
}

TEST(LayoutFit, NoControlsOverlapAndAllLieInTheirDialog) {
    for (const CDialogLayout* dialog : AllDialogLayouts()) {
        SCOPED_TRACE("dialog " + std::to_string(dialog->Id));
        const CRectDu client = {0, 0, dialog->Width, dialog->Height};
        const auto& controls = dialog->Controls;
        for (size_t i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(Inside(controls[i].Rect, client)) << Name(controls[i]);
            EXPECT_GT(controls[i].Rect.Width, 0) << Name(controls[i]);
            EXPECT_GT(controls[i].Rect.Height, 0) << Name(controls[i]);
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const CControlDef& a = controls[i];
                const CControlDef& b = controls[j];
                if (!Intersect(a.Rect, b.Rect)) {
                    continue;
                }
                const bool aHoldsB = a.Kind == EControlKind::GroupBox && Inside(b.Rect, a.Rect);
                const bool bHoldsA = b.Kind == EControlKind::GroupBox && Inside(a.Rect, b.Rect);
                EXPECT_TRUE(aHoldsB || bHoldsA) << Name(a) << " overlaps " << Name(b);
            }
        }
    }
}

// Texts of the layout itself, in the window and the dialogs whose places are
// ours (the small dialogs' own places are fixed; the Qt host measures those
// with its real fonts).
TEST(LayoutFit, TemplateTextsFit) {
    for (int dialogId : {kIddMain, kIddAbout}) {
        for (const CControlDef& control : FindDialogLayout(dialogId)->Controls) {
            ExpectFits(control, control.Text);
        }
    }
}

// The texts the window puts into its controls at run time, at their longest.
TEST(LayoutFit, RunTimeTextsOfTheMainWindowFit) {
    const std::string programBytes = std::to_string(bounds::kMaxPic18Bytes);
    const std::string programWords = std::to_string(bounds::kMaxMidRangeWords);
    const std::string eepromBytes = std::to_string(bounds::kMaxPic18Eeprom);
    ExpectFits(MainControl(kIdcProgramGroup), "Program Memorys = " + programBytes + " byte");
    ExpectFits(MainControl(kIdcProgramGroup), "Program Memorys = " + programWords + " word");
    ExpectFits(MainControl(kIdcEepromGroup), "EEPROM Memorys = " + eepromBytes + " byte");
    ExpectFits(MainControl(kIdcDeviceIdText), "FFFF");
    ExpectFits(MainControl(kIdcPinCountText), "40 Pin");
    for (const char* label : {"Disconect Writer", "KVX test Version", "KVX3 Ver.17 / CLK=255MHz"}) {
        ExpectFits(MainControl(kIdcWriterLabel), label);
    }
    for (int id = 103; id <= 113; ++id) {
        ExpectFits(MainControl(kIdcStatus), StringTableText(id));
    }
    for (int k = 1; k <= kUserIdCells; ++k) {
        ExpectFits(MainControl(UserIdCellId(k)), "FF");
        ExpectFits(MainControl(UserIdCellId(k)), "----");
    }
    for (int row = 0; row < kGridRows; ++row) {
        ExpectFits(MainControl(WordLabelId(row)), "3FFF");
        ExpectFits(MainControl(WordLabelId(row)), "----");
        // Legend names up to six characters fit a cell.
        ExpectFits(MainControl(ConfigCellId(row, 0)), "BOREN1");
    }
    ExpectFits(MainControl(kIdcProgramDump), "00000 : 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF ");
    ExpectFits(MainControl(kIdcEepromDump), "00000 : FF FF FF FF FF FF FF FF ");
}

TEST(LayoutFit, EveryCatalogueDeviceNameFitsTheSelector) {
    CDeviceList list;
    list.ListPath = std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
    CNameList names;
    ASSERT_TRUE(list.FillSelector(names));
    ASSERT_FALSE(names.Names.empty());
    for (const std::string& name : names.Names) {
        if (!name.empty() && name.front() != '-') { // separator lines are never the selection
            ExpectFits(MainControl(kIdcDevice), name);
        }
    }
}

TEST(LayoutFit, VerifyReasonFitsItsLine) {
    const CControlDef* reason = FindControl(*FindDialogLayout(kIddVerifyError), kIdcVerifyReason);
    ASSERT_NE(reason, nullptr);
    ExpectFits(*reason, kMsgVerifyDifferentDevice);
}
