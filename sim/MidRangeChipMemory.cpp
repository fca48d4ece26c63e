// The memories of the simulated mid-range chip: blank state, cell writes and
// erases, reads through code protection, and what each cycle does to them.
#include "sim/MidRangeChip.h"

namespace {

constexpr uint16_t kConfigSpace = 0x2000;
constexpr uint16_t kDeviceIdAddress = 0x2006;
constexpr uint16_t kConfigAddress = 0x2007;

void Resize(std::vector<uint16_t>& values, std::vector<uint32_t>& writes, std::vector<uint8_t>& stuck,
            size_t n, uint16_t value) {
    values.assign(n, value);
    writes.assign(n, 0);
    stuck.assign(n, 0);
}

} // namespace

void CMidRangeChip::InitBlank() {
    const CMidDevice& d = m_device;
    Resize(m_program.Value, m_program.Writes, m_program.Stuck, d.ProgramWords, 0x3FFF);
    Resize(m_eeprom.Value, m_eeprom.Writes, m_eeprom.Stuck, d.EepromBytes, 0xFF);
    Resize(m_userId.Value, m_userId.Writes, m_userId.Stuck, 4, 0x3FFF);
    Resize(m_config.Value, m_config.Writes, m_config.Stuck, d.ConfigCount, 0x3FFF);
    for (size_t i = 0; i < m_config.Value.size(); ++i) {
        m_config.Value[i] = ErasedValue(EMidRegion::Config, i);
    }
    // Factory calibration: the band-gap bits in the configuration word, the
    // OSCCAL RETLW in the last program word, the calibration word.
    m_config.Value[0] = static_cast<uint16_t>((m_config.Value[0] & ~d.CalibrationBits) |
                                              (d.CalibrationBitsFactory & d.CalibrationBits));
    if (d.OscCal && !m_program.Value.empty()) {
        m_program.Value.back() = d.OscCalFactory;
    }
    Resize(m_calibration.Value, m_calibration.Writes, m_calibration.Stuck, d.CalibrationAddress != 0 ? 1 : 0,
           d.CalibrationFactory);
    m_deviceId = d.DeviceIdWord;
}

CMidRangeChip::Cells* CMidRangeChip::RegionCells(EMidRegion region) {
    return const_cast<Cells*>(static_cast<const CMidRangeChip*>(this)->RegionCells(region));
}

const CMidRangeChip::Cells* CMidRangeChip::RegionCells(EMidRegion region) const {
    switch (region) {
    case EMidRegion::Program:
        return &m_program;
    case EMidRegion::Eeprom:
        return &m_eeprom;
    case EMidRegion::UserId:
        return &m_userId;
    case EMidRegion::Config:
        return &m_config;
    case EMidRegion::Calibration:
        return &m_calibration;
    }
    return nullptr;
}

size_t CMidRangeChip::RegionSize(EMidRegion region) const {
    const Cells* cells = RegionCells(region);
    return cells != nullptr ? cells->Value.size() : 0;
}

uint16_t CMidRangeChip::CellMask(EMidRegion region, size_t index) const {
    if (region == EMidRegion::Eeprom) {
        return 0xFF;
    }
    if (region == EMidRegion::Config && index < 2) {
        return m_device.ConfigImplemented[index];
    }
    return 0x3FFF;
}

uint16_t CMidRangeChip::ErasedValue(EMidRegion region, size_t index) const {
    if (region == EMidRegion::Config && index < 2) {
        return static_cast<uint16_t>(m_device.ConfigImplemented[index] | m_device.ConfigReadOnes[index]);
    }
    return region == EMidRegion::Eeprom ? 0xFF : 0x3FFF;
}

uint16_t CMidRangeChip::Peek(EMidRegion region, size_t index) const {
    const Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Value.size()) {
        return 0xFFFF;
    }
    return cells->Value[index];
}

bool CMidRangeChip::Poke(EMidRegion region, size_t index, uint16_t value) {
    Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Value.size()) {
        return false;
    }
    const uint16_t mask = CellMask(region, index);
    const uint16_t fixed = static_cast<uint16_t>(ErasedValue(region, index) & ~mask);
    cells->Value[index] = static_cast<uint16_t>((value & mask) | fixed);
    return true;
}

uint32_t CMidRangeChip::WritesAt(EMidRegion region, size_t index) const {
    const Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Writes.size()) {
        return 0;
    }
    return cells->Writes[index];
}

uint64_t CMidRangeChip::TotalWrites() const {
    uint64_t total = 0;
    for (const Cells* cells : {&m_program, &m_eeprom, &m_userId, &m_config, &m_calibration}) {
        for (uint32_t n : cells->Writes) {
            total += n;
        }
    }
    return total;
}

bool CMidRangeChip::SetStuckCell(EMidRegion region, size_t index, bool stuck) {
    Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Stuck.size()) {
        return false;
    }
    cells->Stuck[index] = stuck ? 1 : 0;
    return true;
}

