// The check of a hex file before it is programmed: one finding for each thing
// a user should hear, and the exit level they add up to.
#include "RunnerBench.h"
#include "common/TempDir.h"
#include "ops/Preflight.h"

#include <gtest/gtest.h>

namespace {

class Preflight : public ::testing::Test {
protected:
    void Select(const std::string& name) {
        m_device.ListPath = ShippedCatalogue();
        ASSERT_TRUE(m_device.LoadDevice(name));
    }
    CPreflightReport Check(const std::string& text, bool rewrite = false) {
        return RunPreflight(m_device, m_dir.Write("in.hex", text), rewrite);
    }
    static std::vector<EPreflightKind> Kinds(const CPreflightReport& r) {
        std::vector<EPreflightKind> kinds;
        for (const CPreflightFinding& f : r.Findings) {
            kinds.push_back(f.Kind);
        }
        return kinds;
    }

    CTempDir m_dir;
    CDeviceList m_device;
};

// CONFIG1 of a PIC16F628A with nothing to confirm (3F6A: LVP and watchdog off, HS).
const char* const kQuiet628 = ":02400E006A3F07\n";

} // namespace

TEST_F(Preflight, ACleanFileHasNothingToReport) {
    Select("PIC16F628A");
    const CPreflightReport r = Check(std::string(":04000000852800004F\n") + kQuiet628 + ":00000001FF\n");
    EXPECT_TRUE(r.Findings.empty()) << (r.Findings.empty() ? "" : r.Findings[0].Text);
    EXPECT_EQ(r.Severity(), 0);
}

TEST_F(Preflight, NoDataAndUnreadableFilesAreBadInput) {
    Select("PIC16F628A");
    const CPreflightReport binary = Check(std::string("\x7F"
                                                      "ELF\x02\x01\x01",
                                                      7) +
                                          "\n:00000001FF\n");
    EXPECT_EQ(Kinds(binary), (std::vector<EPreflightKind>{EPreflightKind::NoData}));
    EXPECT_EQ(binary.Severity(), 2);
    EXPECT_EQ(Check("").Severity(), 2);
    const CPreflightReport gone = RunPreflight(m_device, m_dir.File("missing.hex"), false);
    EXPECT_EQ(Kinds(gone), (std::vector<EPreflightKind>{EPreflightKind::Unreadable}));
    EXPECT_TRUE(gone.IsBad());
}

TEST_F(Preflight, DamagedShortAndUnendedFilesWarn) {
    Select("PIC16F628A");
    const CPreflightReport r = Check(std::string(":040000008528000050\n") // wrong checksum
                                     + ":0400040012\n"                    // cut short
                                     + kQuiet628);                        // no end record
    EXPECT_EQ(Kinds(r), (std::vector<EPreflightKind>{EPreflightKind::BadRecords, EPreflightKind::ShortRecords,
                                                     EPreflightKind::NoEnd}));
    EXPECT_EQ(r.Findings[0].Text.substr(0, 10), "2 lines ar");
    EXPECT_EQ(r.Severity(), 1);
}

TEST_F(Preflight, BytesOutsideTheDeviceNameTheirRanges) {
    Select("PIC16F628A");
    std::string text = std::string(":020000040000FA\n") + kQuiet628;
    // Eight records past the 2048 words, each its own range.
    const char* const records[] = {":021000000000EE\n", ":021010000000DE\n", ":021020000000CE\n",
                                   ":021030000000BE\n", ":021040000000AE\n", ":0210500000009E\n",
                                   ":0210600000008E\n", ":0210700000007E\n"};
    for (const char* record : records) {
        text += record;
    }
    text += ":00000001FF\n";
    const CPreflightReport r = Check(text);
    ASSERT_EQ(Kinds(r), (std::vector<EPreflightKind>{EPreflightKind::Outside}));
    const std::string& line = r.Findings[0].Text;
    EXPECT_NE(line.find("16 bytes lie outside every region of PIC16F628A"), std::string::npos) << line;
    EXPECT_NE(line.find("1000-1001 (words 0800-0800)"), std::string::npos) << line;
    EXPECT_NE(line.find("and 2 more ranges"), std::string::npos) << line;
}

