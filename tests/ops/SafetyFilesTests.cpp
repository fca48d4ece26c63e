// The safety net's files: time stamps, the calibration vault and the
// snapshot store, in temporary folders.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/CalibrationVault.h"
#include "ops/SnapshotStore.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

CVaultEntry Entry(const std::string& device, int second, uint32_t word, uint32_t bits) {
    CVaultEntry e;
    e.Time = {2024, 5, 1, 14, 22, second};
    e.Device = device;
    e.HasWord = true;
    e.Word = word;
    e.HasBits = true;
    e.Bits = bits;
    return e;
}

// A file image of the device with one program word set.
void Image(const std::string& device, CHexFile& image, uint8_t mark) {
    CDeviceList d;
    d.ListPath = ShippedCatalogue();
    ASSERT_TRUE(d.LoadDevice(device));
    image.AssignFrom(d);
    image.ProgramData[0] = mark;
}

} // namespace

TEST(SafetyFiles, StampsFormatAndParseBackAndRejectWhatIsNoStamp) {
    const CStamp s{2024, 5, 1, 4, 2, 9};
    EXPECT_EQ(StampText(s), "2024-05-01 04:02:09");
    EXPECT_EQ(StampCompact(s), "20240501-040209");
    CStamp back;
    ASSERT_TRUE(ParseStampText("2024-05-01 04:02:09", back));
    EXPECT_EQ(back, s);
    ASSERT_TRUE(ParseStampCompact("20240501-040209", back));
    EXPECT_EQ(back, s);
    for (const char* bad : {"", "2024-05-01 04:02", "2024-13-01 04:02:09", "2024-05-01T04:02:09",
                            "2024-05-01 04:02:0x", "2024-05-01 04:02:099"}) {
        EXPECT_FALSE(ParseStampText(bad, back)) << bad;
    }
    EXPECT_FALSE(ParseStampCompact("20240501040209", back));
    EXPECT_EQ(back, s) << "a failed parse leaves the stamp alone";
    const CStamp now = LocalStampNow();
    EXPECT_GE(now.Year, 2024);
}

TEST(CalibrationVault, AppendsSkipsARepeatAndKeepsDamagedLines) {
    CTempDir dir;
    const std::string path = VaultPath(dir.File("data/kvx3"));
    EXPECT_TRUE(ReadVault(path).Readable) << "a missing vault is an empty one";
    EXPECT_TRUE(ReadVault(path).Entries.empty());

    ASSERT_EQ(AppendToVault(path, Entry("PIC12F675", 1, 0x345C, 0x2000)), EVaultAppend::Appended);
    EXPECT_EQ(ReadWholeFile(path), "2024-05-01 14:22:01\tPIC12F675\tword=345C\tbits=2000\n");
    EXPECT_EQ(AppendToVault(path, Entry("PIC12F629", 2, 0x3450, 0x1000)), EVaultAppend::Appended);
    // The same value again for the same device, even after another device's line.
    EXPECT_EQ(AppendToVault(path, Entry("PIC12F675", 3, 0x345C, 0x2000)), EVaultAppend::Repeated);
    EXPECT_EQ(AppendToVault(path, Entry("PIC12F675", 4, 0x345C, 0x3000)), EVaultAppend::Appended);

    // A damaged line (and one without a line end) stays in the file and is skipped.
    std::string text = ReadWholeFile(path) + "2024-05-01 14:2\tPIC12F675\tword=3\n" +
                       "2024-05-01 14:22:05\tPIC12F675\tword=34ZZ\n" + "\n" +
                       "2024-05-01 14:22:06\tPIC12F675\tword=3480";
    dir.Write("data/kvx3/calibration.log", text);
    CVaultContents vault = ReadVault(path);
    EXPECT_EQ(vault.DamagedLines, 2);
    ASSERT_EQ(vault.Entries.size(), 4u);
    EXPECT_FALSE(vault.Entries[3].HasBits);
    const std::vector<CVaultEntry> recent = RecentEntries(vault, "PIC12F675", 2);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].Word, 0x3480u) << "newest first";
    EXPECT_EQ(recent[1].Bits, 0x3000u);
    EXPECT_EQ(RecentEntries(vault, "PIC16F630", 5).size(), 0u);

    ASSERT_EQ(AppendToVault(path, Entry("PIC12F675", 7, 0x3490, 0x1000)), EVaultAppend::Appended);
    const std::string after = ReadWholeFile(path);
    EXPECT_EQ(after.substr(0, text.size()), text) << "nothing before it is changed";
    EXPECT_EQ(after.substr(text.size()), "\n2024-05-01 14:22:07\tPIC12F675\tword=3490\tbits=1000\n");
}

