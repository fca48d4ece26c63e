// The hex file commands: the open and save dialogs, the recent-file menu,
// the reload question, and the failures a user must be told of.
#include "MainWindowBench.h"

#include "image/HexFile.h"
#include "ops/Strings.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The File menu's items between the save command and the exit command.
std::vector<std::pair<int, std::string>> RecentItems(const CTestWindowHost& h) {
    std::vector<std::pair<int, std::string>> items;
    for (int p = 0; p < h.MenuItemCount(0); ++p) {
        const int id = h.MenuItemId(0, p);
        if (id >= kIdmRecentFile1 && id <= kIdmRecentFileLast) {
            items.emplace_back(id, h.MenuItemText(0, p));
        }
    }
    return items;
}

using Items = std::vector<std::pair<int, std::string>>;

void SetWord(CPicDevice& d, uint32_t address, uint16_t word) {
    d.ProgramData[2 * address] = static_cast<uint8_t>(word & 0xFF);
    d.ProgramData[2 * address + 1] = static_cast<uint8_t>(word >> 8);
}

} // namespace

TEST(MainWindowFiles, OpenLoadsShowsAndHeadsTheRecentMenu) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "最新のファイル"}}));
    EXPECT_FALSE(h.MenuItemEnabled(kIdmRecentFile1));

    const std::string a = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    const std::string c = b.WriteHex("R&D.hex", "PIC16F873A", [](CPicDevice& d) { d.EepromData[1] = 0x42; });
    ASSERT_TRUE(b.OpenFile(a));
    const CFileDialogRequest& request = b.Script.FileRequests.back();
    EXPECT_FALSE(request.Save);
    EXPECT_EQ(request.Filter, "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||");
    EXPECT_EQ(request.DefaultExt, "");
    EXPECT_EQ(request.InitialName, "");
    EXPECT_EQ(request.Options, kFileMustExist | kFileHideReadOnly);
    EXPECT_EQ(h.Text(kIdcStatus), "Load Hex File");
    EXPECT_EQ(DumpLines(h.Text(kIdcProgramDump))[0], "00000 : 2805 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF ");
    EXPECT_EQ(b.Station().Writer().ProgramWord(0), 0x2805u);
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "a.hex"}}));
    EXPECT_TRUE(h.MenuItemEnabled(kIdmRecentFile1));

    ASSERT_TRUE(b.OpenFile(c));
    EXPECT_EQ(DumpLines(h.Text(kIdcEepromDump))[0], "00000 : FF 42 FF FF FF FF FF FF ");
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "R&&D.hex"}, {kIdmRecentFile1 + 1, "a.hex"}}));
    // The items stand where the placeholder stood, before the exit command.
    const std::vector<int> ids = h.MenuItemIds(0);
    EXPECT_EQ(ids, (std::vector<int>{kIdmHexOpen, kIdmHexSave, 0, kIdmRecentFile1, kIdmRecentFile1 + 1, 0,
                                     kIdmExit}));

    // Reopened from the menu: one entry, at the top.
    ASSERT_TRUE(h.ChooseMenu(kIdmRecentFile1 + 1));
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "a.hex"}, {kIdmRecentFile1 + 1, "R&&D.hex"}}));
    EXPECT_EQ(b.Device().ProgramWord(0), 0x2805u);
    EXPECT_EQ(b.Device().EepromData[1], 0xFF);

    // Cancelled: nothing changes.
    b.Script.QueueFileCancel();
    h.SetItemText(kIdcStatus, "before");
    ASSERT_TRUE(h.Click(kIdcFileOpen));
    EXPECT_EQ(h.Text(kIdcStatus), "before");
}

TEST(MainWindowFiles, ALostRecentFileIsReportedAndLeavesTheMenu) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    const std::string a = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    ASSERT_TRUE(b.OpenFile(a));
    std::filesystem::remove(a);
    ASSERT_TRUE(h.ChooseMenu(kIdmRecentFile1));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, "ファイルが見つかりません");
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Error);
    EXPECT_EQ(b.Script.Messages[0].Buttons, EMsgButtons::Ok);
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "最新のファイル"}}));
    EXPECT_FALSE(h.MenuItemEnabled(kIdmRecentFile1));
    EXPECT_EQ(b.Device().ProgramWord(0), 0x2805u) << "the image is not touched";
    EXPECT_EQ(GetRecentFile(b.Profile, 1), "");
}

TEST(MainWindowFiles, AFileGoneBetweenTheCheckAndTheLoadLeavesTheImages) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    const std::string a = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x2805); });
    const std::string c = b.WriteHex("c.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x0000); });
    ASSERT_TRUE(b.OpenFile(a));
    // The open check has passed when the menu is rebuilt; the load comes next.
    h.OnMenuInsert = [&c] { std::filesystem::remove(c); };
    ASSERT_TRUE(b.OpenFile(c));
    h.OnMenuInsert = nullptr;
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, "ファイルが見つかりません");
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Error);
    for (const CPicDevice* image :
         {static_cast<const CPicDevice*>(&b.Device()), static_cast<const CPicDevice*>(&b.Station().File()),
          static_cast<const CPicDevice*>(&b.Station().Writer())}) {
        EXPECT_EQ(image->ProgramWord(0), 0x2805u);
    }
    EXPECT_EQ(DumpLines(h.Text(kIdcProgramDump))[0].substr(8, 4), "2805");
}

