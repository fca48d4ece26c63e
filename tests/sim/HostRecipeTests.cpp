// The host's mid-range recipes (erase methods, word and latch writes, EEPROM
// and configuration writes), built here byte by byte and run against every
// family's chip model: which catalogue settings really program which chip,
// in typical and in strict timing.
#include "tests/sim/SimTestSupport.h"

#include <gtest/gtest.h>

using simtest::CBench;
using simtest::CPacket;

namespace {

struct Entry {
    const char* Model;
    int EntryMode, WriteCycle, EepromMethod, BlockWrite, EraseMethod, BlockWords;
    bool Used; // start from a programmed, code-protected chip
};

struct Outcome {
    bool Erased = false, Program = false, Eeprom = false, Ids = false, Config = false;
    std::string Text() const {
        return std::string(Erased ? "E" : "-") + (Program ? "P" : "-") + (Eeprom ? "D" : "-") +
               (Ids ? "I" : "-") + (Config ? "C" : "-");
    }
};

constexpr size_t kWords = 64;
constexpr size_t kBytes = 16;

class CHost {
public:
    CHost(CBench& bench, const Entry& e) : b(bench), m(e) {}

    uint8_t End() const { return m.WriteCycle == 2 ? 0x17 : m.WriteCycle == 3 ? 0x0A : 0x0E; }
    bool HasEeprom() { return b.Chip().RegionSize(EMidRegion::Eeprom) > 0; }
    void Enter() { b.Link.Enter(b.Chip().PinCount(), m.EntryMode); }

