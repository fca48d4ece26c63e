// Packets built by hand from the writer's command language and the
// mid-range ICSP command meanings, and a host link that drives a simulated
// writer the way a host does: open, then one write and one read per packet.
#pragma once

#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace simtest {

// The wait start value for t milliseconds at the host's clock factor.
inline uint16_t WaitValue(unsigned ms, unsigned clockMHz) {
    const unsigned f = clockMHz == 20 ? 20 : clockMHz == 16 ? 16 : 4;
    return static_cast<uint16_t>(65535u - ms * f * 250u);
}

class CPacket {
public:
    CPacket& Control(uint8_t code) { return Add({0x80, code}); }
    CPacket& WaitV(uint16_t v) { return Add({0x81, 0x00, Lo(v), Hi(v)}); }
    CPacket& WaitMs(unsigned ms, unsigned clockMHz = 20) { return WaitV(WaitValue(ms, clockMHz)); }
    // A wait of exactly us microseconds at 20 MHz (at most 13107 us).
    CPacket& WaitUs(unsigned us) { return WaitV(static_cast<uint16_t>(65536u - us * 5u)); }
    CPacket& Cmd(uint8_t command) { return Add({0x82, command}); }
    CPacket& Load(uint8_t command, uint16_t word) {
        const uint16_t raw = static_cast<uint16_t>(word << 1);
        return Add({0x83, command, Lo(raw), Hi(raw)});
    }
    CPacket& Read(uint8_t command) { return Add({0x84, command}); }
    CPacket& Raw(std::vector<uint8_t> bytes) { return Add(bytes); }
    // Mid-range shorthands.
    CPacket& LoadConfig(uint16_t word = 0) { return Load(0x00, word); }
    CPacket& LoadProgram(uint16_t word) { return Load(0x02, word); }
    CPacket& LoadData(uint8_t byte) { return Load(0x03, byte); }
    CPacket& Inc(unsigned n = 1) {
        for (unsigned i = 0; i < n; ++i) {
            Cmd(0x06);
        }
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    static uint8_t Lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
    static uint8_t Hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

private:
    CPacket& Add(const std::vector<uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

// Words of a read answer (0x84 pairs, low byte first).
inline std::vector<uint16_t> Words(const std::vector<uint8_t>& answer) {
    std::vector<uint16_t> words;
    for (size_t i = 0; i + 1 < answer.size(); i += 2) {
        words.push_back(static_cast<uint16_t>(((answer[i + 1] << 7) & 0x3FFF) | (answer[i] >> 1)));
    }
    return words;
}

class CHostLink {
public:
    explicit CHostLink(CSimWriter& writer) : m_writer(writer) {}

    bool Open(uint16_t vid = 0x0ADE, uint16_t pid = 0x0010) {
        m_device = m_writer.OpenDevice(vid, pid);
        if (m_device == IUsbLink::kInvalidHandle) {
            return false;
        }
        m_out = m_writer.OpenPipe(m_device, IUsbLink::kPipeOut);
        m_in = m_writer.OpenPipe(m_device, IUsbLink::kPipeIn);
        return true;
    }
    IUsbLink::Handle Device() const { return m_device; }

    std::vector<uint8_t> Send(const CPacket& packet, size_t maxLength = 64) {
        EXPECT_LE(packet.Bytes().size(), CSimFirmware::kMaxPacket) << "a test packet must fit";
        m_writer.WritePipe(m_out, packet.Bytes().data(), packet.Bytes().size());
        std::vector<uint8_t> answer(maxLength);
        answer.resize(m_writer.ReadPipe(m_in, answer.data(), answer.size()));
        return answer;
    }
    // Socket wiring for a package, then programming-mode entry by mode.
    void Enter(int pins, int mode = 0) {
        if (pins == 8) {
            Send(CPacket().Control(7));
            Send(CPacket().Control(12));
        } else if (pins == 14) {
            Send(CPacket().Control(12));
        } else if (pins == 18) {
            Send(CPacket().Control(7));
        } else if (pins == 28 || pins == 40) {
            Send(CPacket().Control(8));
        } else {
            Send(CPacket().Control(9));
        }
        Send(EntryPacket(mode));
    }
    void Exit() { Send(CPacket().Control(5).Control(11).Control(3).WaitV(0x0001).Control(6).Control(9)); }
    static CPacket EntryPacket(int mode) {
        CPacket p;
        if (mode == 1) {
            p.Control(0).Control(2).WaitV(0x0001).Control(11).Control(5).Control(4).Control(10).WaitV(0x00FE);
        } else if (mode == 2) {
            p.Control(0).Control(10).Control(3).WaitV(0x0001).Control(10).Control(4);
        } else {
            p.Control(0).Control(10).Control(2).WaitV(0x0001).Control(11).Control(5).Control(10);
            p.WaitV(0x00FE).Control(4).WaitV(0x00FE);
        }
        return p;
    }

private:
    CSimWriter& m_writer;
    IUsbLink::Handle m_device = IUsbLink::kInvalidHandle;
    IUsbLink::Handle m_out = 0;
    IUsbLink::Handle m_in = 0;
};

// A writer with a blank chip of the named model, opened.
struct CBench {
    explicit CBench(const std::string& model, ESimTiming timing = ESimTiming::Typical)
        : Writer(MakeMidRangeChip(model, timing)), Link(Writer) {
        Link.Open();
    }
    CMidRangeChip& Chip() { return *Writer.ChipAs<CMidRangeChip>(); }
    void Enter(int mode = 0) { Link.Enter(Chip().PinCount(), mode); }
    std::vector<uint8_t> Send(const CPacket& p, size_t max = 64) { return Link.Send(p, max); }
    // One word read at the current address.
    uint16_t ReadWord(uint8_t command = 0x04) { return Words(Send(CPacket().Read(command)))[0]; }

    CSimWriter Writer;
    CHostLink Link;
};

} // namespace simtest
