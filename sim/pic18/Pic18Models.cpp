#include "sim/pic18/Pic18Models.h"

namespace {

CPic18EraseSet ChipErase() {
    CPic18EraseSet set;
    set.AllCode = true;
    set.Ids = true;
    set.Config = true;
    set.Eeprom = true;
    return set;
}

CPic18EraseSet EraseOnly(bool boot, bool config, bool eeprom, bool ids) {
    CPic18EraseSet set;
    set.Boot = boot;
    set.Config = config;
    set.Eeprom = eeprom;
    set.Ids = ids;
    return set;
}

CPic18EraseSet ErasePanel(int panel) {
    CPic18EraseSet set;
    set.Panels = static_cast<uint8_t>(1u << panel);
    return set;
}

CPic18EraseSet EraseBlock(int block) {
    CPic18EraseSet set;
    set.Blocks = static_cast<uint8_t>(1u << block);
    return set;
}

// PIC18FXX2/XX8. Checked in DS39576B: 8 KB panels with an 8-byte buffer each,
// 0x3C0006 = 0x40 multi-panel / 0x00 single-panel, the erase keys 80h chip,
// 81h data EEPROM, 83h boot block, 88h..8Bh panels 1..4, P9 1 ms, P10 5 µs,
// P11 5 ms, the 55h/AAh unlock before WR. Assumed: the panel register comes
// up in multi-panel mode at programming-mode entry and the panel buffers keep
// their contents after a cycle (DS39576B does not say they are
// cleared); the strict erase time is the 10 ms of the later revision C; the
// EEPROM write takes 4 ms typically (the device data sheet's typical) and at
// most the revision-C P11.
CPic18FamilyParams MakeFxx2() {
    CPic18FamilyParams f;
    f.Id = EPic18Family::Fxx2;
    f.Name = "PIC18FXX2/XX8";
    f.Source = "DS39576B";
    f.WriteBufferBytes = 8;
    f.PanelBytes = 0x2000;
    f.HasPanelRegister = true;
    f.PanelRegisterAtEntry = 0x40;
    f.BufferResetAfterWrite = false;
    f.HasEraseKeyHigh = false;
    f.EraseKeys = {
        {0x80, ChipErase()},
        {0x81, EraseOnly(false, false, true, false)},
        {0x83, EraseOnly(true, false, false, false)},
        {0x88, ErasePanel(0)},
        {0x89, ErasePanel(1)},
        {0x8A, ErasePanel(2)},
        {0x8B, ErasePanel(3)},
    };
    f.EepromNeedsUnlock = true;
    f.Command0xEStartsProgramming = false;
    f.P9 = {1000, 1000};
    f.P10 = 5;
    f.P11 = {5000, 10000};
    f.EepromWrite = {4000, 10000};
    return f;
}

// PIC18FX220/X320. Checked in DS39592E: 8-byte buffer, chip erase 80h at
// 0x3C0004, P9 1 ms, P10 5 µs, P11 5 ms, the unlock before WR; no panel
// register (these parts have one panel, so a write to 0x3C0006 has no effect).
// Assumed: the 81h/83h keys work as on the FXX2 parts, strict times as there.
CPic18FamilyParams MakeFx220() {
    CPic18FamilyParams f;
    f.Id = EPic18Family::Fx220;
    f.Name = "PIC18FX220/X320";
    f.Source = "DS39592E";
    f.WriteBufferBytes = 8;
    f.PanelBytes = 0;
    f.HasPanelRegister = false;
    f.BufferResetAfterWrite = false;
    f.HasEraseKeyHigh = false;
    f.EraseKeys = {
        {0x80, ChipErase()},
        {0x81, EraseOnly(false, false, true, false)},
        {0x83, EraseOnly(true, false, false, false)},
    };
    f.EepromNeedsUnlock = true;
    f.Command0xEStartsProgramming = false;
    f.P9 = {1000, 1000};
    f.P10 = 5;
    f.P11 = {5000, 10000};
    f.EepromWrite = {4000, 10000};
    return f;
}

// PIC18F2XXX/4XXX. Checked in DS39622K: 32-byte write buffer on the five
// devices here, no panel register, the 16-bit key 3C0005h:3C0004h with chip
// erase 3F8Fh, 0084h data EEPROM, 0081h boot block, 0082h configuration,
// 0180h/0280h/0480h/0880h/1080h/2080h blocks 0..5; P9 1 ms, P10 100 µs, P11
// 5 ms, P11A 4 ms, EEPROM written with WREN then WR and no unlock. P10 is
// the low time after a hold that must pass before the next command. Assumed:
// bit 7 of 3C0004h enables the erase, bit 3 of 3C0004h (in 3F8Fh but in no
// single-region key of DS39622K) erases the ID locations as it does
// in Microchip's later PIC18 ICSP documents, so the 0F87h key of DS39752 leaves the
// IDs alone; the holding registers read 0xFF after each write (device data
// sheets); command 1110 is table write, start programming, post-increment.
CPic18FamilyParams MakeF2xxx() {
    CPic18FamilyParams f;
    f.Id = EPic18Family::F2xxx;
    f.Name = "PIC18F2XXX/4XXX";
    f.Source = "DS39622K";
    f.WriteBufferBytes = 32;
    f.PanelBytes = 0;
    f.HasPanelRegister = false;
    f.BufferResetAfterWrite = true;
    f.HasEraseKeyHigh = true;
    f.EraseKeyEnable = 0x0080;
    f.EraseKeyBits = {
        {0x0001, EraseOnly(true, false, false, false)},
        {0x0002, EraseOnly(false, true, false, false)},
        {0x0004, EraseOnly(false, false, true, false)},
        {0x0008, EraseOnly(false, false, false, true)},
        {0x0100, EraseBlock(0)},
        {0x0200, EraseBlock(1)},
        {0x0400, EraseBlock(2)},
        {0x0800, EraseBlock(3)},
        {0x1000, EraseBlock(4)},
        {0x2000, EraseBlock(5)},
    };
    f.EepromNeedsUnlock = false;
    f.Command0xEStartsProgramming = true;
    f.P9 = {1000, 1000};
    f.P10 = 100;
    f.P11 = {5000, 5000};
    f.EepromWrite = {4000, 5000};
    return f;
}

using Bytes14 = std::array<uint8_t, kPic18ConfigBytes>;

// Blank values from the configuration tables of the DS documents; on the older
// families every implemented bit is blank 1.
constexpr Bytes14 kFxx2Blank = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr Bytes14 kFx220Blank = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x80, 0x85,
                                 0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40};
