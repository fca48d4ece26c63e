// The safety net's commands end to end on simulated chips kept in files, with
// the data folder in a temporary place.
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/SnapshotStore.h"
#include "tests/cli/CliRun.h"
#include "tests/common/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string Source(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

// Paths are compared with either separator taken for the other: on Windows
// the tool joins its own names with a slash to a folder the system gives
// with backslashes.
bool Has(std::string text, std::string part) {
    std::replace(text.begin(), text.end(), '\\', '/');
    std::replace(part.begin(), part.end(), '\\', '/');
    return text.find(part) != std::string::npos;
}

// The variable that names the user's data folder.
#ifdef _WIN32
constexpr const char* kDataVariable = "LOCALAPPDATA";
void SetVariable(const char* name, const std::string& value) {
    (void)::_putenv_s(name, value.c_str());
}
void UnsetVariable(const char* name) {
    (void)::_putenv_s(name, "");
}
#else
constexpr const char* kDataVariable = "XDG_DATA_HOME";
void SetVariable(const char* name, const std::string& value) {
    (void)::setenv(name, value.c_str(), 1);
}
void UnsetVariable(const char* name) {
    (void)::unsetenv(name);
}
#endif

// A temporary folder as the user's data folder while the test runs.
class SafetyCli : public ::testing::Test {
protected:
    SafetyCli() {
        const char* old = std::getenv(kDataVariable);
        m_hadOld = old != nullptr;
        m_old = m_hadOld ? old : "";
        SetVariable(kDataVariable, m_dir.File("data"));
    }
    ~SafetyCli() override {
        if (m_hadOld) {
            SetVariable(kDataVariable, m_old);
        } else {
            UnsetVariable(kDataVariable);
        }
    }
    // kvx3-cli -d DEVICE --sim-chip <chip of that name> ARGS...
    CRun On(const std::string& device, std::initializer_list<std::string> tail) {
        std::vector<std::string> args = {"-d", device, "--sim-chip", m_dir.File(device + ".sim")};
        args.insert(args.end(), tail);
        return RunTool(args);
    }
    std::string Data(const std::string& relative) const { return m_dir.File("data/kvx3/" + relative); }

    CTempDir m_dir;
    bool m_hadOld = false;
    std::string m_old;
    const std::string m_fixture = Source("tests/fixtures/blink16f877a.hex");
};

} // namespace

TEST_F(SafetyCli, PreflightExitStatusesAndTheReportBeforeProgram) {
    const CRun clean = RunTool({"-d", "PIC16F877A", "preflight", m_fixture});
    EXPECT_EQ(clean.Status, 0) << clean.Out;
    EXPECT_TRUE(Has(clean.Out, "Nothing to report."));

    const CRun wrong = RunTool({"-d", "PIC16F628A", "preflight", m_fixture});
    EXPECT_EQ(wrong.Status, 1);
    EXPECT_TRUE(Has(wrong.Out, "warning: 12 bytes lie outside every region of PIC16F628A")) << wrong.Out;

    const std::string binary = m_dir.Write("firmware.bin", std::string("\x00\x01\x02\xFF\n\x7F", 6));
    const CRun bad = RunTool({"-d", "PIC16F877A", "preflight", binary});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(RunTool({"-d", "PIC16F877A", "preflight", m_dir.File("absent.hex")}).Status, 2);

    // program refuses it before the writer is touched: the chip file is never made.
    const CRun refused = On("PIC16F877A", {"program", binary});
    EXPECT_EQ(refused.Status, kExitBadInput);
    EXPECT_TRUE(Has(refused.Err, "holds no data record")) << refused.Err;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("PIC16F877A.sim")));

    // Warnings are printed, and stop the program only when asked to.
    const CRun warned = On("PIC16F628A", {"program", m_fixture, "--refuse-warnings"});
    EXPECT_EQ(warned.Status, kExitMismatch);
    EXPECT_TRUE(Has(warned.Err, "kvx3-cli: preflight: warning: 12 bytes lie outside")) << warned.Err;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("PIC16F628A.sim")));
    const CRun programmed = On("PIC16F628A", {"program", m_fixture});
    EXPECT_EQ(programmed.Status, kExitOk) << programmed.Err;
    EXPECT_TRUE(Has(programmed.Err, "kvx3-cli: preflight: warning: 12 bytes lie outside"));
}

