// The chip catalogue of the simulator and the chip file: blank chips by name,
// a saved chip brought back in another run, and files that must not load.
#include "platform/Platform.h"
#include "sim/SimChipFile.h"
#include "sim/SimChips.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestLinks.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

TEST(SimChips, EveryMidRangeDeviceOfTheFactsIsModelledAndBlank) {
    const char* names[] = {"PIC12F629", "PIC12F675", "PIC16F630",  "PIC16F676",  "PIC12F683",  "PIC16F688",
                           "PIC16F690", "PIC16F84A", "PIC16F627A", "PIC16F628A", "PIC16F648A", "PIC16F716",
                           "PIC16F73",  "PIC16F74",  "PIC16F76",   "PIC16F77",   "PIC16F818",  "PIC16F819",
                           "PIC16F87",  "PIC16F88",  "PIC16F873A", "PIC16F874A", "PIC16F876A", "PIC16F877A",
                           "PIC16F883", "PIC16F886", "PIC16F887",  "PIC16F684",  "PIC16F631",  "PIC16F677",
                           "PIC16F685", "PIC16F687", "PIC16F689",  "PIC16F882",  "PIC16F884",  "PIC16F870",
                           "PIC16F871", "PIC16F872", "PIC16F873",  "PIC16F874",  "PIC16F876",  "PIC16F877"};
    for (const char* name : names) {
        std::unique_ptr<CMidRangeChip> chip = MakeMidRangeChip(name, ESimTiming::Typical);
        ASSERT_NE(chip, nullptr) << name;
        EXPECT_EQ(chip->Name(), name);
        EXPECT_EQ(chip->CoreWidth(), 14);
        EXPECT_FALSE(chip->CodeProtected()) << name;
        EXPECT_FALSE(chip->DataProtected()) << name;
        EXPECT_EQ(chip->Peek(EMidRegion::Program, 0), 0x3FFF) << name;
        EXPECT_EQ(chip->Peek(EMidRegion::UserId, 3), 0x3FFF) << name;
        EXPECT_NE(chip->DeviceIdWord(), 0x3FFF) << name;
        if (chip->RegionSize(EMidRegion::Eeprom) > 0) {
            EXPECT_EQ(chip->Peek(EMidRegion::Eeprom, 0), 0xFF) << name;
        }
        EXPECT_NE(MakeSimChip(name, ESimTiming::Strict), nullptr) << name;
    }
    EXPECT_EQ(MidRangeDeviceNames().size(), std::size(names));
    EXPECT_EQ(MakeSimChip("PIC16F999", ESimTiming::Typical), nullptr);
    EXPECT_EQ(MakeSimChip("", ESimTiming::Typical), nullptr);
    // The device ID word carries revision bits under the catalogue's mask.
    EXPECT_EQ(MakeMidRangeChip("PIC16F877A", ESimTiming::Typical)->DeviceIdWord() & 0x3FF0, 0x0E20);
    EXPECT_EQ(MakeMidRangeChip("PIC12F683", ESimTiming::Typical)->DeviceIdWord() & 0x3FE0, 0x0460);
}

TEST(SimChipFile, ASavedChipComesBackInAnotherRun) {
    CTempDir dir;
    const std::string path = dir.File("chip.txt");
    {
        simtest::CBench b("PIC16F887");
        b.Chip().Poke(EMidRegion::Program, 8191, 0x2ABC);
        b.Chip().Poke(EMidRegion::Eeprom, 255, 0x5A);
        b.Chip().Poke(EMidRegion::UserId, 1, 0x000C);
        b.Chip().Poke(EMidRegion::Config, 0, 0x3FBF); // CP set
        b.Chip().Poke(EMidRegion::Calibration, 0, 0x1234);
        b.Chip().SetDeviceIdWord(0x2081);
        ASSERT_TRUE(b.Chip().SaveToFile(path));
    }
    EXPECT_NE(ReadWholeFile(path).find("code-protected yes"), std::string::npos);
    std::unique_ptr<ISimChip> loaded = LoadSimChipFromFile(path, ESimTiming::Strict);
    ASSERT_NE(loaded, nullptr);
    auto* chip = dynamic_cast<CMidRangeChip*>(loaded.get());
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->Name(), "PIC16F887");
    EXPECT_EQ(chip->Timing(), ESimTiming::Strict);
    EXPECT_EQ(chip->Peek(EMidRegion::Program, 8191), 0x2ABC);
    EXPECT_EQ(chip->Peek(EMidRegion::Program, 0), 0x3FFF);
    EXPECT_EQ(chip->Peek(EMidRegion::Eeprom, 255), 0x5A);
    EXPECT_EQ(chip->Peek(EMidRegion::UserId, 1), 0x000C);
    EXPECT_TRUE(chip->CodeProtected());
    EXPECT_EQ(chip->Peek(EMidRegion::Calibration, 0), 0x1234);
    EXPECT_EQ(chip->DeviceIdWord(), 0x2081);
    // Loading into a chip of another model is refused.
    EXPECT_FALSE(MakeMidRangeChip("PIC16F886", ESimTiming::Typical)->LoadFromFile(path));
}

