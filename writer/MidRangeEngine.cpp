// The mid-range engine's recipes.
//
// Sizes from the device record are clipped here before they shape a packet:
// the latch row to 2..22 bytes (even), the configuration words to six, and
// every memory loop to the image buffer it reads or fills. A memory whose size
// is not a whole number of blocks gets a last, shorter packet built by the
// same recipe with fewer commands.
#include "writer/MidRangeEngine.h"

#include "device/Bounds.h"

#include <algorithm>

namespace {

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

} // namespace

// ------------------------------------------------------------------ helpers

uint8_t CMidRangeEngine::EndCommand() const {
    switch (m_device.WriteCycle) {
    case kWriteCycleLatchEnd17:
        return kEndProgramming17;
    case kWriteCycleEnd0A:
    case kWriteCycleRowsEnd0A:
        return kEndProgramming0A;
    default:
        return kEndProgramming0E;
    }
}

int CMidRangeEngine::ConfigWords() const {
    return std::min(m_device.ConfigWordCount(), bounds::kMaxMidRangeConfigWords);
}

int CMidRangeEngine::RowBytes() const {
    // Never 0 (the write loop steps by it) and never more than a packet holds.
    const int32_t row =
        std::clamp<int32_t>(m_device.WriteBlockBytes, kMinRowBytes, bounds::kMaxMidRangeRowBytes);
    return row & ~1;
}

uint32_t CMidRangeEngine::CalibrationAddress() const {
    // An address outside the image means no calibration word: the address is
    // never advanced beyond program memory and no byte outside the image moves.
    const size_t words = ProgramLimit() / 2;
    if (m_device.CalAddress <= 0 || static_cast<size_t>(m_device.CalAddress) >= words) {
        return 0;
    }
    return static_cast<uint32_t>(m_device.CalAddress);
}

uint32_t CMidRangeEngine::ImageWord(size_t byteOffset) const {
    const size_t limit = ProgramLimit();
    const uint32_t low = byteOffset < limit ? m_device.ProgramData[byteOffset] : (kBlankWord & 0xFF);
    const uint32_t high = byteOffset + 1 < limit ? m_device.ProgramData[byteOffset + 1] : (kBlankWord >> 8);
    return low | high << 8;
}

// ---------------------------------------------------------- building blocks

void CMidRangeEngine::DeviceIdStep() {
    CPacket p;
    p.MidCommand(kIncrement).MidCommand(kIncrement).MidRead(kReadProgram).MidCommand(kIncrement);
    CAnswer a;
    Exchange(p, kAnswerMedium, &a);
    const uint32_t id = DecodeMidWord(a[0], a[1]);
    m_device.DeviceId = id == kBlankWord ? kNoDeviceId : id;
}

void CMidRangeEngine::Advance(uint32_t n) {
    for (uint32_t i = 0; i < n / kIncrementsPerPacket; ++i) {
        CPacket p;
        for (uint32_t k = 0; k < kIncrementsPerPacket; ++k) {
            p.MidCommand(kIncrement);
        }
        Exchange(p, kAnswerMedium);
    }
    for (uint32_t i = 0; i < n % kIncrementsPerPacket; ++i) {
        CPacket p;
        p.MidCommand(kIncrement);
        Exchange(p, kAnswerMedium);
    }
}

void CMidRangeEngine::WordWrite(uint32_t word) {
    CPacket p;
    if (m_device.DeviceId == kNoDeviceId) {
        // A chip without device ID is not read back; it gets a fixed pause.
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming);
        Exchange(p, kAnswerShort);
        HostWait(kNoReadbackMs);
    } else {
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming).Wait(WaitValue(kWordWriteMs));
        p.MidRead(kReadProgram);
        CAnswer a;
        Exchange(p, kAnswerShort, &a);
        const uint32_t back = DecodeMidWord(a[0], a[1]);
        if ((back & 0xFF) != (word & 0xFF) || ((back >> 8) & 0x3F) != ((word >> 8) & 0xFF)) {
            HostWait(kSlowCellMs); // give a slow cell a little more time
        }
    }
    CPacket next;
    next.MidCommand(kIncrement);
    Exchange(next, kAnswerShort);
    AddProgress(static_cast<int32_t>(kWordBytes));
}

void CMidRangeEngine::LatchWrite(const uint32_t* words, size_t count, int32_t progress) {
    count = std::min(count, kMaxRowWords);
    if (count == 0) {
        return;
    }
    CPacket load;
    for (size_t i = 0; i < count; ++i) {
        load.MidLoad(kLoadProgram, words[i]);
        if (i + 1 < count) {
            load.MidCommand(kIncrement);
        }
    }
    Exchange(load, kAnswerShort);
    CPacket program;
    program.MidCommand(kBeginProgrammingOnly).Wait(WaitValue(kLatchWriteMs)).MidCommand(EndCommand());
    program.MidCommand(kIncrement);
    Exchange(program, kAnswerShort);
    AddProgress(progress);
}