TEST_F(SafetyCli, DiffOfTheChipAndOfTwoFiles) {
    ASSERT_EQ(On("PIC16F877A", {"program", m_fixture}).Status, kExitOk);
    const CRun same = On("PIC16F877A", {"diff", m_fixture});
    EXPECT_EQ(same.Status, kExitOk) << same.Out << same.Err;
    EXPECT_TRUE(Has(same.Out, "The chip matches the file."));

    // The same program with another oscillator and two words changed.
    CDeviceList device;
    device.ListPath = Source("data/PicDeviceList3.txt");
    ASSERT_TRUE(device.LoadDevice("PIC16F877A"));
    CHexFile other;
    other.AssignFrom(device);
    ASSERT_TRUE(other.LoadHex(m_fixture));
    other.Config[0] |= 0x0001; // FOSC0
    other.ProgramData[2 * 0x20] = 0x00;
    other.ProgramData[2 * 0x21] = 0x00;
    const std::string otherPath = m_dir.File("other.hex");
    ASSERT_TRUE(other.SaveHex(otherPath));

    const CRun differs = On("PIC16F877A", {"diff", otherPath});
    EXPECT_EQ(differs.Status, kExitMismatch);
    EXPECT_TRUE(Has(differs.Out, "Program memory: 2 words differ in 1 run\n  0020-0021  2 words"))
        << differs.Out;
    EXPECT_TRUE(Has(differs.Out, "  FOSC0: chip 0, file 1")) << differs.Out;
    EXPECT_TRUE(Has(differs.Out, "EEPROM: same"));

    const CRun files = RunTool({"-d", "PIC16F877A", "diff", m_fixture, otherPath});
    EXPECT_EQ(files.Status, kExitMismatch);
    EXPECT_TRUE(Has(files.Out, "  FOSC0: A 0, B 1")) << files.Out;
    EXPECT_EQ(RunTool({"-d", "PIC16F877A", "diff", m_fixture, m_fixture}).Status, kExitOk);
    EXPECT_EQ(RunTool({"-d", "PIC16F877A", "diff", m_fixture, m_dir.File("absent.hex")}).Status,
              kExitBadInput);
}

