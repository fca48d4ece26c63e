// The mid-range (14-bit core) engine: the 6-bit ICSP command set of the
// PIC12/PIC16 flash parts, batched into writer packets.
//
// Sizes from the device record are clipped here before they shape a packet:
// the latch row to 2..22 bytes (even), the configuration words to six, and
// every memory loop to the image buffer it reads or fills. A memory whose size
// is not a whole number of blocks gets a last, shorter packet built by the
// same recipe with fewer commands.
#include "device/Bounds.h"
#include "writer/Writer.h"

#include <algorithm>

namespace {

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

constexpr uint32_t kBlankWord = 0x3FFF;
constexpr uint32_t kNoDeviceId = 0xFFFF;
constexpr uint32_t kIncrementsPerPacket = 30;
constexpr size_t kReadBlockBytes = 32; // 16 words
constexpr size_t kEepromBlock = 16;
constexpr size_t kUserIdWords = 4;
constexpr size_t kMaxRowWords = bounds::kMaxMidRangeRowBytes / 2;

} // namespace

// ------------------------------------------------------------------ helpers

uint8_t CWriter::MidEndCommand() const {
    switch (WriteCycle) {
    case 2:
        return kEndProgramming17;
    case 3:
        return kEndProgramming0A;
    default:
        return kEndProgramming0E;
    }
}

int CWriter::MidConfigWords() const {
    return std::min(ConfigWordCount(), bounds::kMaxMidRangeConfigWords);
}

int CWriter::MidRowBytes() const {
    // Never 0 (the write loop steps by it) and never more than a packet holds.
    const int32_t row = std::clamp<int32_t>(WriteBlockBytes, 2, bounds::kMaxMidRangeRowBytes);
    return row & ~1;
}

uint32_t CWriter::MidCalAddress() const {
    // An address outside the image means no calibration word: the address is
    // never advanced beyond program memory and no byte outside the image moves.
    const size_t words = ProgramLimit() / 2;
    if (CalAddress <= 0 || static_cast<size_t>(CalAddress) >= words) {
        return 0;
    }
    return static_cast<uint32_t>(CalAddress);
}

uint32_t CWriter::MidImageWord(size_t byteOffset) const {
    const size_t limit = ProgramLimit();
    const uint32_t low = byteOffset < limit ? ProgramData[byteOffset] : (kBlankWord & 0xFF);
    const uint32_t high = byteOffset + 1 < limit ? ProgramData[byteOffset + 1] : (kBlankWord >> 8);
    return low | high << 8;
}

// ---------------------------------------------------------- building blocks

void CWriter::MidDeviceIdStep() {
    CPacket p;
    p.MidCommand(kIncrement).MidCommand(kIncrement).MidRead(kReadProgram).MidCommand(kIncrement);
    CAnswer a;
    Exchange(p, 19, &a);
    const uint32_t id = DecodeMidWord(a[0], a[1]);
    DeviceId = id == kBlankWord ? kNoDeviceId : id;
}

void CWriter::MidAdvance(uint32_t n) {
    for (uint32_t i = 0; i < n / kIncrementsPerPacket; ++i) {
        CPacket p;
        for (uint32_t k = 0; k < kIncrementsPerPacket; ++k) {
            p.MidCommand(kIncrement);
        }
        Exchange(p, 19);
    }
    for (uint32_t i = 0; i < n % kIncrementsPerPacket; ++i) {
        CPacket p;
        p.MidCommand(kIncrement);
        Exchange(p, 19);
    }
}

void CWriter::MidWordWrite(uint32_t word) {
    CPacket p;
    if (DeviceId == kNoDeviceId) {
        // A chip without device ID is not read back; it gets a fixed pause.
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming);
        Exchange(p, 10);
        HostWait(20);
    } else {
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming).Wait(WaitValue(4)).MidRead(kReadProgram);
        CAnswer a;
        Exchange(p, 10, &a);
        const uint32_t back = DecodeMidWord(a[0], a[1]);
        if ((back & 0xFF) != (word & 0xFF) || ((back >> 8) & 0x3F) != ((word >> 8) & 0xFF)) {
            HostWait(4); // give a slow cell a little more time
        }
    }
    CPacket next;
    next.MidCommand(kIncrement);
    Exchange(next, 10);
    AddProgress(2);
}

void CWriter::MidLatchWrite(const uint32_t* words, size_t count, int32_t progress) {
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
    Exchange(load, 10);
    CPacket program;
    program.MidCommand(kBeginProgrammingOnly).Wait(WaitValue(2)).MidCommand(MidEndCommand());
    program.MidCommand(kIncrement);
    Exchange(program, 10);
    AddProgress(progress);
}

