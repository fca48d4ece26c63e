#include "sim/MidRangeChip.h"

namespace {

constexpr uint16_t kConfigSpace = 0x2000;

bool IsLoad(int code) {
    return code == 0x00 || code == 0x02 || code == 0x03;
}
bool IsRead(int code) {
    return code == 0x04 || code == 0x05;
}

} // namespace

CMidRangeChip::CMidRangeChip(const CMidDevice& device, const CMidFamily& family, ESimTiming timing)
    : m_device(device), m_family(family), m_timing(timing) {
    InitBlank();
    ResetLatches();
}

// --- programming mode ---

void CMidRangeChip::PowerUp(uint64_t nowUs) {
    m_vddKnown = true;
    m_vddSinceUs = nowUs;
}

// MCLR off and the internal oscillator: the device runs its own code once
// powered, and may have taken the programming pins before VPP comes.
bool CMidRangeChip::RunsOwnCode() const {
    const CMidDevice& d = m_device;
    if (d.MclrEnableBit == 0 || d.OscMask == 0 || m_config.Value.empty()) {
        return false;
    }
    const uint16_t word = m_config.Value[0];
    const uint16_t osc = static_cast<uint16_t>(word & d.OscMask);
    return (word & d.MclrEnableBit) == 0 && (osc == d.IntOsc[0] || osc == d.IntOsc[1]);
}

void CMidRangeChip::SetProgrammingMode(bool on, uint64_t nowUs) {
    if (on == m_programming) {
        return;
    }
    if (!on) {
        // The programming voltage goes: a cycle that has had its time is done,
        // one that has not is cut short.
        SettleDischarge(nowUs);
        FinishCycle(nowUs, -1);
        m_programming = false;
        return;
    }
    if (m_family.VppFirstWindowUs != 0 && m_vddKnown && RunsOwnCode() &&
        nowUs > m_vddSinceUs + m_family.VppFirstWindowUs) {
        m_counters.EntriesRefused++;
        return;
    }
    m_programming = true;
    m_counters.ProgrammingEntries++;
    m_pc = 0;
    ResetLatches();
    m_dataLatch = 0x3FFF;
    m_dataLoaded = false;
    m_eeLatch = 0xFF;
    m_dataSelected = false;
    m_armed = EArmed::None;
    m_setupStep = 0;
    m_cycle = Cycle{};
    m_discharging = Cycle{};
}

// --- the three ICSP entry points ---

void CMidRangeChip::MidCommand(uint8_t command, uint64_t nowUs) {
    int code = -1;
    if (!Arrive(command, nowUs, code)) {
        return;
    }
    if (IsLoad(code) || IsRead(code)) {
        // A load or read without its 16 data clocks is not a complete command.
        m_counters.UnknownCommands++;
        return;
    }
    FinishCycle(nowUs, code);
    Execute(code, 0, nowUs);
}

void CMidRangeChip::MidLoad(uint8_t command, uint16_t raw, uint64_t nowUs) {
    int code = -1;
    if (!Arrive(command, nowUs, code)) {
        return;
    }
    if (!IsLoad(code)) {
        // Data clocks after a command that takes none are not a command.
        m_counters.UnknownCommands++;
        return;
    }
    FinishCycle(nowUs, code);
    Execute(code, static_cast<uint16_t>((raw >> 1) & 0x3FFF), nowUs);
}

uint16_t CMidRangeChip::MidRead(uint8_t command, uint64_t nowUs) {
    int code = -1;
    if (!Arrive(command, nowUs, code)) {
        return 0xFFFF;
    }
    if (!IsRead(code)) {
        m_counters.UnknownCommands++;
        return 0xFFFF;
    }
    FinishCycle(nowUs, code);
    m_armed = EArmed::None;
    m_setupStep = 0;
    const uint16_t value = code == kReadProgram ? ReadProgramSpace(m_pc) : ReadDataSpace(m_pc);
    // Start bit and stop bit around the 14 data bits.
    return static_cast<uint16_t>((value << 1) & 0x7FFE);
}

// Counts the command and decodes it; false when the chip does nothing with
// it (outside programming mode, or a code the family lacks).
bool CMidRangeChip::Arrive(uint8_t command, uint64_t nowUs, int& code) {
    if (!m_programming) {
        m_counters.CommandsIgnored++;
        return false;
    }
    m_counters.Commands++;
    // Any clocks on the pins end the discharge wait, known command or not.
    SettleDischarge(nowUs);
    code = Decode(command);
    if (code < 0) {
        m_counters.UnknownCommands++;
        return false;
    }
    return true;
}

