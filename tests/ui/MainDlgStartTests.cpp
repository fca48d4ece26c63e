// The main window from its start: the device selector, the key figures, the
// grid and user ID of a freshly selected type, the dumps, paging, the about
// box and the writer test.
#include "MainWindowBench.h"

#include "device/DeviceList.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>

using Row = std::vector<std::string>;

TEST(MainWindowStart, DefaultDeviceShowsItsFiguresGridAndOptions) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    const std::vector<std::string> items = h.ComboItems(kIdcDevice);
    ASSERT_GT(items.size(), 20u);
    EXPECT_EQ(items.front(), "-------- PIC16F87xA --------") << "file order, separators included";
    EXPECT_EQ(h.ComboText(kIdcDevice, h.ComboSelection(kIdcDevice)), "PIC16F873A");

    EXPECT_EQ(h.Text(kIdcProgramGroup), "Program Memorys = 4096 word");
    EXPECT_EQ(h.Text(kIdcEepromGroup), "EEPROM Memorys = 128 byte");
    EXPECT_EQ(h.Text(kIdcPinCountText), "28 Pin");
    EXPECT_EQ(h.Text(kIdcDeviceIdText), "0E40");
    EXPECT_EQ(h.Text(kIdcStatus), "KVX Non Conect");
    EXPECT_EQ(h.Text(kIdcWriterLabel), "Disconnect Writer");

    EXPECT_EQ(b.GridRow(0), (Row{"CP", "-", "DEBUG", "WRT1", "WRT0", "CPD", "LVD", "BOREN", "-", "-",
                                 "*PWRTEN", "WDTEN", "FOSC1", "FOSC0"}));
    EXPECT_TRUE(h.Enabled(ConfigCellId(0, 13)));
    EXPECT_EQ(h.Text(WordLabelId(0)), "3FFF");
    for (int row = 1; row < kGridRows; ++row) {
        EXPECT_EQ(b.GridRow(row), Row(14, "---")) << row;
        EXPECT_FALSE(h.Enabled(ConfigCellId(row, 0))) << row;
        EXPECT_EQ(h.Text(WordLabelId(row)), "----") << row;
    }
    EXPECT_FALSE(h.Enabled(kIdcPrev));
    EXPECT_FALSE(h.Enabled(kIdcNext));
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(h.Text(UserIdCellId(k)), k <= 4 ? "F" : "----") << k;
        EXPECT_EQ(h.Enabled(UserIdCellId(k)), k <= 4) << k;
    }

    // First run: only the device ID check is ticked.
    for (int id : {kIdmCompleteMessage, kIdmHexCheck, kIdmSumId, kIdmDeleteRegistry}) {
        EXPECT_FALSE(h.MenuItemChecked(id)) << id;
    }
    EXPECT_TRUE(h.MenuItemChecked(kIdmDeviceIdCheck));
    EXPECT_TRUE(b.Station().Writer().DeviceIdCheck);
    EXPECT_EQ(h.Timers(), (std::map<int, unsigned>{{1, 10u}}));
    ASSERT_EQ(h.SystemMenuItems().size(), 1u);
    EXPECT_EQ(h.SystemMenuItems()[0], std::make_pair(16, std::string("バージョン情報 KVX3(&A)...")));
    EXPECT_EQ(h.WindowIcon(), kIdiMain);
    EXPECT_EQ(h.WaitCursorDepth(), 0);
    EXPECT_GT(h.WaitCursorUses(), 0) << "selection shows the wait cursor";

    // The first tick finds the writer.
    ASSERT_TRUE(b.Connect());
    EXPECT_EQ(h.Text(kIdcStatus), "KVX Connect");
    EXPECT_EQ(h.Text(kIdcWriterLabel), b.Station().Writer().Banner);
    EXPECT_FALSE(b.Station().Writer().Banner.empty());
}

TEST(MainWindowStart, DumpsOfTheBlankDefaultDevice) {
    CMainWindowBench b;
    const std::vector<std::string> program = DumpLines(b.Host.Text(kIdcProgramDump));
    ASSERT_EQ(program.size(), 512u);
    EXPECT_EQ(program[0], "00000 : 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF ");
    EXPECT_EQ(program[1].substr(0, 8), "00008 : ");
    EXPECT_EQ(program.back().substr(0, 8), "00FF8 : ");
    const std::string& text = b.Host.Text(kIdcProgramDump);
    EXPECT_EQ(text.substr(text.size() - 3), " \r\n");

    const std::vector<std::string> eeprom = DumpLines(b.Host.Text(kIdcEepromDump));
    ASSERT_EQ(eeprom.size(), 16u);
    EXPECT_EQ(eeprom[0], "00000 : FF FF FF FF FF FF FF FF ");
    EXPECT_EQ(eeprom.back().substr(0, 8), "00078 : ");
}