void CWriter::MidEraseCycle() {
    CPacket p;
    p.MidCommand(kBulkSetup1).MidCommand(kBulkSetup2).MidCommand(kBeginProgramming).Wait(WaitValue(10));
    p.MidCommand(kBulkSetup1).MidCommand(kBulkSetup2);
    Exchange(p, 10);
}

void CWriter::MidProtectedErase() {
    CPacket p;
    p.MidLoad(kLoadConfig, kBlankWord);
    for (int i = 0; i < 7; ++i) {
        p.MidCommand(kIncrement);
    }
    Exchange(p, 10);
    MidEraseCycle();
}

// --------------------------------------------------------------------- reads

void CWriter::MidReadDeviceId() {
    CPacket p;
    p.MidLoad(kLoadConfig, 0);
    for (int i = 0; i < 4; ++i) {
        p.MidCommand(kIncrement);
    }
    Exchange(p, 21);
    MidDeviceIdStep();
}

void CWriter::MidReadConfig() {
    CPacket ids;
    ids.MidLoad(kLoadConfig, 0);
    for (size_t i = 0; i < kUserIdWords; ++i) {
        ids.MidRead(kReadProgram).MidCommand(kIncrement);
    }
    CAnswer a;
    Exchange(ids, 19, &a);
    for (size_t i = 0; i < kUserIdWords; ++i) {
        UserId[i] = (a[2 * i] >> 1) & 0x0F;
    }

    MidDeviceIdStep();

    const int words = MidConfigWords();
    if (words > 0) {
        CPacket cfg;
        cfg.MidRead(kReadProgram);
        for (int i = 1; i < words; ++i) {
            cfg.MidCommand(kIncrement).MidRead(kReadProgram);
        }
        Exchange(cfg, 19, &a);
        for (int i = 0; i < words; ++i) {
            Config[i] = DecodeMidWord(a[2 * i], a[2 * i + 1]);
        }
    }
    AddProgress(10);
}

void CWriter::MidReadProgram() {
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kReadBlockBytes) {
        const size_t bytes = std::min(kReadBlockBytes, limit - offset);
        const size_t words = (bytes + 1) / 2;
        CPacket p;
        for (size_t j = 0; j < words; ++j) {
            p.MidRead(kReadProgram).MidCommand(kIncrement);
        }
        CAnswer a;
        Exchange(p, 63, &a);
        for (size_t j = 0; j < words; ++j) {
            const uint32_t w = DecodeMidWord(a[2 * j], a[2 * j + 1]);
            const size_t at = offset + 2 * j;
            ProgramData[at] = static_cast<uint8_t>(w & 0xFF);
            if (at + 1 < limit) {
                ProgramData[at + 1] = static_cast<uint8_t>(w >> 8);
            }
        }
        AddProgress(static_cast<int32_t>(bytes));
    }
}

void CWriter::MidReadEeprom() {
    const size_t limit = EepromLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kEepromBlock) {
        const size_t count = std::min(kEepromBlock, limit - offset);
        CPacket p;
        for (size_t j = 0; j < count; ++j) {
            p.MidRead(kReadData).MidCommand(kIncrement);
        }
        CAnswer a;
        Exchange(p, 64, &a);
        for (size_t j = 0; j < count; ++j) {
            EepromData[offset + j] = DecodeMidByte(a[2 * j], a[2 * j + 1]);
        }
        AddProgress(static_cast<int32_t>(count));
    }
}

void CWriter::MidReadCalibration() {
    const uint32_t cal = MidCalAddress();
    if (cal != 0) {
        Framed([this, cal] {
            MidAdvance(cal);
            CPacket p;
            p.MidRead(kReadProgram);
            CAnswer a;
            Exchange(p, 19, &a);
            const uint32_t w = DecodeMidWord(a[0], a[1]);
            ProgramData[2 * cal] = static_cast<uint8_t>(w & 0xFF);
            ProgramData[2 * cal + 1] = static_cast<uint8_t>(w >> 8);
        });
    }
    Framed([this] {
        CPacket p;
        p.MidLoad(kLoadConfig, 0);
        for (int i = 0; i < 6; ++i) {
            p.MidCommand(kIncrement);
        }
        Exchange(p, 19);
        for (int i = 0; i < MidConfigWords(); ++i) {
            CPacket q;
            q.MidCommand(kIncrement).MidRead(kReadProgram);
            CAnswer a;
            Exchange(q, 19, &a);
            const uint32_t mask = ConfigCalMask[i];
            if (mask != 0) {
                Config[i] = (Config[i] & ~mask) | (DecodeMidWord(a[0], a[1]) & mask);
            }
        }
    });
}

// -------------------------------------------------------------------- writes