void CMidRangeEngine::LongWait(CPacket& packet, unsigned ms) const {
    for (; ms > writer_packet::kLongestWaitMs; ms -= writer_packet::kLongestWaitMs) {
        packet.Wait(WaitValue(writer_packet::kLongestWaitMs));
    }
    packet.Wait(WaitValue(ms));
}

void CMidRangeEngine::EndedCycle(CPacket& packet, unsigned ms) const {
    packet.MidCommand(kBeginProgrammingOnly).Wait(WaitValue(ms)).MidCommand(EndCommand());
    packet.Wait(WaitValueUs(kDischargeUs)).MidCommand(kIncrement);
}

void CMidRangeEngine::RowWrite(const uint32_t* words, size_t count, int32_t progress) {
    count = std::min(count, kMaxRowWords);
    if (count == 0) {
        return;
    }
    CPacket load;
    for (size_t i = 0; i < count; ++i) {
        load.MidLoad(kLoadProgram, words[i]);
        if (i + 1 < count) {
            load.MidCommand(kIncrement);
        }
    }
    CPacket program;
    EndedCycle(program, kRowProgramMs);
    // A row of up to eight words goes with its programming cycle in one packet.
    if (load.Size() + program.Size() <= writer_packet::kMaxPacket) {
        EndedCycle(load, kRowProgramMs);
        Exchange(load, kAnswerShort);
    } else {
        Exchange(load, kAnswerShort);
        Exchange(program, kAnswerShort);
    }
    AddProgress(progress);
}

void CMidRangeEngine::EraseCycle() {
    CPacket p;
    p.MidCommand(kBulkSetup1).MidCommand(kBulkSetup2).MidCommand(kBeginProgramming);
    p.Wait(WaitValue(kBulkEraseMs));
    p.MidCommand(kBulkSetup1).MidCommand(kBulkSetup2);
    Exchange(p, kAnswerShort);
}

void CMidRangeEngine::ProtectedErase() {
    CPacket p;
    p.MidLoad(kLoadConfig, kBlankWord);
    for (int i = 0; i < kIncrementsToConfig; ++i) {
        p.MidCommand(kIncrement);
    }
    Exchange(p, kAnswerShort);
    EraseCycle();
}

// --------------------------------------------------------------------- reads

void CMidRangeEngine::ReadDeviceId() {
    CPacket p;
    p.MidLoad(kLoadConfig, 0);
    for (int i = 0; i < kIncrementsToIdStep; ++i) {
        p.MidCommand(kIncrement);
    }
    Exchange(p, kAnswerToDeviceId);
    DeviceIdStep();
}

void CMidRangeEngine::ReadConfig() {
    CPacket ids;
    ids.MidLoad(kLoadConfig, 0);
    for (size_t i = 0; i < kUserIdWords; ++i) {
        ids.MidRead(kReadProgram).MidCommand(kIncrement);
    }
    CAnswer a;
    Exchange(ids, kAnswerMedium, &a);
    for (size_t i = 0; i < kUserIdWords; ++i) {
        m_device.UserId[i] = (a[2 * i] >> 1) & kUserIdBits;
    }

    DeviceIdStep();

    const int words = ConfigWords();
    if (words > 0) {
        CPacket cfg;
        cfg.MidRead(kReadProgram);
        for (int i = 1; i < words; ++i) {
            cfg.MidCommand(kIncrement).MidRead(kReadProgram);
        }
        Exchange(cfg, kAnswerMedium, &a);
        for (int i = 0; i < words; ++i) {
            m_device.Config[i] = DecodeMidWord(a[2 * i], a[2 * i + 1]);
        }
    }
    AddProgress(kConfigProgress);
}

void CMidRangeEngine::ReadProgram() {
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kReadBlockBytes) {
        const size_t bytes = std::min(kReadBlockBytes, limit - offset);
        const size_t words = (bytes + 1) / 2;
        CPacket p;
        for (size_t j = 0; j < words; ++j) {
            p.MidRead(kReadProgram).MidCommand(kIncrement);
        }
        CAnswer a;
        Exchange(p, kAnswerProgramBlock, &a);
        for (size_t j = 0; j < words; ++j) {
            const uint32_t w = DecodeMidWord(a[2 * j], a[2 * j + 1]);
            const size_t at = offset + 2 * j;
            m_device.ProgramData[at] = static_cast<uint8_t>(w & 0xFF);
            if (at + 1 < limit) {
                m_device.ProgramData[at + 1] = static_cast<uint8_t>(w >> 8);
            }
        }
        AddProgress(static_cast<int32_t>(bytes));
    }
}

