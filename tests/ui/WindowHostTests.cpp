// The host-side helpers of the window host interface: the cell colour
// decision, the file filter text and the menu search.
#include "TestHost.h"

#include "ui/ResourceIds.h"
#include "ui/StringTable.h"
#include "ui/WindowHost.h"

#include <gtest/gtest.h>

TEST(CellBackground, DecisionTable) {
    using B = ECellBackground;
    struct CRow {
        bool Value, Protect, ViewProtect;
        B Expected;
    };
    const CRow rows[] = {
        {true, false, false, B::Set},      {true, false, true, B::Set},      // 1 0 any: green
        {true, true, false, B::Set},                                         // 1 1 off: green
        {true, true, true, B::Default},                                      // 1 1 on: default
        {false, true, true, B::Protected},                                   // 0 1 on: red
        {false, false, false, B::Default}, {false, false, true, B::Default}, // 0 0 any: default
        {false, true, false, B::Default},                                    // 0 1 off: default
    };
    for (const CRow& r : rows) {
        EXPECT_EQ(DecideCellBackground(r.Value, r.Protect, r.ViewProtect), r.Expected)
            << r.Value << r.Protect << r.ViewProtect;
    }

    CRgb rgb;
    ASSERT_TRUE(CellBackgroundRgb(B::Set, rgb));
    EXPECT_EQ(rgb, (CRgb{200, 255, 200}));
    ASSERT_TRUE(CellBackgroundRgb(B::Protected, rgb));
    EXPECT_EQ(rgb, (CRgb{255, 200, 200}));
    EXPECT_FALSE(CellBackgroundRgb(B::Default, rgb));
}

TEST(FileFilter, SplitsTheHexFilterAndOddForms) {
    EXPECT_EQ(ParseFileFilter(StringTableText(kIdsHexFilter)),
              (std::vector<CFileFilter>{{"Hex Files (*.hex)", {"*.hex"}}, {"All Files (*.*)", {"*.*"}}}));
    EXPECT_EQ(ParseFileFilter("Hex (*.hex;*.ihx)|*.hex;*.ihx"),
              (std::vector<CFileFilter>{{"Hex (*.hex;*.ihx)", {"*.hex", "*.ihx"}}}));
    EXPECT_EQ(ParseFileFilter("No patterns||All|*.*||"), (std::vector<CFileFilter>{{"All", {"*.*"}}}));
    EXPECT_EQ(ParseFileFilter("A|*.a||B|*.b"), (std::vector<CFileFilter>{{"A", {"*.a"}}}))
        << "\"||\" ends the list";
    EXPECT_EQ(ParseFileFilter("Lonely|"), (std::vector<CFileFilter>{}));
    EXPECT_TRUE(ParseFileFilter("").empty());
}

namespace {

class CMainStandIn : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override { return *FindDialogLayout(kIddMain); }
};

} // namespace

TEST(MenuSearch, FindsItemsFromTheLastMenuAndItemBackwards) {
    CMainStandIn window;
    CTestScript script;
    CTestWindowHost host(window, script);
    host.Open();

    int menu = -1;
    int position = -1;
    ASSERT_TRUE(FindMenuItem(host, kIdmExit, menu, position));
    EXPECT_EQ(menu, 0);
    EXPECT_EQ(position, host.MenuItemCount(0) - 1) << "the exit item ends the File menu";
    ASSERT_TRUE(FindMenuItem(host, kIdmDeleteRegistry, menu, position));
    EXPECT_EQ(menu, 1);
    EXPECT_EQ(position, 7);
    EXPECT_FALSE(FindMenuItem(host, 0, menu, position)) << "separators have no command";
    EXPECT_FALSE(FindMenuItem(host, 12345, menu, position));

    // An id found twice: the later menu wins.
    host.InsertMenuItem(2, 0, kIdmProtectSettings, "twice");
    ASSERT_TRUE(FindMenuItem(host, kIdmProtectSettings, menu, position));
    EXPECT_EQ(menu, 2);
    EXPECT_EQ(position, 0);
    host.DeleteMenuItem(2, 0);
    ASSERT_TRUE(FindMenuItem(host, kIdmProtectSettings, menu, position));
    EXPECT_EQ(menu, 1);

    // A grayed pull-down offers none of its commands.
    EXPECT_FALSE(host.MenuItemEnabled(kIdmRecentFile1)) << "the placeholder starts grayed";
    host.EnableMenu(2, false);
    EXPECT_FALSE(host.ChooseMenu(kIdmReadAll));
    host.EnableMenu(2, true);
    EXPECT_TRUE(host.ChooseMenu(kIdmReadAll));
}