    void Erase() {
        Enter();
        const auto eraseCycle = [] {
            return CPacket().Cmd(0x01).Cmd(0x07).Cmd(0x08).WaitMs(10).Cmd(0x01).Cmd(0x07);
        };
        switch (m.EraseMethod) {
        case 1:
            b.Send(CPacket().LoadConfig(0).Cmd(0x09).WaitMs(10));
            if (HasEeprom()) {
                b.Send(CPacket().Cmd(0x0B).WaitMs(10));
            }
            break;
        case 2:
            b.Send(CPacket().LoadProgram(0x3FFF).Cmd(0x09).Cmd(0x08).WaitMs(10));
            if (HasEeprom()) {
                b.Send(CPacket().LoadData(0xFF).Cmd(0x0B).Cmd(0x08).WaitMs(10));
            }
            b.Send(CPacket().LoadConfig(0x3FFF).Inc(7));
            b.Send(eraseCycle());
            break;
        case 3:
            b.Send(CPacket().LoadProgram(0x3FFF));
            b.Send(eraseCycle());
            if (HasEeprom()) {
                b.Send(CPacket().LoadData(0xFF));
                b.Send(eraseCycle());
            }
            b.Send(CPacket().LoadConfig(0x3FFF).Inc(7));
            b.Send(eraseCycle());
            break;
        case 4:
            b.Send(CPacket().LoadConfig(0x3FFF).Cmd(0x1F).WaitMs(4));
            break;
        case 5:
            b.Send(CPacket().LoadConfig(0x3FFF).Cmd(0x09).Cmd(0x0E).WaitMs(4));
            break;
        default:
            break;
        }
        b.Link.Exit();
    }
    void WordWrite(uint16_t w) {
        const std::vector<uint8_t> a = b.Send(CPacket().LoadProgram(w).Cmd(0x08).WaitMs(4).Read(0x04), 10);
        if (simtest::Words(a).empty() || simtest::Words(a)[0] != w) {
            b.Writer.HostDelay(4);
        }
        b.Send(CPacket().Inc(), 10);
    }
    void LatchWrite(const uint16_t* words, size_t n) {
        CPacket loads;
        for (size_t i = 0; i < n; ++i) {
            loads.LoadProgram(words[i]);
            if (i + 1 < n) {
                loads.Inc();
            }
        }
        b.Send(loads, 10);
        b.Send(CPacket().Cmd(0x18).WaitMs(2).Cmd(End()).Inc(), 10);
    }
    void WriteProgram(const std::vector<uint16_t>& image) {
        Enter();
        if (m.WriteCycle == 1 || m.WriteCycle == 2) {
            for (size_t i = 0; i < image.size(); i += m.BlockWords) {
                LatchWrite(&image[i], m.BlockWords);
            }
        } else {
            for (uint16_t w : image) {
                WordWrite(w);
            }
        }
        b.Link.Exit();
    }
    void WriteEeprom(const std::vector<uint8_t>& image) {
        if (!HasEeprom()) {
            return;
        }
        Enter();
        for (uint8_t v : image) {
            if (m.EepromMethod == 1) {
                b.Send(CPacket().LoadData(v).Cmd(0x18).WaitMs(4).Cmd(0x17).Inc(), 10);
            } else {
                b.Send(CPacket().LoadData(v).Cmd(0x08).WaitMs(10).Inc(), 10);
            }
        }
        b.Link.Exit();
    }
    void WriteConfig(const std::vector<uint16_t>& config, const uint16_t (&ids)[4]) {
        Enter();
        b.Send(CPacket().LoadConfig(0), 10);
        if (m.BlockWrite == 1) {
            if (m.BlockWords * 2 < 8) {
                for (uint16_t id : ids) {
                    LatchWrite(&id, 1);
                }
            } else {
                LatchWrite(ids, 4);
            }
        } else {
            for (uint16_t id : ids) {
                WordWrite(id);
            }
        }
        b.Send(CPacket().Inc(2).Read(0x04).Inc(), 19); // device ID step
        for (uint16_t v : config) {
            if (m.BlockWrite == 1) {
                b.Send(CPacket().LoadProgram(v).Cmd(0x08).WaitMs(4).Cmd(End()).Inc(), 10);
            } else {
                b.Send(CPacket().LoadProgram(v).Cmd(0x08).WaitMs(10).Inc(), 10);
            }
        }
        b.Link.Exit();
    }

private:
    CBench& b;
    Entry m;
};

Outcome RunProgramFlow(const Entry& e, ESimTiming timing) {
    CBench bench(e.Model, timing);
    CMidRangeChip& chip = bench.Chip();
    if (e.Used) {
        for (size_t i = 0; i < chip.RegionSize(EMidRegion::Program); ++i) {
            chip.Poke(EMidRegion::Program, i, 0x0123);
        }
        for (size_t i = 0; i < chip.RegionSize(EMidRegion::Eeprom); ++i) {
            chip.Poke(EMidRegion::Eeprom, i, 0x42);
        }
        for (size_t i = 0; i < 4; ++i) {
            chip.Poke(EMidRegion::UserId, i, 0x0005);
        }
        const uint16_t guard =
            static_cast<uint16_t>(chip.Device().ProtectMask | chip.Device().DataProtectMask);
        chip.Poke(EMidRegion::Config, 0, static_cast<uint16_t>(chip.Peek(EMidRegion::Config, 0) & ~guard));
    }
    std::vector<uint16_t> program(kWords);
    for (size_t i = 0; i < kWords; ++i) {
        program[i] = static_cast<uint16_t>((0x1000 + i * 0x0107) & 0x3FFF);
    }
    std::vector<uint8_t> eeprom(kBytes);
    for (size_t i = 0; i < kBytes; ++i) {
        eeprom[i] = static_cast<uint8_t>(0x30 + i);
    }
    const uint16_t ids[4] = {0x3F81, 0x3F82, 0x3F83, 0x3F84};
    std::vector<uint16_t> config;
    for (size_t i = 0; i < chip.RegionSize(EMidRegion::Config); ++i) {
        const uint16_t erased =
            static_cast<uint16_t>(chip.Device().ConfigImplemented[i] | chip.Device().ConfigReadOnes[i]);
        config.push_back(i == 0 ? static_cast<uint16_t>(erased & ~0x0008) : erased);
    }

    CHost host(bench, e);
    Outcome o;
    host.Erase();
    o.Erased = !chip.CodeProtected() && chip.Peek(EMidRegion::Program, 0) == 0x3FFF;
    host.WriteProgram(program);
    host.WriteEeprom(eeprom);
    host.WriteConfig(config, ids);
    o.Program = o.Eeprom = o.Ids = o.Config = true;
    for (size_t i = 0; i < kWords; ++i) {
        o.Program = o.Program && chip.Peek(EMidRegion::Program, i) == program[i];
    }
    for (size_t i = 0; i < kBytes && host.HasEeprom(); ++i) {
        o.Eeprom = o.Eeprom && chip.Peek(EMidRegion::Eeprom, i) == eeprom[i];
    }
    for (size_t i = 0; i < 4; ++i) {
        o.Ids = o.Ids && chip.Peek(EMidRegion::UserId, i) == ids[i];
    }
    for (size_t i = 0; i < config.size(); ++i) {
        o.Config = o.Config && chip.Peek(EMidRegion::Config, i) == config[i];
    }
    return o;
}

} // namespace