bool CMidRangeChip::CodeProtected() const {
    const uint16_t mask = m_device.ProtectMask;
    return mask != 0 && (m_config.Value[0] & mask) != mask;
}

bool CMidRangeChip::DataProtected() const {
    const uint16_t mask = m_device.DataProtectMask;
    return mask != 0 && (m_config.Value[0] & mask) != mask;
}

// A program cycle on one cell: erase-then-write replaces the value, a
// program-only cycle can only clear bits. Unimplemented bits keep reading as
// they always do.
void CMidRangeChip::WriteCell(EMidRegion region, size_t index, uint16_t value, bool replace, bool counted) {
    Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Value.size()) {
        return;
    }
    if (counted) {
        cells->Writes[index]++;
    }
    if (cells->Stuck[index] != 0) {
        return;
    }
    const uint16_t mask = CellMask(region, index);
    const uint16_t old = cells->Value[index];
    uint16_t written = replace ? value : static_cast<uint16_t>(old & value);
    if (region == EMidRegion::Config && index == 0) {
        // No program cycle lifts code protection: CP and CPD bits only go
        // back to 1 with an erase of the whole configuration word.
        const uint16_t guard = static_cast<uint16_t>(m_device.ProtectMask | m_device.DataProtectMask);
        written = static_cast<uint16_t>((written & ~guard) | (written & old & guard));
    }
    cells->Value[index] = static_cast<uint16_t>((old & ~mask) | (written & mask));
}

void CMidRangeChip::EraseCell(EMidRegion region, size_t index) {
    Cells* cells = RegionCells(region);
    if (cells == nullptr || index >= cells->Value.size() || cells->Stuck[index] != 0) {
        return;
    }
    cells->Value[index] = ErasedValue(region, index);
}

void CMidRangeChip::EraseRegion(EMidRegion region) {
    for (size_t i = 0; i < RegionSize(region); ++i) {
        EraseCell(region, i);
    }
}

// Which configuration-space cell the PC names; false for the reserved words,
// the device ID and unimplemented addresses.
bool CMidRangeChip::ConfigAddress(uint16_t pc, EMidRegion& region, size_t& index) const {
    if (pc >= kConfigSpace && pc < kConfigSpace + 4) {
        region = EMidRegion::UserId;
        index = pc - kConfigSpace;
        return true;
    }
    if (pc >= kConfigAddress && pc < kConfigAddress + m_device.ConfigCount) {
        region = EMidRegion::Config;
        index = pc - kConfigAddress;
        return true;
    }
    if (m_device.CalibrationAddress != 0 && pc == m_device.CalibrationAddress) {
        region = EMidRegion::Calibration;
        index = 0;
        return true;
    }
    return false;
}

uint16_t CMidRangeChip::ReadProgramSpace(uint16_t pc) const {
    if (pc < kConfigSpace) {
        if (m_program.Value.empty()) {
            return 0x3FFF;
        }
        const size_t index = pc % m_program.Value.size();
        const bool lastWord = index + 1 == m_program.Value.size();
        if (CodeProtected() && !(m_family.ProtectedKeepsLastWord && lastWord)) {
            return 0;
        }
        return m_program.Value[index];
    }
    if (pc == kDeviceIdAddress) {
        return m_deviceId;
    }
    EMidRegion region = EMidRegion::UserId;
    size_t index = 0;
    if (ConfigAddress(pc, region, index)) {
        return Peek(region, index);
    }
    return 0x3FFF;
}

uint16_t CMidRangeChip::ReadDataSpace(uint16_t pc) const {
    if (m_eeprom.Value.empty()) {
        return 0x3FFF;
    }
    if (DataProtected()) {
        return 0;
    }
    return m_eeprom.Value[pc % m_eeprom.Value.size()];
}

