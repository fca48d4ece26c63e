// The writer function test on the simulated writer: the exact packets each
// button sends, and the idle state before and after.
#include "TestHost.h"

#include "sim/SimWriter.h"
#include "ui/FunctionTest.h"
#include "ui/ResourceIds.h"
#include "writer/Writer.h"

#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Error LED off, busy LED off, converter off, power LED on, MCLR normal, socket ICSP.
const Bytes kIdlePacket = {0x80, 0x0E, 0x80, 0x0B, 0x80, 0x03, 0x80, 0x00, 0x80, 0x06, 0x80, 0x09};

class CParent : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override { return *FindDialogLayout(kIddMain); }
};

class FunctionTestTest : public ::testing::Test {
protected:
    FunctionTestTest() {
        Host.Open();
        EXPECT_TRUE(Writer.Poll()) << "the simulated writer is attached";
        Writer.SetTraceHook([this](CWriter::ETraceDirection direction, std::span<const uint8_t> bytes) {
            if (direction == CWriter::ETraceDirection::Out) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_packets.emplace_back(bytes.begin(), bytes.end());
            }
        });
    }
    ~FunctionTestTest() override { Writer.SetTraceHook({}); }

    std::vector<Bytes> Packets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

    CSimWriter Sim;
    CWriter Writer{Sim};
    CParent Parent;
    CTestScript Script;
    CTestWindowHost Host{Parent, Script};

private:
    std::mutex m_mutex;
    std::vector<Bytes> m_packets;
};

} // namespace

TEST_F(FunctionTestTest, OpenAndCloseWithoutAClickSendsTwoIdlePackets) {
    for (int way = 0; way < 2; ++way) {
        Script.QueueDialog(kIddFunctionTest, [way](CTestWindowHost& d) {
            if (way == 0) {
                d.Click(kIdOk); // "終了"
            } else {
                d.CloseBox();
            }
        });
    }
    RunWriterFunctionTest(Host, Writer);
    EXPECT_EQ(Packets(), (std::vector<Bytes>{kIdlePacket, kIdlePacket}));
    RunWriterFunctionTest(Host, Writer);
    EXPECT_EQ(Packets(), (std::vector<Bytes>{kIdlePacket, kIdlePacket, kIdlePacket, kIdlePacket}));
    EXPECT_TRUE(Script.Messages.empty());
}

TEST_F(FunctionTestTest, OpensOnTheIdleStateWithoutSendingAnything) {
    Script.QueueDialog(kIddFunctionTest, [this](CTestWindowHost& d) {
        EXPECT_EQ(Packets().size(), 1u) << "only the idle packet before the dialog";
        for (int id : {1000, 1002, 1006, 1009, 1012, 1015}) {
            EXPECT_TRUE(d.Checked(id)) << id;
        }
        for (int id : {1001, 1003, 1004, 1005, 1007, 1008, 1011, 1014}) {
            EXPECT_FALSE(d.Checked(id)) << id;
        }
        d.Click(kIdOk);
    });
    RunWriterFunctionTest(Host, Writer);
}

TEST_F(FunctionTestTest, EachButtonSendsItsControlCode) {
    struct CButton {
        int Id;
        uint8_t Code;
    };
    // The DC-DC pair is numbered the other way round from the other groups.
    const CButton buttons[] = {{1000, 0},  {1001, 1},  {1003, 2},  {1002, 3}, {1004, 4},
                               {1005, 5},  {1006, 6},  {1007, 7},  {1008, 8}, {1009, 9},
                               {1011, 10}, {1012, 11}, {1014, 13}, {1015, 14}};
    Script.QueueDialog(kIddFunctionTest, [&](CTestWindowHost& d) {
        for (const CButton& b : buttons) {
            const size_t before = Packets().size();
            EXPECT_TRUE(d.Click(b.Id));
            const std::vector<Bytes> packets = Packets();
            ASSERT_EQ(packets.size(), before + 1) << b.Id;
            EXPECT_EQ(packets.back(), (Bytes{0x80, b.Code})) << b.Id;
            EXPECT_TRUE(d.Checked(b.Id)) << b.Id;
        }
        d.Click(kIdOk);
    });
    RunWriterFunctionTest(Host, Writer);
    EXPECT_EQ(Packets().size(), 2u + std::size(buttons));

    // Code 12 (the extra small-socket setting) has no button.
    std::set<int> codes;
    for (const CControlDef& control : FindDialogLayout(kIddFunctionTest)->Controls) {
        uint8_t code = 0;
        if (CKVX3FunctionTest::ControlCodeOf(control.Id, code)) {
            EXPECT_EQ(control.Kind, EControlKind::RadioButton);
            codes.insert(code);
        }
    }
    EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14}));
}

TEST_F(FunctionTestTest, TheCheckedButtonSendsAgainAndTheWriterEndsIdle) {
    Script.QueueDialog(kIddFunctionTest, [this](CTestWindowHost& d) {
        d.Click(1000); // already checked
        EXPECT_EQ(Packets().back(), (Bytes{0x80, 0x00}));
        d.Click(1003); // DC-DC ON
        d.Click(1004); // MCLR to VPP
        d.Click(1008); // 28/40-pin socket
        const CSimWriterState state = Sim.State();
        EXPECT_TRUE(state.DcDc);
        EXPECT_EQ(state.Mclr, ESimMclr::Vpp);
        EXPECT_EQ(state.Socket, ESimSocket::Large);
        EXPECT_FALSE(d.Checked(1002)) << "the group's other button is cleared";
        d.Click(kIdOk);
    });
    RunWriterFunctionTest(Host, Writer);
    const CSimWriterState state = Sim.State();
    EXPECT_FALSE(state.DcDc);
    EXPECT_TRUE(state.PowerLed);
    EXPECT_EQ(state.Mclr, ESimMclr::Normal);
    EXPECT_EQ(state.Socket, ESimSocket::Icsp);
    EXPECT_EQ(Packets().back(), kIdlePacket);
}

TEST_F(FunctionTestTest, AnUnpluggedWriterGetsNothingAndNothingIsSaid) {
    Script.QueueDialog(kIddFunctionTest, [this](CTestWindowHost& d) {
        Sim.Unplug();
        EXPECT_FALSE(Writer.Poll()); // the window's timer notices
        const size_t before = Packets().size();
        EXPECT_TRUE(d.Click(1003));
        EXPECT_TRUE(d.Click(1005));
        EXPECT_EQ(Packets().size(), before);
        d.Click(kIdOk);
    });
    RunWriterFunctionTest(Host, Writer);
    EXPECT_EQ(Packets().size(), 1u) << "only the idle packet sent before the unplug";
    EXPECT_TRUE(Script.Messages.empty());
}
