// The simulated firmware: packet parsing, answers, waits, identification,
// writer control and the programming voltage as a chip sees it.
#include "sim/SimFirmware.h"
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using simtest::CPacket;

namespace {

// A chip that records what reaches it.
class CRecordingChip : public ISimChip {
public:
    explicit CRecordingChip(int pins = 18) : m_pins(pins) {}
    std::string Name() const override { return "recorder"; }
    int CoreWidth() const override { return 14; }
    int PinCount() const override { return m_pins; }
    void SetProgrammingMode(bool on, uint64_t nowUs) override {
        m_mode = on;
        Log.push_back(std::string(on ? "enter@" : "leave@") + std::to_string(nowUs));
    }
    bool InProgrammingMode() const override { return m_mode; }
    void MidCommand(uint8_t c, uint64_t t) override {
        Log.push_back("cmd " + std::to_string(c) + "@" + std::to_string(t));
    }
    void MidLoad(uint8_t c, uint16_t raw, uint64_t) override {
        Log.push_back("load " + std::to_string(c) + " " + std::to_string(raw));
    }
    uint16_t MidRead(uint8_t c, uint64_t) override {
        Log.push_back("read " + std::to_string(c));
        return 0x1234;
    }
    void Pic18Command(uint8_t c, uint16_t op, uint64_t) override {
        Log.push_back("p18 " + std::to_string(c) + " " + std::to_string(op));
    }
    uint8_t Pic18Read(uint8_t c, uint64_t) override {
        Log.push_back("p18read " + std::to_string(c));
        return 0x5A;
    }
    void Pic18HoldBegin(uint8_t op, uint64_t) override { Log.push_back("hold " + std::to_string(op)); }
    void Pic18HoldEnd(uint64_t) override { Log.push_back("release"); }
    const CSimChipCounters& Counters() const override { return m_counters; }
    bool SaveToFile(const std::string&) const override { return false; }
    bool LoadFromFile(const std::string&) override { return false; }

    std::vector<std::string> Log;

private:
    int m_pins;
    bool m_mode = false;
    CSimChipCounters m_counters;
};

std::vector<uint8_t> Feed(CSimFirmware& fw, const CPacket& p) {
    return fw.RunPacket(p.Bytes().data(), p.Bytes().size());
}

} // namespace

TEST(SimFirmware, EveryOpcodeTakesItsOperandsAndAnswersInOrder) {
    CRecordingChip chip;
    CSimFirmware fw;
    fw.SetChip(&chip); // socket ICSP after power-on: wired
    fw.PowerOn();
    CPacket p;
    p.Cmd(0x06).Raw({0x00, 0x00}).Load(0x02, 0x0155).Read(0x04).Raw({0x85, 0x0D, 0x34, 0x12, 0x86, 0x09});
    p.Raw({0x87, 0xF0, 0x81, 0x00, 0xFF, 0xFF, 0x88, 0x00});
    const std::vector<uint8_t> answer = Feed(fw, p);
    EXPECT_EQ(answer, (std::vector<uint8_t>{0x34, 0x12, 0x5A}));
    EXPECT_EQ(chip.Log.size(), 7u);
    EXPECT_EQ(chip.Log[1], "load 2 682"); // the raw 16 bits as shifted (0x0155 << 1)
    EXPECT_EQ(chip.Log[3], "p18 13 4660");
    EXPECT_EQ(chip.Log[4], "p18read 9");
    EXPECT_EQ(chip.Log[5], "hold 240");
    EXPECT_EQ(chip.Log[6], "release");
    EXPECT_EQ(fw.Counters().Errors, 0u);
    // No read command: the one-byte acknowledgement.
    EXPECT_EQ(Feed(fw, CPacket().Control(0)), std::vector<uint8_t>{CSimFirmware::kAck});
}