TEST_F(SafetyCli, SnapshotsAreKeptListedAndRolledBack) {
    const CRun none = RunTool({"snapshots"});
    EXPECT_EQ(none.Status, kExitOk);
    EXPECT_TRUE(Has(none.Out, "No snapshots in " + Data("snapshots")));
    EXPECT_EQ(On("PIC16F877A", {"rollback"}).Status, kExitBadInput) << "nothing to roll back to";

    ASSERT_EQ(On("PIC16F877A", {"program", m_fixture}).Status, kExitOk);
    const CRun erased = On("PIC16F877A", {"--snapshot", "erase"});
    ASSERT_EQ(erased.Status, kExitOk) << erased.Err;
    EXPECT_TRUE(Has(erased.Err, "kvx3-cli: snapshot of the chip kept: " + Data("snapshots/PIC16F877A_")))
        << erased.Err;
    EXPECT_EQ(On("PIC16F877A", {"blank-check"}).Status, kExitOk) << "the erase went on";

    const CRun listed = RunTool({"snapshots"});
    EXPECT_TRUE(Has(listed.Out, "  PIC16F877A_")) << listed.Out;
    EXPECT_TRUE(Has(listed.Out, "  PIC16F877A  ")) << listed.Out;

    const CRun back = On("PIC16F877A", {"rollback"});
    ASSERT_EQ(back.Status, kExitOk) << back.Err;
    EXPECT_TRUE(Has(back.Out, "Rolled PIC16F877A back to snapshot PIC16F877A_"));
    EXPECT_EQ(On("PIC16F877A", {"verify", m_fixture}).Status, kExitOk) << "the chip is as it was";

    // A snapshot of another device, a missing one, and one whose file is gone.
    std::vector<std::string> names;
    ASSERT_TRUE(ListFolder(Data("snapshots"), names));
    ASSERT_EQ(names.size(), 2u);
    const std::string snapshot = names[0].substr(0, names[0].size() - 4);
    const CRun other = On("PIC16F876A", {"rollback", snapshot});
    EXPECT_EQ(other.Status, kExitBadInput);
    EXPECT_TRUE(Has(other.Err, "was taken of PIC16F877A, not of PIC16F876A (select it with -d PIC16F877A)"))
        << other.Err;
    EXPECT_EQ(On("PIC16F877A", {"rollback", "PIC16F877A_20000101-000000"}).Status, kExitBadInput);
    std::filesystem::remove(Data("snapshots/" + names[0]));
    const CRun gone = On("PIC16F877A", {"rollback"});
    EXPECT_EQ(gone.Status, kExitBadInput);
    EXPECT_TRUE(Has(gone.Err, "no snapshot of PIC16F877A")) << gone.Err;

    // A snapshot whose image was changed after it was kept.
    ASSERT_EQ(On("PIC16F877A", {"--snapshot", "erase"}).Status, kExitOk);
    const std::vector<CSnapshotInfo> kept = ListSnapshots(Data("snapshots"));
    ASSERT_EQ(kept.size(), 1u);
    std::string text = ReadWholeFile(kept[0].Path);
    ASSERT_TRUE(Has(text, ":00000001FF"));
    text.insert(text.find(":00000001FF"), ":02000000000000FE\n"); // one word more
    m_dir.Write("data/kvx3/snapshots/" + kept[0].Name, text);
    const CRun damaged = On("PIC16F877A", {"rollback"});
    EXPECT_EQ(damaged.Status, kExitBadInput);
    EXPECT_TRUE(Has(damaged.Err, "changed or damaged")) << damaged.Err;
}

TEST_F(SafetyCli, NoSnapshotNoWrite) {
    ASSERT_EQ(On("PIC16F877A", {"program", m_fixture}).Status, kExitOk);
    // A file where the snapshot folder should be: nothing can be kept.
    std::filesystem::create_directories(Data(""));
    m_dir.Write("data/kvx3/snapshots", "not a folder\n");
    const CRun erase = On("PIC16F877A", {"--snapshot", "erase"});
    EXPECT_EQ(erase.Status, kExitBadInput);
    EXPECT_TRUE(
        Has(erase.Err, "cannot write the snapshot into " + Data("snapshots") + ": the chip was not touched"))
        << erase.Err;
    EXPECT_FALSE(Has(erase.Out, "Erased"));
    EXPECT_EQ(On("PIC16F877A", {"verify", m_fixture}).Status, kExitOk) << "the erase did not run";

    // The writer goes during the snapshot's read: the command never starts.
    std::filesystem::remove(Data("snapshots"));
    const CRun unplugged = On("PIC16F877A", {"--snapshot", "--sim-fault", "unplug-after=6", "erase"});
    EXPECT_EQ(unplugged.Status, kExitNoWriter) << unplugged.Err;
    EXPECT_FALSE(Has(unplugged.Out, "Erased"));
    EXPECT_TRUE(ListSnapshots(Data("snapshots")).empty());
    EXPECT_EQ(On("PIC16F877A", {"verify", m_fixture}).Status, kExitOk) << "the erase did not run";

    // A code-protected chip reads as zeros: said, nothing kept, the program goes on.
    const std::string protectedImage = m_dir.File("protected.hex");
    CDeviceList device;
    device.ListPath = Source("data/PicDeviceList3.txt");
    ASSERT_TRUE(device.LoadDevice("PIC16F877A"));
    CHexFile image;
    image.AssignFrom(device);
    ASSERT_TRUE(image.LoadHex(m_fixture));
    image.Config[0] &= ~0x2000U; // CP
    ASSERT_TRUE(image.SaveHex(protectedImage));
    ASSERT_EQ(On("PIC16F877A", {"program", protectedImage}).Status, kExitOk);
    const CRun over = On("PIC16F877A", {"--snapshot", "program", m_fixture});
    EXPECT_EQ(over.Status, kExitOk) << over.Err;
    EXPECT_TRUE(Has(over.Err, "the chip is code-protected and reads as zeros: no snapshot kept")) << over.Err;
    EXPECT_TRUE(ListSnapshots(Data("snapshots")).empty());
    EXPECT_EQ(On("PIC16F877A", {"verify", m_fixture}).Status, kExitOk);
}

