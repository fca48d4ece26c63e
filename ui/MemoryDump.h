// The texts of the two memory dumps of the main window: the whole program
// memory and the whole EEPROM of an image, eight values to a line.
//
//   program: "%05X : %04X %04X %04X %04X %04X %04X %04X %04X \r\n"
//   EEPROM:  "%05X : %02X %02X %02X %02X %02X %02X %02X %02X \r\n"
//
// A program line holds sixteen bytes as eight little-endian words; its
// address counts bytes on a PIC18 and words on a mid-range device. Any other
// core gives an empty program text, a device without EEPROM an empty EEPROM
// text. An image whose size is not a whole number of lines ends in a shorter
// line: the words (or bytes) there are, and a lone last byte of a program
// image as two digits. Nothing beyond the image is read.
//
// The largest images give texts of megabytes, so the lines are written
// straight into one buffer of the final size.
#pragma once

#include <string>

class CPicDevice;

std::string FormatProgramDump(const CPicDevice& device);
std::string FormatEepromDump(const CPicDevice& device);