TEST(CalibrationVault, AWriteThatCannotHappenSaysSoAndLeavesTheFile) {
    CTempDir dir;
    // The folder is taken by a plain file.
    dir.Write("blocked", "x");
    EXPECT_EQ(AppendToVault(VaultPath(dir.File("blocked")), Entry("PIC12F675", 1, 0x345C, 0x2000)),
              EVaultAppend::Failed);
    const std::string path = VaultPath(dir.Path().string());
    ASSERT_EQ(AppendToVault(path, Entry("PIC12F675", 1, 0x345C, 0x2000)), EVaultAppend::Appended);
    const std::string before = ReadWholeFile(path);
    {
        CReplaceFaultScope fault({EReplaceStep::Rename});
        EXPECT_EQ(AppendToVault(path, Entry("PIC12F675", 2, 0x3480, 0x2000)), EVaultAppend::Failed);
    }
    EXPECT_EQ(ReadWholeFile(path), before);
    // A folder where the vault should be is no vault.
    std::filesystem::create_directories(dir.File("folder/calibration.log"));
    EXPECT_FALSE(ReadVault(VaultPath(dir.File("folder"))).Readable);
}

TEST(SnapshotStore, SavesListsFindsAndChecksSnapshots) {
    CTempDir dir;
    const std::string folder = SnapshotFolder(dir.File("kvx3"));
    EXPECT_TRUE(ListSnapshots(folder).empty()) << "no folder yet";

    CHexFile image;
    Image("PIC16F877A", image, 0x12);
    CSnapshotInfo first;
    ASSERT_EQ(SaveSnapshot(folder, image, "KVX3 Ver.17", {2024, 5, 1, 14, 22, 5}, first),
              ESnapshotSave::Saved);
    EXPECT_EQ(first.Name, "PIC16F877A_20240501-142205.hex");
    EXPECT_EQ(ReadWholeFile(first.Path), image.FormatImage());
    CSnapshotInfo second; // the same second
    ASSERT_EQ(SaveSnapshot(folder, image, "KVX3 Ver.17\nx", {2024, 5, 1, 14, 22, 5}, second),
              ESnapshotSave::Saved);
    EXPECT_EQ(second.Name, "PIC16F877A_20240501-142205-2.hex");
    EXPECT_EQ(second.Banner, "KVX3 Ver.17 x") << "the record keeps one line a field";
    CHexFile other;
    Image("PIC12F675", other, 0x34);
    CSnapshotInfo third;
    ASSERT_EQ(SaveSnapshot(folder, other, "", {2024, 4, 30, 9, 0, 0}, third), ESnapshotSave::Saved);
    dir.Write("kvx3/snapshots/notes.txt", "mine");
    dir.Write("kvx3/snapshots/odd_name.hex", ":00000001FF\n");

    const std::vector<CSnapshotInfo> all = ListSnapshots(folder);
    ASSERT_EQ(all.size(), 3u) << "files of other names are no snapshots";
    EXPECT_EQ(all[0].Name, second.Name);
    EXPECT_EQ(all[1].Name, first.Name);
    EXPECT_EQ(all[2].Device, "PIC12F675");
    EXPECT_TRUE(all[0].HasRecord);
    EXPECT_EQ(all[1].Checksum, first.Checksum);

    CSnapshotInfo found;
    ASSERT_TRUE(FindSnapshot(folder, "PIC16F877A_20240501-142205", found));
    EXPECT_EQ(found.Path, first.Path);
    ASSERT_TRUE(FindSnapshot(folder, first.Path, found));
    EXPECT_EQ(found.Name, first.Name);
    EXPECT_FALSE(FindSnapshot(folder, "PIC16F877A_20990101-000000", found));
    EXPECT_FALSE(FindSnapshot("", "PIC16F877A_20240501-142205", found));
    ASSERT_TRUE(NewestSnapshotOf(folder, "PIC12F675", found));
    EXPECT_EQ(found.Name, third.Name);
    EXPECT_FALSE(NewestSnapshotOf(folder, "PIC18F452", found));

    CDeviceList device;
    device.ListPath = ShippedCatalogue();
    ASSERT_TRUE(device.LoadDevice("PIC16F877A"));
    CHexFile loaded;
    EXPECT_EQ(CheckSnapshot(first, device, loaded), ESnapshotCheck::Ok);
    EXPECT_EQ(loaded.ProgramData[0], 0x12);
    EXPECT_EQ(CheckSnapshot(third, device, loaded), ESnapshotCheck::OtherDevice);
    // A changed image no longer gives the record's checksum.
    std::string text = ReadWholeFile(first.Path);
    text.replace(text.find(":10000000") + 9, 2, "13");
    dir.Write("kvx3/snapshots/" + first.Name, text);
    EXPECT_EQ(CheckSnapshot(first, device, loaded), ESnapshotCheck::Damaged);
    dir.Write("kvx3/snapshots/" + first.Name, "garbage\n");
    EXPECT_EQ(CheckSnapshot(first, device, loaded), ESnapshotCheck::Unreadable);
    std::filesystem::remove(first.Path);
    EXPECT_EQ(CheckSnapshot(first, device, loaded), ESnapshotCheck::Missing);
}

