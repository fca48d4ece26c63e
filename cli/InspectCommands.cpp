// preflight and diff: what a hex file holds, before it is written, and where
// a chip or another file differs from it.
#include "cli/Cli.h"
#include "cli/SafetyCommands.h"
#include "cli/SafetyPrinter.h"
#include "device/Calibration.h"
#include "device/ConfigLabels.h"
#include "device/ImageCompare.h"
#include "device/ImageDiff.h"

#include <ostream>
#include <string>

namespace {

// Runs shown per region before "and N more".
constexpr size_t kRunsShown = 16;

void PrintRuns(std::ostream& out, const char* region, const std::vector<CDiffRun>& runs, uint32_t count,
               const char* unit, int digits) {
    if (runs.empty()) {
        out << region << ": same\n";
        return;
    }
    // `unit` is the plural ("words"); one of them goes without its "s".
    const std::string plural(unit);
    const auto units = [&plural](uint32_t n) {
        return n == 1 ? plural.substr(0, plural.size() - 1) : plural;
    };
    out << region << ": " << count << ' ' << units(count) << (count == 1 ? " differs in " : " differ in ")
        << runs.size() << (runs.size() == 1 ? " run\n" : " runs\n");
    for (size_t i = 0; i < runs.size() && i < kRunsShown; ++i) {
        out << "  " << Hex(runs[i].First, digits) << '-' << Hex(runs[i].Last, digits) << "  "
            << runs[i].Count() << ' ' << units(runs[i].Count()) << '\n';
    }
    if (runs.size() > kRunsShown) {
        out << "  and " << runs.size() - kRunsShown << " more runs\n";
    }
}

// The diff of `a` against `b`, named as the user knows them.
void PrintDiff(std::ostream& out, const CPicDevice& a, const CPicDevice& b, const CImageDiff& diff,
               const std::string& nameA, const std::string& nameB) {
    const bool pic18 = a.CoreWidth == kCorePic18;
    uint32_t userIds = 0;
    for (const CDiffRun& run : diff.UserId) {
        userIds += run.Count();
    }
    PrintRuns(out, "Program memory", diff.Program, diff.ProgramCount, pic18 ? "bytes" : "words",
              pic18 ? 5 : 4);
    if (a.EepromSize != 0) {
        PrintRuns(out, "EEPROM", diff.Eeprom, diff.EepromCount, "bytes", 3);
    }
    if (diff.UserId.empty()) {
        out << "User ID: same\n";
    } else {
        out << "User ID: " << userIds << " of " << UserIdCount(a.CoreWidth) << " IDs differ:";
        const uint32_t mask = UserIdMask(a.CoreWidth);
        const char* separator = " ";
        for (const CDiffRun& run : diff.UserId) {
            for (uint32_t i = run.First; i <= run.Last; ++i) {
                out << separator << "ID" << i + 1 << " " << nameA << ' '
                    << Hex(a.UserId[i] & mask, pic18 ? 2 : 1) << ", " << nameB << ' '
                    << Hex(b.UserId[i] & mask, pic18 ? 2 : 1);
                separator = "; ";
            }
        }
        out << '\n';
    }
    if (diff.ConfigBits.empty()) {
        out << "Configuration: same named bits\n";
        return;
    }
    int word = -1;
    for (const CConfigBitDiff& bit : diff.ConfigBits) {
        if (bit.Word != word) {
            word = bit.Word;
            out << "Configuration " << ConfigWordName(a.CoreWidth, word) << " ("
                << Hex(ConfigWordAddress(a.CoreWidth, word), pic18 ? 6 : 4) << "): " << nameA << ' '
                << Hex(a.Config[word], pic18 ? 2 : 4) << ", " << nameB << ' '
                << Hex(b.Config[word], pic18 ? 2 : 4) << '\n';
        }
        out << "  " << bit.Name << ": " << nameA << ' ' << bit.A << ", " << nameB << ' ' << bit.B << '\n';
    }
}

// The file read by the device's address map, over the catalogue's defaults.
bool LoadForDiff(CCliContext& ctx, const CPicDevice& device, const std::string& path, CHexFile& file) {
    file.AssignFrom(device);
    if (!file.LoadHex(path)) {
        ctx.Error("cannot read '" + path + "'");
        return false;
    }
    if (file.ReadReport.DataRecords == 0) {
        ctx.Error("'" + path + "' holds no data record");
        return false;
    }
    return true;
}

int DiffFiles(CCliContext& ctx, const std::string& first, const std::string& second) {
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    CHexFile a;
    CHexFile b;
    if (!LoadForDiff(ctx, run.Device(), first, a) || !LoadForDiff(ctx, run.Device(), second, b)) {
        return kExitBadInput;
    }
    const CImageDiff diff = DiffImages(a, b, false);
    ctx.out << "A: " << first << "\nB: " << second << "\nby the address map of " << a.DeviceName << '\n';
    PrintDiff(ctx.out, a, b, diff, "A", "B");
    ctx.out << (diff.Equal() ? "The files give the same image.\n" : "The files differ.\n");
    return diff.Equal() ? kExitOk : kExitMismatch;
}

} // namespace

int CmdPreflight(CCliContext& ctx, const COperationOptions& options, const std::string& hexFile) {
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    const CPreflightReport report = RunPreflight(run.Device(), hexFile, options.RewriteCalibration);
    ctx.out << "Preflight of " << hexFile << " for " << run.Device().DeviceName << '\n';
    PrintPreflight(report, "", ctx.out);
    if (report.Findings.empty()) {
        ctx.out << "Nothing to report.\n";
    }
    return report.Severity();
}

int CmdDiff(CCliContext& ctx, const COperationOptions& options, const std::string& first,
            const std::string& second) {
    if (!second.empty()) {
        return DiffFiles(ctx, first, second);
    }
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    CHexFile file;
    if (!LoadForDiff(ctx, run.Device(), first, file)) {
        return kExitBadInput;
    }
    run.ArmSafetyNet(false);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    status = run.Run([](CRunner& r) { r.OnRead(); });
    if (status == kExitOk) {
        status = run.OutcomeStatus();
    }
    if (status != kExitOk) {
        return run.Finish(status);
    }
    const CDeviceList& chip = run.Device(); // the read landed in the selected device
    // The chip's calibration is kept when it is programmed, so it is no
    // difference unless rewriting it is allowed.
    const bool keepCalibration = IsCalibrated(chip) && !options.RewriteCalibration;
    const CImageDiff diff = DiffImages(chip, file, keepCalibration);
    ctx.out << "Chip (" << chip.DeviceName << ") against " << first << '\n';
    if (chip.IsProtected()) {
        ctx.out << "note: the chip is code-protected: what it protects reads as zeros\n";
    }
    PrintDiff(ctx.out, chip, file, diff, "chip", "file");
    if (keepCalibration) {
        const CCalibration c = CalibrationOf(chip);
        const CCalibration f = CalibrationOf(file);
        if (c.HasWord && c.Word != f.Word) {
            ctx.out << "note: calibration word (not compared, the chip's is kept): chip " << Hex(c.Word, 4)
                    << ", file " << Hex(f.Word, 4) << '\n';
        }
        if (c.HasBits && c.Bits != f.Bits) {
            ctx.out << "note: calibration bits (not compared, the chip's are kept): chip " << Hex(c.Bits, 4)
                    << ", file " << Hex(f.Bits, 4) << '\n';
        }
    }
    ctx.out << (diff.Equal() ? "The chip matches the file.\n" : "The chip differs from the file.\n");
    return run.Finish(diff.Equal() ? kExitOk : kExitMismatch);
}
