// The text file a simulated chip is kept in between runs.
//
//   KVX3 simulated chip 1
//   model PIC16F877A
//   # comments run to the end of a line
//   <region> <count>
//   <count hexadecimal values, any number per line>
//   ...
//   end
//
// Every chip model writes its own regions; this file only offers the frame:
// the header, the model line, and a reader that splits the rest into words.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kSimChipFileHeader = "KVX3 simulated chip 1";

// The largest chip file read. A chip of 32 KB of PIC18 program memory is
// about 100 KB of text, so the largest program memory a record may have
// (128 KiB) comes to about 400 KB; 4 MiB leaves ten times that.
inline constexpr size_t kMaxSimChipFileBytes = 4 * 1024 * 1024;

// The words of a chip file after the model line (comments dropped), with the
// model name. False for a file that cannot be read, is not a plain file, is
// larger than kMaxSimChipFileBytes, or lacks the header or the model line;
// `readResult`, when given, says how the read of the file went.
struct CSimChipFileText {
    std::string Model;
    std::vector<std::string> Words;
};
bool ReadSimChipFile(const std::string& path, CSimChipFileText& text, EReadResult* readResult = nullptr);
// The same for the file's text.
bool ParseSimChipFile(std::string_view fileText, CSimChipFileText& text);

// Writes the text to the path through ReplaceFileSafely, so a crash never
// leaves half a chip behind. False when the file cannot be written (the old
// file is then as it was).
bool WriteSimChipFile(const std::string& path, const std::string& text);

// Reads the next word as a hexadecimal value of at most maxValue; false at the
// end or for anything else.
bool TakeHex(const std::vector<std::string>& words, size_t& pos, uint32_t maxValue, uint32_t& value);
// Reads the next word as a decimal count of at most maxValue.
bool TakeCount(const std::vector<std::string>& words, size_t& pos, uint32_t maxValue, uint32_t& value);
