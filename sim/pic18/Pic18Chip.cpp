// The PIC18 chip's ICSP entry points: programming mode, the 4-bit commands,
// the held NOP that times programming and erase cycles, and the clock that
// ends a data EEPROM write.
#include "sim/pic18/Pic18Chip.h"

#include <algorithm>

namespace {

constexpr uint32_t kTblptrMask = 0x3FFFFF;
// Program memory ends where the ID locations begin; a data EEPROM is reached
// through EEADRH:EEADR.
constexpr uint32_t kMaxProgramBytes = 0x200000;
constexpr uint32_t kMaxEepromBytes = 0x10000;

} // namespace

std::unique_ptr<ISimChip> MakePic18SimChip(const std::string& name, ESimTiming timing) {
    const CPic18Model* model = FindPic18Model(name);
    if (model == nullptr) {
        return nullptr;
    }
    return std::make_unique<CPic18Chip>(*model, timing);
}

CPic18Chip::CPic18Chip(CPic18Model model, ESimTiming timing)
    : m_model(std::move(model)), m_family(&Pic18Family(m_model.Family)), m_timing(timing) {
    m_model.ProgramBytes = std::min(m_model.ProgramBytes, kMaxProgramBytes);
    m_model.EepromBytes = std::min(m_model.EepromBytes, kMaxEepromBytes);
    m_model.BootBlockBytes = std::min(m_model.BootBlockBytes, m_model.ProgramBytes);
    m_program.assign(m_model.ProgramBytes, 0xFF);
    m_ids.fill(0xFF);
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
        m_config[i] = m_model.ConfigBlank[i] & m_model.ConfigImplemented[i];
    }
    m_eeprom.assign(m_model.EepromBytes, 0xFF);
    m_eepromCellWrites.assign(m_model.EepromBytes, 0);
    m_deviceIdWord = static_cast<uint16_t>((m_model.DeviceId & ~m_model.RevisionMask) |
                                           (m_model.Revision & m_model.RevisionMask));

    size_t panels = 1;
    if (m_family->PanelBytes != 0) {
        panels =
            std::max<size_t>(1, (m_model.ProgramBytes + m_family->PanelBytes - 1) / m_family->PanelBytes);
    }
    m_buffers.assign(panels + 1, std::vector<uint8_t>(m_family->WriteBufferBytes, 0xFF));
    ResetVolatileState();
}

void CPic18Chip::ResetVolatileState() {
    m_tblptr = 0;
    m_w = 0;
    m_tablat = 0;
    m_eeadr = 0;
    m_eeadrh = 0;
    m_eedata = 0;
    m_eecon1 = 0;
    m_unlockStep = 0;
    m_gotoPending = false;
    m_gotoLow = 0;
    m_pc = 0;
    m_panelRegister = m_family->PanelRegisterAtEntry;
    m_eraseKeyLow = 0;
    m_eraseKeyHigh = 0;
    m_eraseArmed = false;
    for (std::vector<uint8_t>& buffer : m_buffers) {
        std::fill(buffer.begin(), buffer.end(), 0xFF);
    }
    m_programArmed = false;
    m_programAddress = 0;
    m_programEecon1 = 0;
    m_configLatchValid = false;
    m_hold = CHold{};
    m_discharge = CDischarge{};
    m_eepromWrite = CEepromWrite{};
}

void CPic18Chip::Advance(uint64_t nowUs) {
    m_lastUs = std::max(m_lastUs, nowUs);
    if (m_eepromWrite.Busy && m_lastUs >= m_eepromWrite.DoneUs) {
        m_eepromWrite.Busy = false;
        const uint32_t address = m_eepromWrite.Address;
        if (address < m_eeprom.size()) {
            if (m_stuckEeprom.count(address) == 0) {
                m_eeprom[address] = m_eepromWrite.Data;
            }
            ++m_eepromCellWrites[address];
        }
        ++m_p18.EepromWrites;
        ++m_counters.CyclesCompleted;
    }
}

uint32_t CPic18Chip::ProgrammingTimeUs() const {
    return m_timing == ESimTiming::Typical ? m_family->P9.Typical : m_family->P9.Strict;
}

