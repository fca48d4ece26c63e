#include "ops/Preflight.h"

#include "device/Calibration.h"
#include "device/ConfigLabels.h"
#include "device/ConfigRisks.h"
#include "device/ImageCompare.h"

#include <cstdio>
#include <string>

namespace {

// Ranges shown on the outside line before "and N more".
constexpr size_t kRangesShown = 6;

// Why the file could not be read, to follow its name, when the reader knows.
std::string ReadProblem(EReadResult result) {
    switch (result) {
    case EReadResult::NotAFile:
        return ": it is not a regular file (a folder, a device or a pipe)";
    case EReadResult::TooLarge:
        return ": it is larger than " + std::to_string(kMaxHexFileBytes) +
               " bytes, more than any such file holds";
    case EReadResult::Read:
    case EReadResult::Missing:
    case EReadResult::Failed:
        break;
    }
    return {};
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string Plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void Add(CPreflightReport& report, EPreflightKind kind, EPreflightLevel level, std::string text,
         std::vector<std::string> details = {}) {
    report.Findings.push_back({kind, level, std::move(text), std::move(details)});
}

std::string OutsideText(const CHexFile& file) {
    const CHexReadReport& r = file.ReadReport;
    const bool midRange = file.CoreWidth == kCoreMidRange;
    const int digits = r.OutsideRuns.empty() || r.OutsideRuns.back().Last <= 0xFFFF ? 4 : 6;
    std::string text = Plural(r.OutsideBytes, "byte lies", "bytes lie") + " outside every region of " +
                       file.DeviceName + " and will not be written (wrong device selected, or a file for a " +
                       "bigger one?): ";
    for (size_t i = 0; i < r.OutsideRuns.size() && i < kRangesShown; ++i) {
        const CHexAddressRun& run = r.OutsideRuns[i];
        text += (i == 0 ? "" : ", ") + Hex(run.First, digits) + "-" + Hex(run.Last, digits);
        if (midRange) {
            text += " (words " + Hex(run.First / 2, 4) + "-" + Hex(run.Last / 2, 4) + ")";
        }
    }
    if (r.OutsideRuns.size() > kRangesShown || r.OutsideRunsCut) {
        text += r.OutsideRunsCut
                    ? ", and more"
                    : ", and " + std::to_string(r.OutsideRuns.size() - kRangesShown) + " more ranges";
    }
    return text;
}

// The words with named bits: the ones a file is expected to give.
uint32_t NamedWords(const CPicDevice& device) {
    uint32_t words = 0;
    for (int w = 0; w < device.ConfigWordCount(); ++w) {
        if (device.ConfigNamedMask[w] != 0) {
            words |= 1U << w;
        }
    }
    return words;
}

void CheckConfigPresence(const CHexFile& file, CPreflightReport& report) {
    const uint32_t expected = NamedWords(file);
    const uint32_t given = file.ReadReport.ConfigWordsLoaded & expected;
    if (expected == 0 || given == expected) {
        return;
    }
    std::vector<std::string> details;
    std::string names;
    for (int w = 0; w < file.ConfigWordCount(); ++w) {
        if ((expected >> w & 1) != 0 && (given >> w & 1) == 0) {
            details.push_back(DecodedConfigWord(file, w));
            names += (names.empty() ? "" : ", ") + ConfigWordName(file.CoreWidth, w);
        }
    }
    if (given == 0) {
        Add(report, EPreflightKind::NoConfig, EPreflightLevel::Warning,
            "the file holds no configuration words: the catalogue defaults will be written", details);
    } else {
        Add(report, EPreflightKind::PartialConfig, EPreflightLevel::Warning,
            "the file does not give " + names + ": the catalogue default will be written", details);
    }
}

std::string RiskText(const CConfigRiskFinding& f) {
    std::string what;
    switch (f.Risk) {
    case EConfigRisk::CodeProtect:
        what = "code protection is on: the chip will read as zeros";
        break;
    case EConfigRisk::DataProtect:
        what = "data EEPROM protection is on: the EEPROM will read as zeros";
        break;
    case EConfigRisk::BootProtect:
        what = "boot block protection is on";
        break;
    case EConfigRisk::WriteProtect:
        what = "write protection is on: the program cannot write its own flash there";
        break;
    case EConfigRisk::TableReadProtect:
        what = "table read protection is on: reads from other blocks give zeros";
        break;
    case EConfigRisk::LowVoltage:
        what = "low-voltage programming is on: the PGM pin must be held low, or the chip may stop "
               "running the program";
        break;
    case EConfigRisk::McLrOffInternalClock:
        what = "MCLR is off with the internal oscillator: entering programming mode again needs VPP "
               "before VDD";
        break;
    case EConfigRisk::Watchdog:
        what = "the watchdog timer is on: the program must clear it in time";
        break;
    case EConfigRisk::ExtendedInstructions:
        what = "the extended instruction set is on: code built for the standard set misbehaves";
        break;
    case EConfigRisk::Debugger:
        what = "the in-circuit debugger is on: its pins are taken and the chip will not run on its own";
        break;
    }
    std::string bits;
    for (const std::string& b : f.Bits) {
        bits += (bits.empty() ? "" : ", ") + b;
    }
    return what + " (" + bits + ")";
}

void CheckCalibration(const CHexFile& file, bool rewrite, CPreflightReport& report) {
    const CCalibration c = CalibrationOf(file);
    const bool word = c.HasWord && file.ReadReport.CalibrationWordLoaded;
    const bool bits = c.HasBits && (file.ReadReport.ConfigWordsLoaded >> c.BitsWord & 1) != 0;
    if (!word && !(rewrite && bits)) {
        return;
    }
    std::string what;
    if (word) {
        what = "a calibration word (" + Hex(c.Word, 4) + " at " +
               Hex(static_cast<uint32_t>(file.CalAddress), 4) + ")";
        if ((c.Word & 0x3F00) != 0x3400) {
            what += ", not a RETLW,";
        }
    }
    if (bits) {
        what += std::string(word ? " and " : "") + "calibration bits (" + Hex(c.Bits, 4) + " in " +
                ConfigWordName(file.CoreWidth, c.BitsWord) + ")";
    }
    if (rewrite) {
        Add(report, EPreflightKind::CalibrationWord, EPreflightLevel::Warning,
            "the file holds " + what +
                " that will replace the chip's factory calibration (calibration "
                "rewriting is allowed)");
    } else {
        Add(report, EPreflightKind::CalibrationWord, EPreflightLevel::Note,
            "the file holds " + what +
                "; the chip's own calibration is kept (it would be replaced with "
                "calibration rewriting allowed)");
    }
}

} // namespace

bool CPreflightReport::HasWarnings() const {
    for (const CPreflightFinding& f : Findings) {
        if (f.Level == EPreflightLevel::Warning) {
            return true;
        }
    }
    return false;
}

bool CPreflightReport::IsBad() const {
    for (const CPreflightFinding& f : Findings) {
        if (f.Level == EPreflightLevel::Bad) {
            return true;
        }
    }
    return false;
}

int CPreflightReport::Severity() const {
    return IsBad() ? 2 : HasWarnings() ? 1 : 0;
}

std::string DecodedConfigWord(const CPicDevice& image, int w) {
    const bool pic18 = image.CoreWidth == kCorePic18;
    std::string text = ConfigWordName(image.CoreWidth, w) + " " +
                       Hex(ConfigWordAddress(image.CoreWidth, w), pic18 ? 6 : 4) + " = " +
                       Hex(image.Config[w], pic18 ? 2 : 4) + ":";
    for (const CConfigBitLabel& bit : ConfigBitLabels(image, w)) {
        text += " " + bit.Name + "=" + std::to_string(image.Config[w] >> bit.Bit & 1);
    }
    return text;
}

CPreflightReport CheckLoadedFile(const CHexFile& file, bool rewriteCalibration) {
    CPreflightReport report;
    const CHexReadReport& r = file.ReadReport;
    if (r.DataRecords == 0) {
        Add(report, EPreflightKind::NoData, EPreflightLevel::Bad,
            "the file holds no data record: there is nothing to program (is it an Intel HEX file?)");
        return report;
    }
    if (r.OutsideBytes > 0) {
        Add(report, EPreflightKind::Outside, EPreflightLevel::Warning, OutsideText(file));
    }
    if (file.BadRecordCount > 0) {
        Add(report, EPreflightKind::BadRecords, EPreflightLevel::Warning,
            Plural(static_cast<uint64_t>(file.BadRecordCount), "line is", "lines are") +
                " not sound Intel HEX records (wrong checksum or malformed); they are applied as far as "
                "they can be read");
    }
    if (r.ShortRecords > 0) {
        Add(report, EPreflightKind::ShortRecords, EPreflightLevel::Warning,
            Plural(static_cast<uint64_t>(r.ShortRecords), "data record is", "data records are") +
                " cut short: the bytes missing from the line are written as 00");
    }
    if (!r.EndRecord) {
        Add(report, EPreflightKind::NoEnd, EPreflightLevel::Warning,
            "the file has no end-of-file record (:00000001FF): it may have been cut off");
    }
    CheckConfigPresence(file, report);
    for (const CConfigRiskFinding& risk : FindConfigRisks(file)) {
        Add(report, EPreflightKind::ConfigRisk, EPreflightLevel::Warning, RiskText(risk));
    }
    CheckCalibration(file, rewriteCalibration, report);
    return report;
}

CPreflightReport RunPreflight(const CPicDevice& device, const std::string& path, bool rewriteCalibration) {
    // The catalogue's defaults, as selecting the device gives them, whatever
    // the caller's image holds now: they are what a file without
    // configuration leaves in place.
    CHexFile file;
    file.AssignFrom(device);
    file.ParseLegend();
    for (uint32_t& id : file.UserId) {
        id = 0xFF;
    }
    if (!file.LoadHex(path)) {
        CPreflightReport report;
        Add(report, EPreflightKind::Unreadable, EPreflightLevel::Bad,
            "cannot read '" + path + "'" + ReadProblem(file.LastReadResult));
        return report;
    }
    return CheckLoadedFile(file, rewriteCalibration);
}