constexpr Bytes14 k2455Blank = {0x00, 0x05, 0x1F, 0x1F, 0x00, 0x83, 0x85,
                                0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40};
constexpr Bytes14 k2455Impl = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xC5,
                               0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40};
constexpr Bytes14 k2550Blank = {0x00, 0x05, 0x1F, 0x1F, 0x00, 0x83, 0x85,
                                0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr Bytes14 k2550Impl = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xC5,
                               0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
// The 4550 has ICPRT (CONFIG4L bit 5), blank 0.
constexpr Bytes14 k4550Impl = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xE5,
                               0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr Bytes14 k2520Blank = {0x00, 0x07, 0x1F, 0x1F, 0x00, 0x83, 0x85,
                                0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr Bytes14 k2520Impl = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                               0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
// The 16 KB parts of the 2520 family guard two blocks.
constexpr Bytes14 k2420Blank = {0x00, 0x07, 0x1F, 0x1F, 0x00, 0x83, 0x85,
                                0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40};
constexpr Bytes14 k2420Impl = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                               0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40};
// The 4455 has ICPRT like the 4550, and the 2455's three blocks.
constexpr Bytes14 k4455Impl = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xE5,
                               0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40};

std::vector<CPic18Block> EightKBlocks(uint32_t boot, uint32_t programBytes) {
    std::vector<CPic18Block> blocks;
    int bit = 0;
    for (uint32_t start = 0; start < programBytes; start += 0x2000, ++bit) {
        blocks.push_back({start == 0 ? boot : start, start + 0x2000, bit});
    }
    return blocks;
}

CPic18Model Model(const char* name, EPic18Family family, uint32_t programBytes, int pins, uint16_t id,
                  uint16_t revisionMask, uint32_t boot, std::vector<CPic18Block> blocks, const Bytes14& blank,
                  const Bytes14& implemented) {
    CPic18Model m;
    m.Name = name;
    m.Family = family;
    m.ProgramBytes = programBytes;
    m.EepromBytes = 256;
    m.PinCount = pins;
    m.DeviceId = id;
    m.RevisionMask = revisionMask;
    m.Revision = revisionMask == 0x1F ? 0x03 : 0x02;
    m.BootBlockBytes = boot;
    m.Blocks = std::move(blocks);
    m.ConfigBlank = blank;
    m.ConfigImplemented = implemented;
    return m;
}

