#include "sim/MidRangeModels.h"

#include <array>

namespace {

// Times in microseconds. Where a programming document gives only a
// maximum, the typical value is the one in the device data sheet or, failing
// that, the same as the maximum; an externally timed cycle has one minimum.
constexpr CMidCycleTime T(uint32_t typicalUs, uint32_t maximumUs) {
    return CMidCycleTime{typicalUs, maximumUs};
}

// With MCLR off and the internal oscillator selected the device runs its own
// code a few microseconds after VDD; the "VPP first" entry of DS41191D,
// DS41196G, DS41204G and DS41287C must beat that.
constexpr uint32_t kVppFirstWindowUs = 5;
// DS39603C / DS39607B allow VPP up to 250 µs after VDD for such a device.
constexpr uint32_t kVppSoonWindowUs = 250;
// TDIS of DS41204G and DS41287C.
constexpr uint32_t kDischargeUs = 100;

CMidFamily MakeA() {
    // DS41191D: 0x08 erases the word before programming it (§2.3.1.5), 0x18 is
    // the externally timed program-only cycle ended by 0x0A. Bulk erase also
    // takes OSCCAL (0x3FF) and the band-gap bits (§2.3.1.9 notes 1-2); a
    // protected part still shows OSCCAL (§4.0). TPROG1 2.5/6 ms, TPROG2 2 ms,
    // TERA 8 ms max (Tab 5-1).
    CMidFamily f;
    f.Id = 'A';
    f.Document = "DS41191D";
    f.Command08 = EMidCommand08::EraseProgram;
    f.Command18 = EMidCommand18::ProgramExternal;
    f.EndCommand = 0x0A;
    f.HasDataMemory = true;
    f.Bulk = EMidBulkStyle::SelfTimed;
    f.BulkFromProgramErasesConfig = true;
    f.BulkClearsProtectedData = true;
    f.ProtectedKeepsLastWord = true;
    f.VppFirstWindowUs = kVppFirstWindowUs;
    f.Program = T(2000, 2500);
    f.ProgramData = T(5000, 6000);
    f.ProgramOnly = T(2000, 2000);
    f.BulkErase = T(4000, 8000);
    return f;
}

CMidFamily MakeB(char id) {
    // DS41204G: 4-word latches or single words (§3.1.1-3.1.2); 0x08 programs
    // without erasing flash (there is a row erase, 0x11, of 16 words); the
    // calibration word at 0x2008 survives a bulk erase started below it
    // (§3.1.4). TPROG1 at least 3 ms (program) and 6 ms (data), TPROG2 at
    // least 3 ms, TERA 5 typ / 6 ms max, TDIS 100 µs after End Programming
    // (Tab 6-1). DS41287C (family I) is the same set with both configuration
    // words and the calibration word at 0x2009 (§3.2.5), and the same times.
    CMidFamily f;
    f.Id = id;
    f.Document = id == 'B' ? "DS41204G" : "DS41287C";
    f.Command08 = EMidCommand08::Program;
    f.Command18 = EMidCommand18::ProgramExternal;
    f.EndCommand = 0x0A;
    f.HasDataMemory = true;
    f.RowEraseCommand = 0x11;
    f.RowEraseWords = 16;
    f.Bulk = EMidBulkStyle::SelfTimed;
    f.BulkFromProgramErasesConfig = true;
    f.BulkClearsProtectedData = true;
    f.ResetLatchesAfterCycle = true;
    f.Program = T(3000, 3000);
    f.ProgramData = T(6000, 6000);
    f.ProgramOnly = T(3000, 3000);
    f.BulkErase = T(5000, 6000);
    f.RowErase = T(5000, 6000);
    f.DischargeUs = kDischargeUs;
    f.VppFirstWindowUs = kVppFirstWindowUs;
    return f;
}

CMidFamily MakeC(char id) {
    // DS30262E: 0x08 is erase+program (8 ms max), 0x18 program-only; 0x09 and
    // 0x0B only select the bulk erase that the next 0x08 runs (§2.3.1.7-8), and
    // neither works on a protected part. The 0x01/0x07 sequence at 0x2007
    // erases everything, protection included (§4.1). DS39025 (family J, the
    // 16F87x) has the same commands, times and erase sequences.
    CMidFamily f;
    f.Id = id;
    f.Document = id == 'C' ? "DS30262E" : "DS39025";
    f.Command08 = EMidCommand08::EraseProgram;
    f.Command18 = EMidCommand18::ProgramInternal;
    f.HasDataMemory = true;
    f.HasSetupErase = true;
    f.Bulk = EMidBulkStyle::ArmedByBegin;
    f.BulkNeedsUnprotected = true;
    f.Program = T(4000, 8000);
    f.ProgramData = T(4000, 8000);
    f.ProgramOnly = T(2000, 4000);
    f.BulkErase = T(4000, 8000);
    return f;
}

CMidFamily MakeD() {
    // DS41196G: 0x08 is program-only (the part must be erased first), there is
    // no 0x18; a bulk erase from configuration space takes program memory,
    // configuration and IDs, and the EEPROM too when CPD is set (§3.1-3.2).
    // TPROG 4 ms, TDPROG 6 ms, TERA 6 ms (Tab 5-1).
    CMidFamily f;
    f.Id = 'D';
    f.Document = "DS41196G";
    f.Command08 = EMidCommand08::Program;
    f.HasDataMemory = true;
    f.Bulk = EMidBulkStyle::SelfTimed;
    f.BulkClearsProtectedData = true;
    f.VppFirstWindowUs = kVppFirstWindowUs;
    f.Program = T(2500, 4000);
    f.ProgramData = T(4000, 6000);
    f.BulkErase = T(4000, 6000);
    return f;
}

CMidFamily MakeE() {
    // DS40245B: only 0x18 programs (ended by 0x0E); 0x08 is not a command.
    // 4-word latches, user IDs as one 4-word row (§2.3.3.1). TPROG 1 typ /
    // 2 ms max, TERA 6 ms (Tab 5-1).
    CMidFamily f;
    f.Id = 'E';
    f.Document = "DS40245B";
    f.Command08 = EMidCommand08::Undefined;
    f.Command18 = EMidCommand18::ProgramExternal;
    f.EndCommand = 0x0E;
    f.Bulk = EMidBulkStyle::SelfTimed;
    f.IdsUseLatches = true;
    f.ResetLatchesAfterCycle = true;
    f.ProgramOnly = T(1000, 2000);
    f.BulkErase = T(4000, 6000);
    return f;
}

CMidFamily MakeF() {
    // DS30324B: command bits 5:4 are don't care, so 0x18 decodes as 0x08
    // (externally timed, ended by 0x0E) and 0x09 is a self-timed chip erase of
    // 30 ms (Tab 5-1 note 3). 2-word latches.
    CMidFamily f;
    f.Id = 'F';
    f.Document = "DS30324B";
    f.Command08 = EMidCommand08::ProgramExternal;
    f.EndCommand = 0x0E;
    f.DecodeLowNibble = true;
    f.Bulk = EMidBulkStyle::ChipEraseCommand;
    f.ResetLatchesAfterCycle = true;
    f.Program = T(1000, 1000);
    f.ChipErase = T(30000, 30000);
    return f;
}

CMidFamily MakeG() {
    // DS39603C / DS39607B: 0x08 begins an erase (32-word row or one EEPROM
    // byte), 0x18 programs, both externally timed and ended by 0x17, which also
    // sets the latches to 1s. Configuration words take 0x18 + 0x17 and can be
    // rewritten either way. 0x1F chip erase >= 8 ms, bulk erases >= 2 ms.
    CMidFamily f;
    f.Id = 'G';
    f.Document = "DS39603C/DS39607B";
    f.Command08 = EMidCommand08::EraseRowExternal;
    f.Command18 = EMidCommand18::ProgramExternal;
    f.EndCommand = 0x17;
    f.HasDataMemory = true;
    f.HasChipErase = true;
    f.RowEraseWords = 32;
    f.Bulk = EMidBulkStyle::ExternallyTimed;
    f.BulkNeedsUnprotected = true;
    f.IdsUseLatches = true;
    f.EndResetsLatches = true;
    f.ConfigRewritable = true;
    f.VppFirstWindowUs = kVppSoonWindowUs;
    f.ProgramOnly = T(1000, 1000);
    f.RowErase = T(1000, 1000);
    f.BulkErase = T(2000, 2000);
    f.ChipErase = T(8000, 8000);
    return f;
}

CMidFamily MakeH() {
    // DS39589B: 8-word latches (PC<2:0> pick the latch, §2.4); 0x08 erases and
    // programs (4 typ / 8 ms max), 0x18 programs only (>= 1 ms) and is ended by
    // 0x17, which resets the latches (§2.4.2.9); 0x09/0x0B select a bulk erase
    // that the next 0x08 runs; 0x1F chip erase (4/8 ms) is the only erase that
    // clears code protection (§2.5.2).
    CMidFamily f;
    f.Id = 'H';
    f.Document = "DS39589B";
    f.Command08 = EMidCommand08::EraseProgram;
    f.Command18 = EMidCommand18::ProgramExternal;
    f.EndCommand = 0x17;
    f.HasDataMemory = true;
    f.HasChipErase = true;
    f.Bulk = EMidBulkStyle::ArmedByBegin;
    f.BulkNeedsUnprotected = true;
    f.IdsUseLatches = true;
    f.EndResetsLatches = true;
    f.Program = T(4000, 8000);
    f.ProgramData = T(4000, 8000);
    f.ProgramOnly = T(1000, 1000);
    f.BulkErase = T(4000, 8000);
    f.ChipErase = T(4000, 8000);
    return f;
}

const std::array<CMidFamily, 10>& Families() {
    static const std::array<CMidFamily, 10> families = {
        MakeA(), MakeB('B'), MakeC('C'), MakeD(), MakeE(), MakeF(), MakeG(), MakeH(), MakeB('I'), MakeC('J')};
    return families;
}

// MCLRE at bit 5 and FOSC2:0 at bits 2:0, INTOSC 100 and 101 (DS41191D,
// DS41204G, DS41287C configuration registers).
void IntOscLow(CMidDevice& d) {
    d.MclrEnableBit = 0x0020;
    d.OscMask = 0x0007;
    d.IntOsc[0] = 0x0004;
    d.IntOsc[1] = 0x0005;
}

// MCLRE at bit 5 and FOSC2 at bit 4 beside FOSC1:0, INTOSC 100 and 101
// (DS41196G, DS39603C, DS39607B).
void IntOscSplit(CMidDevice& d) {
    d.MclrEnableBit = 0x0020;
    d.OscMask = 0x0013;
    d.IntOsc[0] = 0x0010;
    d.IntOsc[1] = 0x0011;
}

// One line per device. Device ID words carry revision 3.
CMidDevice Dev(const char* name, char family, uint16_t words, uint16_t eeprom, uint8_t pins, uint16_t id) {
    CMidDevice d;
    d.Name = name;
    d.Family = family;
    d.ProgramWords = words;
    d.EepromBytes = eeprom;
    d.Pins = pins;
    d.DeviceIdWord = static_cast<uint16_t>(id | 0x0003);
    return d;
}

CMidDevice FamilyA(const char* name, uint8_t pins, uint16_t id, uint16_t osccal) {
    // Configuration: BG1:BG0 (13:12, factory), 11-9 read 0, CPD 8, CP 7.
    CMidDevice d = Dev(name, 'A', 1024, 128, pins, id);
    d.ConfigImplemented[0] = 0x31FF;
    d.ProtectMask = 0x0080;
    d.DataProtectMask = 0x0100;
    d.CalibrationBits = 0x3000;
    d.CalibrationBitsFactory = 0x2000;
    d.OscCal = true;
    d.OscCalFactory = osccal; // RETLW k: 11 01kk kkkk kkkk
    IntOscLow(d);
    return d;
}

CMidDevice FamilyB(const char* name, uint16_t words, uint16_t eeprom, uint8_t pins, uint16_t id,
                   uint16_t cal) {
    // Configuration: 13-12 read 1, CPD 7, CP 6; calibration word at 0x2008.
    CMidDevice d = Dev(name, 'B', words, eeprom, pins, id);
    d.ConfigImplemented[0] = 0x0FFF;
    d.ConfigReadOnes[0] = 0x3000;
    d.ProtectMask = 0x0040;
    d.DataProtectMask = 0x0080;
    d.LatchWords = 4;
    d.CalibrationAddress = 0x2008;
    d.CalibrationFactory = cal;
    IntOscLow(d);
    return d;
}

CMidDevice FamilyD(const char* name, uint16_t words, uint16_t eeprom, uint16_t id) {
    // Configuration: CP 13, 12-9 read 1, CPD 8.
    CMidDevice d = Dev(name, 'D', words, eeprom, 18, id);
    d.ConfigImplemented[0] = 0x21FF;
    d.ConfigReadOnes[0] = 0x1E00;
    d.ProtectMask = 0x2000;
    d.DataProtectMask = 0x0100;
    IntOscSplit(d);
    return d;
}

CMidDevice FamilyJ(const char* name, uint16_t words, uint16_t eeprom, uint8_t pins, uint16_t id) {
    // Configuration: CP1:CP0 twice (13-12 and 5-4), DEBUG 11, 10 reads 0,
    // WRT 9, CPD 8, LVP 7, BODEN 6, PWRTE 3, WDTE 2, FOSC1:0.
    CMidDevice d = Dev(name, 'J', words, eeprom, pins, id);
    d.ConfigImplemented[0] = 0x3BFF;
    d.ProtectMask = 0x3030;
    d.DataProtectMask = 0x0100;
    return d;
}

CMidDevice FamilyF(const char* name, uint16_t words, uint8_t pins, uint16_t id) {
    // Configuration: 13-7 and 5 read 1, BODEN 6, CP0 4.
    CMidDevice d = Dev(name, 'F', words, 0, pins, id);
    d.ConfigImplemented[0] = 0x005F;
    d.ConfigReadOnes[0] = 0x3FA0;
    d.ProtectMask = 0x0010;
    d.LatchWords = 2;
    return d;
}

CMidDevice FamilyG(const char* name, uint16_t words, uint16_t eeprom, uint16_t id, bool twoWords) {
    // All 14 bits implemented, CP 13, CPD 8; the 16F87/88 have CONFIG2 at
    // 0x2008 with IESO and FCMEN only.
    CMidDevice d = Dev(name, 'G', words, eeprom, 18, id);
    d.ProtectMask = 0x2000;
    d.DataProtectMask = 0x0100;
    d.LatchWords = 4;
    IntOscSplit(d);
    if (twoWords) {
        d.ConfigCount = 2;
        d.ConfigImplemented[1] = 0x0003;
        d.ConfigReadOnes[1] = 0x3FFC;
    }
    return d;
}

CMidDevice FamilyH(const char* name, uint16_t words, uint16_t eeprom, uint8_t pins, uint16_t id) {
    // Configuration: CP 13, 12 read 1, CPD 8, 5-4 read 1.
    CMidDevice d = Dev(name, 'H', words, eeprom, pins, id);
    d.ConfigImplemented[0] = 0x2FCF;
    d.ConfigReadOnes[0] = 0x1030;
    d.ProtectMask = 0x2000;
    d.DataProtectMask = 0x0100;
    d.LatchWords = 8;
    return d;
}

CMidDevice FamilyI(const char* name, uint16_t words, uint16_t eeprom, uint8_t pins, uint16_t id,
                   uint8_t latches, uint16_t cal) {
    // CONFIG1 fully implemented (CPD 7, CP 6); CONFIG2 WRT1:0 and BOR4V only;
    // calibration word at 0x2009.
    CMidDevice d = Dev(name, 'I', words, eeprom, pins, id);
    d.ConfigCount = 2;
    d.ConfigImplemented[1] = 0x0700;
    d.ConfigReadOnes[1] = 0x38FF;
    d.ProtectMask = 0x0040;
    d.DataProtectMask = 0x0080;
    d.LatchWords = latches;
    d.CalibrationAddress = 0x2009;
    d.CalibrationFactory = cal;
    IntOscLow(d);
    return d;
}

const std::vector<CMidDevice>& Devices() {
    static const std::vector<CMidDevice> devices = [] {
        std::vector<CMidDevice> v;
        v.push_back(FamilyA("PIC12F629", 8, 0x0F80, 0x3450));
        v.push_back(FamilyA("PIC12F675", 8, 0x0FC0, 0x345C));
        v.push_back(FamilyA("PIC16F630", 14, 0x10C0, 0x3468));
        v.push_back(FamilyA("PIC16F676", 14, 0x10E0, 0x3474));
        v.push_back(FamilyB("PIC12F683", 2048, 256, 8, 0x0460, 0x0C7B));
        v.push_back(FamilyB("PIC16F684", 2048, 256, 14, 0x1080, 0x0C6A));
        v.push_back(FamilyB("PIC16F688", 4096, 256, 14, 0x1180, 0x0D3A));
        v.push_back(FamilyB("PIC16F631", 1024, 128, 20, 0x1420, 0x0B48));
        v.push_back(FamilyB("PIC16F677", 2048, 256, 20, 0x1440, 0x0B37));
        v.push_back(FamilyB("PIC16F685", 4096, 256, 20, 0x04A0, 0x0C26));
        v.push_back(FamilyB("PIC16F687", 2048, 256, 20, 0x1320, 0x0D15));
        v.push_back(FamilyB("PIC16F689", 4096, 256, 20, 0x1340, 0x0B64));
        v.push_back(FamilyB("PIC16F690", 4096, 256, 20, 0x1400, 0x0B59));
        CMidDevice f84 = Dev("PIC16F84A", 'C', 1024, 64, 18, 0x0560);
        f84.ProtectMask = 0x3FF0; // ten CP bits, 13-4
        v.push_back(f84);
        v.push_back(FamilyJ("PIC16F870", 2048, 64, 28, 0x0D00));
        v.push_back(FamilyJ("PIC16F871", 2048, 64, 40, 0x0D20));
        v.push_back(FamilyJ("PIC16F872", 2048, 64, 28, 0x08E0));
        v.push_back(FamilyJ("PIC16F873", 4096, 128, 28, 0x0960));
        v.push_back(FamilyJ("PIC16F874", 4096, 128, 40, 0x0920));
        v.push_back(FamilyJ("PIC16F876", 8192, 256, 28, 0x09E0));
        v.push_back(FamilyJ("PIC16F877", 8192, 256, 40, 0x09A0));
        v.push_back(FamilyD("PIC16F627A", 1024, 128, 0x1040));
        v.push_back(FamilyD("PIC16F628A", 2048, 128, 0x1060));
        v.push_back(FamilyD("PIC16F648A", 4096, 256, 0x1100));
        CMidDevice f716 = Dev("PIC16F716", 'E', 2048, 0, 18, 0x1140);
        f716.ConfigImplemented[0] = 0x20CF; // CP 13, BORV 7, BOREN 6, 3-0
        f716.ConfigReadOnes[0] = 0x1F30;
        f716.ProtectMask = 0x2000;
        f716.LatchWords = 4;
        v.push_back(f716);
        v.push_back(FamilyF("PIC16F73", 4096, 28, 0x0600));
        v.push_back(FamilyF("PIC16F74", 4096, 40, 0x0620));
        v.push_back(FamilyF("PIC16F76", 8192, 28, 0x0640));
        v.push_back(FamilyF("PIC16F77", 8192, 40, 0x0660));
        v.push_back(FamilyG("PIC16F818", 1024, 128, 0x04C0, false));
        v.push_back(FamilyG("PIC16F819", 2048, 256, 0x04E0, false));
        v.push_back(FamilyG("PIC16F87", 4096, 256, 0x0720, true));
        v.push_back(FamilyG("PIC16F88", 4096, 256, 0x0760, true));
        v.push_back(FamilyH("PIC16F873A", 4096, 128, 28, 0x0E40));
        v.push_back(FamilyH("PIC16F874A", 4096, 128, 40, 0x0E60));
        v.push_back(FamilyH("PIC16F876A", 8192, 256, 28, 0x0E00));
        v.push_back(FamilyH("PIC16F877A", 8192, 256, 40, 0x0E20));
        v.push_back(FamilyI("PIC16F882", 2048, 128, 28, 0x2000, 4, 0x2D29));
        v.push_back(FamilyI("PIC16F883", 4096, 256, 28, 0x2020, 4, 0x2C3A));
        v.push_back(FamilyI("PIC16F884", 4096, 256, 40, 0x2040, 4, 0x2C4B));
        v.push_back(FamilyI("PIC16F886", 8192, 256, 28, 0x2060, 8, 0x2B5C));
        v.push_back(FamilyI("PIC16F887", 8192, 256, 40, 0x2080, 8, 0x2A6E));
        return v;
    }();
    return devices;
}

} // namespace

const CMidFamily* FindMidFamily(char id) {
    for (const CMidFamily& f : Families()) {
        if (f.Id == id) {
            return &f;
        }
    }
    return nullptr;
}

const CMidDevice* FindMidDevice(const std::string& name) {
    for (const CMidDevice& d : Devices()) {
        if (name == d.Name) {
            return &d;
        }
    }
    return nullptr;
}

std::vector<std::string> MidRangeDeviceNames() {
    std::vector<std::string> names;
    for (const CMidDevice& d : Devices()) {
        names.emplace_back(d.Name);
    }
    return names;
}
