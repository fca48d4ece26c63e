// The operation commands as a user gives them: Program, Read, Verify on the
// simulated writer, Cancel and closing during an operation, the verify error
// report, the device ID check, and a writer unplugged and plugged back.
#include "MainWindowBench.h"

#include "ops/Strings.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void SetWord(CPicDevice& d, uint32_t address, uint16_t word) {
    d.ProgramData[2 * address] = static_cast<uint8_t>(word & 0xFF);
    d.ProgramData[2 * address + 1] = static_cast<uint8_t>(word >> 8);
}

constexpr int kCommandControls[] = {kIdOk,        kIdcProgram,  kIdcVerify, kIdcRead, kIdcErase,
                                    kIdcFileOpen, kIdcFileSave, kIdcDevice, kIdcTest};

void ExpectCommandsEnabled(const CTestWindowHost& h, bool enabled) {
    for (int id : kCommandControls) {
        EXPECT_EQ(h.Enabled(id), enabled) << id;
    }
    for (int menu = 0; menu < h.MenuCount(); ++menu) {
        EXPECT_EQ(h.MenuEnabled(menu), enabled) << "menu " << menu;
    }
    // Cancel and the cells stay usable throughout.
    const int alwaysUsable[] = {kIdCancel, ConfigCellId(0, 0), UserIdCellId(1)};
    for (int id : alwaysUsable) {
        EXPECT_TRUE(h.Enabled(id)) << id;
    }
}

// Starts a Read all and holds its worker in the middle.
void HoldARead(CMainWindowBench& b) {
    ASSERT_TRUE(b.Connect());
    b.Link.PauseAtPacket(20);
    ASSERT_TRUE(b.Host.Click(kIdcRead));
    ASSERT_TRUE(b.Link.WaitUntilPaused());
}

} // namespace

TEST(MainWindowOperations, ProgramWritesTheChipThenProtectsItAndSaysSo) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    ASSERT_TRUE(h.ChooseMenu(kIdmCompleteMessage));
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) {
        SetWord(d, 0, 0x2805);
        SetWord(d, 4095, 0x0123);
        d.EepromData[127] = 0x5A;
        d.UserId[1] = 0x7;
        d.Config[0] = 0x3FFF & ~0x2000u & ~0x0003u; // CP on, FOSC 00
    });
    ASSERT_TRUE(b.OpenFile(path));
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(h.Click(kIdcProgram));
    b.Tick(); // the first step starts the erase
    ExpectCommandsEnabled(h, false);
    ASSERT_TRUE(b.RunToEnd());
    ExpectCommandsEnabled(h, true);

    CMidRangeChip* chip = b.MidChip();
    EXPECT_EQ(chip->Peek(EMidRegion::Program, 0), 0x2805);
    EXPECT_EQ(chip->Peek(EMidRegion::Program, 4095), 0x0123);
    EXPECT_EQ(chip->Peek(EMidRegion::Eeprom, 127), 0x5A);
    EXPECT_EQ(chip->Peek(EMidRegion::UserId, 1) & 0xF, 0x7);
    EXPECT_TRUE(chip->CodeProtected()) << "protection written after the clean compare";
    EXPECT_TRUE(b.Script.Dialogs.empty()) << "no verify error";
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, "正常終了しました。");
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Information);
    EXPECT_EQ(h.Text(kIdcStatus), "Program / EEPROM Verify") << "the last operation's text stays";
}

// The window's option sends only the rows and bytes with data; the chip
// comes out as the full write leaves it.
TEST(MainWindowOperations, LeavingBlankAreasAloneWritesLessAndLeavesTheSameChip) {
    struct CRun {
        std::vector<uint16_t> Program;
        std::vector<uint16_t> Eeprom;
        uint64_t Writes = 0;
    };
    auto program = [](bool skipBlank) {
        CRun run;
        CMainWindowBench b;
        b.Window.m_bSkipBlank = skipBlank;
        const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) {
            SetWord(d, 0, 0x2805);
            SetWord(d, 4095, 0x0123);
            d.EepromData[127] = 0x5A;
        });
        EXPECT_TRUE(b.OpenFile(path));
        EXPECT_TRUE(b.Connect());
        EXPECT_TRUE(b.Host.Click(kIdcProgram));
        EXPECT_TRUE(b.RunToEnd());
        EXPECT_TRUE(b.Script.Dialogs.empty()) << "no verify error";
        const CMidRangeChip* chip = b.MidChip();
        for (size_t i = 0; i < chip->RegionSize(EMidRegion::Program); ++i) {
            run.Program.push_back(chip->Peek(EMidRegion::Program, i));
        }
        for (size_t i = 0; i < chip->RegionSize(EMidRegion::Eeprom); ++i) {
            run.Eeprom.push_back(chip->Peek(EMidRegion::Eeprom, i));
        }
        run.Writes = chip->TotalWrites();
        return run;
    };
    const CRun full = program(false);
    const CRun skipped = program(true);
    ASSERT_EQ(full.Program.size(), 4096u);
    EXPECT_EQ(full.Program[0], 0x2805);
    EXPECT_EQ(full.Program[4095], 0x0123);
    EXPECT_EQ(full.Eeprom[127], 0x5A);
    EXPECT_EQ(skipped.Program, full.Program);
    EXPECT_EQ(skipped.Eeprom, full.Eeprom);
    EXPECT_GE(full.Writes, 4096u + 128u) << "off, every word and byte is written";
    EXPECT_LT(skipped.Writes, 64u) << "on, two rows, one byte, the IDs and the configuration";
}

