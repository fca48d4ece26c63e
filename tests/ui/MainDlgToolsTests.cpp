// The tools menu on the simulated writer: the preflight of the loaded file,
// the diff with the chip, a snapshot before Program and the rollback to it,
// the remembered snapshot option, the calibration values with the vault, the
// connection doctor, and the graying of the items that need the writer.
#include "MainWindowBench.h"

#include "ops/SnapshotStore.h"
#include "ui/ToolsReports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

void SetWord(CPicDevice& d, uint32_t address, uint16_t word) {
    d.ProgramData[2 * address] = static_cast<uint8_t>(word & 0xFF);
    d.ProgramData[2 * address + 1] = static_cast<uint8_t>(word >> 8);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Ticks until neither a snapshot's read nor the runner's sequence runs.
bool RunNetToEnd(CMainWindowBench& b) {
    // A hang guard by the clock, as the bench's own: a short sleep may return
    // at once, and then a count of ticks passes before the workers are done.
    const CSafetyNet& net = b.Station().SafetyNet();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (net.IsRunning() && std::chrono::steady_clock::now() < deadline) {
        b.Tick();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::yield();
    }
    return !net.IsRunning();
}

// A bench whose safety files go to its own folder.
struct CToolsBench : CMainWindowBench {
    explicit CToolsBench(const std::string& device = "PIC16F873A") : CMainWindowBench(device, false) {
        Station().SafetyNet().SetFolder(Dir.File("safety"));
        Open();
    }
    std::string Snapshots() { return Station().SafetyNet().SnapshotsFolder(); }
};

} // namespace

TEST(MainWindowTools, WriterItemsAreGrayedUntilTheWriterIsFound) {
    CToolsBench b;
    CTestWindowHost& h = b.Host;
    ASSERT_EQ(h.MenuCount(), 4);
    for (int id : {kIdmDiffChip, kIdmRollback, kIdmCalibrationValues}) {
        EXPECT_FALSE(h.MenuItemEnabled(id)) << id;
        EXPECT_FALSE(h.ChooseMenu(id)) << "a grayed item gives no command";
    }
    for (int id : {kIdmPreflight, kIdmSnapshotBeforeWrite, kIdmDoctor}) {
        EXPECT_TRUE(h.MenuItemEnabled(id)) << id;
    }
    ASSERT_TRUE(b.Connect());
    for (int id : {kIdmDiffChip, kIdmRollback, kIdmCalibrationValues}) {
        EXPECT_TRUE(h.MenuItemEnabled(id)) << id;
    }
    EXPECT_FALSE(h.MenuItemChecked(kIdmSnapshotBeforeWrite)) << "off on the first run";
}

TEST(MainWindowTools, PreflightWarnsOfBytesOutsideTheDevice) {
    CToolsBench b;
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmPreflight));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "読み込まれていません")) << "no file yet";

    // Word 0x1800 (byte 0x3000) lies beyond the 4K words of program memory.
    const std::string path = b.Dir.Write("big.hex", ":020000000528D1\n"
                                                    ":02300000FF3F90\n"
                                                    ":00000001FF\n");
    ASSERT_TRUE(b.OpenFile(path));
    b.Script.Messages.clear();
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmPreflight));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    const CShownMessage& m = b.Script.Messages[0];
    EXPECT_EQ(m.Icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(Contains(m.Text, "警告: ")) << m.Text;
    EXPECT_TRUE(Contains(m.Text, "outside")) << m.Text;
    EXPECT_TRUE(Contains(m.Text, "3000")) << m.Text;
    EXPECT_TRUE(Contains(m.Text, path)) << m.Text;
}

TEST(MainWindowTools, DiffShowsTheChipAgainstTheImageBeforeAndAfterAnErase) {
    CToolsBench b;
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) {
        SetWord(d, 0, 0x2805);
        SetWord(d, 1, 0x0123);
        d.EepromData[3] = 0x5A;
        d.Config[0] = 0x3FFF & ~0x0003u; // FOSC 00
    });
    ASSERT_TRUE(b.OpenFile(path));
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(RunNetToEnd(b));
    b.Script.Messages.clear();

    ASSERT_TRUE(b.Host.ChooseMenu(kIdmDiffChip));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Information);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "チップはデータと一致しています。"))
        << b.Script.Messages[0].Text;

    ASSERT_TRUE(b.Host.Click(kIdcErase));
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x3FFF);
    b.Script.Messages.clear();
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmDiffChip));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    const std::string& text = b.Script.Messages[0].Text;
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(Contains(text, "Program: 2 箇所が違います (1 範囲)")) << text;
    EXPECT_TRUE(Contains(text, "0000-0001")) << text;
    EXPECT_TRUE(Contains(text, "EEPROM: 1 箇所が違います")) << text;
    EXPECT_TRUE(Contains(text, "FOSC1: チップ 1 / ファイル 0")) << text;
    EXPECT_TRUE(Contains(text, "FOSC0: チップ 1 / ファイル 0")) << text;
    EXPECT_TRUE(Contains(text, "チップはデータと違います。")) << text;
    // The read went aside: the window's image is still the file's.
    EXPECT_EQ(b.Device().ProgramWord(0), 0x2805u);
    EXPECT_EQ(b.Host.Text(kIdcStatus), "Program / EEPROM Read");
}

