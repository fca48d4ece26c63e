// The rules by which two images are compared, region by region, and what
// follows from them: where two images first differ, and how much of an image
// is not blank.
//
// CompareImage is built on the finders here, so a report of the first
// difference can never name a region that CompareImage did not flag, nor miss
// one that it did.
#pragma once

#include "device/PicDevice.h"

#include <cstdint>

// --- the rules ---

// The parameters CompareImage checks before it compares any region: program
// memory size, core, EEPROM size and number of configuration words.
bool SameDeviceShape(const CPicDevice& a, const CPicDevice& b);
// The bits of a configuration word that exist on the core (0xFF, 0x3FFF, or
// 0xFFFF for any other core).
uint32_t ConfigWordMask(int32_t coreWidth);
// A configuration word as it is compared: its code-protect bits count as 1,
// so a chip written unprotected compares equal to a protected image.
uint32_t ComparedConfigWord(const CPicDevice& device, int w);
// How many user ID entries count (8 for PIC18, 4 for mid-range, 0 for any
// other core) and which bits of each (0xFF or 0x0F).
int UserIdCount(int32_t coreWidth);
uint32_t UserIdMask(int32_t coreWidth);

// The address of configuration word w or user ID entry i as the hex file and
// the data sheets give it (0x300000 + w / 0x200000 + i on PIC18, 0x2007 + w /
// 0x2000 + i otherwise).
uint32_t ConfigWordAddress(int32_t coreWidth, int w);
uint32_t UserIdAddress(int32_t coreWidth, int i);

// --- the first difference of one region ---

struct CImageDifference {
    bool Found = false;
    // Program memory: the word (mid-range) or byte (PIC18) address. EEPROM:
    // the byte. Configuration: the word number. User ID: the entry number.
    uint32_t Index = 0;
    // The values at Index: program words or bytes, EEPROM bytes, the stored
    // configuration words, the user ID entries under UserIdMask. A value
    // beyond the end of an image reads as blank (0 for a missing word).
    uint32_t Value = 0; // in the first image
    uint32_t Other = 0; // in the second image
};

// Each compares `image` with `other` by CompareImage's rule for the region
// and gives its first difference. The images are assumed to be of the same
// shape (SameDeviceShape); otherwise the result says little.
CImageDifference FirstProgramDifference(const CPicDevice& image, const CPicDevice& other);
CImageDifference FirstEepromDifference(const CPicDevice& image, const CPicDevice& other);
CImageDifference FirstConfigDifference(const CPicDevice& image, const CPicDevice& other);
CImageDifference FirstUserIdDifference(const CPicDevice& image, const CPicDevice& other);

// Every region at once: Flags are the VerifyFlags that CompareImage would
// leave in `image` (kVerifyDifferentDevice alone when the shapes differ, and
// then no region is compared).
struct CImageDifferences {
    int32_t Flags = 0;
    CImageDifference Program;
    CImageDifference Eeprom;
    CImageDifference Config;
    CImageDifference UserId;
};
CImageDifferences FindDifferences(const CPicDevice& image, const CPicDevice& other);

// --- blank counts ---

struct CBlankCounts {
    // Program words (mid-range) or bytes (PIC18) that are not blank, and the
    // address of the first of them (0 when there is none).
    uint32_t ProgramUsed = 0;
    uint32_t FirstProgramUsed = 0;
    // The factory calibration word was left out of the program count.
    bool CalibrationWordSkipped = false;
    // EEPROM bytes that are not 0xFF.
    uint32_t EepromUsed = 0;
    // Every user ID entry that counts holds its blank value under UserIdMask.
    bool UserIdBlank = true;
};

// How much of the image holds something other than the erased value. With
// skipCalibrationWord, the calibration word of a device that has one is not
// counted: it is the chip's, not the user's.
CBlankCounts CountNonBlank(const CPicDevice& image, bool skipCalibrationWord);