int CMidRangeChip::Decode(uint8_t command) const {
    int code = command & 0x3F;
    if (m_family.DecodeLowNibble) {
        code &= 0x0F;
    }
    const bool data = m_family.HasDataMemory && m_device.EepromBytes > 0;
    switch (code) {
    case kLoadConfig:
    case kLoadProgram:
    case kReadProgram:
    case kIncrement:
    case kBulkProgram:
        return code;
    case kLoadData:
    case kReadData:
    case kBulkData:
        return data ? code : -1;
    case kBegin:
        return m_family.Command08 != EMidCommand08::Undefined ? code : -1;
    case kBeginProgramOnly:
        return m_family.Command18 != EMidCommand18::None ? code : -1;
    case kSetup1:
    case kSetup2:
        return m_family.HasSetupErase ? code : -1;
    case kChipErase:
        return m_family.HasChipErase ? code : -1;
    default:
        break;
    }
    if (m_family.EndCommand != 0 && code == m_family.EndCommand) {
        return code;
    }
    if (m_family.RowEraseCommand != 0 && code == m_family.RowEraseCommand) {
        return code;
    }
    return -1;
}

// Ends the running cycle because a decoded command arrived (code >= 0) or the
// programming voltage went (code -1).
void CMidRangeChip::FinishCycle(uint64_t nowUs, int code) {
    const bool isEnd = code >= 0 && m_family.EndCommand != 0 && code == m_family.EndCommand;
    if (m_cycle.Active) {
        const Cycle cycle = m_cycle;
        m_cycle.Active = false;
        const uint64_t elapsed = nowUs >= cycle.StartUs ? nowUs - cycle.StartUs : 0;
        if (cycle.External && !isEnd) {
            m_counters.CyclesNotEnded++;
            m_counters.CyclesTooShort++;
        } else if (elapsed < cycle.NeedUs) {
            m_counters.CyclesTooShort++;
        } else if (cycle.External && m_family.DischargeUs != 0) {
            m_discharging = cycle;
            m_dischargedUs = nowUs + m_family.DischargeUs;
        } else {
            ApplyCycle(cycle);
            m_counters.CyclesCompleted++;
        }
        const bool rowCycle = cycle.Kind == ECycleKind::ProgramRow || cycle.Kind == ECycleKind::ProgramIdRow;
        if (rowCycle && m_family.ResetLatchesAfterCycle) {
            ResetLatches();
        }
    }
    if (isEnd && m_family.EndResetsLatches) {
        ResetLatches();
    }
}

// The cycle that End Programming ended takes effect once its discharge time
// has passed; the next clocks (or the voltage going) come to see whether it has.
void CMidRangeChip::SettleDischarge(uint64_t nowUs) {
    if (!m_discharging.Active) {
        return;
    }
    const Cycle cycle = m_discharging;
    m_discharging.Active = false;
    if (nowUs >= m_dischargedUs) {
        ApplyCycle(cycle);
        m_counters.CyclesCompleted++;
    } else {
        m_counters.DischargeCut++;
        m_counters.CyclesTooShort++;
    }
}

void CMidRangeChip::Execute(int code, uint16_t word, uint64_t nowUs) {
    // The bulk-erase selections of the older parts hold only until the next
    // command; 0x01 then 0x07 must come back to back before 0x08.
    const EArmed armed = m_armed;
    const int setup = m_setupStep;
    m_armed = EArmed::None;
    m_setupStep = 0;
    switch (code) {
    case kLoadConfig:
        m_pc = kConfigSpace;
        LoadWord(word);
        return;
    case kLoadProgram:
        LoadWord(word);
        return;
    case kLoadData:
        m_eeLatch = static_cast<uint16_t>(word & 0xFF);
        m_dataSelected = true;
        return;
    case kIncrement:
        m_pc = static_cast<uint16_t>((m_pc & kConfigSpace) | ((m_pc + 1) & 0x1FFF));
        return;
    case kBegin:
        m_armed = armed;
        m_setupStep = setup;
        BeginCommand08(nowUs);
        m_armed = EArmed::None;
        m_setupStep = 0;
        return;
    case kBeginProgramOnly:
        BeginCommand18(nowUs);
        return;
    case kBulkProgram:
        BeginBulk(false, nowUs);
        return;
    case kBulkData:
        BeginBulk(true, nowUs);
        return;
    case kChipErase:
        Start(ECycleKind::ChipErase, false, m_family.ChipErase, nowUs);
        return;
    case kSetup1:
        m_setupStep = 1;
        return;
    case kSetup2:
        m_setupStep = setup == 1 ? 2 : 0;
        return;
    default:
        break;
    }
    if (m_family.RowEraseCommand != 0 && code == m_family.RowEraseCommand) {
        Start(ECycleKind::EraseRow, false, m_family.RowErase, nowUs);
        m_cycle.Word = m_family.RowEraseWords;
    }
    // End Programming has done its work in FinishCycle.
}

void CMidRangeChip::LoadWord(uint16_t word) {
    m_dataLatch = word;
    m_dataLoaded = true;
    m_dataSelected = false;
    // The write latches sit behind every load; in configuration space only
    // the user ID row of some families commits them, but they are filled all
    // the same.
    const unsigned latches = m_device.LatchWords;
    if (latches > 1 || m_pc < kConfigSpace) {
        const unsigned index = m_pc & (latches - 1);
        m_latch[index] = word;
        m_loaded = static_cast<uint8_t>(m_loaded | (1u << index));
    }
}