TEST(MainWindowFiles, SaveAsksBeforeReplacingAndKeepsTheLoadedUserId) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    const std::string a = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) {
        SetWord(d, 0, 0x2805);
        d.UserId[0] = 0x5;
    });
    ASSERT_TRUE(b.OpenFile(a));
    ASSERT_TRUE(h.Click(ConfigCellId(0, 0))); // FOSC0 to 0
    ASSERT_TRUE(h.Click(UserIdCellId(1)));    // 5 -> 6 on screen only
    h.SetProgressPos(kIdcProgress, 40);

    const std::string out = b.Dir.File("out.hex");
    b.Script.QueueFileAnswer(out);
    ASSERT_TRUE(h.Click(kIdcFileSave));
    const CFileDialogRequest& request = b.Script.FileRequests.back();
    EXPECT_TRUE(request.Save);
    EXPECT_EQ(request.Filter, "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||");
    EXPECT_EQ(request.DefaultExt, "hex");
    EXPECT_EQ(request.InitialName, "ReadData.hex");
    EXPECT_NE(request.Options & kFileOverwritePrompt, 0u) << "replacing a file is asked first";
    EXPECT_EQ(request.Options & kFileMustExist, 0u) << "a new file may be named";
    EXPECT_EQ(h.Text(kIdcStatus), "Save Hex File");
    EXPECT_EQ(h.ProgressPos(kIdcProgress), 0);
    EXPECT_TRUE(b.Script.Messages.empty());

    CHexFile saved;
    saved.AssignFrom(b.Device());
    ASSERT_TRUE(saved.LoadHex(out));
    EXPECT_EQ(saved.ProgramWord(0), 0x2805u);
    EXPECT_EQ(saved.Config[0], 0x3FFEu) << "the edited configuration";
    EXPECT_EQ(saved.UserId[0], 0x5u) << "the user ID of the last load";
    EXPECT_EQ(RecentItems(h), (Items{{kIdmRecentFile1, "a.hex"}})) << "saving adds no recent file";
    EXPECT_EQ(b.Station().File().FilePath, a);

    b.Script.QueueFileCancel();
    ASSERT_TRUE(h.ChooseMenu(kIdmHexSave));
    EXPECT_TRUE(b.Script.FileRequests.back().Save) << "the menu item saves too";
}

TEST(MainWindowFiles, AFailedSaveIsReportedAndTheStatusStays) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    h.SetItemText(kIdcStatus, "KVX Connect");
    b.Script.QueueFileAnswer(b.Dir.File("no-such-folder/out.hex"));
    ASSERT_TRUE(h.Click(kIdcFileSave));
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, kMsgSaveFailed);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Error);
    EXPECT_EQ(b.Script.Messages[0].Buttons, EMsgButtons::Ok);
    EXPECT_EQ(h.Text(kIdcStatus), "KVX Connect");
}

TEST(MainWindowFiles, ReloadQuestionBeforeWritingAChangedFile) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    ASSERT_TRUE(h.ChooseMenu(kIdmHexCheck));
    EXPECT_TRUE(h.MenuItemChecked(kIdmHexCheck));
    ASSERT_TRUE(b.Connect());
    const std::string path = b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { SetWord(d, 0, 0x1111); });
    ASSERT_TRUE(b.OpenFile(path));
    const auto changeOnDisk = [&](uint16_t word) {
        const auto before = std::filesystem::last_write_time(path);
        b.WriteHex("a.hex", "PIC16F873A", [word](CPicDevice& d) { SetWord(d, 0, word); });
        std::filesystem::last_write_time(path, before + std::chrono::seconds(2));
    };

    // No: the old image is written, and the question comes again next time.
    changeOnDisk(0x2222);
    b.Script.QueueMessageAnswer(EMsgResult::No);
    ASSERT_TRUE(h.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    ASSERT_EQ(b.Script.Messages.size(), 1u);
    EXPECT_EQ(b.Script.Messages[0].Text, kMsgHexChanged);
    EXPECT_EQ(b.Script.Messages[0].Icon, EMsgIcon::Exclamation);
    EXPECT_EQ(b.Script.Messages[0].Buttons, EMsgButtons::YesNo);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x1111);

    // Yes: the new contents are written and shown.
    b.Script.QueueMessageAnswer(EMsgResult::Yes);
    ASSERT_TRUE(h.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.Script.Messages.size(), 2u);
    EXPECT_EQ(b.MidChip()->Peek(EMidRegion::Program, 0), 0x2222);
    EXPECT_EQ(DumpLines(h.Text(kIdcProgramDump))[0].substr(8, 4), "2222");
    EXPECT_EQ(b.Script.Dialogs.size(), 0u) << "no verify error";

    // After a read the image stands for no file: no question.
    ASSERT_TRUE(h.Click(kIdcRead));
    ASSERT_TRUE(b.RunToEnd());
    changeOnDisk(0x3333);
    ASSERT_TRUE(h.Click(kIdcProgram));
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.Script.Messages.size(), 2u);
}
