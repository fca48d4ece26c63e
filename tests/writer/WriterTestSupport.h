// Shared pieces of the writer tests: the fixed packets spelled out byte by
// byte, a fixture with a writer opened over the recording fake, and a packet
// list comparison that prints the first difference in hex.
#pragma once

#include "FakeUsbLink.h"
#include "writer/Writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using PacketList = std::vector<CPacketRecord>;

inline const std::string kIdlePacket = "80 0E 80 0B 80 03 80 00 80 06 80 09";
inline const std::string kExitPacket = "80 05 80 0B 80 03 81 00 01 00 80 06 80 09";
inline const std::string kEntryMode0 =
    "80 00 80 0A 80 02 81 00 01 00 80 0B 80 05 80 0A 81 00 FE 00 80 04 81 00 FE 00";
inline const std::string kEntryMode1 = "80 00 80 02 81 00 01 00 80 0B 80 05 80 04 80 0A 81 00 FE 00";
inline const std::string kEntryMode2 = "80 00 80 0A 80 03 81 00 01 00 80 0A 80 04";
inline const std::string kIdentify = "80 80 80 81";

// A packet list built in the order the packets are expected.
class CExpect {
public:
    CExpect& Add(const std::string& hex, size_t answerMax) {
        m_list.push_back({Hex(hex), answerMax});
        return *this;
    }
    CExpect& Repeat(const std::string& hex, size_t answerMax, size_t times) {
        for (size_t i = 0; i < times; ++i) {
            Add(hex, answerMax);
        }
        return *this;
    }
    CExpect& Add(const PacketList& more) {
        m_list.insert(m_list.end(), more.begin(), more.end());
        return *this;
    }
    // Socket code 9 (no known package), entry mode 0, then the body, then exit.
    CExpect& Frame(const PacketList& body) {
        Add("80 09", 10).Add(kEntryMode0, 10).Add(body).Add(kExitPacket, 10);
        return *this;
    }
    const PacketList& List() const { return m_list; }
    operator PacketList() const { return m_list; }

private:
    PacketList m_list;
};

inline ::testing::AssertionResult SamePackets(const PacketList& actual, const PacketList& expected) {
    const size_t n = std::min(actual.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        if (!(actual[i] == expected[i])) {
            return ::testing::AssertionFailure()
                   << "packet " << i << " differs\n  actual:   [" << ToHex(actual[i].Data) << "] max "
                   << actual[i].AnswerMax << "\n  expected: [" << ToHex(expected[i].Data) << "] max "
                   << expected[i].AnswerMax;
        }
    }
    if (actual.size() != expected.size()) {
        auto f = ::testing::AssertionFailure();
        f << actual.size() << " packets sent, " << expected.size() << " expected";
        if (actual.size() > n) {
            f << "; first extra: [" << ToHex(actual[n].Data) << "]";
        } else {
            f << "; first missing: [" << ToHex(expected[n].Data) << "]";
        }
        return f;
    }
    return ::testing::AssertionSuccess();
}

// The 16-bit data field of a mid-range word, as spelled in a packet.
inline std::string MidData(uint32_t w) {
    return ToHex({static_cast<uint8_t>((w << 1) & 0xFF), static_cast<uint8_t>((w >> 7) & 0xFF)});
}

// A mid-range word as the chip answers it: start bit, 14 bits, stop bit.
inline Bytes MidAnswerWord(uint32_t w) {
    return {static_cast<uint8_t>((w << 1) & 0xFF), static_cast<uint8_t>((w >> 7) & 0x7F)};
}

class WriterTest : public ::testing::Test {
protected:
    // Plugs a writer, opens it with a short identification (clock 4 MHz)
    // and forgets what the opening sent.
    void Open() {
        link.Plug(CWriter::kVendorId, CWriter::kProductId);
        ASSERT_TRUE(writer.Poll());
        link.ClearRecords();
    }

    // A mid-range device with a blank image.
    void SetupMid(uint32_t words, uint32_t eeprom) {
        writer.CoreWidth = kCoreMidRange;
        writer.ProgramSize = words;
        writer.EepromSize = eeprom;
        writer.AllocProgram();
        writer.AllocEeprom();
        writer.ConfigCount = 1;
        writer.DeviceId = 0x0E40;
        writer.EntryMode = 0;
        writer.SocketPins = 0;
    }

    // A PIC18 device with a blank image.
    void SetupPic18(uint32_t bytes, uint32_t eeprom) {
        writer.CoreWidth = kCorePic18;
        writer.ProgramSize = bytes;
        writer.EepromSize = eeprom;
        writer.AllocProgram();
        writer.AllocEeprom();
        writer.DeviceId = 0x0420;
        writer.EntryMode = 0;
        writer.SocketPins = 0;
    }

    PacketList Sent() const { return link.Packets(); }

    CFakeUsbLink link;
    CWriter writer{link};
};