TEST(SimFirmware, MalformedPacketsStopAtTheFaultAndAreRecorded) {
    CRecordingChip chip;
    CSimFirmware fw;
    fw.SetChip(&chip);
    fw.PowerOn();
    Feed(fw, CPacket().Cmd(0x06).Raw({0x90}).Cmd(0x06));
    EXPECT_EQ(chip.Log.size(), 1u);
    EXPECT_EQ(fw.Counters().Errors, 1u);
    EXPECT_NE(fw.LastError().find("0x90"), std::string::npos);

    Feed(fw, CPacket().Cmd(0x06).Raw({0x83, 0x02, 0x00})); // operands cut off
    EXPECT_EQ(chip.Log.size(), 2u);
    EXPECT_EQ(fw.Counters().Errors, 2u);
    EXPECT_NE(fw.LastError().find("operands"), std::string::npos);

    std::vector<uint8_t> longPacket(65, 0x00);
    longPacket[0] = 0x82;
    longPacket[1] = 0x06;
    fw.RunPacket(longPacket.data(), longPacket.size());
    EXPECT_EQ(chip.Log.size(), 2u) << "a packet over 64 bytes runs nothing";
    EXPECT_EQ(fw.Counters().Errors, 3u);

    Feed(fw, CPacket().Control(0x42));
    EXPECT_EQ(fw.Counters().Errors, 4u);
    EXPECT_NE(fw.LastError().find("control code 0x42"), std::string::npos);
    EXPECT_EQ(fw.Counters().Packets, 4u);
}

TEST(SimFirmware, WaitLastsTheCounterRunToOverflowAtAQuarterOfTheClock) {
    // The host's values for 1, 2, 4, 5, 10 ms at 20, 16 and 4 MHz.
    const unsigned clocks[] = {20, 16, 4};
    for (unsigned clock : clocks) {
        for (unsigned ms : {1u, 2u, 4u, 5u, 10u}) {
            CSimFirmwareConfig config;
            config.ClockMHz = clock;
            CSimFirmware fw(config);
            const uint16_t v = simtest::WaitValue(ms, clock);
            const uint64_t before = fw.NowNs();
            Feed(fw, CPacket().Raw({0x81, 0xAB, CPacket::Lo(v), CPacket::Hi(v)})); // first operand ignored
            const uint64_t expected = (65536u - v) * 4000ull / clock;
            EXPECT_EQ(fw.NowNs() - before, expected) << clock << " MHz, " << ms << " ms";
            EXPECT_GE(fw.NowNs() - before, ms * 1000000ull);
            EXPECT_LE(fw.NowNs() - before, ms * 1000000ull + 1000);
        }
    }
    // The PIC18 block write sends 81, high byte, low byte, 0xCE: the counter
    // starts at (0xCE << 8 | low), so "1 ms" lasts 2.5 ms at 20 MHz.
    CSimFirmware fw;
    Feed(fw, CPacket().Raw({0x81, 0xEC, 0x77, 0xCE}));
    EXPECT_EQ(fw.NowNs(), 2536200u);
    EXPECT_EQ(CSimFirmware::WaitNs(0x0001, 20), 13107000u); // the settling wait
    EXPECT_EQ(CSimFirmware::WaitNs(0x00FE, 4), 65282000u);
    EXPECT_EQ(CSimFirmware::WaitNs(0x0000, 20), 13107200u);
}

TEST(SimFirmware, IcspCommandsCostTheirShiftClocks) {
    CSimFirmware fw;
    Feed(fw, CPacket().Cmd(0x06));
    EXPECT_EQ(fw.NowNs(), 6000u);
    Feed(fw, CPacket().Load(0x02, 0));
    EXPECT_EQ(fw.NowNs(), 6000u + 23000u);
    Feed(fw, CPacket().Read(0x04));
    EXPECT_EQ(fw.NowNs(), 6000u + 46000u);
}

TEST(SimFirmware, IdentificationAnswersTheBanner) {
    CSimFirmware fw;
    const CPacket ident = CPacket().Control(0x80).Control(0x81);
    EXPECT_EQ(Feed(fw, ident), (std::vector<uint8_t>{'K', '3', '1', '7', 20}));
    CSimFirmwareConfig shortBanner;
    shortBanner.Banner = {'K', '3', '1'};
    CSimFirmware old(shortBanner);
    EXPECT_EQ(Feed(old, ident).size(), 3u);
    CSimFirmwareConfig none;
    none.Banner.clear();
    CSimFirmware silent(none);
    EXPECT_EQ(Feed(silent, ident), std::vector<uint8_t>{CSimFirmware::kAck});
    // 0x81 alone is out of order.
    Feed(fw, CPacket().Control(0x81));
    EXPECT_EQ(fw.Counters().Errors, 1u);
}

