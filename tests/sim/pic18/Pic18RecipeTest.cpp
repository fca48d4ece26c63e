// The engine's fixed PIC18 routines, built from the same ICSP steps, run on
// each family: which erase method, panel setup and write sequences a
// catalogue entry can rely on.
#include "Icsp.h"

#include <gtest/gtest.h>

namespace {

// The writer's shortest waits are a little over the nominal time.
constexpr uint64_t kBlockWaitUs = 2500; // the block write's wait at 20 MHz
constexpr uint64_t kConfigWaitUs = 1000;
constexpr uint64_t kEraseWaitUs = 5000;

class CHost {
public:
    explicit CHost(CPic18Chip& chip) : m_icsp(chip) {}
    CIcsp& Icsp() { return m_icsp; }

    void EraseMethod4() {
        Frame([this] {
            m_icsp.SetTblptr(kPic18EraseKeyAddress);
            m_icsp.Cmd(0xC, 0x0080);
            m_icsp.Instr(kNop);
            m_icsp.Hold(0x00, kEraseWaitUs);
        });
    }
    void EraseMethod5() {
        Frame([this] {
            m_icsp.SetTblptr(kPic18EraseKeyAddress + 1);
            m_icsp.Cmd(0xC, 0x0F0F);
            m_icsp.SetTblptr(kPic18EraseKeyAddress);
            m_icsp.Cmd(0xC, 0x8787);
            m_icsp.Instr(kNop);
            m_icsp.Hold(0x00, kEraseWaitUs);
        });
    }
    void SinglePanelSetup() {
        m_icsp.Instr(kBsfEepgd);
        m_icsp.Instr(kBsfCfgs);
        m_icsp.SetTblptr(kPic18PanelRegisterAddress);
        m_icsp.Cmd(0xC, 0x0000);
        m_icsp.Instr(kBsfEepgd);
        m_icsp.Instr(kBcfCfgs);
    }
    void BlockWrite(uint32_t address, const uint8_t* d) {
        m_icsp.SetTblptr(address);
        for (int i = 0; i < 6; i += 2) {
            m_icsp.Cmd(0xD, static_cast<uint16_t>(d[i] | d[i + 1] << 8));
        }
        m_icsp.Cmd(0xF, static_cast<uint16_t>(d[6] | d[7] << 8));
        m_icsp.Hold(0xF0, kBlockWaitUs);
    }
    void WriteProgram(const std::vector<uint8_t>& image, bool singlePanel) {
        Frame([&] {
            if (singlePanel) {
                SinglePanelSetup();
            }
            for (uint32_t offset = 0; offset < image.size(); offset += 8) {
                BlockWrite(offset, image.data() + offset);
            }
        });
    }
    void WriteConfig(const std::vector<uint8_t>& ids, const std::vector<uint8_t>& config) {
        Frame([&] {
            SinglePanelSetup();
            BlockWrite(kPic18IdAddress, ids.data());
            for (uint32_t k = 0; k < 7; ++k) {
                m_icsp.Instr(kBsfEepgd);
                m_icsp.Instr(kBsfCfgs);
                m_icsp.Instr(0xEF00);
                m_icsp.Instr(0xF800);
                m_icsp.SetTblptr(kPic18ConfigAddress + 2 * k);
                m_icsp.Cmd(0xF, static_cast<uint16_t>(0xFF00 | config[2 * k]));
                m_icsp.Hold(0xF0, kConfigWaitUs);
                m_icsp.Instr(0x2AF6);
                m_icsp.Cmd(0xF, static_cast<uint16_t>(config[2 * k + 1] << 8 | 0xFF));
                m_icsp.Hold(0xF0, kConfigWaitUs);
            }
        });
    }
    // Returns how many bytes still showed WR set after 100 polls.
    int WriteEeprom(const std::vector<uint8_t>& data, uint64_t pollCostUs) {
        int stuck = 0;
        Frame([&] {
            for (uint32_t a = 0; a < data.size(); ++a) {
                m_icsp.StartEepromWrite(a, data[a], true);
                int polls = 0;
                while (polls < 100) {
                    ++polls;
                    m_icsp.Wait(pollCostUs);
                    if ((m_icsp.Eecon1() & 0x02) == 0) {
                        break;
                    }
                }
                stuck += polls == 100 ? 1 : 0;
                m_icsp.Instr(kBcfWren);
            }
        });
        return stuck;
    }

private:
    template <typename F> void Frame(F body) {
        m_icsp.Enter();
        body();
        m_icsp.Exit();
    }

