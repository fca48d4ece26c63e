// calibration: the chip's factory calibration and the vault's entries for its
// device type, and writing one back to a chip that lost it.
#include "cli/Cli.h"
#include "cli/SafetyCommands.h"
#include "cli/SafetyPrinter.h"
#include "device/ConfigLabels.h"
#include "device/TextNumbers.h"

#include <cctype>
#include <ostream>

namespace {

// Entries of the vault shown below the chip's calibration.
constexpr size_t kEntriesShown = 5;

// "345C" or "0x345C": one to four hex digits.
bool ParseWord(std::string text, uint32_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.erase(0, 2);
    }
    if (text.empty() || text.size() > 4) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    value = ParseHexNumber(text);
    return true;
}

std::string CalibrationText(const CPicDevice& device, const CCalibration& c) {
    std::string text;
    if (c.HasWord) {
        text += "word " + Hex(c.Word, 4) + " at " + Hex(static_cast<uint32_t>(device.CalAddress), 4) +
                (IsBlankCalibrationWord(c.Word) ? " (BLANK: the factory calibration is lost)" : "");
    }
    if (c.HasBits) {
        text += std::string(text.empty() ? "" : ", ") + "bits " + Hex(c.Bits, 4) + " (mask " +
                Hex(c.BitsMask, 4) + " in " + ConfigWordName(device.CoreWidth, c.BitsWord) + ")";
    }
    return text;
}

void PrintVault(CCliContext& ctx, const std::string& device, const std::string& path) {
    const CVaultContents vault = ReadVault(path);
    if (!vault.Readable) {
        ctx.Error("cannot read the calibration vault " + path);
        return;
    }
    const std::vector<CVaultEntry> recent = RecentEntries(vault, device, kEntriesShown);
    if (recent.empty()) {
        ctx.out << "Vault           no entry for " << device << " in " << path << '\n';
    } else {
        ctx.out << "Vault           " << path << ", last entries for " << device << ", newest first:\n";
        for (const CVaultEntry& e : recent) {
            ctx.out << "  " << VaultEntryText(e) << '\n';
        }
    }
    if (vault.DamagedLines > 0) {
        ctx.err.Line("kvx3-cli: warning: " + std::to_string(vault.DamagedLines) + " damaged line(s) of " +
                     path + " were skipped");
    }
}

const char* CheckText(ECalibrationCheck check) {
    switch (check) {
    case ECalibrationCheck::NotRetlw:
        return "the oscillator calibration word must be a RETLW (34xx)";
    case ECalibrationCheck::BitsOutside:
        return "the bits lie outside the device's calibration bits";
    case ECalibrationCheck::NoWord:
        return "the device keeps no calibration word";
    case ECalibrationCheck::NoBits:
        return "the device has no calibration bits";
    case ECalibrationCheck::NothingGiven:
        return "give a word to write";
    case ECalibrationCheck::Ok:
    case ECalibrationCheck::NotCalibrated:
        break;
    }
    return "the device has no factory calibration";
}

// The exit status and message for a failed read or restore.
int Failure(CCliContext& ctx, ECalibrationResult result, const CCalibrationRestore& r,
            const CPicDevice& device) {
    switch (result) {
    case ECalibrationResult::Ok:
        return kExitOk;
    case ECalibrationResult::NotReady:
    case ECalibrationResult::LinkLost:
        ctx.Error("the writer went away");
        return kExitNoWriter;
    case ECalibrationResult::NotCalibrated:
        ctx.Error(device.DeviceName + " has no factory calibration");
        return kExitBadInput;
    case ECalibrationResult::DeviceIdMismatch:
        ctx.Error("the chip's device ID is not " + device.DeviceName + "'s (" + Hex(device.DeviceId, 4) +
                  ")");
        return kExitMismatch;
    case ECalibrationResult::Refused:
        ctx.Error(std::string("nothing written: ") + CheckText(r.Check));
        return kExitBadInput;
    case ECalibrationResult::WordNotBlank:
        ctx.Error("nothing written: the chip holds the calibration word " + Hex(r.Before.Word, 4) +
                  "; a word is written only over a blank one (erase with --rewrite-calibration first)");
        return kExitMismatch;
    case ECalibrationResult::Mismatch:
        ctx.Error("written, but the chip reads back " + CalibrationText(device, r.After));
        return kExitMismatch;
    }
    return kExitBadInput;
}

} // namespace

int CmdCalibration(CCliContext& ctx, const COperationOptions& options, const std::string& restoreWord,
                   const std::string& restoreBits) {
    std::optional<uint32_t> word;
    std::optional<uint32_t> bits;
    uint32_t value = 0;
    if (!restoreBits.empty() && restoreWord.empty()) {
        ctx.Error("--bits goes with --restore WORD");
        return kExitBadInput;
    }
    if (!restoreWord.empty()) {
        if (!ParseWord(restoreWord, value)) {
            ctx.Error("'" + restoreWord + "' is no calibration word (one to four hex digits)");
            return kExitBadInput;
        }
        word = value;
    }
    if (!restoreBits.empty()) {
        if (!ParseWord(restoreBits, value)) {
            ctx.Error("'" + restoreBits + "' are no calibration bits (one to four hex digits)");
            return kExitBadInput;
        }
        bits = value;
    }
    CCliStation run(ctx);
    if (!run.SelectDevice()) {
        return kExitBadInput;
    }
    const CDeviceList& device = run.Device();
    if (!IsCalibrated(device)) {
        ctx.Error(device.DeviceName + " has no factory calibration");
        return kExitBadInput;
    }
    if (word || bits) {
        // Checked before the writer is touched.
        const ECalibrationCheck check = CheckCalibration(device, word, bits);
        if (check != ECalibrationCheck::Ok) {
            ctx.Error(std::string("nothing written: ") + CheckText(check));
            return kExitBadInput;
        }
    }
    CSafetyPrinter& printer = run.Safety();
    printer.QuietCalibration = true;
    run.ArmSafetyNet(false);
    int status = run.Prepare(options, "");
    if (status != kExitOk) {
        return run.Finish(status);
    }
    CSafetyNet& net = run.Station().SafetyNet();
    ctx.out << "Device          " << device.DeviceName << '\n';
    if (word) {
        const CCalibrationRestore r = net.RestoreCalibration(word, bits);
        if (r.Result != ECalibrationResult::Ok) {
            return run.Finish(Failure(ctx, r.Result, r, device));
        }
        ctx.out << "Was             " << CalibrationText(device, r.Before) << '\n';
        ctx.out << "Written         " << CalibrationText(device, r.After) << '\n';
        status = kExitOk;
    } else {
        CCalibration read;
        const ECalibrationResult result = net.ReadChipCalibration(read);
        if (result != ECalibrationResult::Ok) {
            return run.Finish(Failure(ctx, result, {}, device));
        }
        ctx.out << "Calibration     " << CalibrationText(device, read) << '\n';
        status = read.HasWord && IsBlankCalibrationWord(read.Word) ? kExitMismatch : kExitOk;
    }
    if (!net.VaultFile().empty()) {
        PrintVault(ctx, device.DeviceName, net.VaultFile());
    }
    if (printer.LastCalibration && printer.LastCalibration->Vault == EVaultRecord::Failed) {
        ctx.err.Line("kvx3-cli: warning: cannot write the calibration vault " + net.VaultFile());
    }
    return run.Finish(status);
}
