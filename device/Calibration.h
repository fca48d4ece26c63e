// A chip's factory calibration as an image holds it: the oscillator
// calibration word in program memory (a RETLW on the parts that have one) and
// the calibration bits of a configuration word, both marked by the catalogue
// (CalAddress, the "c" tokens of the legend).
#pragma once

#include "device/PicDevice.h"

#include <cstdint>
#include <optional>

struct CCalibration {
    bool HasWord = false; // the device keeps a calibration word in program memory
    uint32_t Word = 0;
    // The calibration bits: those of the first configuration word that has
    // any (no catalogue device has them in more than one word).
    bool HasBits = false;
    int BitsWord = 0;
    uint32_t BitsMask = 0;
    uint32_t Bits = 0; // the word's value under BitsMask
    bool operator==(const CCalibration&) const = default;
};

// The device's calibration flag is set: its chips carry factory calibration.
bool IsCalibrated(const CPicDevice& device);
// What the image holds at the device's calibration places. A device without
// a word (or without bits) gives HasWord (HasBits) false.
CCalibration CalibrationOf(const CPicDevice& image);
// A mid-range calibration word that reads as erased: the chip has lost it.
constexpr bool IsBlankCalibrationWord(uint32_t word) {
    return (word & 0x3FFF) == 0x3FFF;
}

enum class ECalibrationCheck {
    Ok,
    NotCalibrated, // the device has no factory calibration
    NoWord,        // a word was given, but the device keeps none
    NotRetlw,      // the word is not a RETLW (0x34kk), which the oscillator calibration must be
    NoBits,        // bits were given, but the device has none
    BitsOutside,   // bits were given outside the device's calibration bits
    NothingGiven,
};
// Whether a word and bits may be written back as the chip's calibration.
ECalibrationCheck CheckCalibration(const CPicDevice& device, std::optional<uint32_t> word,
                                   std::optional<uint32_t> bits);
// Puts the word and the bits into the image at the device's places; a part
// the device does not have is left alone.
void PutCalibration(CPicDevice& image, std::optional<uint32_t> word, std::optional<uint32_t> bits);