TEST(MainWindowTools, SnapshotBeforeProgramWhenCheckedAndRollbackRestoresIt) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    b.MidChip()->Poke(EMidRegion::Program, 0, 0x1234);
    b.MidChip()->Poke(EMidRegion::Program, 7, 0x0777);
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(path));

    // Unchecked: Program goes as it always did, and nothing is kept.
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x2805);
    EXPECT_TRUE(ListSnapshots(b.Snapshots()).empty());

    b.MidChip()->Poke(EMidRegion::Program, 0, 0x1234);
    b.MidChip()->Poke(EMidRegion::Program, 7, 0x0777);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSnapshotBeforeWrite));
    EXPECT_TRUE(b.Host.MenuItemChecked(kIdmSnapshotBeforeWrite));
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x2805);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 7), 0x3FFF);
    const std::vector<CSnapshotInfo> kept = ListSnapshots(b.Snapshots());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].Device, "PIC16F873A");
    CHexFile snapshot;
    ASSERT_EQ(CheckSnapshot(kept[0], b.Device(), snapshot), ESnapshotCheck::Ok);
    EXPECT_EQ(snapshot.ProgramWord(0), 0x1234u);

    b.Script.Messages.clear();
    b.Script.QueueMessageAnswer(EMsgResult::Yes);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmRollback));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_GE(b.Script.Messages.size(), 1u);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, kept[0].Name)) << b.Script.Messages[0].Text;
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x1234);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 7), 0x0777);
    EXPECT_EQ(ListSnapshots(b.Snapshots()).size(), 2u) << "the rollback kept the chip it overwrote";

    // No: nothing is written.
    b.MidChip()->Poke(EMidRegion::Program, 0, 0x0042);
    b.Script.QueueMessageAnswer(EMsgResult::No);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmRollback));
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x0042);
}

TEST(MainWindowTools, RollbackWithoutASnapshotOfTheDeviceSaysSo) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmRollback));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "PIC16F873A のスナップショットはありません"));
    EXPECT_EQ(b.MidChip()->TotalWrites(), 0u);
}

TEST(MainWindowTools, SnapshotOptionIsRememberedInTheProfile) {
    CMemoryStore store;
    CProfile profile(store, kCompanyKey, "KVX3");
    for (const bool expected : {false, true}) {
        CKVX3Dlg window(&profile);
        window.Station().Device().ListPath = ShippedCatalogue();
        window.m_strDevice = "PIC16F873A";
        CTestScript script;
        CTestWindowHost host(window, script);
        host.Open();
        EXPECT_EQ(host.MenuItemChecked(kIdmSnapshotBeforeWrite), expected);
        EXPECT_EQ(window.Station().SafetyNet().SnapshotBeforeWrite(), expected);
        if (!expected) {
            ASSERT_TRUE(host.ChooseMenu(kIdmSnapshotBeforeWrite));
            EXPECT_TRUE(LoadSafetyOptions(profile).m_bSnapshot) << "saved at once";
        }
    }
}

TEST(MainWindowTools, CalibrationValuesAreKeptAndWrittenBackToAChipThatLostThem) {
    CToolsBench b("PIC12F675");
    ASSERT_TRUE(b.Connect());
    b.MidChip()->Poke(EMidRegion::Program, 0x3FF, 0x3480);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmCalibrationValues));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Information);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "word 3480")) << b.Script.Messages[0].Text;
    const CVaultContents vault = ReadVault(b.Station().SafetyNet().VaultFile());
    ASSERT_EQ(vault.Entries.size(), 1u);
    EXPECT_EQ(vault.Entries[0].Word, 0x3480u);

    // The chip loses its word: Read warns, naming the vault's entry.
    b.MidChip()->Poke(EMidRegion::Program, 0x3FF, 0x3FFF);
    b.Script.Messages.clear();
    ASSERT_TRUE(b.Host.Click(kIdcRead));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(b.Script.Messages.size(), 1u) << "one warning for the command";
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "3FFF")) << b.Script.Messages[0].Text;
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "word 3480")) << b.Script.Messages[0].Text;

    // The item offers the newest entry and writes it back.
    b.Script.Messages.clear();
    b.Script.QueueMessageAnswer(EMsgResult::Yes);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmCalibrationValues));
    ASSERT_EQ(b.Script.Messages.size(), 2u);
    EXPECT_EQ(b.Script.Messages[0].Buttons, EMsgButtons::YesNo);
    EXPECT_EQ(b.Script.Messages[1].Text, "キャリブレーション値を書き込みました。");
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0x3FF), 0x3480);
}

