// The PIC18 engine's recipes.
//
// Program memory moves in blocks of 8 bytes. When the image is not a whole
// number of blocks the last block is a shorter read (fewer table reads), and
// a write padded with 0xFF: programming a 1 into erased flash leaves the cell
// as it is, so the padding bytes never change the chip and no byte outside the
// image is read.
#include "writer/Pic18Engine.h"

#include "device/Bounds.h"

#include <algorithm>

namespace {

using writer_packet::kAnswerMedium;
using writer_packet::kAnswerShort;

// 4-bit PIC18 commands (core instructions go through CPacket::Pic18Instruction).
enum : uint8_t {
    kShiftOutTablat = 0x2,
    kTableReadPostInc = 0x9,
    kTableWrite = 0xC,
    kTableWritePostInc2 = 0xD,
    kTableWriteStart = 0xF,
};

// Core instructions.
enum : uint16_t {
    kBsfEepgd = 0x8EA6,
    kBsfCfgs = 0x8CA6,
    kBcfEepgd = 0x9EA6,
    kBcfCfgs = 0x9CA6,
    kMovlw = 0x0E00,
    kMovwfTblptrU = 0x6EF8,
    kMovwfTblptrH = 0x6EF7,
    kMovwfTblptrL = 0x6EF6,
    kGoto100000First = 0xEF00,
    kGoto100000Second = 0xF800,
    kIncfTblptrL = 0x2AF6,
    kMovwfEeadr = 0x6EA9,
    kMovwfEeadrh = 0x6EAA,
    kMovwfEedata = 0x6EA8,
    kBsfRd = 0x80A6,
    kMovfEedataW = 0x50A8,
    kMovwfTablat = 0x6EF5,
    kNop = 0x0000,
    kBsfWren = 0x84A6,
    kMovwfEecon2 = 0x6EA7,
    kBsfWr = 0x82A6,
    kMovfEecon1W = 0x50A6,
    kBcfWren = 0x94A6,
};

// Operand of the held NOP: a programming or an erase cycle.
constexpr uint8_t kHoldProgramming = 0xF0;
constexpr uint8_t kHoldErase = 0x00;
// The third operand byte of the block write's wait (see BlockWrite).
constexpr uint8_t kBlockWriteWaitTail = 0xCE;

// The device record's method numbers.
enum : int32_t {
    // WriteCycle: program memory writes start with the single-panel setup.
    kSinglePanel = 100,
    // EraseMethod: one erase key, the two-key erase of the newer parts, or
    // the chip-erase keys of DS39622, which take the ID locations too.
    kEraseOneKey = 4,
    kEraseTwoKeys = 5,
    kEraseChipKeys = 6,
    // BlockWrite: each configuration cycle is followed by the P10 discharge
    // time of DS39622 before the next command.
    kConfigDischarge = 2,
};

constexpr uint16_t kSinglePanelValue = 0x0000;
constexpr uint16_t kEraseKeyOneKey = 0x0080;
constexpr uint16_t kEraseKeyHighTwoKeys = 0x0F0F;
constexpr uint16_t kEraseKeyLowTwoKeys = 0x8787;
constexpr uint16_t kEraseKeyHighChip = 0x3F3F;
constexpr uint16_t kEraseKeyLowChip = 0x8F8F;
// The EEPROM write unlock sequence, written to EECON2 in this order.
constexpr uint8_t kUnlockFirst = 0x55;
constexpr uint8_t kUnlockSecond = 0xAA;
// A zero byte between commands, which the writer passes over.
constexpr uint8_t kGapByte = 0x00;
// The operand byte that leaves the other byte of a configuration pair alone.
constexpr uint8_t kUnprogrammed = 0xFF;

constexpr unsigned kProgramCycleMs = 1;
constexpr unsigned kEraseCycleMs = 5;
constexpr unsigned kDischargeUs = 100; // P10

constexpr size_t kBlock = 8;
constexpr uint32_t kUserIdAddress = 0x200000;
constexpr uint32_t kConfigAddress = 0x300000;
constexpr uint32_t kDeviceIdAddress = 0x3FFFFE;
constexpr uint32_t kPanelAddress = 0x3C0006;
constexpr uint32_t kEraseKeyLowAddress = 0x3C0004;
constexpr uint32_t kEraseKeyHighAddress = 0x3C0005;
constexpr int kEepromPolls = 100;
constexpr uint8_t kEecon1Wr = 0x02;

// Progress a configuration routine adds besides its block reads and writes.
constexpr int32_t kConfigReadProgress = 2;
constexpr int32_t kConfigWriteProgress = 16;

uint16_t Movlw(uint32_t literal) {
    return static_cast<uint16_t>(kMovlw | (literal & 0xFF));
}

uint16_t Pair(uint8_t lowerAddress, uint8_t upperAddress) {
    return static_cast<uint16_t>(lowerAddress | upperAddress << 8);
}

} // namespace

