// The PIC18 engine: the 4-bit ICSP command set, in which the host feeds the
// chip core instructions to move the table pointer, select memory spaces and
// run EEPROM cycles.
//
// Program memory moves in blocks of 8 bytes. When the image is not a whole
// number of blocks the last block is a shorter read (fewer table reads), and
// a write padded with 0xFF: programming a 1 into erased flash leaves the cell
// as it is, so the padding bytes never change the chip and no byte outside the
// image is read.
#include "device/Bounds.h"
#include "writer/Writer.h"

#include <algorithm>

namespace {

// 4-bit PIC18 commands.
enum : uint8_t {
    kCoreInstruction = 0x0,
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

constexpr uint8_t kHoldProgramming = 0xF0;
constexpr uint8_t kHoldErase = 0x00;

constexpr size_t kAnswer = 19;
constexpr size_t kBlock = 8;
constexpr uint32_t kUserIdAddress = 0x200000;
constexpr uint32_t kConfigAddress = 0x300000;
constexpr uint32_t kDeviceIdAddress = 0x3FFFFE;
constexpr uint32_t kPanelAddress = 0x3C0006;
constexpr uint32_t kEraseKeyLow = 0x3C0004;
constexpr uint32_t kEraseKeyHigh = 0x3C0005;
constexpr int kEepromPolls = 100;
constexpr uint8_t kEecon1Wr = 0x02;
constexpr int32_t kSinglePanel = 100;

uint16_t Movlw(uint32_t literal) {
    return static_cast<uint16_t>(kMovlw | (literal & 0xFF));
}

uint16_t Pair(uint8_t lowerAddress, uint8_t upperAddress) {
    return static_cast<uint16_t>(lowerAddress | upperAddress << 8);
}

} // namespace

// ---------------------------------------------------------- building blocks

void CWriter::P18TablePointer(CPacket& packet, uint32_t address) {
    packet.Pic18Instruction(Movlw(address >> 16)).Pic18Instruction(kMovwfTblptrU);
    packet.Pic18Instruction(Movlw(address >> 8)).Pic18Instruction(kMovwfTblptrH);
    packet.Pic18Instruction(Movlw(address)).Pic18Instruction(kMovwfTblptrL);
}

void CWriter::P18SetTablePointer(uint32_t address) {
    CPacket p;
    P18TablePointer(p, address);
    Exchange(p, kAnswer);
}

void CWriter::P18BlockRead(uint8_t* dest, size_t count) {
    count = std::min(count, kBlock);
    CPacket p;
    for (size_t i = 0; i < count; ++i) {
        p.P18Read(kTableReadPostInc);
    }
    CAnswer a;
    Exchange(p, kAnswer, &a);
    for (size_t i = 0; i < count; ++i) {
        dest[i] = a[i];
    }
    AddProgress(static_cast<int32_t>(count));
}

void CWriter::P18DeviceIdStep() {
    CPacket p;
    P18TablePointer(p, kDeviceIdAddress);
    // The zero pairs between the reads add nothing to the answer.
    p.P18Read(kTableReadPostInc).Bytes({0x00, 0x00}).P18Read(kTableReadPostInc).Bytes({0x00, 0x00});
    CAnswer a;
    Exchange(p, 10, &a);
    DeviceId = static_cast<uint32_t>(a[1]) << 8 | a[0];
}

void CWriter::P18SinglePanelSetup() {
    CPacket p;
    p.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBsfCfgs);
    P18TablePointer(p, kPanelAddress);
    p.P18Command(kTableWrite, 0x0000);
    p.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBcfCfgs);
    Exchange(p, kAnswer);
}