TEST(MainWindowTools, CalibrationItemOnADeviceWithoutCalibrationSaysSo) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmCalibrationValues));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, "このデバイスにはキャリブレーション値がありません。");
}

TEST(MainWindowTools, DoctorFindsTheSimulatedWriter) {
    CMainWindowBench b("PIC16F873A", false);
    ASSERT_EQ(b.Station().UseSimulator("", false), EBackendResult::Ok);
    b.Open();
    // Before the writer is open, the doctor opens it itself.
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmDoctor));
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmDoctor));
    ASSERT_EQ(b.Script.Messages.size(), 2u);
    for (const CShownMessage& m : b.Script.Messages) {
        EXPECT_EQ(m.Icon, EMsgIcon::Information) << m.Text;
        EXPECT_TRUE(Contains(m.Text, "ライターは応答しています")) << m.Text;
        EXPECT_FALSE(Contains(m.Text, "問題")) << m.Text;
    }
}

TEST(ToolsReports, LongReportsAreCutWithAFinalEllipsis) {
    std::vector<std::string> lines;
    for (int i = 0; i < 5; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    EXPECT_EQ(JoinReport(lines, 5), "line 0\nline 1\nline 2\nline 3\nline 4");
    EXPECT_EQ(JoinReport(lines, 3), "line 0\nline 1\n…");
    EXPECT_EQ(JoinReport(lines, 1), "…");
    EXPECT_EQ(JoinReport({}, 3), "");
    EXPECT_EQ(HexText(0x3F, 4), "003F");
}

TEST(MainWindowTools, ProtectedChipGivesNoSnapshotButProgramGoesOn) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSnapshotBeforeWrite));
    ASSERT_TRUE(b.MidChip()->Poke(EMidRegion::Config, 0, 0x1FFF)); // code protection on
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(path));
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "コードプロテクト")) << b.Script.Messages[0].Text;
    EXPECT_TRUE(ListSnapshots(b.Snapshots()).empty());
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x2805);
}

TEST(MainWindowTools, CancelDuringTheSnapshotStopsItAndTheChipIsNotTouched) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSnapshotBeforeWrite));
    b.MidChip()->Poke(EMidRegion::Program, 0, 0x1234);
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(path));
    b.Link.PauseAtPacket(20);
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    EXPECT_FALSE(b.Host.Enabled(kIdcProgram)) << "the snapshot's read holds the commands";
    b.Host.PressEscape();
    EXPECT_FALSE(b.Host.Ended()) << "a stop request, not a close";
    b.Link.Resume();
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_FALSE(b.Host.Ended());
    EXPECT_TRUE(b.Host.Enabled(kIdcProgram));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x1234) << "Program did not run";
    EXPECT_TRUE(ListSnapshots(b.Snapshots()).empty());
    ASSERT_FALSE(b.Script.Messages.empty());
    EXPECT_TRUE(Contains(b.Script.Messages.back().Text, "チップには何もしていません"))
        << b.Script.Messages.back().Text;
}

TEST(MainWindowTools, RollbackRestoresTheUserIdEvenWithSumIdOn) {
    CToolsBench b;
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSnapshotBeforeWrite));
    ASSERT_TRUE(b.MidChip()->Poke(EMidRegion::UserId, 0, 0x5));
    ASSERT_TRUE(b.MidChip()->Poke(EMidRegion::UserId, 3, 0xA));
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(path));
    ASSERT_TRUE(b.Host.Click(kIdcProgram));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(ListSnapshots(b.Snapshots()).size(), 1u);

    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSumId));
    b.Script.QueueMessageAnswer(EMsgResult::Yes);
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmRollback));
    ASSERT_TRUE(RunNetToEnd(b));
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::UserId, 0) & 0xF, 0x5);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::UserId, 3) & 0xF, 0xA);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x3FFF);
    EXPECT_TRUE(b.Host.MenuItemChecked(kIdmSumId)) << "the option itself stays on";
}

TEST(MainWindowTools, WithoutASafetyFolderTheSnapshotOptionLeavesTheChipAlone) {
    CMainWindowBench b; // the net is given no folder
    ASSERT_TRUE(b.Connect());
    ASSERT_TRUE(b.Host.ChooseMenu(kIdmSnapshotBeforeWrite));
    ASSERT_TRUE(b.MidChip()->Poke(EMidRegion::Program, 0, 0x1234));
    ASSERT_TRUE(b.Host.Click(kIdcErase));
    ASSERT_TRUE(RunNetToEnd(b));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "保存先がありません")) << b.Script.Messages[0].Text;
    EXPECT_TRUE(Contains(b.Script.Messages[0].Text, "チップには何もしていません"))
        << b.Script.Messages[0].Text;
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x1234);
    EXPECT_TRUE(b.Host.Enabled(kIdcErase));
}