void CMidRangeEngine::ReadEeprom() {
    const size_t limit = EepromLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kEepromBlock) {
        const size_t count = std::min(kEepromBlock, limit - offset);
        CPacket p;
        for (size_t j = 0; j < count; ++j) {
            p.MidRead(kReadData).MidCommand(kIncrement);
        }
        CAnswer a;
        Exchange(p, kAnswerEepromBlock, &a);
        for (size_t j = 0; j < count; ++j) {
            m_device.EepromData[offset + j] = DecodeMidByte(a[2 * j], a[2 * j + 1]);
        }
        AddProgress(static_cast<int32_t>(count));
    }
}

void CMidRangeEngine::ReadCalibration() {
    const uint32_t cal = CalibrationAddress();
    if (cal != 0) {
        Framed([this, cal] {
            Advance(cal);
            CPacket p;
            p.MidRead(kReadProgram);
            CAnswer a;
            Exchange(p, kAnswerMedium, &a);
            const uint32_t w = DecodeMidWord(a[0], a[1]);
            m_device.ProgramData[2 * cal] = static_cast<uint8_t>(w & 0xFF);
            m_device.ProgramData[2 * cal + 1] = static_cast<uint8_t>(w >> 8);
        });
    }
    Framed([this] {
        CPacket p;
        p.MidLoad(kLoadConfig, 0);
        for (int i = 0; i < kIncrementsToDeviceId; ++i) {
            p.MidCommand(kIncrement);
        }
        Exchange(p, kAnswerMedium);
        for (int i = 0; i < ConfigWords(); ++i) {
            CPacket q;
            q.MidCommand(kIncrement).MidRead(kReadProgram);
            CAnswer a;
            Exchange(q, kAnswerMedium, &a);
            const uint32_t mask = m_device.ConfigCalMask[i];
            if (mask != 0) {
                m_device.Config[i] = (m_device.Config[i] & ~mask) | (DecodeMidWord(a[0], a[1]) & mask);
            }
        }
    });
}

// -------------------------------------------------------------------- writes

void CMidRangeEngine::WriteProgram() {
    const size_t limit = ProgramLimit();
    const bool rows = m_device.WriteCycle == kWriteCycleRowsEnd0A;
    if (rows || m_device.WriteCycle == kWriteCycleLatch || m_device.WriteCycle == kWriteCycleLatchEnd17) {
        const size_t row = static_cast<size_t>(RowBytes());
        for (size_t offset = 0; offset < limit && MayContinue(); offset += row) {
            const size_t bytes = std::min(row, limit - offset);
            const size_t words = (bytes + 1) / 2;
            uint32_t latch[kMaxRowWords] = {};
            for (size_t j = 0; j < words; ++j) {
                latch[j] = ImageWord(offset + 2 * j);
            }
            if (rows) {
                RowWrite(latch, words, static_cast<int32_t>(bytes));
            } else {
                LatchWrite(latch, words, static_cast<int32_t>(bytes));
            }
        }
    } else {
        for (size_t offset = 0; offset < limit && MayContinue(); offset += kWordBytes) {
            WordWrite(ImageWord(offset));
        }
    }
}

void CMidRangeEngine::WriteEeprom() {
    const size_t limit = EepromLimit();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        const uint8_t b = m_device.EepromData[a];
        CPacket p;
        if (m_device.EepromMethod == kEepromBeginOnly) {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgrammingOnly).Wait(WaitValue(kProgramOnlyCycleMs));
            p.MidCommand(kEndProgramming17).MidCommand(kIncrement);
        } else if (m_device.EepromMethod == kEepromTimed6) {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgramming).Wait(WaitValue(kDataProgramMs));
            p.MidCommand(kIncrement);
        } else {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgramming).Wait(WaitValue(kProgramCycleMs));
            p.MidCommand(kIncrement);
        }
        Exchange(p, kAnswerShort);
        AddProgress(1);
    }
}