void CWriter::P18BlockWrite(uint32_t address, const uint8_t* data, size_t count) {
    count = std::min(count, kBlock);
    uint8_t d[kBlock];
    std::fill(d, d + kBlock, uint8_t{0xFF});
    std::copy(data, data + count, d);

    const uint16_t v = WaitValue(1);
    CPacket p;
    P18TablePointer(p, address);
    p.P18Command(kTableWritePostInc2, Pair(d[0], d[1]));
    p.P18Command(kTableWritePostInc2, Pair(d[2], d[3]));
    p.P18Command(kTableWritePostInc2, Pair(d[4], d[5]));
    p.P18Command(kTableWriteStart, Pair(d[6], d[7]));
    p.Bytes({writer_packet::kOpPic18HoldBegin, kHoldProgramming});
    // This one wait carries its operands as high, low, 0xCE; the writer has
    // always been driven so and the cycle times are settled on it.
    p.Bytes({writer_packet::kOpWait, CPacket::High(v), CPacket::Low(v), 0xCE});
    p.Bytes({writer_packet::kOpPic18HoldEnd, 0x00});
    Exchange(p, kAnswer);
    AddProgress(static_cast<int32_t>(count));
}

// --------------------------------------------------------------------- reads

void CWriter::P18ReadDeviceId() {
    P18DeviceIdStep();
}

void CWriter::P18ReadProgram() {
    P18SetTablePointer(0);
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kBlock) {
        P18BlockRead(ProgramData.data() + offset, std::min(kBlock, limit - offset));
    }
}

void CWriter::P18ReadConfig() {
    uint8_t ids[kBlock];
    P18SetTablePointer(kUserIdAddress);
    P18BlockRead(ids, kBlock);
    for (size_t i = 0; i < kBlock; ++i) {
        UserId[i] = ids[i];
    }

    // Fourteen configuration bytes come as two blocks; the last two bytes
    // read are not configuration.
    uint8_t config[2 * kBlock];
    P18SetTablePointer(kConfigAddress);
    P18BlockRead(config, kBlock);
    P18BlockRead(config + kBlock, kBlock);
    for (int i = 0; i < bounds::kMaxPic18ConfigBytes; ++i) {
        Config[i] = config[i];
    }

    P18DeviceIdStep();
    AddProgress(2);
}

void CWriter::P18ReadEeprom() {
    const size_t limit = EepromLimit();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        CPacket p;
        p.Pic18Instruction(kBcfEepgd).Pic18Instruction(kBcfCfgs);
        p.Pic18Instruction(Movlw(a)).Pic18Instruction(kMovwfEeadr);
        p.Pic18Instruction(Movlw(a >> 8)).Pic18Instruction(kMovwfEeadrh);
        p.Pic18Instruction(kBsfRd).Pic18Instruction(kMovfEedataW).Pic18Instruction(kMovwfTablat);
        p.Pic18Instruction(kNop).P18Read(kShiftOutTablat);
        CAnswer answer;
        Exchange(p, kAnswer, &answer);
        EepromData[a] = answer[0];
        AddProgress(1);
    }
}

// -------------------------------------------------------------------- writes

void CWriter::P18WriteProgram() {
    if (WriteCycle == kSinglePanel) {
        P18SinglePanelSetup();
    }
    const size_t limit = ProgramLimit();
    for (size_t offset = 0; offset < limit && MayContinue(); offset += kBlock) {
        P18BlockWrite(static_cast<uint32_t>(offset), ProgramData.data() + offset,
                      std::min(kBlock, limit - offset));
    }
}

