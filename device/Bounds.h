// The largest sizes this system accepts from a device record.
//
// The catalogue is a plain text file that anyone may edit, and none of its
// numbers is range-tested when it is read. These limits are where a record's
// sizes are clipped: AllocProgram and AllocEeprom clip the memory sizes before
// they allocate (so no record can ever own a buffer larger than a real device
// needs), and LoadDevice clips the row size. They are the largest figures of
// real devices of each family and what the writer's packets can carry.
#pragma once

#include <cstdint>

namespace bounds {

// 14-bit core: hex byte address 0x4000 (word 0x2000) starts the configuration
// space, so program memory can never be larger than 8K words.
constexpr uint32_t kMaxMidRangeWords = 0x2000;
// PIC18: the largest flash PIC18 parts have 128 KiB of program memory.
constexpr uint32_t kMaxPic18Bytes = 128 * 1024;
// Data EEPROM: mid-range parts address it with an 8-bit EEADR; PIC18 parts
// have at most 1 KiB.
constexpr uint32_t kMaxMidRangeEeprom = 256;
constexpr uint32_t kMaxPic18Eeprom = 1024;
// Mid-range latch rows: the row-write packet holds at most 11 words.
constexpr int32_t kMaxMidRangeRowBytes = 22;
// PIC18 write buffers are at most 64 bytes; the engine itself always moves
// 8-byte blocks.
constexpr int32_t kMaxPic18RowBytes = 64;
// The mid-range configuration packets hold at most six words.
constexpr int kMaxMidRangeConfigWords = 6;
// PIC18 configuration bytes 0x300000 to 0x30000D.
constexpr int kMaxPic18ConfigBytes = 14;
// The core width only counts the legend tokens of one configuration word,
// one per bit, and a word is held in 32 bits; the widest real core (14 bits)
// is far below. A wider figure would only drive the legend loops (a core
// width of 2^31 - 1 once kept the reader busy for minutes), so LoadDevice
// clips it here, and the loops clip it again for records set up by hand.
constexpr int32_t kMaxCoreWidth = 32;

} // namespace bounds