void CMidRangeChip::BeginCommand08(uint64_t nowUs) {
    if (m_armed != EArmed::None) {
        Start(m_armed == EArmed::Data ? ECycleKind::BulkData : ECycleKind::BulkProgram, false,
              m_family.BulkErase, nowUs);
        return;
    }
    if (m_setupStep == 2) {
        Start(ECycleKind::SetupErase, false, m_family.BulkErase, nowUs);
        return;
    }
    switch (m_family.Command08) {
    case EMidCommand08::EraseProgram:
        StartProgram(true, false, m_dataSelected ? m_family.ProgramData : m_family.Program, nowUs);
        return;
    case EMidCommand08::Program:
        // Data EEPROM erases the byte itself before it writes; flash does not.
        StartProgram(m_dataSelected, false, m_dataSelected ? m_family.ProgramData : m_family.Program, nowUs);
        return;
    case EMidCommand08::ProgramExternal:
        StartProgram(false, true, m_family.Program, nowUs);
        return;
    case EMidCommand08::EraseRowExternal:
        if (m_dataSelected) {
            Start(ECycleKind::EraseDataByte, true, m_family.RowErase, nowUs);
        } else if (m_pc < kConfigSpace) {
            Start(ECycleKind::EraseRow, true, m_family.RowErase, nowUs);
            m_cycle.Word = m_family.RowEraseWords;
        } else {
            // Configuration words take no row erase; the cycle has no target.
            Start(ECycleKind::EraseNothing, true, m_family.RowErase, nowUs);
        }
        return;
    case EMidCommand08::Undefined:
        return;
    }
}

void CMidRangeChip::BeginCommand18(uint64_t nowUs) {
    const bool external = m_family.Command18 == EMidCommand18::ProgramExternal;
    StartProgram(false, external, m_family.ProgramOnly, nowUs);
}

void CMidRangeChip::BeginBulk(bool data, uint64_t nowUs) {
    switch (m_family.Bulk) {
    case EMidBulkStyle::SelfTimed:
        Start(data ? ECycleKind::BulkData : ECycleKind::BulkProgram, false, m_family.BulkErase, nowUs);
        return;
    case EMidBulkStyle::ArmedByBegin:
        m_armed = data ? EArmed::Data : EArmed::Program;
        return;
    case EMidBulkStyle::ExternallyTimed:
        Start(data ? ECycleKind::BulkData : ECycleKind::BulkProgram, true, m_family.BulkErase, nowUs);
        return;
    case EMidBulkStyle::ChipEraseCommand:
        Start(ECycleKind::ChipErase, false, m_family.ChipErase, nowUs);
        return;
    }
}

// A program cycle on whatever the PC and the last load select.
void CMidRangeChip::StartProgram(bool replace, bool external, const CMidCycleTime& time, uint64_t nowUs) {
    ECycleKind kind = ECycleKind::ProgramConfig;
    if (m_dataSelected) {
        kind = ECycleKind::ProgramData;
    } else if (m_pc < kConfigSpace) {
        kind = ECycleKind::ProgramRow;
    } else if (m_family.IdsUseLatches && m_pc < kConfigSpace + 4) {
        kind = ECycleKind::ProgramIdRow;
    }
    Start(kind, external, time, nowUs);
    m_cycle.Replace = replace;
    if (kind == ECycleKind::ProgramConfig && m_family.ConfigRewritable && m_pc >= kConfigSpace + 7) {
        m_cycle.Replace = true;
    }
    m_cycle.Row = m_latch;
    m_cycle.Loaded = m_loaded;
    if (kind == ECycleKind::ProgramData) {
        m_cycle.Word = m_eeLatch;
        m_cycle.Loaded = 1;
    } else if (kind == ECycleKind::ProgramConfig) {
        m_cycle.Word = m_dataLatch;
        m_cycle.Loaded = m_dataLoaded ? 1 : 0;
    }
}

void CMidRangeChip::Start(ECycleKind kind, bool external, const CMidCycleTime& time, uint64_t nowUs) {
    m_cycle = Cycle{};
    m_cycle.Active = true;
    m_cycle.Kind = kind;
    m_cycle.External = external;
    m_cycle.StartUs = nowUs;
    m_cycle.NeedUs = Need(time);
    m_cycle.Pc = m_pc;
    m_cycle.DataSelected = m_dataSelected;
}

uint32_t CMidRangeChip::Need(const CMidCycleTime& time) const {
    return m_timing == ESimTiming::Strict ? time.MaximumUs : time.TypicalUs;
}

void CMidRangeChip::ResetLatches() {
    m_latch.fill(0x3FFF);
    m_loaded = 0;
}

// --- factories ---

std::unique_ptr<CMidRangeChip> MakeMidRangeChip(const std::string& name, ESimTiming timing) {
    const CMidDevice* device = FindMidDevice(name);
    if (device == nullptr) {
        return nullptr;
    }
    const CMidFamily* family = FindMidFamily(device->Family);
    if (family == nullptr) {
        return nullptr;
    }
    return std::make_unique<CMidRangeChip>(*device, *family, timing);
}

std::unique_ptr<ISimChip> MakeMidRangeSimChip(const std::string& name, ESimTiming timing) {
    return MakeMidRangeChip(name, timing);
}