TEST(SimChipFile, BadFilesLoadNothingAndChangeNothing) {
    CTempDir dir;
    std::unique_ptr<CMidRangeChip> source = MakeMidRangeChip("PIC16F84A", ESimTiming::Typical);
    const std::string good = dir.File("good.txt");
    ASSERT_TRUE(source->SaveToFile(good));
    const std::string text = ReadWholeFile(good);

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) {
            t.replace(at, from.size(), to);
        }
        return t;
    };
    const std::string bad[] = {
        "",
        "garbage\n",
        replaced("KVX3 simulated chip 1", "KVX3 simulated chip 2"),
        replaced("model PIC16F84A", "model PIC16F999"),
        replaced("program 1024", "program 1023"),
        replaced("eeprom 64\nFF", "eeprom 64\nZZ"),
        replaced("eeprom 64\nFF", "eeprom 64\n100"),
        replaced("userid 4\n3FFF", "userid 4\n4000"),
        replaced("deviceid", "devid"),
        replaced("end\n", ""),
        replaced("end\n", "end\nextra\n"),
        text.substr(0, text.size() / 2),
        replaced("calibration 0", "calibration 0\ncalibration 0"),
        replaced("config 1\n3FFF", "config 1\n-1"),
    };
    int n = 0;
    for (const std::string& content : bad) {
        const std::string path = dir.Write("bad" + std::to_string(n++) + ".txt", content);
        std::unique_ptr<CMidRangeChip> chip = MakeMidRangeChip("PIC16F84A", ESimTiming::Typical);
        chip->Poke(EMidRegion::Program, 0, 0x0777);
        EXPECT_FALSE(chip->LoadFromFile(path)) << "case " << n - 1;
        EXPECT_EQ(chip->Peek(EMidRegion::Program, 0), 0x0777) << "case " << n - 1;
        EXPECT_EQ(LoadSimChipFromFile(path, ESimTiming::Typical), nullptr) << "case " << n - 1;
    }
    EXPECT_EQ(LoadSimChipFromFile(dir.File("missing.txt"), ESimTiming::Typical), nullptr);
    EXPECT_FALSE(source->SaveToFile(dir.File("no/such/folder/chip.txt")));
    // Comments and spacing are free.
    const std::string spaced = dir.Write("spaced.txt", replaced("deviceid", "# a note\n\n   deviceid"));
    EXPECT_NE(LoadSimChipFromFile(spaced, ESimTiming::Typical), nullptr);
}

TEST(SimChipFile, SavesGoThroughLinksAndAFailedSaveKeepsTheLastChip) {
    namespace fs = std::filesystem;
    CTempDir dir;
    std::unique_ptr<CMidRangeChip> chip = MakeMidRangeChip("PIC16F628A", ESimTiming::Typical);
    const std::string real = dir.File("chips-PIC16F628A.txt");
    ASSERT_TRUE(chip->SaveToFile(real));
    // Where the system makes no links, the file itself stands in.
    const bool madeLink = MakeSymlink(Utf8Path(real), dir.Path() / "chip.txt");
    const std::string linked = madeLink ? dir.File("chip.txt") : real;

    chip->Poke(EMidRegion::Program, 5, 0x0123);
    ASSERT_TRUE(chip->SaveToFile(linked));
    EXPECT_EQ(IsSymlink(Utf8Path(linked)), madeLink);
    const std::string saved = ReadWholeFile(real);
    EXPECT_EQ(MakeMidRangeChip("PIC16F628A", ESimTiming::Typical)->LoadFromFile(linked), true);

    // A run whose save dies at the rename leaves the last chip to load.
    chip->Poke(EMidRegion::Program, 5, 0x0456);
    CReplaceFault fault;
    fault.Step = EReplaceStep::Rename;
    {
        const CReplaceFaultScope scope(fault);
        EXPECT_FALSE(chip->SaveToFile(linked));
    }
    EXPECT_EQ(ReadWholeFile(real), saved);
    std::unique_ptr<CMidRangeChip> loaded = MakeMidRangeChip("PIC16F628A", ESimTiming::Typical);
    ASSERT_TRUE(loaded->LoadFromFile(linked));
    EXPECT_EQ(loaded->Peek(EMidRegion::Program, 5), 0x0123);
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, madeLink ? 2U : 1U) << "the chip file and its link, no temporary file";
}