void CMidRangeEngine::WriteConfig(bool bProtect) {
    uint32_t ids[kUserIdWords];
    for (size_t i = 0; i < kUserIdWords; ++i) {
        ids[i] = kUserIdFill | (m_device.UserId[i] & kUserIdBits);
    }
    const int words = ConfigWords();
    // Without protection the code-protect bits are written unprotected, so
    // the chip stays readable for the verify that follows.
    auto value = [&](int i) {
        return bProtect ? m_device.Config[i] : m_device.Config[i] | m_device.ConfigProtectMask[i];
    };

    CPacket start;
    start.MidLoad(kLoadConfig, 0);
    Exchange(start, kAnswerShort);

    if (m_device.BlockWrite == kConfigBeginOnly) {
        if (m_device.WriteBlockBytes < kUserIdRowBytes) {
            for (const uint32_t& id : ids) {
                RowWrite(&id, 1, 1);
            }
        } else {
            RowWrite(ids, kUserIdWords, static_cast<int32_t>(kWordBytes * kUserIdWords));
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i));
            EndedCycle(p, kConfigProgramMs);
            Exchange(p, kAnswerShort);
        }
    } else if (m_device.BlockWrite != kConfigLatchStyle) {
        for (uint32_t id : ids) {
            WordWrite(id);
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i)).MidCommand(kBeginProgramming).Wait(WaitValue(kProgramCycleMs));
            p.MidCommand(kIncrement);
            Exchange(p, kAnswerShort);
        }
    } else {
        if (m_device.WriteBlockBytes < kUserIdRowBytes) {
            for (const uint32_t& id : ids) {
                LatchWrite(&id, 1, 1);
            }
        } else {
            LatchWrite(ids, kUserIdWords, static_cast<int32_t>(kWordBytes * kUserIdWords));
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i))
                .MidCommand(kBeginProgramming)
                .Wait(WaitValue(kProgramOnlyCycleMs));
            p.MidCommand(EndCommand()).MidCommand(kIncrement);
            Exchange(p, kAnswerShort);
        }
    }
    AddProgress(kConfigProgress);
}

void CMidRangeEngine::WriteCalibration() {
    // Without a calibration word only the configuration (with the chip's
    // calibration bits) is written back.
    const uint32_t cal = CalibrationAddress();
    if (cal != 0) {
        Framed([this, cal] {
            Advance(cal);
            WordWrite(ImageWord(2 * static_cast<size_t>(cal)));
        });
    }
    Framed([this] { WriteConfig(false); });
}

// --------------------------------------------------------------------- erase

bool CMidRangeEngine::HasEraseMethod() const {
    return m_device.EraseMethod >= kEraseBulk && m_device.EraseMethod <= kEraseBulkLong;
}

void CMidRangeEngine::Erase() {
    const bool eeprom = m_device.EepromSize != 0;
    CPacket p;
    switch (m_device.EraseMethod) {
    case kEraseBulk:
        p.MidLoad(kLoadConfig, 0).MidCommand(kBulkEraseProgram).Wait(WaitValue(kBulkEraseMs));
        Exchange(p, kAnswerShort);
        if (eeprom) {
            CPacket q;
            q.MidCommand(kBulkEraseData).Wait(WaitValue(kBulkEraseMs));
            Exchange(q, kAnswerShort);
        }
        break;
    case kEraseBulkLoaded:
        p.MidLoad(kLoadProgram, kBlankWord).MidCommand(kBulkEraseProgram).MidCommand(kBeginProgramming);
        p.Wait(WaitValue(kBulkEraseMs));
        Exchange(p, kAnswerShort);
        if (eeprom) {
            CPacket q;
            q.MidLoad(kLoadData, kBlankWord).MidCommand(kBulkEraseData).MidCommand(kBeginProgramming);
            q.Wait(WaitValue(kBulkEraseMs));
            Exchange(q, kAnswerShort);
        }
        ProtectedErase();
        break;
    case kEraseBulkCycles:
        p.MidLoad(kLoadProgram, kBlankWord);
        Exchange(p, kAnswerShort);
        EraseCycle();
        if (eeprom) {
            CPacket q;
            q.MidLoad(kLoadData, kBlankWord);
            Exchange(q, kAnswerShort);
            EraseCycle();
        }
        ProtectedErase();
        break;
    case kEraseChip:
        p.MidLoad(kLoadConfig, kBlankWord).MidCommand(kChipErase).Wait(WaitValue(kChipEraseMs));
        Exchange(p, kAnswerShort);
        break;
    case kEraseBulkEnd:
        p.MidLoad(kLoadConfig, kBlankWord).MidCommand(kBulkEraseProgram).MidCommand(kEndProgramming0E);
        p.Wait(WaitValue(kChipEraseMs));
        Exchange(p, kAnswerShort);
        break;
    case kEraseChipLong:
        p.MidLoad(kLoadConfig, kBlankWord).MidCommand(kChipErase).Wait(WaitValue(kChipEraseLongMs));
        Exchange(p, kAnswerShort);
        break;
    case kEraseBulkLong:
        p.MidLoad(kLoadConfig, 0).MidCommand(kBulkEraseProgram);
        LongWait(p, kBulkEraseLongMs);
        Exchange(p, kAnswerShort);
        if (eeprom) {
            CPacket q;
            q.MidCommand(kBulkEraseData);
            LongWait(q, kBulkEraseLongMs);
            Exchange(q, kAnswerShort);
        }
        break;
    default:
        break;
    }
}