uint32_t CPic18Chip::EraseTimeUs() const {
    return m_timing == ESimTiming::Typical ? m_family->P11.Typical : m_family->P11.Strict;
}

uint32_t CPic18Chip::EepromTimeUs() const {
    return m_timing == ESimTiming::Typical ? m_family->EepromWrite.Typical : m_family->EepromWrite.Strict;
}

void CPic18Chip::SetProgrammingMode(bool on, uint64_t nowUs) {
    Advance(nowUs);
    if (on == m_on) {
        return;
    }
    if (on) {
        ++m_counters.ProgrammingEntries;
        ResetVolatileState();
        m_on = true;
        return;
    }
    // MCLR leaves VPP: a hold ends now, a start-programming that never got its
    // hold is lost, and an EEPROM write still running is cut off by the reset.
    Clocked();
    DropPendingProgramming();
    if (m_eepromWrite.Busy) {
        ++m_p18.EepromWritesLost;
        ++m_counters.CyclesTooShort;
    }
    ResetVolatileState();
    m_on = false;
}

void CPic18Chip::DropPendingProgramming() {
    if (m_programArmed) {
        m_programArmed = false;
        ++m_p18.ProgrammingTooShort;
        ++m_counters.CyclesTooShort;
    }
}

void CPic18Chip::MidCommand(uint8_t command, uint64_t nowUs) {
    (void)command;
    Advance(nowUs);
    if (!m_on) {
        ++m_counters.CommandsIgnored;
        return;
    }
    ++m_counters.Commands;
    Clocked();
    ++m_counters.UnknownCommands;
}

void CPic18Chip::MidLoad(uint8_t command, uint16_t raw, uint64_t nowUs) {
    (void)raw;
    MidCommand(command, nowUs);
}

uint16_t CPic18Chip::MidRead(uint8_t command, uint64_t nowUs) {
    MidCommand(command, nowUs);
    return 0xFFFF;
}

// Every command but the held NOP of a cycle ends what came before it: a hold
// still open, a start-programming waiting for its hold, a half-fed GOTO, and
// an unlock sequence unless the command is the core instruction that goes on
// with it.
void CPic18Chip::Pic18Command(uint8_t command, uint16_t operand, uint64_t nowUs) {
    Advance(nowUs);
    if (!m_on) {
        ++m_counters.CommandsIgnored;
        return;
    }
    ++m_counters.Commands;
    Clocked();
    DropPendingProgramming();
    if (command != 0x0) {
        m_unlockStep = 0;
        if (m_gotoPending) {
            m_gotoPending = false;
            ++m_p18.UnsupportedInstructions;
        }
    }
    uint8_t ignored = 0;
    switch (command) {
    case 0x0:
        ExecuteInstruction(operand, m_lastUs);
        break;
    case 0x2:
        // Shift out TABLAT sent with an operand: the chip drives PGD while the
        // writer does; nothing changes inside.
        break;
    case 0x8:
    case 0x9:
    case 0xA:
    case 0xB:
        TableReadCommand(command, ignored);
        break;
    case 0xC:
        TableWrite(operand);
        break;
    case 0xD:
        TableWrite(operand);
        m_tblptr = (m_tblptr + 2) & kTblptrMask;
        break;
    case 0xE:
        TableWrite(operand);
        if (m_family->Command0xEStartsProgramming) {
            ArmProgramming();
            m_tblptr = (m_tblptr + 2) & kTblptrMask;
        } else {
            m_tblptr = (m_tblptr - 2) & kTblptrMask;
        }
        break;
    case 0xF:
        TableWrite(operand);
        ArmProgramming();
        break;
    default:
        ++m_counters.UnknownCommands;
        break;
    }
}

