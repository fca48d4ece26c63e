// One command packet for the writer, built command by command.
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

// Largest packet and largest answer the writer handles in one transfer.
constexpr size_t kMaxPacket = 64;
constexpr size_t kMaxAnswer = 64;

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
    // 84 command: mid-range command followed by a 16-bit read (2 answer bytes).
    CPacket& MidRead(uint8_t command) {
        m_answer += 2;
        return Bytes({writer_packet::kOpMidRead, command});
    }

    // 85 command operand: PIC18 4-bit command with a 16-bit operand.
    CPacket& P18Command(uint8_t command, uint16_t operand) {
        return Bytes({writer_packet::kOpPic18Command, command, Low(operand), High(operand)});
    }
    // A core instruction is command 0000 with the instruction word.
    CPacket& Pic18Instruction(uint16_t instruction) { return P18Command(0x00, instruction); }
    // 86 command: PIC18 4-bit command that shifts one byte out (1 answer byte).
    CPacket& P18Read(uint8_t command) {
        m_answer += 1;
        return Bytes({writer_packet::kOpPic18Read, command});
    }

    const uint8_t* Data() const { return m_data.data(); }
    size_t Size() const { return m_size; }
    // Answer bytes the read commands of this packet bring back.
    size_t ExpectedAnswer() const { return m_answer; }
    bool Overflowed() const { return m_overflowed; }

    static uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
    static uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

private:
    std::array<uint8_t, writer_packet::kMaxPacket> m_data{};
    size_t m_size = 0;
    size_t m_answer = 0;
    bool m_overflowed = false;
};

// Decoding of a mid-range 16-bit read (start bit, 14 data bits, stop bit).
inline uint32_t DecodeMidWord(uint8_t low, uint8_t high) {
    return ((static_cast<uint32_t>(high) << 7) & 0x3FFF) | (low >> 1);
}
inline uint8_t DecodeMidByte(uint8_t low, uint8_t high) {
    return static_cast<uint8_t>(((static_cast<uint32_t>(high) << 7) | (low >> 1)) & 0xFF);
}