void CMidRangeChip::ApplyCycle(const Cycle& c) {
    switch (c.Kind) {
    case ECycleKind::ProgramRow: {
        if (m_program.Value.empty()) {
            return;
        }
        const unsigned latches = m_device.LatchWords;
        const size_t base = static_cast<size_t>(c.Pc & 0x1FFF) & ~static_cast<size_t>(latches - 1);
        for (unsigned i = 0; i < latches; ++i) {
            const bool loaded = (c.Loaded >> i & 1u) != 0;
            WriteCell(EMidRegion::Program, (base + i) % m_program.Value.size(), c.Row[i], c.Replace, loaded);
        }
        return;
    }
    case ECycleKind::ProgramIdRow:
        for (unsigned i = 0; i < 4; ++i) {
            WriteCell(EMidRegion::UserId, i, c.Row[i], c.Replace, (c.Loaded >> i & 1u) != 0);
        }
        return;
    case ECycleKind::ProgramConfig: {
        EMidRegion region = EMidRegion::UserId;
        size_t index = 0;
        if (ConfigAddress(c.Pc, region, index)) {
            WriteCell(region, index, c.Word, c.Replace, c.Loaded != 0);
        }
        return;
    }
    case ECycleKind::ProgramData:
        if (!m_eeprom.Value.empty()) {
            WriteCell(EMidRegion::Eeprom, c.Pc % m_eeprom.Value.size(), c.Word, c.Replace, true);
        }
        return;
    case ECycleKind::EraseRow:
        ApplyRowErase(c.Pc, c.Word);
        return;
    case ECycleKind::EraseDataByte:
        if (!m_eeprom.Value.empty()) {
            EraseCell(EMidRegion::Eeprom, c.Pc % m_eeprom.Value.size());
        }
        return;
    case ECycleKind::EraseNothing:
        return;
    case ECycleKind::BulkProgram:
        ApplyBulkProgram(c.Pc);
        return;
    case ECycleKind::BulkData:
        ApplyBulkData();
        return;
    case ECycleKind::ChipErase:
        ApplyChipErase(c.Pc);
        return;
    case ECycleKind::SetupErase:
        ApplySetupErase(c);
        return;
    }
}

// Bulk Erase Program Memory. Self-timed families (A, B, D, E, I) erase the
// configuration with it and, from configuration space, the user IDs; B and I
// keep their calibration word unless the PC had been moved onto it first
// (DS41204G §3.1.4, DS41287C §3.2.5); a CPD-protected EEPROM goes with the
// configuration that protected it. The families with a separate chip erase
// (C, G, H) erase program memory only, and not at all when it is protected.
void CMidRangeChip::ApplyBulkProgram(uint16_t pc) {
    if (m_family.BulkNeedsUnprotected && CodeProtected()) {
        return;
    }
    const bool inConfig = pc >= kConfigSpace;
    const bool dataWasProtected = DataProtected();
    EraseRegion(EMidRegion::Program);
    const bool eraseConfig =
        m_family.Bulk == EMidBulkStyle::SelfTimed && (inConfig || m_family.BulkFromProgramErasesConfig);
    if (!eraseConfig) {
        return;
    }
    EraseRegion(EMidRegion::Config);
    if (inConfig) {
        EraseRegion(EMidRegion::UserId);
        if (m_device.CalibrationAddress != 0 && pc >= m_device.CalibrationAddress) {
            EraseRegion(EMidRegion::Calibration);
        }
    }
    if (m_family.BulkClearsProtectedData && dataWasProtected) {
        EraseRegion(EMidRegion::Eeprom);
    }
}

void CMidRangeChip::ApplyBulkData() {
    if (m_family.BulkNeedsUnprotected) {
        // A protected part refuses: CPD where the part has it, else CP.
        const bool refused = m_device.DataProtectMask != 0 ? DataProtected() : CodeProtected();
        if (refused) {
            return;
        }
    }
    EraseRegion(EMidRegion::Eeprom);
}

// Chip Erase: program memory, data EEPROM and every configuration word, so
// protection with them; the user IDs too when the PC is in configuration
// space, or always on the parts whose 0x09 is the chip erase (DS30324B).
void CMidRangeChip::ApplyChipErase(uint16_t pc) {
    EraseRegion(EMidRegion::Program);
    EraseRegion(EMidRegion::Eeprom);
    EraseRegion(EMidRegion::Config);
    if (pc >= kConfigSpace || m_family.Bulk == EMidBulkStyle::ChipEraseCommand) {
        EraseRegion(EMidRegion::UserId);
    }
}

// 0x01, 0x07, 0x08 (DS30262E): at the configuration word it erases the whole
// chip, protection included (§4.1); elsewhere it is the older bulk erase of
// the memory the last load selected, which a protected part refuses.
void CMidRangeChip::ApplySetupErase(const Cycle& c) {
    if (c.Pc == kConfigAddress) {
        EraseRegion(EMidRegion::Program);
        EraseRegion(EMidRegion::Eeprom);
        EraseRegion(EMidRegion::Config);
        EraseRegion(EMidRegion::UserId);
        return;
    }
    if (c.Pc >= kConfigSpace || CodeProtected()) {
        return;
    }
    EraseRegion(c.DataSelected ? EMidRegion::Eeprom : EMidRegion::Program);
}

void CMidRangeChip::ApplyRowErase(uint16_t pc, uint16_t words) {
    if (pc >= kConfigSpace) {
        if (pc < kConfigSpace + 4) {
            EraseRegion(EMidRegion::UserId);
        }
        return;
    }
    if (m_program.Value.empty() || words == 0) {
        return;
    }
    const size_t base = static_cast<size_t>(pc) & ~static_cast<size_t>(words - 1);
    for (size_t i = 0; i < words; ++i) {
        EraseCell(EMidRegion::Program, (base + i) % m_program.Value.size());
    }
}