TEST_F(SafetyCli, CalibrationIsShownKeptWarnedAboutAndWrittenBack) {
    const CRun shown = On("PIC12F675", {"calibration"});
    ASSERT_EQ(shown.Status, kExitOk) << shown.Err;
    EXPECT_TRUE(Has(shown.Out, "Calibration     word 345C at 03FF, bits 2000 (mask 3000 in CONFIG1)"))
        << shown.Out;
    EXPECT_TRUE(Has(ReadWholeFile(Data("calibration.log")), "\tPIC12F675\tword=345C\tbits=2000\n"));

    // Lost by an erase that was allowed to rewrite it.
    ASSERT_EQ(On("PIC12F675", {"--rewrite-calibration", "erase"}).Status, kExitOk);
    const CRun lost = On("PIC12F675", {"calibration"});
    EXPECT_EQ(lost.Status, kExitMismatch);
    EXPECT_TRUE(Has(lost.Out, "word 3FFF at 03FF (BLANK")) << lost.Out;
    EXPECT_TRUE(Has(lost.Out, "word 345C  bits 2000")) << "the vault's entry: " << lost.Out;

    const CRun read = On("PIC12F675", {"read", m_dir.File("back.hex")});
    EXPECT_EQ(read.Status, kExitOk);
    EXPECT_TRUE(Has(read.Err, "kvx3-cli: warning: the chip's calibration word reads 3FFF (blank)"))
        << read.Err;
    EXPECT_TRUE(
        Has(read.Err, "write one back with: kvx3-cli -d PIC12F675 calibration --restore 345C --bits 2000"))
        << read.Err;

    EXPECT_EQ(On("PIC12F675", {"calibration", "--restore", "3FFF"}).Status, kExitBadInput);
    EXPECT_EQ(On("PIC12F675", {"calibration", "--restore", "34G0"}).Status, kExitBadInput);
    EXPECT_EQ(On("PIC12F675", {"calibration", "--bits", "2000"}).Status, kExitBadInput);
    EXPECT_EQ(On("PIC16F877A", {"calibration"}).Status, kExitBadInput);
    const CRun restored = On("PIC12F675", {"calibration", "--restore", "0x345C", "--bits", "2000"});
    ASSERT_EQ(restored.Status, kExitOk) << restored.Err;
    EXPECT_TRUE(Has(restored.Out, "Written         word 345C at 03FF, bits 2000")) << restored.Out;
    EXPECT_EQ(On("PIC12F675", {"calibration"}).Status, kExitOk);

    // A damaged vault line is skipped with a word, never a crash.
    const std::string vault = Data("calibration.log");
    m_dir.Write("data/kvx3/calibration.log",
                ReadWholeFile(vault) + "garbage\tline\n2024-99-01 00:00:00\tX\tword=1\n");
    const CRun damaged = On("PIC12F675", {"calibration"});
    EXPECT_EQ(damaged.Status, kExitOk);
    EXPECT_TRUE(Has(damaged.Err, "2 damaged line(s)")) << damaged.Err;
    EXPECT_TRUE(Has(ReadWholeFile(vault), "garbage\tline\n")) << "kept as it was";
}

TEST_F(SafetyCli, DoctorOnTheSimulatedWriter) {
    const CRun doctor = RunTool({"--sim", "doctor"});
    EXPECT_EQ(doctor.Status, kExitOk) << doctor.Out;
    EXPECT_TRUE(Has(doctor.Out, "ok    the writer answers: ")) << doctor.Out;
}