TEST(MainWindowOperations, WithoutProtectionOrMessageProgramSaysNothing) {
    CMainWindowBench b;
    b.Script.QueueDialog(kIddProtect, [](CTestWindowHost& d) {
        d.Click(kIdcDisProtect);
        d.Click(kIdOk);
    });
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmProtectSettings));
    ASSERT_TRUE(b.Host.Click(ConfigCellId(0, 13))); // CP on in the image
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_FALSE(b.MidChip()->CodeProtected());
    EXPECT_TRUE(b.Script.Messages.empty());
    ASSERT_EQ(b.Script.Dialogs.size(), 1u);
    EXPECT_EQ(b.Script.Dialogs[0].DialogId, kIddProtect) << "no verify error report";
}

TEST(MainWindowOperations, CancelStopsTheOperationAndASecondOneCloses) {
    CMainWindowBench b;
    b.MidChip()->Poke(EMidRegion::Program, 3, 0x1234);
    HoldARead(b);
    ExpectCommandsEnabled(b.Host, false);
    EXPECT_EQ(b.Host.Text(kIdcStatus), "Program / EEPROM Read");
    ASSERT_TRUE(b.Host.Click(kIdCancel));
    EXPECT_FALSE(b.Host.Ended()) << "a stop request, not a close";
    EXPECT_TRUE(b.Station().Writer().AbortRequest.load());
    b.Link.Resume();
    ASSERT_TRUE(b.RunToEnd());
    ExpectCommandsEnabled(b.Host, true);
    EXPECT_EQ(b.Device().ProgramWord(3), 0x3FFFu) << "nothing read is taken";
    EXPECT_TRUE(b.Script.Messages.empty());
    ASSERT_TRUE(b.Host.Click(kIdCancel));
    EXPECT_TRUE(b.Host.Ended());
    EXPECT_EQ(b.Host.Result(), kIdCancel);
}

TEST(MainWindowOperations, NoWayOfClosingEndsTheWindowDuringAnOperation) {
    CMainWindowBench b;
    HoldARead(b);
    b.Host.CloseBox();
    b.Host.PressEscape();
    b.Host.PressEnter();
    b.Window.OnOK();
    EXPECT_FALSE(b.Host.Click(kIdOk));
    EXPECT_FALSE(b.Host.ChooseMenu(kIdmExit)) << "the menus are grayed";
    EXPECT_FALSE(b.Host.Ended());
    b.Link.Resume();
    ASSERT_TRUE(b.RunToEnd());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmExit));
    EXPECT_TRUE(b.Host.Ended());
}

TEST(MainWindowOperations, OkClosesWhenIdle) {
    CMainWindowBench b;
    b.Host.PressEnter();
    EXPECT_TRUE(b.Host.Ended());
    EXPECT_EQ(b.Host.Result(), kIdOk);
}

TEST(MainWindowOperations, ReadAllShowsTheChipAndForgetsTheFile) {
    CMainWindowBench b;
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(path));
    b.MidChip()->Poke(EMidRegion::Program, 9, 0x1234);
    b.MidChip()->Poke(EMidRegion::Eeprom, 2, 0x66);
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmReadAll));
    ASSERT_TRUE(b.RunToEnd());
    const std::vector<std::string> lines = DumpLines(b.Host.Text(kIdcProgramDump));
    EXPECT_EQ(lines[0], "00000 : 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF ");
    EXPECT_EQ(lines[1], "00008 : 3FFF 1234 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF ");
    EXPECT_EQ(DumpLines(b.Host.Text(kIdcEepromDump))[0], "00000 : FF FF 66 FF FF FF FF FF ");
    EXPECT_TRUE(b.Station().File().FilePath.empty());
    EXPECT_EQ(b.Host.Text(kIdcDeviceIdText), "0E40");
}

