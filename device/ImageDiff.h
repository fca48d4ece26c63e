// A decoded difference of two images of the same device: where program
// memory, EEPROM and user ID differ, as runs of consecutive addresses, and
// which named configuration bits differ, by their legend names.
//
// Unlike CompareImage, which answers "may this chip pass as that image", the
// diff says everything a user can act on: code-protect bits count, and
// configuration bits the legend does not name ("[-]", "[x]" and bits without
// a token) do not, since they are no setting of the user's.
#pragma once

#include "device/PicDevice.h"

#include <cstdint>
#include <string>
#include <vector>

// Addresses First to Last, all of them differing.
struct CDiffRun {
    uint32_t First = 0;
    uint32_t Last = 0;
    uint32_t Count() const { return Last - First + 1; }
    bool operator==(const CDiffRun&) const = default;
};

struct CConfigBitDiff {
    int Word = 0;     // configuration word number
    int Bit = 0;      // bit number within it
    std::string Name; // as the configuration grid shows it
    uint32_t A = 0;   // the bit in the first image
    uint32_t B = 0;   // and in the second
};

struct CImageDiff {
    // The images are of different shapes (SameDeviceShape): nothing else was compared.
    bool DifferentDevice = false;
    // Program memory: word addresses on mid-range devices, byte addresses on PIC18.
    std::vector<CDiffRun> Program;
    uint32_t ProgramCount = 0;
    // EEPROM: byte offsets from the start of the EEPROM.
    std::vector<CDiffRun> Eeprom;
    uint32_t EepromCount = 0;
    // User ID entries (0 = ID 1), under the core's ID mask.
    std::vector<CDiffRun> UserId;
    std::vector<CConfigBitDiff> ConfigBits;
    bool Equal() const;
};

// Compares `a` with `b` region by region. With skipCalibration the factory
// calibration word and bits of a calibrated device are left out, as a verify
// leaves them out when the chip's own calibration is kept.
CImageDiff DiffImages(const CPicDevice& a, const CPicDevice& b, bool skipCalibration);
