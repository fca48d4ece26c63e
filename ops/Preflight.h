// The check of a hex file before it is written to a chip: everything in the
// file, or missing from it, that makes the chip end up other than its author
// meant, each as one finding with one line of text (and, for the
// configuration that will be written, the words decoded below it).
#pragma once

#include "device/PicDevice.h"
#include "image/HexFile.h"

#include <string>
#include <vector>

enum class EPreflightLevel {
    Note,    // worth knowing, nothing to confirm
    Warning, // the user should confirm it
    Bad,     // the file is no image to program
};

enum class EPreflightKind {
    Unreadable,      // the file cannot be read
    NoData,          // not one data record
    Outside,         // bytes outside every region of the device
    BadRecords,      // wrong checksums or malformed lines
    ShortRecords,    // records cut short
    NoEnd,           // no end-of-file record
    NoConfig,        // no configuration words: the defaults are written
    PartialConfig,   // some configuration words are missing: their defaults are written
    ConfigRisk,      // configuration a user should confirm
    CalibrationWord, // the file holds a calibration word (and bits)
};

struct CPreflightFinding {
    EPreflightKind Kind = EPreflightKind::Unreadable;
    EPreflightLevel Level = EPreflightLevel::Note;
    std::string Text;
    std::vector<std::string> Details; // lines shown below the text
};

struct CPreflightReport {
    std::vector<CPreflightFinding> Findings;
    bool HasWarnings() const;
    bool IsBad() const;
    // 0 nothing to confirm (notes at most), 1 warnings, 2 bad input.
    int Severity() const;
};

// Reads the file by the device's address map (the device's parameters and
// its default configuration and user ID, as selecting it gives them) and
// checks what it holds. With calibration rewriting allowed, a calibration
// word in the file would replace the chip's.
CPreflightReport RunPreflight(const CPicDevice& device, const std::string& path, bool rewriteCalibration);
// The same checks on a file image already loaded (its ReadReport and
// BadRecordCount as the load left them).
CPreflightReport CheckLoadedFile(const CHexFile& file, bool rewriteCalibration);

// A configuration word decoded as the grid names its bits:
// "CONFIG1 2007 = 3FFF: CP=1 ... FOSC0=1".
std::string DecodedConfigWord(const CPicDevice& image, int w);