void CWriter::P18WriteEeprom() {
    const size_t limit = EepromLimit();
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        CPacket start;
        start.Pic18Instruction(kBcfEepgd).Pic18Instruction(kBcfCfgs);
        start.Pic18Instruction(Movlw(a)).Pic18Instruction(kMovwfEeadr);
        start.Pic18Instruction(Movlw(a >> 8)).Pic18Instruction(kMovwfEeadrh);
        start.Pic18Instruction(Movlw(EepromData[a])).Pic18Instruction(kMovwfEedata);
        start.Pic18Instruction(kBsfWren);
        start.Pic18Instruction(Movlw(0x55)).Pic18Instruction(kMovwfEecon2);
        start.Pic18Instruction(Movlw(0xAA)).Pic18Instruction(kMovwfEecon2);
        start.Pic18Instruction(kBsfWr);
        Exchange(start, kAnswer);

        // The write ends when the chip clears WR; a chip that never does is
        // left after a bounded number of polls.
        for (int poll = 0; poll < kEepromPolls && IsOpen(); ++poll) {
            CPacket p;
            p.Pic18Instruction(kMovfEecon1W).Pic18Instruction(kMovwfTablat).Pic18Instruction(kNop);
            p.P18Read(kShiftOutTablat);
            CAnswer answer;
            Exchange(p, kAnswer, &answer);
            if ((answer[0] & kEecon1Wr) == 0) {
                break;
            }
        }

        CPacket end;
        end.Pic18Instruction(kBcfWren);
        Exchange(end, kAnswer);
        AddProgress(1);
    }
}

void CWriter::P18WriteConfig(bool bProtect) {
    if (WriteUserId) {
        // The ID locations need the single-panel setup; later program writes
        // on this copy of the device get it too.
        WriteCycle = kSinglePanel;
        P18SinglePanelSetup();
        uint8_t ids[kBlock];
        for (size_t i = 0; i < kBlock; ++i) {
            ids[i] = static_cast<uint8_t>(UserId[i] & 0xFF);
        }
        P18BlockWrite(kUserIdAddress, ids, kBlock);
    }

    const uint16_t v = WaitValue(1);
    auto value = [&](int i) {
        const uint32_t b = bProtect ? Config[i] : Config[i] | ConfigProtectMask[i];
        return static_cast<uint8_t>(b & 0xFF);
    };
    for (int k = 0; k < bounds::kMaxPic18ConfigBytes / 2; ++k) {
        const uint8_t low = value(2 * k);
        const uint8_t high = value(2 * k + 1);

        CPacket select;
        select.Pic18Instruction(kBsfEepgd).Pic18Instruction(kBsfCfgs);
        select.Pic18Instruction(kGoto100000First).Pic18Instruction(kGoto100000Second);
        Exchange(select, kAnswer);

        CPacket p;
        P18TablePointer(p, kConfigAddress + 2 * static_cast<uint32_t>(k));
        p.P18Command(kTableWriteStart, Pair(low, 0xFF));
        p.Bytes({writer_packet::kOpPic18HoldBegin, kHoldProgramming}).Wait(v);
        p.Bytes({writer_packet::kOpPic18HoldEnd, 0x00});
        p.Pic18Instruction(kIncfTblptrL);
        p.P18Command(kTableWriteStart, Pair(0xFF, high));
        p.Bytes({writer_packet::kOpPic18HoldBegin, kHoldProgramming}).Wait(v);
        p.Bytes({writer_packet::kOpPic18HoldEnd, 0x00});
        Exchange(p, kAnswer);
    }

    P18DeviceIdStep();
    AddProgress(16);
}

// --------------------------------------------------------------------- erase

bool CWriter::P18EraseKnown() const {
    return EraseMethod == 4 || EraseMethod == 5;
}

void CWriter::P18Erase() {
    if (EraseMethod == 5) {
        CPacket key;
        P18TablePointer(key, kEraseKeyHigh);
        key.P18Command(kTableWrite, 0x0F0F);
        Exchange(key, kAnswer);
    }
    CPacket p;
    P18TablePointer(p, kEraseKeyLow);
    p.P18Command(kTableWrite, EraseMethod == 5 ? 0x8787 : 0x0080);
    p.Pic18Instruction(kNop);
    p.Bytes({writer_packet::kOpPic18HoldBegin, kHoldErase}).Wait(WaitValue(5));
    p.Bytes({writer_packet::kOpPic18HoldEnd, 0x00});
    Exchange(p, kAnswer);
}