TEST_F(Preflight, MissingConfigurationShowsTheDefaultsDecoded) {
    Select("PIC16F877A");
    const CPreflightReport r = Check(":04000000852800004F\n:00000001FF\n");
    ASSERT_GE(r.Findings.size(), 1u);
    EXPECT_EQ(r.Findings[0].Kind, EPreflightKind::NoConfig);
    ASSERT_EQ(r.Findings[0].Details.size(), 1u);
    EXPECT_EQ(r.Findings[0].Details[0], "CONFIG1 2007 = 3FFF: CP=1 DEBUG=1 WRT1=1 WRT0=1 CPD=1 LVP=1 BOREN=1 "
                                        "*PWRTEN=1 WDTEN=1 FOSC1=1 FOSC0=1");
    // ...and what those defaults switch on.
    EXPECT_EQ(Kinds(r), (std::vector<EPreflightKind>{EPreflightKind::NoConfig, EPreflightKind::ConfigRisk,
                                                     EPreflightKind::ConfigRisk}));

    // A PIC16F886 file that gives CONFIG1 only.
    Select("PIC16F886");
    const CPreflightReport partial = Check(":04000000852800004F\n:02400E00D42FAD\n:00000001FF\n");
    ASSERT_FALSE(partial.Findings.empty());
    EXPECT_EQ(partial.Findings[0].Kind, EPreflightKind::PartialConfig);
    EXPECT_NE(partial.Findings[0].Text.find("CONFIG2"), std::string::npos);

    // PIC18: the registers without named bits need not be in the file.
    Select("PIC18F452");
    const std::string fixture =
        ReadWholeFile(std::string(KVX3_SOURCE_DIR) + "/tests/fixtures/blink18f452.hex");
    EXPECT_TRUE(Check(fixture).Findings.empty());
}

TEST_F(Preflight, ConfigurationToConfirmIsOneWarningEach) {
    Select("PIC16F628A");
    // 1EDC: CP on, CPD on, MCLR off with INTOSC (100), watchdog on, LVP on.
    const CPreflightReport r = Check(":04000000852800004F\n:02400E00DC1EB6\n:00000001FF\n");
    std::vector<std::string> texts;
    for (const CPreflightFinding& f : r.Findings) {
        EXPECT_EQ(f.Kind, EPreflightKind::ConfigRisk);
        EXPECT_EQ(f.Level, EPreflightLevel::Warning);
        texts.push_back(f.Text.substr(0, f.Text.find(':')));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"code protection is on", "data EEPROM protection is on",
                                               "low-voltage programming is on",
                                               "MCLR is off with the internal oscillator",
                                               "the watchdog timer is on"}));
}

TEST_F(Preflight, ACalibrationWordInTheFileWarnsOnlyWhenItWouldBeWritten) {
    Select("PIC12F675");
    // OSCCAL word 3FF and CONFIG1 11F4: BG bits 01, watchdog off, INTOSC with MCLR on.
    const std::string text = ":020000040000FA\n:0207FE00803445\n:02400E00F411AB\n:00000001FF\n";
    const CPreflightReport kept = Check(text, false);
    ASSERT_EQ(Kinds(kept), (std::vector<EPreflightKind>{EPreflightKind::CalibrationWord}));
    EXPECT_EQ(kept.Findings[0].Level, EPreflightLevel::Note);
    EXPECT_EQ(kept.Severity(), 0);
    const CPreflightReport rewritten = Check(text, true);
    ASSERT_EQ(Kinds(rewritten), (std::vector<EPreflightKind>{EPreflightKind::CalibrationWord}));
    EXPECT_EQ(rewritten.Findings[0].Level, EPreflightLevel::Warning);
    EXPECT_NE(rewritten.Findings[0].Text.find("3480 at 03FF"), std::string::npos);
    EXPECT_NE(rewritten.Findings[0].Text.find("1000 in CONFIG1"), std::string::npos);
    // Without the word, the bits alone matter only when they would be written.
    const std::string bitsOnly = ":02400E00F411AB\n:00000001FF\n";
    EXPECT_TRUE(Check(bitsOnly, false).Findings.empty());
    EXPECT_EQ(Check(bitsOnly, true).Severity(), 1);
    // A blank word in the file is no RETLW.
    const CPreflightReport blank = Check(":0207FE00FF3FBB\n:02400E00F411AB\n:00000001FF\n", true);
    EXPECT_NE(blank.Findings[0].Text.find("not a RETLW"), std::string::npos);
}
