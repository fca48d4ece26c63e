// One command packet for the writer, built command by command, and the
// answer it brings back.
//
// A packet is a run of writer commands, each an opcode byte and a fixed
// number of operand bytes. The builder knows the opcodes, so it also knows how
// many answer bytes the packet's read commands will bring back; the link uses
// that figure to notice short answers. The writer's OUT endpoint takes at most
// 64 bytes in one transfer: a packet that would grow beyond that is marked as
// overflowed and is never sent (the recipes are sized so that this cannot
// happen, but a wrong size must not turn into a split or truncated command).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace writer_packet {

// Writer opcodes.
constexpr uint8_t kOpControl = 0x80;
constexpr uint8_t kOpWait = 0x81;
constexpr uint8_t kOpMidCommand = 0x82;
constexpr uint8_t kOpMidLoad = 0x83;
constexpr uint8_t kOpMidRead = 0x84;
constexpr uint8_t kOpPic18Command = 0x85;
constexpr uint8_t kOpPic18Read = 0x86;
constexpr uint8_t kOpPic18HoldBegin = 0x87;
constexpr uint8_t kOpPic18HoldEnd = 0x88;

// Answer bytes one read command adds: a mid-range word, a PIC18 byte.
constexpr size_t kMidReadAnswerBytes = 2;
constexpr size_t kPic18ReadAnswerBytes = 1;

// Largest packet and largest answer the writer handles in one transfer.
constexpr size_t kMaxPacket = 64;
constexpr size_t kMaxAnswer = 64;

// The answer lengths every packet has always been read with. The writer
// answers each packet once, so the figure only has to cover what the packet's
// read commands bring; the two common ones are named here, the few
// family-specific ones beside their recipes.
// Control packets, the mid-range write and erase packets, the PIC18 device ID
// step.
constexpr size_t kAnswerShort = 10;
// Identification, the mid-range reads of a few words, every other PIC18
// packet.
constexpr size_t kAnswerMedium = 19;

// The wait command starts a 16-bit up-counter at V and waits for it to
// overflow; the counter runs at a quarter of the writer's clock, so it counts
// 250 times per millisecond and MHz.
constexpr uint32_t kWaitCounterTop = 65535;
constexpr uint32_t kWaitTicksPerMsAndMHz = 250;
// The clocks whose wait values are known; any other runs as 4 MHz.
constexpr int kClock20MHz = 20;
constexpr int kClock16MHz = 16;
constexpr int kClockDefaultMHz = 4;

// Counter start value of a timed wait of ms milliseconds at clockMHz.
constexpr uint16_t WaitValue(int clockMHz, unsigned ms) {
    const int clock = clockMHz == kClock20MHz || clockMHz == kClock16MHz ? clockMHz : kClockDefaultMHz;
    const uint32_t f = static_cast<uint32_t>(clock);
    const uint64_t ticks = static_cast<uint64_t>(ms) * f * kWaitTicksPerMsAndMHz;
    // A longer wait than the counter can hold is the longest it can give.
    return ticks >= kWaitCounterTop ? 0 : static_cast<uint16_t>(kWaitCounterTop - ticks);
}

// The same for a wait of us microseconds, for the short discharge times
// after a programming cycle (never shorter than asked).
constexpr uint16_t WaitValueUs(int clockMHz, unsigned us) {
    const int clock = clockMHz == kClock20MHz || clockMHz == kClock16MHz ? clockMHz : kClockDefaultMHz;
    const uint64_t ticksTimes1000 =
        static_cast<uint64_t>(us) * static_cast<uint32_t>(clock) * kWaitTicksPerMsAndMHz;
    const uint64_t ticks = (ticksTimes1000 + 999) / 1000;
    return ticks >= kWaitCounterTop ? 0 : static_cast<uint16_t>(kWaitCounterTop - ticks);
}

// The longest wait one wait command of the recipes carries; longer waits
// are sent as several.
constexpr unsigned kLongestWaitMs = 10;

} // namespace writer_packet