bool CPic18Chip::TableReadCommand(uint8_t command, uint8_t& value) {
    switch (command) {
    case 0x8:
        m_tablat = TableReadByte(m_tblptr);
        break;
    case 0x9:
        m_tablat = TableReadByte(m_tblptr);
        m_tblptr = (m_tblptr + 1) & kTblptrMask;
        break;
    case 0xA:
        m_tablat = TableReadByte(m_tblptr);
        m_tblptr = (m_tblptr - 1) & kTblptrMask;
        break;
    case 0xB:
        m_tblptr = (m_tblptr + 1) & kTblptrMask;
        m_tablat = TableReadByte(m_tblptr);
        break;
    default:
        return false;
    }
    value = m_tablat;
    return true;
}

uint8_t CPic18Chip::Pic18Read(uint8_t command, uint64_t nowUs) {
    Advance(nowUs);
    if (!m_on) {
        ++m_counters.CommandsIgnored;
        return 0xFF;
    }
    ++m_counters.Commands;
    Clocked();
    DropPendingProgramming();
    m_unlockStep = 0;
    if (m_gotoPending) {
        m_gotoPending = false;
        ++m_p18.UnsupportedInstructions;
    }
    if (command == 0x2) {
        return m_tablat;
    }
    uint8_t value = 0xFF;
    if (TableReadCommand(command, value)) {
        return value;
    }
    // A command that takes data from the writer, sent as a read: the chip
    // gets no operand and drives nothing.
    if (command == 0x0 || (command >= 0xC && command <= 0xF)) {
        ++m_p18.MisdirectedCommands;
    } else {
        ++m_counters.UnknownCommands;
    }
    return 0xFF;
}

void CPic18Chip::Pic18HoldBegin(uint8_t operand, uint64_t nowUs) {
    Advance(nowUs);
    if (!m_on) {
        ++m_counters.CommandsIgnored;
        return;
    }
    ++m_counters.Commands;
    Clocked();
    m_unlockStep = 0;
    if (m_gotoPending) {
        m_gotoPending = false;
        ++m_p18.UnsupportedInstructions;
    }
    if (operand != 0xF0 && operand != 0x00) {
        ++m_counters.UnknownCommands;
    }
    // Only PGC held high times a programming cycle; any other hold leaves a
    // start-programming with one short clock.
    if (operand != 0xF0) {
        DropPendingProgramming();
    }
    m_hold.Active = true;
    m_hold.Operand = operand;
    m_hold.StartUs = m_lastUs;
}

void CPic18Chip::Pic18HoldEnd(uint64_t nowUs) {
    Advance(nowUs);
    if (!m_on) {
        ++m_counters.CommandsIgnored;
        return;
    }
    if (!m_hold.Active) {
        ++m_p18.MisdirectedCommands;
        return;
    }
    FinishHold(m_lastUs);
}

// Before a command is taken: a hold still open ends now, with no low time
// after it, and a cycle waiting out its low time learns whether it had it.
void CPic18Chip::Clocked() {
    if (m_hold.Active) {
        FinishHold(m_lastUs);
    }
    SettleDischarge(m_lastUs);
}

// A hold that lasted its time does its work at once, but only PGC staying low
// for P10 after it (the high voltage discharging) lets the work stand: a
// command within P10 undoes it (SettleDischarge), as if it had been cut short.
void CPic18Chip::FinishHold(uint64_t nowUs) {
    const uint64_t held = nowUs - m_hold.StartUs;
    const uint8_t operand = m_hold.Operand;
    m_hold = CHold{};
    if (operand == 0xF0 && m_programArmed) {
        m_programArmed = false;
        if (held >= ProgrammingTimeUs()) {
            BeginUndo(false);
            if (ProgramArmed()) {
                ++m_p18.ProgrammingCycles;
                ++m_counters.CyclesCompleted;
                m_discharge = CDischarge{true, false, nowUs};
            }
            m_undo.Recording = false;
        } else {
            ++m_p18.ProgrammingTooShort;
            ++m_counters.CyclesTooShort;
        }
    }
    if (operand == 0x00 && m_eraseArmed) {
        m_eraseArmed = false;
        const CPic18EraseSet set = DecodeEraseKey();
        if (!set.Any()) {
            ++m_p18.EraseKeysUnknown;
        } else if (held >= EraseTimeUs()) {
            BeginUndo(true);
            ApplyErase(set);
            m_undo.Recording = false;
            ++m_p18.EraseCycles;
            ++m_counters.CyclesCompleted;
            m_discharge = CDischarge{true, true, nowUs};
        } else {
            ++m_p18.EraseTooShort;
            ++m_counters.CyclesTooShort;
        }
    }
}