TEST(MainWindowOperations, VerifyErrorReportNamesTheDifferingAreas) {
    CMainWindowBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    ASSERT_TRUE(b.Script.Dialogs.empty());

    b.MidChip()->Poke(EMidRegion::Eeprom, 5, 0x00);
    ASSERT_TRUE(b.Host.Click(kIdcVerify));
    ASSERT_TRUE(b.RunToEnd());
    ASSERT_EQ(b.Script.Dialogs.size(), 1u);
    CDialogRun run = b.Script.Dialogs.back();
    EXPECT_EQ(run.DialogId, kIddVerifyError);
    EXPECT_EQ(run.Texts[kIdcVerifyProgram], "OK");
    EXPECT_EQ(run.Texts[kIdcVerifyEeprom], "NG");
    EXPECT_EQ(run.Texts[kIdcVerifyConfig], "OK");
    EXPECT_EQ(run.Texts[kIdcVerifyUserId], "OK");
    EXPECT_EQ(run.Texts[kIdcVerifyReason], "");
    ExpectCommandsEnabled(b.Host, true);

    b.MidChip()->Poke(EMidRegion::Eeprom, 5, 0xFF);
    b.MidChip()->Poke(EMidRegion::Program, 100, 0x0000);
    b.MidChip()->Poke(EMidRegion::UserId, 2, 0x0000);
    ASSERT_TRUE(b.Host.Click(kIdcVerify));
    ASSERT_TRUE(b.RunToEnd());
    run = b.Script.Dialogs.back();
    EXPECT_EQ(run.Texts[kIdcVerifyProgram], "NG");
    EXPECT_EQ(run.Texts[kIdcVerifyEeprom], "OK");
    EXPECT_EQ(run.Texts[kIdcVerifyConfig], "OK");
    EXPECT_EQ(run.Texts[kIdcVerifyUserId], "NG");

    // Image and read-back of different device types: no area could be
    // compared, so none may read OK.
    b.Window.ShowVerifyError(kVerifyDifferentDevice);
    run = b.Script.Dialogs.back();
    for (int id : {kIdcVerifyProgram, kIdcVerifyEeprom, kIdcVerifyConfig, kIdcVerifyUserId}) {
        EXPECT_EQ(run.Texts[id], "NG") << id;
    }
    EXPECT_EQ(run.Texts[kIdcVerifyReason], kMsgVerifyDifferentDevice);
}

TEST(MainWindowOperations, DeviceIdMismatchStopsUntilTheCheckIsSwitchedOff) {
    CMainWindowBench b;
    b.PutChip("PIC16F877A");
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, "デバイスIDが一致しません");
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Error);
    ExpectCommandsEnabled(b.Host, true);
    EXPECT_EQ(b.MidChip()->TotalWrites(), 0u);

    ASSERT_TRUE(b.Host.ChooseMenu(kIdmDeviceIdCheck));
    EXPECT_FALSE(b.Host.MenuItemChecked(kIdmDeviceIdCheck));
    EXPECT_FALSE(b.Station().Writer().DeviceIdCheck);
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.Script.Messages.size(), 1u) << "no second mismatch";
    EXPECT_GT(b.MidChip()->TotalWrites(), 0u);
}

TEST(MainWindowOperations, WriterUnpluggedAndPluggedBackWhileIdle) {
    CMainWindowBench b;
    ASSERT_TRUE(b.Connect());
    const std::string banner = b.Host.Text(kIdcWriterLabel);
    b.Sim.Unplug();
    b.Tick();
    EXPECT_EQ(b.Host.Text(kIdcStatus), "KVX Non Conect");
    EXPECT_EQ(b.Host.Text(kIdcWriterLabel), "Disconect Writer");
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.Host.Click(kIdcTest));
    EXPECT_EQ(b.Runner().Sequence(), CRunner::SEQ_NONE) << "no writer, no operation";
    EXPECT_TRUE(b.Script.Dialogs.empty());
    EXPECT_EQ(b.Host.Text(kIdcStatus), "KVX Non Conect");

    b.Sim.Plug();
    b.Tick();
    EXPECT_EQ(b.Host.Text(kIdcStatus), "KVX Connect");
    EXPECT_EQ(b.Host.Text(kIdcWriterLabel), banner);
    ASSERT_TRUE(b.Host.Click(kIdcErase));
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.Host.Text(kIdcStatus), "Program / EEPROM Erase");
}