TEST(MainWindowStart, SeparatorKeepsTheTypeAndBlanksTheImage) {
    CMainWindowBench b;
    ASSERT_TRUE(b.Host.Click(ConfigCellId(0, 0))); // FOSC0 to 0
    b.Host.SetItemText(kIdcStatus, "before");
    ASSERT_TRUE(b.Host.ChooseComboItem(kIdcDevice, 0)); // "-------- PIC16F87xA --------"
    EXPECT_EQ(b.Host.ComboText(kIdcDevice, b.Host.ComboSelection(kIdcDevice)), "PIC16F873A");
    EXPECT_EQ(b.Window.m_strDevice, "PIC16F873A");
    EXPECT_EQ(b.Device().Config[0], 0x3FFFu) << "selected anew: blank";
    EXPECT_EQ(b.Host.Text(WordLabelId(0)), "3FFF");
    EXPECT_EQ(b.Host.Text(kIdcStatus), "before") << "no \"Select Device\" for a separator";
}

TEST(MainWindowStart, ChoosingATypeBlanksShowsSelectDeviceAndResetsTheBar) {
    CMainWindowBench b;
    b.Host.SetProgressPos(kIdcProgress, 70);
    ASSERT_TRUE(b.ChooseDevice("PIC16F877A"));
    EXPECT_EQ(b.Window.m_strDevice, "PIC16F877A");
    EXPECT_EQ(b.Host.Text(kIdcStatus), "Select Device");
    EXPECT_EQ(b.Host.ProgressPos(kIdcProgress), 0);
    EXPECT_EQ(b.Host.Text(kIdcProgramGroup), "Program Memorys = 8192 word");
    EXPECT_EQ(b.Host.Text(kIdcPinCountText), "40 Pin");
    EXPECT_EQ(b.Station().Writer().DeviceName, "PIC16F877A");
    EXPECT_EQ(b.Station().File().DeviceName, "PIC16F877A");
}

TEST(MainWindowStart, AStoredTypeTheListLacksChangesNothing) {
    CMainWindowBench b("PIC16F873A", false);
    b.Window.m_strDevice = "PIC99Z9";
    b.Open();
    EXPECT_EQ(b.Host.ComboSelection(kIdcDevice), -1);
    EXPECT_EQ(b.Host.Text(kIdcDeviceIdText), "Static");
    EXPECT_EQ(b.Host.Text(kIdcProgramGroup), "Program Memorys");
    EXPECT_EQ(b.Device().DeviceName, kDefaultDeviceName) << "the built-in default stays";
    EXPECT_TRUE(b.Script.Messages.empty());
}

TEST(MainWindowStart, MissingCatalogueSaysSoOnceAndLeavesTheSelectorEmpty) {
    CMainWindowBench b("PIC16F873A", false);
    b.Device().ListPath = b.Dir.File("absent.txt");
    b.Open();
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, kMsgDeviceListMissing);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Stop);
    EXPECT_TRUE(b.Host.ComboItems(kIdcDevice).empty());
    EXPECT_EQ(b.Host.Text(kIdcPinCountText), "Static");
}