TEST(HostRecipes, WhichCatalogueSettingsProgramWhichFamily) {
    struct Case {
        Entry E;
        const char* Typical;
        const char* Strict;
    };
    // E = erased (and unprotected), P = program memory, D = data EEPROM, I = user IDs, C = configuration.
    const Case cases[] = {
        {{"PIC12F629", 1, 3, 0, 0, 1, 1, true}, "EPDIC", "EPDIC"},
        {{"PIC12F683", 1, 3, 0, 0, 1, 1, true}, "EPDIC", "EPDIC"},
        {{"PIC16F84A", 0, 0, 0, 0, 2, 1, true}, "EPDIC", "E-D-C"}, // word writes wait 4 ms of up to 8
        {{"PIC16F628A", 1, 0, 0, 0, 1, 1, true}, "EPDIC", "EPDIC"},
        {{"PIC16F873A", 0, 2, 0, 0, 4, 4, true}, "EPDIC", "--D--"}, // chip erase and ID writes need 8 ms
        {{"PIC16F877A", 0, 2, 0, 0, 4, 8, true}, "EPDIC", "--D--"},
        {{"PIC16F886", 1, 3, 0, 0, 1, 1, true}, "EPDIC", "EPDIC"},
        // Families the catalogue leaves out, with the facts' suggested settings.
        {{"PIC16F716", 0, 1, 0, 1, 1, 4, true}, "EPDI-", "EPDI-"}, // no 0x08 for the configuration word
        {{"PIC16F77", 0, 1, 0, 1, 1, 2, true}, "--D--", "--D--"},  // 30 ms chip erase never completes
        {{"PIC16F77", 0, 1, 0, 1, 1, 2, false}, "EPDIC", "EPDIC"}, // ... a blank part programs
        {{"PIC16F818", 1, 2, 1, 1, 4, 4, true}, "-----", "-----"}, // 8 ms chip erase; 0x08 is a row erase
        {{"PIC16F818", 1, 2, 1, 1, 4, 4, false}, "EPDI-", "EPDI-"},
        // Entry mode 2 switches MCLR to VPP with the converter off: no programming voltage.
        {{"PIC16F628A", 2, 0, 0, 0, 1, 1, true}, "-----", "-----"},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.E.Model) + (c.E.Used ? " used" : " blank") + " entry " +
                                 std::to_string(c.E.EntryMode);
        EXPECT_EQ(RunProgramFlow(c.E, ESimTiming::Typical).Text(), c.Typical) << what << ", typical";
        EXPECT_EQ(RunProgramFlow(c.E, ESimTiming::Strict).Text(), c.Strict) << what << ", strict";
    }
}