// ---------------------------------------------------------- building blocks

void CPic18Engine::TablePointer(CPacket& packet, uint32_t address) {
    packet.Pic18Instruction(Movlw(address >> 16)).Pic18Instruction(kMovwfTblptrU);
    packet.Pic18Instruction(Movlw(address >> 8)).Pic18Instruction(kMovwfTblptrH);
    packet.Pic18Instruction(Movlw(address)).Pic18Instruction(kMovwfTblptrL);
}

void CPic18Engine::SetTablePointer(uint32_t address) {
    CPacket p;
    TablePointer(p, address);
    Exchange(p, kAnswerMedium);
}

void CPic18Engine::BlockRead(uint8_t* dest, size_t count) {
    count = std::min(count, kBlock);
    CPacket p;
    for (size_t i = 0; i < count; ++i) {
        p.Pic18Read(kTableReadPostInc);
    }
    CAnswer a;
    Exchange(p, kAnswerMedium, &a);
    for (size_t i = 0; i < count; ++i) {
        dest[i] = a[i];
    }
    AddProgress(static_cast<int32_t>(count));
}

void CPic18Engine::DeviceIdStep() {
    CPacket p;
    TablePointer(p, kDeviceIdAddress);
    // The zero pairs between the reads add nothing to the answer.
    p.Pic18Read(kTableReadPostInc).Bytes({kGapByte, kGapByte});
    p.Pic18Read(kTableReadPostInc).Bytes({kGapByte, kGapByte});
    CAnswer a;
    Exchange(p, kAnswerShort, &a);
    m_device.DeviceId = static_cast<uint32_t>(a[1]) << 8 | a[0];
}

void CPic18Engine::SinglePanelSetup() {
    CPacket p;
    p.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBsfCfgs);
    TablePointer(p, kPanelAddress);
    p.Pic18Command(kTableWrite, kSinglePanelValue);
    p.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBcfCfgs);
    Exchange(p, kAnswerMedium);
}

void CPic18Engine::BlockWrite(uint32_t address, const uint8_t* data, size_t count) {
    count = std::min(count, kBlock);
    uint8_t d[kBlock];
    std::fill(d, d + kBlock, kUnprogrammed);
    std::copy(data, data + count, d);

    const uint16_t v = WaitValue(kProgramCycleMs);
    CPacket p;
    TablePointer(p, address);
    p.Pic18Command(kTableWritePostInc2, Pair(d[0], d[1]));
    p.Pic18Command(kTableWritePostInc2, Pair(d[2], d[3]));
    p.Pic18Command(kTableWritePostInc2, Pair(d[4], d[5]));
    p.Pic18Command(kTableWriteStart, Pair(d[6], d[7]));
    p.Pic18HoldBegin(kHoldProgramming);
    // This one wait carries its operands as high, low, 0xCE; the writer has
    // always been driven so and the cycle times are settled on it.
    p.Bytes({writer_packet::kOpWait, CPacket::High(v), CPacket::Low(v), kBlockWriteWaitTail});
    p.Pic18HoldEnd();
    Exchange(p, kAnswerMedium);
    AddProgress(static_cast<int32_t>(count));
}

// --------------------------------------------------------------------- reads

void CPic18Engine::ReadDeviceId() {
    DeviceIdStep();
}

void CPic18Engine::ReadProgram() {
    SetTablePointer(0);
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kBlock) {
        BlockRead(m_device.ProgramData.data() + offset, std::min(kBlock, limit - offset));
    }
}