TEST(MainWindowStart, Pic18PagesThroughFourteenWords) {
    CMainWindowBench b("PIC18F452");
    CTestWindowHost& h = b.Host;
    EXPECT_EQ(h.Text(kIdcProgramGroup), "Program Memorys = 32768 byte");
    EXPECT_EQ(h.Text(kIdcEepromGroup), "EEPROM Memorys = 256 byte");
    EXPECT_FALSE(h.Enabled(kIdcPrev));
    EXPECT_TRUE(h.Enabled(kIdcNext));
    for (int row = 0; row < kGridRows; ++row) {
        for (int bit = 8; bit < 14; ++bit) {
            EXPECT_EQ(h.Text(ConfigCellId(row, bit)), "---");
            EXPECT_FALSE(h.Enabled(ConfigCellId(row, bit)));
        }
    }
    // Row 0 is CONFIG1L, all unused; row 1 is CONFIG1H with OSCEN and FOSC2..0.
    EXPECT_EQ(b.GridRow(1), (Row{"---", "---", "---", "---", "---", "---", "x", "x", "OSCEN", "x", "x",
                                 "FOSC2", "FOSC1", "FOSC0"}));
    EXPECT_EQ(h.Text(WordLabelId(1)).size(), 2u) << "two digits for a byte-wide word";

    ASSERT_TRUE(h.Click(kIdcNext));
    EXPECT_EQ(b.Window.m_nConfigPage, 1);
    EXPECT_TRUE(h.Enabled(kIdcPrev));
    EXPECT_EQ(b.GridRow(0)[8], "OSCEN") << "one word per page";
    for (int page = 2; page <= 10; ++page) {
        ASSERT_TRUE(h.Click(kIdcNext)) << page;
        EXPECT_EQ(h.Enabled(kIdcNext), page < 10) << page;
    }
    EXPECT_FALSE(h.Click(kIdcNext)) << "no page 11";
    EXPECT_EQ(b.Window.m_nConfigPage, 10);
    ASSERT_TRUE(h.Click(kIdcPrev));
    EXPECT_TRUE(h.Enabled(kIdcNext)) << "back to 9";
    for (int page = 8; page >= 0; --page) {
        ASSERT_TRUE(h.Click(kIdcPrev));
    }
    EXPECT_FALSE(h.Enabled(kIdcPrev));
    EXPECT_EQ(b.Window.m_nConfigPage, 0);

    // A new selection starts at page 0 again.
    ASSERT_TRUE(h.Click(kIdcNext));
    ASSERT_TRUE(b.ChooseDevice("PIC16F877A"));
    EXPECT_EQ(b.Window.m_nConfigPage, 0);
    EXPECT_FALSE(h.Enabled(kIdcPrev));
    EXPECT_FALSE(h.Enabled(kIdcNext));
}

TEST(MainWindowStart, Pic18DumpCountsBytesAndPrintsLittleEndianWords) {
    CMainWindowBench b("PIC18F452");
    const std::string path = b.WriteHex("a.hex", "PIC18F452", [](CPicDevice& d) {
        d.ProgramData[0] = 0x12;
        d.ProgramData[1] = 0x34;
    });
    ASSERT_TRUE(b.OpenFile(path));
    const std::vector<std::string> lines = DumpLines(b.Host.Text(kIdcProgramDump));
    ASSERT_EQ(lines.size(), 2048u);
    EXPECT_EQ(lines[0], "00000 : 3412 FFFF FFFF FFFF FFFF FFFF FFFF FFFF ");
    EXPECT_EQ(lines[1].substr(0, 8), "00010 : ");
    EXPECT_EQ(DumpLines(b.Host.Text(kIdcEepromDump)).size(), 32u);
}

TEST(MainWindowStart, AboutBoxFromTheSystemMenu) {
    CMainWindowBench b;
    ASSERT_TRUE(b.Host.ChooseSysCommand(kIdmAboutBox));
    ASSERT_EQ(b.Script.Dialogs.size(), 1u);
    EXPECT_EQ(b.Script.Dialogs[0].DialogId, kIddAbout);
    // The system's low four bits do not matter.
    b.Window.OnSysCommand(kIdmAboutBox | 0x3);
    EXPECT_EQ(b.Script.Dialogs.size(), 2u);
    b.Window.OnSysCommand(0xF060); // the system's own close goes elsewhere
    EXPECT_EQ(b.Script.Dialogs.size(), 2u);
}

TEST(MainWindowStart, TestButtonRunsTheFunctionTestOnlyWithAWriter) {
    CMainWindowBench b;
    ASSERT_TRUE(b.Host.Click(kIdcTest));
    EXPECT_TRUE(b.Script.Dialogs.empty()) << "no writer yet";

    ASSERT_TRUE(b.Connect());
    std::vector<std::vector<uint8_t>> packets;
    b.Station().Writer().SetTraceHook(
        [&packets](CWriter::ETraceDirection direction, std::span<const uint8_t> bytes) {
            if (direction == CWriter::ETraceDirection::Out) {
                packets.emplace_back(bytes.begin(), bytes.end());
            }
        });
    b.Script.QueueDialog(kIddFunctionTest, [](CTestWindowHost& d) {
        EXPECT_TRUE(d.Checked(kIdcDcDcOff));
        d.Click(kIdcDcDcOn);
        d.Click(kIdcSocket40);
        d.Click(kIdOk);
    });
    ASSERT_TRUE(b.Host.Click(kIdcTest));
    b.Station().Writer().SetTraceHook({});
    const std::vector<uint8_t> idle = {0x80, 0x0E, 0x80, 0x0B, 0x80, 0x03,
                                       0x80, 0x00, 0x80, 0x06, 0x80, 0x09};
    const std::vector<std::vector<uint8_t>> expected = {idle, {0x80, 0x02}, {0x80, 0x08}, idle};
    EXPECT_EQ(packets, expected);
    EXPECT_EQ(b.Script.Dialogs.back().DialogId, kIddFunctionTest);
}