TEST(HostRecipes, ProgrammingRunsStayWithinTheHostsObligations) {
    CBench bench("PIC16F877A");
    CHost host(bench, {"PIC16F877A", 0, 2, 0, 0, 4, 8, false});
    host.Erase();
    host.WriteProgram(std::vector<uint16_t>(kWords, 0x0A5A));
    const CSimWriterCounters c = bench.Writer.Counters();
    EXPECT_EQ(c.Obligations.Total(), 0u);
    EXPECT_EQ(c.Firmware.Errors, 0u);
    EXPECT_EQ(c.Firmware.ChipCommandsWithoutVpp, 0u);
    EXPECT_EQ(bench.Chip().Counters().CyclesTooShort, 0u);
    EXPECT_EQ(bench.Chip().Counters().ProgrammingEntries, 2u);
    EXPECT_EQ(bench.Chip().TotalWrites(), kWords);
    // 8 rows of two packets, each exchange 250 us of USB plus a 2 ms wait.
    EXPECT_GT(c.ElapsedUs, 8 * 2000u + 16 * 250u);
}

// Every erase method on a programmed, protected chip of each family: does it
// leave the chip blank and unprotected (program memory, EEPROM, configuration)?
TEST(HostRecipes, WhichEraseMethodClearsWhichFamily) {
    const char* models[] = {"PIC12F629", "PIC12F683", "PIC16F84A",  "PIC16F628A", "PIC16F716",
                            "PIC16F77",  "PIC16F818", "PIC16F877A", "PIC16F886"};
    // One row per model, methods 1 to 5, typical timing then strict.
    const char* expected[] = {
        "1---5 1----", // F-A: 0x0E is no command here, the erase runs on (4 typ / 8 ms max)
        "1---- 1----", // F-B: method 5 gives 4 ms of 5 typ
        "-23-- -23--", // F-C: only the sequences with the setup erase at 0x2007
        "1---5 1----", // F-D: method 5 gives 4 ms, enough for 4 typ, not for 6 max
        "1---- 1----", // F-E: 0x0E ends the erase of method 5 at once
        "----- -----", // F-F: the 30 ms chip erase outlasts every method
        "----- -----", // F-G: chip erase needs 8 ms
        "---4- -----", // F-H: chip erase 4 typ / 8 ms max
        "1---- 1----", // F-I
    };
    for (size_t m = 0; m < std::size(models); ++m) {
        std::string got;
        for (ESimTiming timing : {ESimTiming::Typical, ESimTiming::Strict}) {
            if (!got.empty()) {
                got += ' ';
            }
            for (int method = 1; method <= 5; ++method) {
                CBench bench(models[m], timing);
                CMidRangeChip& chip = bench.Chip();
                for (size_t i = 0; i < chip.RegionSize(EMidRegion::Program); ++i) {
                    chip.Poke(EMidRegion::Program, i, 0x0123);
                }
                for (size_t i = 0; i < chip.RegionSize(EMidRegion::Eeprom); ++i) {
                    chip.Poke(EMidRegion::Eeprom, i, 0x42);
                }
                const uint16_t guard =
                    static_cast<uint16_t>(chip.Device().ProtectMask | chip.Device().DataProtectMask);
                chip.Poke(EMidRegion::Config, 0,
                          static_cast<uint16_t>(chip.Peek(EMidRegion::Config, 0) & ~guard));
                CHost host(bench, {models[m], 0, 0, 0, 0, method, 1, true});
                host.Erase();
                bool blank = !chip.CodeProtected() && !chip.DataProtected();
                for (size_t i = 0; i < chip.RegionSize(EMidRegion::Program); ++i) {
                    blank = blank && chip.Peek(EMidRegion::Program, i) == 0x3FFF;
                }
                for (size_t i = 0; i < chip.RegionSize(EMidRegion::Eeprom); ++i) {
                    blank = blank && chip.Peek(EMidRegion::Eeprom, i) == 0xFF;
                }
                got += blank ? std::to_string(method) : "-";
            }
        }
        EXPECT_EQ(got, expected[m]) << models[m];
    }
}