void CPic18Engine::ReadConfig() {
    uint8_t ids[kBlock];
    SetTablePointer(kUserIdAddress);
    BlockRead(ids, kBlock);
    for (size_t i = 0; i < kBlock; ++i) {
        m_device.UserId[i] = ids[i];
    }

    // Fourteen configuration bytes come as two blocks; the last two bytes
    // read are not configuration.
    uint8_t config[2 * kBlock];
    SetTablePointer(kConfigAddress);
    BlockRead(config, kBlock);
    BlockRead(config + kBlock, kBlock);
    for (int i = 0; i < bounds::kMaxPic18ConfigBytes; ++i) {
        m_device.Config[i] = config[i];
    }

    DeviceIdStep();
    AddProgress(kConfigReadProgress);
}

void CPic18Engine::ReadEeprom() {
    const size_t limit = EepromLimit();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        CPacket p;
        p.Pic18Instruction(kBcfEepgd).Pic18Instruction(kBcfCfgs);
        p.Pic18Instruction(Movlw(a)).Pic18Instruction(kMovwfEeadr);
        p.Pic18Instruction(Movlw(a >> 8)).Pic18Instruction(kMovwfEeadrh);
        p.Pic18Instruction(kBsfRd).Pic18Instruction(kMovfEedataW).Pic18Instruction(kMovwfTablat);
        p.Pic18Instruction(kNop).Pic18Read(kShiftOutTablat);
        CAnswer answer;
        Exchange(p, kAnswerMedium, &answer);
        m_device.EepromData[a] = answer[0];
        AddProgress(1);
    }
}

// -------------------------------------------------------------------- writes

bool CPic18Engine::ProgramBlank() const {
    const auto begin = m_device.ProgramData.begin();
    return std::all_of(begin, begin + static_cast<std::ptrdiff_t>(ProgramLimit()),
                       [](uint8_t b) { return b == kErasedByte; });
}

// Leaving blank areas alone: every block write loads the table pointer
// itself, so a block of 0xFF bytes is simply not sent, and the single-panel
// setup goes out only before the first block that is. Which write buffer
// (8 bytes per panel, or 32) a block lands in follows the table pointer, as
// it does for the full write.
void CPic18Engine::WriteProgram() {
    const bool skip = SkipBlank();
    bool setupDue = m_device.WriteCycle == kSinglePanel;
    if (setupDue && !skip) {
        SinglePanelSetup();
        setupDue = false;
    }
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kBlock) {
        const uint8_t* data = m_device.ProgramData.data() + offset;
        const size_t count = std::min(kBlock, limit - offset);
        if (skip && std::all_of(data, data + count, [](uint8_t b) { return b == kErasedByte; })) {
            AddProgress(static_cast<int32_t>(count));
            continue;
        }
        if (setupDue) {
            SinglePanelSetup();
            setupDue = false;
        }
        BlockWrite(static_cast<uint32_t>(offset), data, count);
    }
}

void CPic18Engine::WriteEeprom() {
    const size_t limit = EepromLimit();
    // Each byte's packet loads the address itself: a blank byte is not sent.
    const bool skip = SkipBlank();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        if (skip && m_device.EepromData[a] == kErasedByte) {
            AddProgress(1);
            continue;
        }
        CPacket start;
        start.Pic18Instruction(kBcfEepgd).Pic18Instruction(kBcfCfgs);
        start.Pic18Instruction(Movlw(a)).Pic18Instruction(kMovwfEeadr);
        start.Pic18Instruction(Movlw(a >> 8)).Pic18Instruction(kMovwfEeadrh);
        start.Pic18Instruction(Movlw(m_device.EepromData[a])).Pic18Instruction(kMovwfEedata);
        start.Pic18Instruction(kBsfWren);
        start.Pic18Instruction(Movlw(kUnlockFirst)).Pic18Instruction(kMovwfEecon2);
        start.Pic18Instruction(Movlw(kUnlockSecond)).Pic18Instruction(kMovwfEecon2);
        start.Pic18Instruction(kBsfWr);
        Exchange(start, kAnswerMedium);

        // The write ends when the chip clears WR; a chip that never does is
        // left after a bounded number of polls.
        for (int poll = 0; poll < kEepromPolls && IsUp(); ++poll) {
            CPacket p;
            p.Pic18Instruction(kMovfEecon1W).Pic18Instruction(kMovwfTablat).Pic18Instruction(kNop);
            p.Pic18Read(kShiftOutTablat);
            CAnswer answer;
            Exchange(p, kAnswerMedium, &answer);
            if ((answer[0] & kEecon1Wr) == 0) {
                break;
            }
        }

        CPacket end;
        end.Pic18Instruction(kBcfWren);
        Exchange(end, kAnswerMedium);
        AddProgress(1);
    }
}