TEST(SnapshotStore, KeepsTheNewestFiftyAndNothingElseIsTouched) {
    CTempDir dir;
    const std::string folder = dir.File("snapshots");
    CHexFile image;
    Image("PIC16F628A", image, 0x01);
    for (int i = 0; i < 53; ++i) {
        CSnapshotInfo saved;
        ASSERT_EQ(SaveSnapshot(folder, image, "w", {2024, 1, 1 + i / 24, i % 24, 0, 0}, saved),
                  ESnapshotSave::Saved);
    }
    dir.Write("snapshots/keep-me.hex", ":00000001FF\n");
    const std::vector<CSnapshotInfo> left = ListSnapshots(folder);
    ASSERT_EQ(left.size(), kSnapshotsKept);
    EXPECT_EQ(left.back().Name, "PIC16F628A_20240101-030000.hex") << "the three oldest went";
    std::vector<std::string> names;
    ASSERT_TRUE(ListFolder(folder, names));
    EXPECT_EQ(names.size(), 2 * kSnapshotsKept + 1) << "hex files, their records, and the stranger";

    // A snapshot without its record still lists, under the name's device.
    std::filesystem::remove(folder + "/PIC16F628A_20240101-030000.info");
    EXPECT_FALSE(ListSnapshots(folder).back().HasRecord);
    EXPECT_EQ(ListSnapshots(folder).back().Device, "PIC16F628A");

    // Writing into a folder that cannot be made.
    dir.Write("file", "x");
    CSnapshotInfo none;
    EXPECT_EQ(SaveSnapshot(dir.File("file/snapshots"), image, "w", {2024, 1, 1, 0, 0, 0}, none),
              ESnapshotSave::NoFolder);
    EXPECT_EQ(SaveSnapshot("", image, "w", {2024, 1, 1, 0, 0, 0}, none), ESnapshotSave::NoFolder);
    {
        CReplaceFaultScope fault({EReplaceStep::Write});
        EXPECT_EQ(SaveSnapshot(folder, image, "w", {2025, 1, 1, 0, 0, 0}, none), ESnapshotSave::WriteFailed);
    }
    EXPECT_EQ(ListSnapshots(folder).front().Time.Year, 2024) << "nothing of the failed one is left";
}