std::vector<CPic18Model> MakeModels() {
    using F = EPic18Family;
    std::vector<CPic18Model> v;
    // FXX2: 512-byte boot block, 8 KB code-protect blocks (block 0 after the boot block).
    v.push_back(Model("PIC18F242", F::Fxx2, 16384, 28, 0x0480, 0x1F, 0x200, EightKBlocks(0x200, 16384),
                      kFxx2Blank, kFxx2Blank));
    v.push_back(Model("PIC18F252", F::Fxx2, 32768, 28, 0x0400, 0x1F, 0x200, EightKBlocks(0x200, 32768),
                      kFxx2Blank, kFxx2Blank));
    v.push_back(Model("PIC18F442", F::Fxx2, 16384, 40, 0x04A0, 0x1F, 0x200, EightKBlocks(0x200, 16384),
                      kFxx2Blank, kFxx2Blank));
    v.push_back(Model("PIC18F452", F::Fxx2, 32768, 40, 0x0420, 0x1F, 0x200, EightKBlocks(0x200, 32768),
                      kFxx2Blank, kFxx2Blank));
    // FX220/X320: 512-byte boot block and two blocks.
    v.push_back(Model("PIC18F1220", F::Fx220, 4096, 18, 0x07E0, 0x1F, 0x200,
                      {{0x200, 0x800, 0}, {0x800, 0x1000, 1}}, kFx220Blank, kFx220Blank));
    v.push_back(Model("PIC18F1320", F::Fx220, 8192, 18, 0x07C0, 0x1F, 0x200,
                      {{0x200, 0x1000, 0}, {0x1000, 0x2000, 1}}, kFx220Blank, kFx220Blank));
    // 2XXX/4XXX: 2 KB boot block, 8 KB blocks.
    v.push_back(Model("PIC18F2455", F::F2xxx, 24576, 28, 0x1260, 0x1F, 0x800, EightKBlocks(0x800, 24576),
                      k2455Blank, k2455Impl));
    v.push_back(Model("PIC18F2550", F::F2xxx, 32768, 28, 0x1240, 0x1F, 0x800, EightKBlocks(0x800, 32768),
                      k2550Blank, k2550Impl));
    v.push_back(Model("PIC18F4550", F::F2xxx, 32768, 40, 0x1200, 0x1F, 0x800, EightKBlocks(0x800, 32768),
                      k2550Blank, k4550Impl));
    v.push_back(Model("PIC18F2520", F::F2xxx, 32768, 28, 0x1100, 0x0F, 0x800, EightKBlocks(0x800, 32768),
                      k2520Blank, k2520Impl));
    v.push_back(Model("PIC18F4520", F::F2xxx, 32768, 40, 0x1080, 0x0F, 0x800, EightKBlocks(0x800, 32768),
                      k2520Blank, k2520Impl));
    v.push_back(Model("PIC18F4455", F::F2xxx, 24576, 40, 0x1220, 0x1F, 0x800, EightKBlocks(0x800, 24576),
                      k2455Blank, k4455Impl));
    // DEVID1 bit 4 tells the 12-bit ADC parts (2423/2523/4423/4523) from the others.
    v.push_back(Model("PIC18F2420", F::F2xxx, 16384, 28, 0x1140, 0x0F, 0x800, EightKBlocks(0x800, 16384),
                      k2420Blank, k2420Impl));
    v.push_back(Model("PIC18F4420", F::F2xxx, 16384, 40, 0x10C0, 0x0F, 0x800, EightKBlocks(0x800, 16384),
                      k2420Blank, k2420Impl));
    v.push_back(Model("PIC18F2423", F::F2xxx, 16384, 28, 0x1150, 0x0F, 0x800, EightKBlocks(0x800, 16384),
                      k2420Blank, k2420Impl));
    v.push_back(Model("PIC18F4423", F::F2xxx, 16384, 40, 0x10D0, 0x0F, 0x800, EightKBlocks(0x800, 16384),
                      k2420Blank, k2420Impl));
    v.push_back(Model("PIC18F2523", F::F2xxx, 32768, 28, 0x1110, 0x0F, 0x800, EightKBlocks(0x800, 32768),
                      k2520Blank, k2520Impl));
    v.push_back(Model("PIC18F4523", F::F2xxx, 32768, 40, 0x1090, 0x0F, 0x800, EightKBlocks(0x800, 32768),
                      k2520Blank, k2520Impl));
    return v;
}

} // namespace

const CPic18FamilyParams& Pic18Family(EPic18Family family) {
    static const CPic18FamilyParams fxx2 = MakeFxx2();
    static const CPic18FamilyParams fx220 = MakeFx220();
    static const CPic18FamilyParams f2xxx = MakeF2xxx();
    switch (family) {
    case EPic18Family::Fxx2:
        return fxx2;
    case EPic18Family::Fx220:
        return fx220;
    case EPic18Family::F2xxx:
        break;
    }
    return f2xxx;
}

const std::vector<CPic18Model>& Pic18Models() {
    static const std::vector<CPic18Model> models = MakeModels();
    return models;
}

const CPic18Model* FindPic18Model(const std::string& name) {
    for (const CPic18Model& m : Pic18Models()) {
        if (m.Name == name) {
            return &m;
        }
    }
    return nullptr;
}
