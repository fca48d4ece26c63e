// The simulated PIC18 chips' device table: per programming family the write
// buffer, the panel register, the erase keys, the EEPROM unlock rule and the
// cycle times; per device the memory sizes, device ID, configuration bytes and
// code-protect blocks.
//
// Where a figure could not be checked in Microchip's ICSP document it is
// still a plain field here, so a test or a later finding can change it in one
// place (see the comments on each family in Pic18Models.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class EPic18Family {
    Fxx2,  // PIC18FXX2/XX8 (DS39576): 8 KB panels, 8-byte buffer per panel
    Fx220, // PIC18FX220/X320 (DS39592): one panel, 8-byte buffer
    F2xxx, // PIC18F2XXX/4XXX (DS39622): 32-byte buffer, 16-bit erase key
};

// A cycle time in microseconds: what a chip in typical mode needs and what a
// chip in strict mode needs.
struct CPic18Time {
    uint32_t Typical = 0;
    uint32_t Strict = 0;
};

// One region set that a bulk erase clears.
struct CPic18EraseSet {
    bool AllCode = false; // the whole program memory
    bool Boot = false;    // the boot block
    uint8_t Blocks = 0;   // code-protect blocks 0..7 (bit n = block n)
    uint8_t Panels = 0;   // 8 KB panels 0..7 (bit n = panel n)
    bool Ids = false;     // ID locations 0x200000..0x200007
    bool Config = false;  // configuration bytes back to their blank values
    bool Eeprom = false;  // data EEPROM
    bool Any() const { return AllCode || Boot || Blocks || Panels || Ids || Config || Eeprom; }
};

// Families whose key is one byte at 0x3C0004 naming one erase.
struct CPic18EraseKey {
    uint8_t Key = 0;
    CPic18EraseSet Erases;
};

// Families whose key is 16 bits at 0x3C0005:0x3C0004 with one bit per region.
struct CPic18EraseKeyBit {
    uint16_t Bit = 0;
    CPic18EraseSet Erases;
};

struct CPic18FamilyParams {
    EPic18Family Id = EPic18Family::Fxx2;
    const char* Name = "";
    const char* Source = ""; // Microchip's ICSP document the figures come from
    uint32_t WriteBufferBytes = 8;
    // Bytes of one panel with its own write buffer (0: one buffer for all of
    // program memory).
    uint32_t PanelBytes = 0;
    // The programming control register at 0x3C0006 (bit 6 = multi-panel).
    bool HasPanelRegister = false;
    uint8_t PanelRegisterAtEntry = 0;
    // The holding registers go back to 0xFF after each programming cycle.
    bool BufferResetAfterWrite = false;
    // The register 0x3C0005 exists (16-bit erase key).
    bool HasEraseKeyHigh = false;
    // The key decoding: a list of whole keys, or a list of key bits that must
    // come with the enable bit.
    std::vector<CPic18EraseKey> EraseKeys;
    std::vector<CPic18EraseKeyBit> EraseKeyBits;
    uint16_t EraseKeyEnable = 0;
    // A data EEPROM write needs 0x55, 0xAA to EECON2 right before WR is set.
    bool EepromNeedsUnlock = true;
    // Command 1110: table write with post-decrement by 2 (false) or table
    // write, start programming, post-increment by 2 (true).
    bool Command0xEStartsProgramming = false;
    CPic18Time P9;          // programming hold (PGC high), code, IDs and configuration
    uint32_t P10 = 0;       // low time after a programming or erase hold
    CPic18Time P11;         // bulk erase hold
    CPic18Time EepromWrite; // a data EEPROM write, from WR set until WR clears
};

// A code-protect block: program memory [Start, End) guarded by bit CpBit of
// CONFIG5L (and WRTn in CONFIG6L, EBTRn in CONFIG7L).
struct CPic18Block {
    uint32_t Start = 0;
    uint32_t End = 0;
    int CpBit = 0;
};

constexpr int kPic18ConfigBytes = 14; // 0x300000..0x30000D
constexpr uint32_t kPic18IdAddress = 0x200000;
constexpr int kPic18IdBytes = 8;
constexpr uint32_t kPic18ConfigAddress = 0x300000;
constexpr uint32_t kPic18EraseKeyAddress = 0x3C0004;
constexpr uint32_t kPic18PanelRegisterAddress = 0x3C0006;
constexpr uint32_t kPic18DeviceIdAddress = 0x3FFFFE;

struct CPic18Model {
    std::string Name;
    EPic18Family Family = EPic18Family::Fxx2;
    uint32_t ProgramBytes = 0;
    uint32_t EepromBytes = 0;
    int PinCount = 0;
    uint16_t DeviceId = 0;       // DEVID2 << 8 | DEVID1 with the revision bits clear
    uint16_t RevisionMask = 0;   // the revision bits of DEVID1
    uint16_t Revision = 0;       // the revision this model reports
    uint32_t BootBlockBytes = 0; // boot block [0, BootBlockBytes), guarded by CPB
    std::vector<CPic18Block> Blocks;
    std::array<uint8_t, kPic18ConfigBytes> ConfigBlank{};       // erased values
    std::array<uint8_t, kPic18ConfigBytes> ConfigImplemented{}; // implemented bits
};

const CPic18FamilyParams& Pic18Family(EPic18Family family);

// Every device the simulator knows, in catalogue order.
const std::vector<CPic18Model>& Pic18Models();

// The device of that name (exact match, as in the catalogue), or nullptr.
const CPic18Model* FindPic18Model(const std::string& name);

// The configuration byte indexes that hold protection bits (CONFIG5L..7H):
// there a programming cycle can only clear bits.
inline bool IsPic18ProtectionByte(int index) {
    return index >= 8 && index < kPic18ConfigBytes;
}