void CWriter::MidWriteProgram() {
    const size_t limit = ProgramLimit();
    if (WriteCycle == 1 || WriteCycle == 2) {
        const size_t row = static_cast<size_t>(MidRowBytes());
        for (size_t offset = 0; offset < limit && MayContinue(); offset += row) {
            const size_t bytes = std::min(row, limit - offset);
            const size_t words = (bytes + 1) / 2;
            uint32_t latch[kMaxRowWords] = {};
            for (size_t j = 0; j < words; ++j) {
                latch[j] = MidImageWord(offset + 2 * j);
            }
            MidLatchWrite(latch, words, static_cast<int32_t>(bytes));
        }
    } else {
        for (size_t offset = 0; offset < limit && MayContinue(); offset += 2) {
            MidWordWrite(MidImageWord(offset));
        }
    }
}

void CWriter::MidWriteEeprom() {
    const size_t limit = EepromLimit();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        const uint8_t b = EepromData[a];
        CPacket p;
        if (EepromMethod == 1) {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgrammingOnly).Wait(WaitValue(4));
            p.MidCommand(kEndProgramming17).MidCommand(kIncrement);
        } else {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgramming).Wait(WaitValue(10)).MidCommand(kIncrement);
        }
        Exchange(p, 10);
        AddProgress(1);
    }
}

void CWriter::MidWriteConfig(bool bProtect) {
    uint32_t ids[kUserIdWords];
    for (size_t i = 0; i < kUserIdWords; ++i) {
        ids[i] = 0x3F80 | (UserId[i] & 0x0F);
    }
    const int words = MidConfigWords();
    // Without protection the code-protect bits are written unprotected, so
    // the chip stays readable for the verify that follows.
    auto value = [&](int i) { return bProtect ? Config[i] : Config[i] | ConfigProtectMask[i]; };

    CPacket start;
    start.MidLoad(kLoadConfig, 0);
    Exchange(start, 10);

    if (BlockWrite != 1) {
        for (uint32_t id : ids) {
            MidWordWrite(id);
        }
        MidDeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i)).MidCommand(kBeginProgramming).Wait(WaitValue(10));
            p.MidCommand(kIncrement);
            Exchange(p, 10);
        }
    } else {
        if (WriteBlockBytes < 8) {
            for (const uint32_t& id : ids) {
                MidLatchWrite(&id, 1, 1);
            }
        } else {
            MidLatchWrite(ids, kUserIdWords, 8);
        }
        MidDeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i)).MidCommand(kBeginProgramming).Wait(WaitValue(4));
            p.MidCommand(MidEndCommand()).MidCommand(kIncrement);
            Exchange(p, 10);
        }
    }
    AddProgress(10);
}

void CWriter::MidWriteCalibration() {
    // Without a calibration word only the configuration (with the chip's
    // calibration bits) is written back.
    const uint32_t cal = MidCalAddress();
    if (cal != 0) {
        Framed([this, cal] {
            MidAdvance(cal);
            MidWordWrite(MidImageWord(2 * static_cast<size_t>(cal)));
        });
    }
    Framed([this] { MidWriteConfig(false); });
}

// --------------------------------------------------------------------- erase

bool CWriter::MidEraseKnown() const {
    return EraseMethod >= 1 && EraseMethod <= 5;
}

void CWriter::MidErase() {
    const bool eeprom = EepromSize != 0;
    CPacket p;
    switch (EraseMethod) {
    case 1:
        p.MidLoad(kLoadConfig, 0).MidCommand(kBulkEraseProgram).Wait(WaitValue(10));
        Exchange(p, 10);
        if (eeprom) {
            CPacket q;
            q.MidCommand(kBulkEraseData).Wait(WaitValue(10));
            Exchange(q, 10);
        }
        break;
    case 2:
        p.MidLoad(kLoadProgram, kBlankWord).MidCommand(kBulkEraseProgram).MidCommand(kBeginProgramming);
        p.Wait(WaitValue(10));
        Exchange(p, 10);
        if (eeprom) {
            CPacket q;
            q.MidLoad(kLoadData, kBlankWord).MidCommand(kBulkEraseData).MidCommand(kBeginProgramming);
            q.Wait(WaitValue(10));
            Exchange(q, 10);
        }
        MidProtectedErase();
        break;
    case 3:
        p.MidLoad(kLoadProgram, kBlankWord);
        Exchange(p, 10);
        MidEraseCycle();
        if (eeprom) {
            CPacket q;
            q.MidLoad(kLoadData, kBlankWord);
            Exchange(q, 10);
            MidEraseCycle();
        }
        MidProtectedErase();
        break;
    case 4:
        p.MidLoad(kLoadConfig, kBlankWord).MidCommand(kChipErase).Wait(WaitValue(4));
        Exchange(p, 10);
        break;
    case 5:
        p.MidLoad(kLoadConfig, kBlankWord).MidCommand(kBulkEraseProgram).MidCommand(kEndProgramming0E);
        p.Wait(WaitValue(4));
        Exchange(p, 10);
        break;
    default:
        break;
    }
}
