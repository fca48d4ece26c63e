// The configuration words as data sheets and the configuration grid name
// them: the word's name and address, and the names of its bits as the legend
// gives them. The bits are those the legend's masks call named, so a label
// never names a bit that the grid, the checksum or the compare treat as
// absent.
#pragma once

#include "device/PicDevice.h"

#include <cstdint>
#include <string>
#include <vector>

// Takes the next legend token off the front of `cursor` and gives its inner
// text: everything after the token's first character up to the "]". With no
// "]" left, the result is empty and the cursor stays as it is (the walk of
// CDeviceList::NextLegendToken).
std::string TakeLegendToken(std::string& cursor);

// "CONFIG1L", "CONFIG1H", "CONFIG2L", ... on PIC18 (one register each);
// "CONFIG1", "CONFIG2", ... otherwise.
std::string ConfigWordName(int32_t coreWidth, int w);

struct CConfigBitLabel {
    int Bit = 0;              // bit number within the word
    std::string Name;         // as the grid shows it
    bool Protect = false;     // a code-protect bit (active low)
    bool Calibration = false; // a factory calibration bit
};

// The named bits of configuration word w, most significant first. Each word
// takes CoreWidth tokens of the legend, as ParseLegend reads it.
std::vector<CConfigBitLabel> ConfigBitLabels(const CPicDevice& device, int w);