    CIcsp m_icsp;
};

void Dirty(CPic18Chip& chip) {
    for (uint32_t a = 0; a < chip.Model().ProgramBytes; a += 0x40) {
        chip.SetProgramByte(a, 0x00);
    }
    chip.SetIdByte(0, 0x00);
    chip.SetEepromByte(0, 0x00);
    chip.SetConfigByte(8, 0x00); // code-protected
}

bool Erased(const CPic18Chip& chip) {
    for (uint32_t a = 0; a < chip.Model().ProgramBytes; ++a) {
        if (chip.ProgramByte(a) != 0xFF) {
            return false;
        }
    }
    return chip.EepromByte(0) == 0xFF && chip.ConfigByte(8) == chip.Model().ConfigBlank[8];
}

TEST(Pic18Recipes, EraseMethodsPerFamily) {
    for (const CPic18Model& model : Pic18Models()) {
        const bool f2xxx = model.Family == EPic18Family::F2xxx;
        CPic18Chip four(model, ESimTiming::Typical);
        Dirty(four);
        CHost(four).EraseMethod4();
        EXPECT_EQ(Erased(four), !f2xxx) << model.Name;
        EXPECT_EQ(four.IdByte(0) == 0xFF, !f2xxx) << model.Name;

        CPic18Chip five(model, ESimTiming::Typical);
        Dirty(five);
        CHost(five).EraseMethod5();
        EXPECT_EQ(Erased(five), f2xxx) << model.Name;
        EXPECT_EQ(five.IdByte(0), 0x00) << model.Name; // 0F87h leaves the IDs on F2xxx too

        // Strict timing wants the longest P11: 5 ms on F2xxx, 10 ms on the
        // older families, where the 5 ms wait is too short.
        CPic18Chip strict(model, ESimTiming::Strict);
        Dirty(strict);
        CHost host(strict);
        f2xxx ? host.EraseMethod5() : host.EraseMethod4();
        EXPECT_EQ(Erased(strict), f2xxx) << model.Name;
        EXPECT_EQ(strict.Pic18Counters().EraseTooShort, f2xxx ? 0u : 1u) << model.Name;
    }
}

TEST(Pic18Recipes, ProgramConfigAndEepromPerFamily) {
    for (const CPic18Model& model : Pic18Models()) {
        CPic18Chip chip(model, ESimTiming::Typical);
        CHost host(chip);
        const std::vector<uint8_t> image = Pattern(model.ProgramBytes, 2);
        const bool fxx2 = model.Family == EPic18Family::Fxx2;
        host.WriteProgram(image, fxx2);
        bool same = true;
        for (uint32_t a = 0; a < model.ProgramBytes; ++a) {
            same = same && chip.ProgramByte(a) == image[a];
        }
        EXPECT_TRUE(same) << model.Name;

        std::vector<uint8_t> config(model.ConfigBlank.begin(), model.ConfigBlank.end());
        config[2] = 0x00;
        host.WriteConfig({1, 2, 3, 4, 5, 6, 7, 8}, config);
        EXPECT_EQ(chip.IdByte(7), 8) << model.Name;
        for (int i = 0; i < kPic18ConfigBytes; ++i) {
            EXPECT_EQ(chip.ConfigByte(i), config[i] & model.ConfigImplemented[i]) << model.Name << " " << i;
        }

        const std::vector<uint8_t> data = Pattern(16, 4);
        EXPECT_EQ(host.WriteEeprom(data, 125), 0) << model.Name;
        for (uint32_t a = 0; a < data.size(); ++a) {
            EXPECT_EQ(chip.EepromByte(a), data[a]) << model.Name;
        }
        EXPECT_EQ(chip.Counters().CyclesTooShort, 0u) << model.Name;
    }
}

TEST(Pic18Recipes, WhatGoesWrongWithoutTheRightSetup) {
    // FXX2 without the single-panel setup: later blocks of panel 0 take on
    // the last panel-0 block each time another panel is written.
    CPic18Chip fxx2(*FindPic18Model("PIC18F452"), ESimTiming::Typical);
    CHost a(fxx2);
    const std::vector<uint8_t> image = Pattern(fxx2.Model().ProgramBytes, 6);
    a.WriteProgram(image, false);
    int wrong = 0;
    for (uint32_t i = 0; i < image.size(); ++i) {
        wrong += fxx2.ProgramByte(i) != image[i] ? 1 : 0;
    }
    EXPECT_GT(wrong, 1000);

    // The setup is harmless on the one-panel families.
    for (const char* name : {"PIC18F1220", "PIC18F2520"}) {
        CPic18Chip chip(*FindPic18Model(name), ESimTiming::Typical);
        CHost host(chip);
        const std::vector<uint8_t> data = Pattern(chip.Model().ProgramBytes, 8);
        host.WriteProgram(data, true);
        EXPECT_EQ(chip.ProgramByte(chip.Model().ProgramBytes - 1), data.back()) << name;
        EXPECT_EQ(chip.ProgramByte(0x123), data[0x123]) << name;
    }

    // EEPROM polls that end before the write: the next byte's WR comes while
    // the previous write still runs and is refused.
    CPic18Chip slow(*FindPic18Model("PIC18F252"), ESimTiming::Strict);
    CHost b(slow);
    EXPECT_GT(b.WriteEeprom(Pattern(4, 1), 20), 0);
    EXPECT_GT(slow.Pic18Counters().EepromWritesRefused, 0u);

    // Strict timing: P9 is the minimum hold, which the 1 ms configuration
    // wait gives; the low time P10 comes after the hold, not in it.
    CPic18Chip strict(*FindPic18Model("PIC18F2550"), ESimTiming::Strict);
    CHost c(strict);
    std::vector<uint8_t> config(strict.Model().ConfigBlank.begin(), strict.Model().ConfigBlank.end());
    config[2] = 0x00;
    c.WriteConfig({1, 2, 3, 4, 5, 6, 7, 8}, config);
    EXPECT_EQ(strict.IdByte(0), 1);
    EXPECT_EQ(strict.ConfigByte(2), 0x00);
    EXPECT_EQ(strict.Pic18Counters().ProgrammingTooShort, 0u);
}

TEST(Pic18Recipes, P10IsALowTimeAfterTheHold) {
    // DS39622K: PGC low for P10 (100 us) after the hold before the next
    // command; a command sooner undoes the cycle, programming or erase.
    for (uint64_t low : {0u, 50u, 100u}) {
        CPic18Chip chip(*FindPic18Model("PIC18F4520"), ESimTiming::Strict);
        CIcsp icsp(chip);
        icsp.Enter();
        icsp.SelectCode();
        const std::vector<uint8_t> data = Pattern(8, 3);
        icsp.SetTblptr(0x100);
        for (size_t i = 0; i + 2 < data.size(); i += 2) {
            icsp.Cmd(0xD, static_cast<uint16_t>(data[i] | data[i + 1] << 8));
        }
        icsp.Cmd(0xF, static_cast<uint16_t>(data[6] | data[7] << 8));
        icsp.Hold(0xF0, 1000, low);
        icsp.Instr(kNop);
        const bool kept = low >= 100;
        EXPECT_EQ(chip.ProgramByte(0x100), kept ? data[0] : 0xFF) << low;
        EXPECT_EQ(chip.Pic18Counters().DischargeCut, kept ? 0u : 1u) << low;
        EXPECT_EQ(chip.Counters().CyclesTooShort, kept ? 0u : 1u) << low;

        icsp.BulkErase(0x3F8F, true, 5000);
        icsp.Exit(); // the exit comes 1 us after the erase's low time
        EXPECT_EQ(chip.ProgramByte(0x100), 0xFF) << "erased, " << low;
    }
    // On the older families P10 is 5 us.
    CPic18Chip old(*FindPic18Model("PIC18F452"), ESimTiming::Strict);
    CIcsp icsp(old);
    icsp.Enter();
    icsp.ProgramConfig(1, 0x22, 1000);
    EXPECT_EQ(old.ConfigByte(1), 0x22);
}

} // namespace
