// The chip in an emulated writer's socket against an image, for the tests
// that program it through the libusb link.
#pragma once

#include "device/PicDevice.h"
#include "sim/SimChip.h"

#include <string>

// Where the chip's cells differ from the image ("" when they agree):
// configuration on its named bits, user IDs on the bits a chip keeps.
std::string ChipDifferences(ISimChip& chip, const CPicDevice& image);

// Program memory and EEPROM erased ("" when they are).
std::string NotBlank(ISimChip& chip, const CPicDevice& image);
