// The mid-range recipes' vocabulary: the 6-bit ICSP commands, the method
// numbers of the device record, the waits and the fixed sizes, shared by the
// engine's read, erase and write routines. Only the engine's sources include it.
#pragma once

#include "device/Bounds.h"
#include "writer/Packet.h"

#include <cstddef>
#include <cstdint>

namespace mid_range {

using writer_packet::kAnswerMedium;
using writer_packet::kAnswerShort;

// 6-bit mid-range ICSP commands.
enum : uint8_t {
    kLoadConfig = 0x00,
    kBulkSetup1 = 0x01,
    kLoadProgram = 0x02,
    kLoadData = 0x03,
    kReadProgram = 0x04,
    kReadData = 0x05,
    kIncrement = 0x06,
    kBulkSetup2 = 0x07,
    kBeginProgramming = 0x08,
    kBulkEraseProgram = 0x09,
    kEndProgramming0A = 0x0A,
    kBulkEraseData = 0x0B,
    kEndProgramming0E = 0x0E,
    kEndProgramming17 = 0x17,
    kBeginProgrammingOnly = 0x18,
    kChipErase = 0x1F,
};

// The device record's method numbers.
enum : int32_t {
    // WriteCycle: 1 and 2 write latch rows; 2 and 3 pick their own
    // end-programming command; 4 writes latch rows ended by 0x0A and its
    // discharge time (DS41204G, DS41287C); any other value writes word by
    // word.
    kWriteCycleLatch = 1,
    kWriteCycleLatchEnd17 = 2,
    kWriteCycleEnd0A = 3,
    kWriteCycleRowsEnd0A = 4,
    // EepromMethod: 1 begin-programming-only with an end command; 2 begin
    // programming with the 6 ms of an internally timed data write (DS41191D,
    // DS41196G, DS41204G, DS41287C); any other value uses begin
    // erase/programming with 10 ms.
    kEepromBeginOnly = 1,
    kEepromTimed6 = 2,
    // BlockWrite: 1 the configuration goes through the latches; 2 the user
    // IDs through the latches and the configuration words with begin
    // programming only (0x18) and the end command (DS40245B, DS39603C,
    // DS39607B, where 0x08 does not program them); any other value writes
    // them word by word.
    kConfigLatchStyle = 1,
    kConfigBeginOnly = 2,
    // EraseMethod; 6 is the chip erase with the 8 ms of DS39603C/DS39607B,
    // 7 the bulk erase with the 30 ms of DS30324B.
    kEraseBulk = 1,
    kEraseBulkLoaded = 2,
    kEraseBulkCycles = 3,
    kEraseChip = 4,
    kEraseBulkEnd = 5,
    kEraseChipLong = 6,
    kEraseBulkLong = 7,
};

// Answer lengths of the packets not read with one of the common ones.
constexpr size_t kAnswerToDeviceId = 21;   // the walk to the device ID step
constexpr size_t kAnswerProgramBlock = 63; // a program memory block
constexpr size_t kAnswerEepromBlock = 64;  // an EEPROM block

// Timed waits, in milliseconds.
constexpr unsigned kWordWriteMs = 4;        // before the read-back of a word write
constexpr unsigned kSlowCellMs = 4;         // host pause after a read-back that differs
constexpr unsigned kNoReadbackMs = 20;      // host pause after a word write without read-back
constexpr unsigned kLatchWriteMs = 2;       // a latch row's programming cycle
constexpr unsigned kProgramCycleMs = 10;    // begin erase/programming of one location
constexpr unsigned kProgramOnlyCycleMs = 4; // begin programming only, then end
constexpr unsigned kBulkEraseMs = 10;
constexpr unsigned kChipEraseMs = 4;
constexpr unsigned kRowProgramMs = 3;     // begin programming only of a row, before 0x0A or another end
constexpr unsigned kConfigProgramMs = 4;  // begin programming only of a configuration word
constexpr unsigned kDischargeUs = 100;    // TDIS after End Programming
constexpr unsigned kDataProgramMs = 6;    // an internally timed data EEPROM write
constexpr unsigned kChipEraseLongMs = 10; // a chip erase of at least 8 ms
constexpr unsigned kBulkEraseLongMs = 30; // the bulk erase of the 16F7x

// A program word takes two bytes of the image, low byte first.
constexpr size_t kWordBytes = 2;
constexpr uint32_t kBlankWord = 0x3FFF;
constexpr uint32_t kNoDeviceId = 0xFFFF;
constexpr uint32_t kIncrementsPerPacket = 30;
// A packet of nothing but Increment Address commands, as many as it holds.
constexpr uint32_t kIncrementBytes = 2;
constexpr uint32_t kIncrementsPerFullPacket = writer_packet::kMaxPacket / kIncrementBytes;
constexpr size_t kReadBlockBytes = 32; // 16 words
constexpr size_t kEepromBlock = 16;
constexpr size_t kUserIdWords = 4;
// A user ID word keeps its low four bits; the rest are written as ones.
constexpr uint32_t kUserIdBits = 0x0F;
constexpr uint32_t kUserIdFill = 0x3F80;
constexpr int32_t kMinRowBytes = 2;
constexpr size_t kMaxRowWords = bounds::kMaxMidRangeRowBytes / 2;
// The row size below which the user ID words are latched one by one.
constexpr int32_t kUserIdRowBytes = 8;

// Progress a configuration routine adds besides its word and latch writes.
constexpr int32_t kConfigProgress = 10;

// Increments after Load Configuration (address 0x2000): to 0x2004, where the
// device ID step starts; to 0x2006, the device ID; to 0x2007, the first
// configuration word.
constexpr int kIncrementsToIdStep = 4;
constexpr int kIncrementsToDeviceId = 6;
constexpr int kIncrementsToConfig = 7;

} // namespace mid_range
