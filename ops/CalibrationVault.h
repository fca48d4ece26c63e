// The calibration vault: a plain text log of every factory calibration read
// from a calibrated chip, so that a chip whose calibration was lost (erased
// with calibration rewriting allowed, or by another tool) can have it
// written back.
//
// One line an entry, fields separated by TABs:
//   2024-05-01 14:22:05<TAB>PIC12F675<TAB>word=345C<TAB>bits=2000
// The time is local; word is the oscillator calibration word, bits the
// calibration bits of the configuration word under their mask; either may be
// missing for a device without one. A line that does not read so is damaged:
// it is kept in the file as it is and skipped when reading.
//
// The vault cannot tell two chips of one type apart: it lists what was read
// from chips of that type, newest last.
#pragma once

#include "ops/SafetyFiles.h"

#include <cstdint>
#include <string>
#include <vector>

struct CVaultEntry {
    CStamp Time;
    std::string Device;
    bool HasWord = false;
    uint32_t Word = 0;
    bool HasBits = false;
    uint32_t Bits = 0;
    // The same calibration (the time aside).
    bool SameValue(const CVaultEntry& other) const;
};

struct CVaultContents {
    bool Readable = true;             // false: the file exists but cannot be read (or is absurdly large)
    std::vector<CVaultEntry> Entries; // in file order, oldest first
    int DamagedLines = 0;
};

// The vault's file in the safety folder.
std::string VaultPath(const std::string& safetyFolder);

std::string FormatVaultLine(const CVaultEntry& entry); // without the line end
// False for a damaged line (entry then unspecified).
bool ParseVaultLine(const std::string& line, CVaultEntry& entry);

// A missing file is an empty vault.
CVaultContents ReadVault(const std::string& path);

enum class EVaultAppend {
    Appended,
    Repeated, // the device's last entry holds the same calibration: nothing written
    Failed,   // the folder or the file could not be written (or read first)
};
// Adds the entry at the end through the safe replace, creating the folder
// when needed; damaged lines already there stay as they are.
EVaultAppend AppendToVault(const std::string& path, const CVaultEntry& entry);

// The last `count` entries of the device, newest first.
std::vector<CVaultEntry> RecentEntries(const CVaultContents& vault, const std::string& device, size_t count);