void CPic18Chip::BeginUndo(bool everything) {
    m_undo.Cells.clear();
    m_undo.Everything = everything && m_family->P10 != 0;
    m_undo.Recording = m_family->P10 != 0;
    if (m_undo.Everything) {
        m_undo.Program = m_program;
        m_undo.Eeprom = m_eeprom;
        m_undo.Ids = m_ids;
        m_undo.Config = m_config;
    }
}

void CPic18Chip::Remember(uint8_t& cell) {
    if (m_undo.Recording && !m_undo.Everything) {
        m_undo.Cells.emplace_back(&cell, cell);
    }
}

void CPic18Chip::SettleDischarge(uint64_t nowUs) {
    if (!m_discharge.Active) {
        return;
    }
    const CDischarge cycle = m_discharge;
    m_discharge = CDischarge{};
    if (nowUs - cycle.HoldEndUs >= m_family->P10) {
        return;
    }
    if (m_undo.Everything) {
        m_program = m_undo.Program;
        m_eeprom = m_undo.Eeprom;
        m_ids = m_undo.Ids;
        m_config = m_undo.Config;
    } else {
        for (auto it = m_undo.Cells.rbegin(); it != m_undo.Cells.rend(); ++it) {
            *it->first = it->second;
        }
    }
    m_undo = CUndo{};
    --m_counters.CyclesCompleted;
    --(cycle.Erase ? m_p18.EraseCycles : m_p18.ProgrammingCycles);
    ++(cycle.Erase ? m_p18.EraseTooShort : m_p18.ProgrammingTooShort);
    ++m_p18.DischargeCut;
    ++m_counters.DischargeCut;
    ++m_counters.CyclesTooShort;
}

uint8_t CPic18Chip::ProgramByte(uint32_t address) const {
    return address < m_program.size() ? m_program[address] : 0;
}

uint8_t CPic18Chip::IdByte(int index) const {
    return index >= 0 && index < kPic18IdBytes ? m_ids[index] : 0;
}

uint8_t CPic18Chip::ConfigByte(int index) const {
    return index >= 0 && index < kPic18ConfigBytes ? m_config[index] : 0;
}

uint8_t CPic18Chip::EepromByte(uint32_t address) const {
    return address < m_eeprom.size() ? m_eeprom[address] : 0;
}

uint32_t CPic18Chip::CellWrites(uint32_t address) const {
    const auto it = m_cellWrites.find(address);
    return it == m_cellWrites.end() ? 0 : it->second;
}

uint32_t CPic18Chip::EepromCellWrites(uint32_t address) const {
    return address < m_eepromCellWrites.size() ? m_eepromCellWrites[address] : 0;
}

void CPic18Chip::SetProgramByte(uint32_t address, uint8_t value) {
    if (address < m_program.size()) {
        m_program[address] = value;
    }
}

void CPic18Chip::SetIdByte(int index, uint8_t value) {
    if (index >= 0 && index < kPic18IdBytes) {
        m_ids[index] = value;
    }
}

void CPic18Chip::SetConfigByte(int index, uint8_t value) {
    if (index >= 0 && index < kPic18ConfigBytes) {
        m_config[index] = value & m_model.ConfigImplemented[index];
    }
}

void CPic18Chip::SetEepromByte(uint32_t address, uint8_t value) {
    if (address < m_eeprom.size()) {
        m_eeprom[address] = value;
    }
}

void CPic18Chip::SetDeviceId(uint16_t word) {
    m_deviceIdWord = word;
}

void CPic18Chip::SetStuckCell(uint32_t address) {
    m_stuck.insert(address & kTblptrMask);
}

void CPic18Chip::SetStuckEepromCell(uint32_t address) {
    m_stuckEeprom.insert(address);
}
