// The mid-range (14-bit core) chip models: one record per programming family
// (what each 6-bit command does, latch and erase behaviour, cycle times) and
// one per device (sizes, device ID, configuration bits, calibration data).
//
// Families are named A to I after the Microchip programming documents they come
// from:
//   A  DS41191D  PIC12F629/675, PIC16F630/676
//   B  DS41204G  PIC12F683, PIC16F688/690
//   C  DS30262E  PIC16F84A
//   D  DS41196G  PIC16F627A/628A/648A
//   E  DS40245B  PIC16F716
//   F  DS30324B  PIC16F73/74/76/77
//   G  DS39603C / DS39607B  PIC16F818/819, PIC16F87/88
//   H  DS39589B  PIC16F873A/874A/876A/877A
//   I  DS41287C  PIC16F882/883/884/886/887
//   J  DS39025   PIC16F870/871/872/873/874/876/877
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What command 0x08 starts on a family.
enum class EMidCommand08 {
    EraseProgram,     // internally timed erase-then-program of the addressed word or row
    Program,          // internally timed program-only for flash; data EEPROM erases itself first
    ProgramExternal,  // externally timed program-only, ended by the End Programming command
    EraseRowExternal, // externally timed erase of a program row or one EEPROM byte
    Undefined,        // not a command of this family
};

// What command 0x18 starts on a family.
enum class EMidCommand18 {
    None,            // not a command of this family
    ProgramInternal, // internally timed program-only
    ProgramExternal, // externally timed program-only, ended by the End Programming command
};

// How Bulk Erase Program / Data Memory (0x09 / 0x0B) run.
enum class EMidBulkStyle {
    SelfTimed,        // the command starts an internally timed erase
    ArmedByBegin,     // the command selects the erase; the following 0x08 runs it
    ExternallyTimed,  // the command starts an erase that lasts until the next command
    ChipEraseCommand, // 0x09 is a self-timed erase of the whole chip
};

// Typical and maximum duration of one kind of cycle. For externally timed
// cycles the two are the minimum time the host must give before ending them.
struct CMidCycleTime {
    uint32_t TypicalUs = 0;
    uint32_t MaximumUs = 0;
};

struct CMidFamily {
    char Id = '?';
    const char* Document = "";
    EMidCommand08 Command08 = EMidCommand08::Undefined;
    EMidCommand18 Command18 = EMidCommand18::None;
    uint8_t EndCommand = 0; // End Programming: 0x0A, 0x0E, 0x17 or 0 (none)
    bool HasDataMemory = false;
    bool DecodeLowNibble = false; // command bits 5:4 are "don't care"
    bool HasSetupErase = false;   // commands 0x01/0x07 of the older bulk-erase sequences
    bool HasChipErase = false;    // command 0x1F
    uint8_t RowEraseCommand = 0;  // 0x11 where the family has it
    uint16_t RowEraseWords = 0;   // program words erased by a row erase
    EMidBulkStyle Bulk = EMidBulkStyle::SelfTimed;
    bool BulkNeedsUnprotected = false; // bulk erase does nothing on a code-protected part
    bool BulkFromProgramErasesConfig =
        false; // 0x09 with the address in program memory also erases configuration
    bool BulkClearsProtectedData =
        false; // 0x09 that erases a CPD-protected configuration erases the EEPROM too
    bool ProtectedKeepsLastWord = false; // code protection leaves the last program word (OSCCAL) readable
    bool IdsUseLatches = false;          // user IDs 0x2000-0x2003 are programmed as one latch row
    bool ResetLatchesAfterCycle = false; // program-memory latches return to 0x3FFF after a program cycle
    bool EndResetsLatches = false;       // End Programming returns the latches to 0x3FFF
    bool ConfigRewritable = false;       // a program-only cycle on a configuration word sets bits both ways
    CMidCycleTime Program;               // 0x08 on program and configuration memory
    CMidCycleTime ProgramData;           // 0x08 on data EEPROM
    CMidCycleTime ProgramOnly;           // 0x18
    CMidCycleTime BulkErase;             // 0x09 / 0x0B (or 0x08 after them), and the setup-erase sequence
    CMidCycleTime ChipErase;             // 0x1F (or 0x09 on a chip-erase family)
    CMidCycleTime RowErase;              // 0x11, or 0x08 on an erase-row family
    // TDIS: after End Programming the high voltage discharges; a command
    // clocked in before this time has passed spoils the cycle it ended.
    uint32_t DischargeUs = 0;
    // A device of this family whose configuration turns MCLR off and selects
    // the internal oscillator enters programming mode only when VPP follows
    // VDD within this time (0: the family has no such rule).
    uint32_t VppFirstWindowUs = 0;
};

struct CMidDevice {
    const char* Name = "";
    char Family = '?';
    uint16_t ProgramWords = 0;
    uint16_t EepromBytes = 0;
    uint8_t Pins = 0;
    uint16_t DeviceIdWord = 0x3FFF; // the word at 0x2006, revision bits included
    uint8_t ConfigCount = 1;
    uint16_t ConfigImplemented[2] = {0x3FFF, 0x3FFF}; // bits that hold a value
    uint16_t ConfigReadOnes[2] = {0, 0};              // unimplemented bits that read as 1 (the rest read 0)
    uint16_t ProtectMask = 0;                         // CP bits of configuration word 0 (0 = protected)
    uint16_t DataProtectMask = 0;                     // CPD bit of configuration word 0
    uint8_t LatchWords = 1;                           // program-memory write latches
    uint16_t CalibrationAddress = 0;                  // configuration-space calibration word, 0 = none
    uint16_t CalibrationFactory = 0x3FFF;
    uint16_t CalibrationBits = 0; // factory bits in configuration word 0
    uint16_t CalibrationBitsFactory = 0;
    bool OscCal = false; // the last program word holds a factory RETLW
    uint16_t OscCalFactory = 0x3FFF;
    // Configuration word 0: the MCLR enable bit and the oscillator selection
    // with its two internal-oscillator values (0 = the device has none).
    uint16_t MclrEnableBit = 0;
    uint16_t OscMask = 0;
    uint16_t IntOsc[2] = {0, 0};
};

// The family record for 'A'..'J'; nullptr for any other letter.
const CMidFamily* FindMidFamily(char id);
// The device record for a catalogue name ("PIC16F877A"); nullptr when unknown.
const CMidDevice* FindMidDevice(const std::string& name);
// Every device the simulator knows, in table order.
std::vector<std::string> MidRangeDeviceNames();