void CPic18Engine::WriteConfig(bool bProtect) {
    if (WriteUserId()) {
        // The ID locations need the single-panel setup; later program writes
        // on this copy of the device get it too.
        m_device.WriteCycle = kSinglePanel;
        SinglePanelSetup();
        uint8_t ids[kBlock];
        for (size_t i = 0; i < kBlock; ++i) {
            ids[i] = static_cast<uint8_t>(m_device.UserId[i] & 0xFF);
        }
        BlockWrite(kUserIdAddress, ids, kBlock);
    }

    const uint16_t v = WaitValue(kProgramCycleMs);
    auto value = [&](int i) {
        const uint32_t b = bProtect ? m_device.Config[i] : m_device.Config[i] | m_device.ConfigProtectMask[i];
        return static_cast<uint8_t>(b & 0xFF);
    };
    for (int k = 0; k < bounds::kMaxPic18ConfigBytes / 2; ++k) {
        const uint8_t low = value(2 * k);
        const uint8_t high = value(2 * k + 1);

        CPacket select;
        select.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBsfCfgs);
        select.Pic18Instruction(kGoto100000First).Pic18Instruction(kGoto100000Second);
        Exchange(select, kAnswerMedium);

        CPacket p;
        TablePointer(p, kConfigAddress + 2 * static_cast<uint32_t>(k));
        p.Pic18Command(kTableWriteStart, Pair(low, kUnprogrammed));
        p.Pic18HoldBegin(kHoldProgramming).Wait(v).Pic18HoldEnd();
        if (m_device.BlockWrite == kConfigDischarge) {
            // The odd byte's cycle is followed by the end of the packet.
            p.Wait(WaitValueUs(kDischargeUs));
        }
        p.Pic18Instruction(kIncfTblptrL);
        p.Pic18Command(kTableWriteStart, Pair(kUnprogrammed, high));
        p.Pic18HoldBegin(kHoldProgramming).Wait(v).Pic18HoldEnd();
        Exchange(p, kAnswerMedium);
    }

    DeviceIdStep();
    AddProgress(kConfigWriteProgress);
}

// --------------------------------------------------------------------- erase

bool CPic18Engine::HasEraseMethod() const {
    return m_device.EraseMethod == kEraseOneKey || m_device.EraseMethod == kEraseTwoKeys ||
           m_device.EraseMethod == kEraseChipKeys;
}

void CPic18Engine::Erase() {
    const bool chipKeys = m_device.EraseMethod == kEraseChipKeys;
    const bool twoKeys = chipKeys || m_device.EraseMethod == kEraseTwoKeys;
    if (twoKeys) {
        CPacket key;
        TablePointer(key, kEraseKeyHighAddress);
        key.Pic18Command(kTableWrite, chipKeys ? kEraseKeyHighChip : kEraseKeyHighTwoKeys);
        Exchange(key, kAnswerMedium);
    }
    uint16_t low = kEraseKeyOneKey;
    if (twoKeys) {
        low = chipKeys ? kEraseKeyLowChip : kEraseKeyLowTwoKeys;
    }
    CPacket p;
    TablePointer(p, kEraseKeyLowAddress);
    p.Pic18Command(kTableWrite, low);
    p.Pic18Instruction(kNop);
    p.Pic18HoldBegin(kHoldErase).Wait(WaitValue(kEraseCycleMs)).Pic18HoldEnd();
    Exchange(p, kAnswerMedium);
}
