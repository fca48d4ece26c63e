// The mid-range engine's recipes.
//
// Sizes from the device record are clipped here before they shape a packet:
// the latch row to 2..22 bytes (even), the configuration words to six, and
// every memory loop to the image buffer it reads or fills. A memory whose size
// is not a whole number of blocks gets a last, shorter packet built by the
// same recipe with fewer commands.
#include "writer/MidRangeEngine.h"

#include "writer/MidRangeRecipe.h"

#include <algorithm>

using namespace mid_range;

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

bool CMidRangeEngine::BlankWords(size_t byteOffset, size_t words) const {
    for (size_t j = 0; j < words; ++j) {
        // The chip keeps 14 bits of a loaded word; bits above them are never written.
        if ((ImageWord(byteOffset + 2 * j) & kBlankWord) != kBlankWord) {
            return false;
        }
    }
    return true;
}

bool CMidRangeEngine::ProgramBlank() const {
    return BlankWords(0, (ProgramLimit() + 1) / 2);
}

// ---------------------------------------------------------- building blocks

CPacket CMidRangeEngine::WithIncrements(uint32_t owed, const CPacket& body) {
    const size_t room =
        (writer_packet::kMaxPacket - std::min(body.Size(), writer_packet::kMaxPacket)) / kIncrementBytes;
    while (owed > room) {
        const uint32_t n = std::min(owed, kIncrementsPerFullPacket);
        CPacket p;
        for (uint32_t k = 0; k < n; ++k) {
            p.MidCommand(kIncrement);
        }
        Exchange(p, kAnswerMedium);
        owed -= n;
    }
    CPacket head;
    for (uint32_t k = 0; k < owed; ++k) {
        head.MidCommand(kIncrement);
    }
    return head.Append(body);
}

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

void CMidRangeEngine::WordWrite(uint32_t word, uint32_t owed) {
    CPacket p;
    if (m_device.DeviceId == kNoDeviceId) {
        // A chip without device ID is not read back; it gets a fixed pause.
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming);
        Exchange(WithIncrements(owed, p), kAnswerShort);
        HostWait(kNoReadbackMs);
    } else {
        p.MidLoad(kLoadProgram, word).MidCommand(kBeginProgramming).Wait(WaitValue(kWordWriteMs));
        p.MidRead(kReadProgram);
        CAnswer a;
        Exchange(WithIncrements(owed, p), kAnswerShort, &a);
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

void CMidRangeEngine::LatchWrite(const uint32_t* words, size_t count, int32_t progress, uint32_t owed) {
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
    Exchange(WithIncrements(owed, load), kAnswerShort);
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

void CMidRangeEngine::RowWrite(const uint32_t* words, size_t count, int32_t progress, uint32_t owed) {
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
        Exchange(WithIncrements(owed, load), kAnswerShort);
    } else {
        Exchange(WithIncrements(owed, load), kAnswerShort);
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