class CPacket {
public:
    CPacket& Byte(uint8_t b) {
        if (m_size >= m_data.size()) {
            m_overflowed = true;
            return *this;
        }
        m_data[m_size++] = b;
        return *this;
    }
    CPacket& Bytes(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) {
            Byte(b);
        }
        return *this;
    }

    // 80 code: writer control.
    CPacket& Control(uint8_t code) { return Bytes({writer_packet::kOpControl, code}); }
    // 81 00 low high: timed wait with counter start value v.
    CPacket& Wait(uint16_t v) { return Bytes({writer_packet::kOpWait, 0x00, Low(v), High(v)}); }

    // 82 command: mid-range 6-bit command.
    CPacket& MidCommand(uint8_t command) { return Bytes({writer_packet::kOpMidCommand, command}); }
    // 83 command data: the word travels between a start and a stop bit.
    CPacket& MidLoad(uint8_t command, uint32_t word) {
        return Bytes({writer_packet::kOpMidLoad, command, static_cast<uint8_t>((word << 1) & 0xFF),
                      static_cast<uint8_t>((word >> 7) & 0xFF)});
    }
    // 84 command: mid-range command followed by a 16-bit read.
    CPacket& MidRead(uint8_t command) {
        m_answer += writer_packet::kMidReadAnswerBytes;
        return Bytes({writer_packet::kOpMidRead, command});
    }

    // 85 command operand: PIC18 4-bit command with a 16-bit operand.
    CPacket& Pic18Command(uint8_t command, uint16_t operand) {
        return Bytes({writer_packet::kOpPic18Command, command, Low(operand), High(operand)});
    }
    // A core instruction is command 0000 with the instruction word.
    CPacket& Pic18Instruction(uint16_t instruction) {
        return Pic18Command(kPic18CoreInstruction, instruction);
    }
    // 86 command: PIC18 4-bit command that shifts one byte out.
    CPacket& Pic18Read(uint8_t command) {
        m_answer += writer_packet::kPic18ReadAnswerBytes;
        return Bytes({writer_packet::kOpPic18Read, command});
    }
    // 87 mode, 88 00: the held NOP of a PIC18 programming or erase cycle.
    CPacket& Pic18HoldBegin(uint8_t mode) { return Bytes({writer_packet::kOpPic18HoldBegin, mode}); }
    CPacket& Pic18HoldEnd() { return Bytes({writer_packet::kOpPic18HoldEnd, 0x00}); }

    // The commands of another packet, after this one's.
    CPacket& Append(const CPacket& other) {
        for (size_t i = 0; i < other.m_size; ++i) {
            Byte(other.m_data[i]);
        }
        m_answer += other.m_answer;
        m_overflowed |= other.m_overflowed;
        return *this;
    }

    const uint8_t* Data() const { return m_data.data(); }
    size_t Size() const { return m_size; }
    // Answer bytes the read commands of this packet bring back.
    size_t ExpectedAnswer() const { return m_answer; }
    bool Overflowed() const { return m_overflowed; }

    static uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
    static uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

private:
    static constexpr uint8_t kPic18CoreInstruction = 0x0;

    std::array<uint8_t, writer_packet::kMaxPacket> m_data{};
    size_t m_size = 0;
    size_t m_answer = 0;
    bool m_overflowed = false;
};

// The bytes of one answer; bytes that did not arrive read as 0, and so does
// any index past the buffer.
struct CAnswer {
    std::array<uint8_t, writer_packet::kMaxAnswer> Bytes{};
    size_t Received = 0;
    uint8_t operator[](size_t i) const { return i < Bytes.size() ? Bytes[i] : 0; }
};

// Decoding of a mid-range 16-bit read (start bit, 14 data bits, stop bit).
inline uint32_t DecodeMidWord(uint8_t low, uint8_t high) {
    return ((static_cast<uint32_t>(high) << 7) & 0x3FFF) | (low >> 1);
}
inline uint8_t DecodeMidByte(uint8_t low, uint8_t high) {
    return static_cast<uint8_t>(((static_cast<uint32_t>(high) << 7) | (low >> 1)) & 0xFF);
}