TEST(SimFirmware, ControlCodesSetTheWritersHardware) {
    CSimFirmware fw;
    fw.PowerOn();
    Feed(fw, CPacket().Control(0).Control(10).Control(13).Control(2).Control(8).Control(5));
    EXPECT_TRUE(fw.PowerLed());
    EXPECT_TRUE(fw.BusyLed());
    EXPECT_TRUE(fw.ErrorLed());
    EXPECT_TRUE(fw.DcDc());
    EXPECT_EQ(fw.Socket(), ESimSocket::Large);
    EXPECT_EQ(fw.Mclr(), ESimMclr::Reset);
    // The idle packet: error and busy off, converter off, power on, MCLR normal, ICSP.
    Feed(fw, CPacket().Control(14).Control(11).Control(3).Control(0).Control(6).Control(9));
    EXPECT_FALSE(fw.ErrorLed());
    EXPECT_FALSE(fw.BusyLed());
    EXPECT_FALSE(fw.DcDc());
    EXPECT_EQ(fw.Mclr(), ESimMclr::Normal);
    EXPECT_EQ(fw.Socket(), ESimSocket::Icsp);
    Feed(fw, CPacket().Control(7));
    EXPECT_EQ(fw.Socket(), ESimSocket::Small18);
    Feed(fw, CPacket().Control(12));
    EXPECT_EQ(fw.Socket(), ESimSocket::Small8And14);
}

TEST(SimFirmware, EntryPacketsOfModesZeroAndOneGiveVppModeTwoDoesNot) {
    for (int mode : {0, 1, 2}) {
        CRecordingChip chip(28);
        CSimFirmware fw;
        fw.SetChip(&chip);
        fw.PowerOn();
        Feed(fw, CPacket().Control(8));
        Feed(fw, simtest::CHostLink::EntryPacket(mode));
        const bool expectVpp = mode != 2; // mode 2 switches MCLR to VPP with the converter off
        EXPECT_EQ(fw.ChipHasVpp(), expectVpp) << "mode " << mode;
        EXPECT_EQ(chip.InProgrammingMode(), expectVpp) << "mode " << mode;
        EXPECT_EQ(fw.Mclr(), ESimMclr::Vpp);
        Feed(fw, CPacket().Cmd(0x06));
        EXPECT_EQ(fw.Counters().ChipCommandsWithoutVpp, expectVpp ? 0u : 1u);
        // The exit packet takes the voltage away again.
        Feed(fw, CPacket().Control(5).Control(11).Control(3).WaitV(1).Control(6).Control(9));
        EXPECT_FALSE(chip.InProgrammingMode());
    }
}

TEST(SimFirmware, VppFollowsMclrAndTheConverter) {
    CRecordingChip chip(40);
    CSimFirmware fw;
    fw.SetChip(&chip);
    fw.PowerOn();
    Feed(fw, CPacket().Control(8).Control(4)); // VPP selected, converter off
    EXPECT_FALSE(chip.InProgrammingMode());
    Feed(fw, CPacket().Control(2)); // the converter starts: VPP rises on MCLR
    EXPECT_TRUE(chip.InProgrammingMode());
    Feed(fw, CPacket().Control(3));
    EXPECT_FALSE(chip.InProgrammingMode());
    Feed(fw, CPacket().Control(2).Control(6));
    EXPECT_FALSE(chip.InProgrammingMode());
    EXPECT_EQ(chip.Log.size(), 4u); // enter, leave, enter, leave
}

TEST(SimFirmware, SocketWiringMustSuitThePackage) {
    struct Case {
        int Pins;
        uint8_t Socket;
        bool Wired;
    };
    const Case cases[] = {{8, 12, true},  {14, 12, true}, {18, 7, true},   {28, 8, true},
                          {40, 8, true},  {8, 7, false},  {18, 12, false}, {18, 8, false},
                          {28, 7, false}, {20, 7, false}, {20, 9, true},   {40, 9, true}};
    for (const Case& c : cases) {
        CRecordingChip chip(c.Pins);
        CSimFirmware fw;
        fw.SetChip(&chip);
        fw.PowerOn();
        const std::vector<uint8_t> answer =
            Feed(fw, CPacket().Control(c.Socket).Control(2).Control(4).Read(0x04));
        EXPECT_EQ(fw.ChipWired(), c.Wired) << c.Pins << " pins, code " << int(c.Socket);
        EXPECT_EQ(chip.InProgrammingMode(), c.Wired);
        // A chip the wiring misses does not answer: all ones.
        EXPECT_EQ(answer, c.Wired ? (std::vector<uint8_t>{0x34, 0x12}) : (std::vector<uint8_t>{0xFF, 0xFF}));
    }
    CSimFirmware empty;
    EXPECT_EQ(Feed(empty, CPacket().Read(0x04).Raw({0x86, 0x09})), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(empty.Counters().ChipCommandsUnwired, 2u);
}
