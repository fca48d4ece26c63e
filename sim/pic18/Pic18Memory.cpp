// The PIC18 chip's memories as the table pointer sees them: reads with code
// protection, table writes into the write buffers and registers, the
// programming of a buffer, configuration bytes, and the bulk erases.
#include "sim/pic18/Pic18Chip.h"

#include <algorithm>

namespace {

constexpr uint8_t kEepgd = 0x80;
constexpr uint8_t kCfgs = 0x40;

// Configuration byte indexes and bits of the protection registers.
constexpr int kConfig5L = 8;  // CPn
constexpr int kConfig5H = 9;  // CPD (7), CPB (6)
constexpr int kConfig6L = 10; // WRTn
constexpr int kConfig6H = 11; // WRTD (7), WRTB (6)
constexpr int kConfig7L = 12; // EBTRn
constexpr int kConfig7H = 13; // EBTRB (6)
constexpr uint8_t kBit7 = 0x80;
constexpr uint8_t kBit6 = 0x40;

} // namespace

CPic18Chip::ESpace CPic18Chip::SpaceOf(uint32_t address) const {
    if (address < kPic18IdAddress) {
        return ESpace::Code;
    }
    if (address < kPic18ConfigAddress) {
        return ESpace::Id;
    }
    if (address < kPic18ConfigAddress + kPic18ConfigBytes) {
        return ESpace::Config;
    }
    switch (address) {
    case kPic18EraseKeyAddress:
        return ESpace::EraseKeyLow;
    case kPic18EraseKeyAddress + 1:
        return ESpace::EraseKeyHigh;
    case kPic18PanelRegisterAddress:
        return ESpace::PanelRegister;
    case kPic18DeviceIdAddress:
    case kPic18DeviceIdAddress + 1:
        return ESpace::DeviceId;
    default:
        return ESpace::None;
    }
}

uint8_t CPic18Chip::TableReadByte(uint32_t address) const {
    switch (SpaceOf(address)) {
    case ESpace::Code:
        if (address >= m_program.size() || CodeReadProtected(address)) {
            return 0;
        }
        return m_program[address];
    case ESpace::Id:
        return address - kPic18IdAddress < kPic18IdBytes ? m_ids[address - kPic18IdAddress] : 0;
    case ESpace::Config:
        return m_config[address - kPic18ConfigAddress];
    case ESpace::DeviceId:
        return static_cast<uint8_t>((address & 1) != 0 ? m_deviceIdWord >> 8 : m_deviceIdWord);
    default:
        return 0; // unimplemented locations read 0
    }
}

size_t CPic18Chip::BufferIndexFor(uint32_t address) const {
    if (SpaceOf(address) == ESpace::Id) {
        return m_buffers.size() - 1;
    }
    if (m_family->PanelBytes == 0) {
        return 0;
    }
    return address / m_family->PanelBytes; // m_buffers.size() - 1 or more: no such panel
}

// The 16-bit operand of a table write: its low byte belongs to the even
// address of the word at TBLPTR, its high byte to the odd one. Registers and
// configuration bytes take the byte that TBLPTR's LSB selects.
void CPic18Chip::TableWrite(uint16_t data) {
    const uint8_t low = static_cast<uint8_t>(data);
    const uint8_t high = static_cast<uint8_t>(data >> 8);
    const uint8_t selected = (m_tblptr & 1) != 0 ? high : low;
    switch (SpaceOf(m_tblptr)) {
    case ESpace::Code:
    case ESpace::Id: {
        const size_t index = BufferIndexFor(m_tblptr);
        const size_t codePanels = m_buffers.size() - 1;
        if (SpaceOf(m_tblptr) == ESpace::Code && index >= codePanels) {
            break; // beyond the last panel
        }
        std::vector<uint8_t>& buffer = m_buffers[index];
        const size_t offset = m_tblptr & (buffer.size() - 1) & ~static_cast<size_t>(1);
        buffer[offset] = low;
        buffer[offset + 1] = high;
        break;
    }
    case ESpace::Config:
        m_configLatchValid = true;
        m_configLatchIndex = static_cast<int>(m_tblptr - kPic18ConfigAddress);
        m_configLatchValue = selected;
        break;
    case ESpace::EraseKeyLow:
        m_eraseKeyLow = selected;
        m_eraseArmed = true;
        break;
    case ESpace::EraseKeyHigh:
        if (m_family->HasEraseKeyHigh) {
            m_eraseKeyHigh = selected;
        }
        break;
    case ESpace::PanelRegister:
        if (m_family->HasPanelRegister) {
            m_panelRegister = selected;
        }
        break;
    default:
        break;
    }
}

void CPic18Chip::ArmProgramming() {
    m_programArmed = true;
    m_programAddress = m_tblptr;
    m_programEecon1 = m_eecon1;
}

bool CPic18Chip::ProgramArmed() {
    const uint32_t address = m_programAddress;
    const ESpace space = SpaceOf(address);
    const uint8_t selection = m_programEecon1 & (kEepgd | kCfgs);
    const size_t bufferBytes = m_family->WriteBufferBytes;
    const uint32_t rowMask = ~static_cast<uint32_t>(bufferBytes - 1);

    if (space == ESpace::Code || space == ESpace::Id) {
        if (m_eecon1Gating && selection != kEepgd) {
            ++m_p18.ProgrammingNoTarget;
            return false;
        }
        if (space == ESpace::Id) {
            ProgramRow(m_buffers.back(), address & rowMask);
            return true;
        }
        const size_t panels = m_buffers.size() - 1;
        if (MultiPanel() && m_family->PanelBytes != 0) {
            // Every panel programs its own buffer at the same offset.
            const uint32_t offset = address & (m_family->PanelBytes - 1) & rowMask;
            for (size_t p = 0; p < panels; ++p) {
                ProgramRow(m_buffers[p], static_cast<uint32_t>(p) * m_family->PanelBytes + offset);
            }
            return true;
        }
        const size_t index = BufferIndexFor(address);
        if (index >= panels) {
            ++m_p18.ProgrammingNoTarget;
            return false;
        }
        ProgramRow(m_buffers[index], address & rowMask);
        return true;
    }
    if (space == ESpace::Config && m_configLatchValid &&
        m_configLatchIndex == static_cast<int>(address - kPic18ConfigAddress)) {
        if (m_eecon1Gating && selection != (kEepgd | kCfgs)) {
            ++m_p18.ProgrammingNoTarget;
            return false;
        }
        ProgramConfig();
        return true;
    }
    ++m_p18.ProgrammingNoTarget;
    return false;
}

// Flash programming pulls cells from 1 to 0 only: a 0xFF byte leaves its cell
// alone, and programming onto a programmed cell gives the AND of both.
void CPic18Chip::ProgramRow(std::vector<uint8_t>& buffer, uint32_t rowBase) {
    for (size_t i = 0; i < buffer.size(); ++i) {
        const uint32_t address = rowBase + static_cast<uint32_t>(i);
        const uint8_t value = buffer[i];
        if (value == 0xFF) {
            continue;
        }
        uint8_t* cell = nullptr;
        if (address < m_program.size()) {
            cell = &m_program[address];
        } else if (address >= kPic18IdAddress && address - kPic18IdAddress < kPic18IdBytes) {
            cell = &m_ids[address - kPic18IdAddress];
        }
        if (cell == nullptr) {
            continue;
        }
        if (m_stuck.count(address) == 0) {
            Remember(*cell);
            *cell &= value;
        }
        ++m_cellWrites[address];
    }
    if (m_family->BufferResetAfterWrite) {
        std::fill(buffer.begin(), buffer.end(), 0xFF);
    }
}

// Configuration cells are written a byte at a time and can take a 1 or a 0,
// except the protection bits (CONFIG5L..7H), which a write can only clear and
// only an erase sets again.
void CPic18Chip::ProgramConfig() {
    const int index = m_configLatchIndex;
    const uint8_t implemented = m_model.ConfigImplemented[index];
    const uint32_t address = kPic18ConfigAddress + static_cast<uint32_t>(index);
    m_configLatchValid = false;
    ++m_cellWrites[address];
    if (m_stuck.count(address) != 0) {
        return;
    }
    uint8_t value = m_configLatchValue & implemented;
    if (IsPic18ProtectionByte(index)) {
        value &= m_config[index];
    }
    Remember(m_config[index]);
    m_config[index] = value;
}

CPic18EraseSet CPic18Chip::DecodeEraseKey() const {
    if (!m_family->EraseKeys.empty()) {
        for (const CPic18EraseKey& key : m_family->EraseKeys) {
            if (key.Key == m_eraseKeyLow) {
                return key.Erases;
            }
        }
        return {};
    }
    const uint16_t key = static_cast<uint16_t>((m_eraseKeyHigh << 8) | m_eraseKeyLow);
    CPic18EraseSet set;
    if ((key & m_family->EraseKeyEnable) != m_family->EraseKeyEnable) {
        return set;
    }
    for (const CPic18EraseKeyBit& bit : m_family->EraseKeyBits) {
        if ((key & bit.Bit) == 0) {
            continue;
        }
        set.AllCode = set.AllCode || bit.Erases.AllCode;
        set.Boot = set.Boot || bit.Erases.Boot;
        set.Blocks |= bit.Erases.Blocks;
        set.Panels |= bit.Erases.Panels;
        set.Ids = set.Ids || bit.Erases.Ids;
        set.Config = set.Config || bit.Erases.Config;
        set.Eeprom = set.Eeprom || bit.Erases.Eeprom;
    }
    return set;
}

void CPic18Chip::ApplyErase(const CPic18EraseSet& set) {
    if (set.AllCode) {
        EraseCodeRange(0, static_cast<uint32_t>(m_program.size()));
    }
    if (set.Boot) {
        EraseCodeRange(0, m_model.BootBlockBytes);
    }
    for (const CPic18Block& block : m_model.Blocks) {
        if (block.CpBit >= 0 && block.CpBit < 8 && (set.Blocks & (1u << block.CpBit)) != 0) {
            EraseCodeRange(block.Start, block.End);
        }
    }
    if (m_family->PanelBytes != 0) {
        for (uint32_t p = 0; p < 8; ++p) {
            if ((set.Panels & (1u << p)) != 0) {
                EraseCodeRange(p * m_family->PanelBytes, (p + 1) * m_family->PanelBytes);
            }
        }
    }
    if (set.Ids) {
        m_ids.fill(0xFF);
    }
    if (set.Eeprom) {
        std::fill(m_eeprom.begin(), m_eeprom.end(), 0xFF);
        m_config[kConfig5H] |= kBit7 & m_model.ConfigImplemented[kConfig5H];
        m_config[kConfig6H] |= kBit7 & m_model.ConfigImplemented[kConfig6H];
    }
    if (set.Config) {
        for (int i = 0; i < kPic18ConfigBytes; ++i) {
            m_config[i] = m_model.ConfigBlank[i] & m_model.ConfigImplemented[i];
        }
    }
}

// An erased code range takes its protection with it: the CP, WRT and EBTR
// bits of every block it touches go back to 1.
void CPic18Chip::EraseCodeRange(uint32_t start, uint32_t end) {
    end = std::min(end, static_cast<uint32_t>(m_program.size()));
    if (start >= end) {
        return;
    }
    std::fill(m_program.begin() + start, m_program.begin() + end, 0xFF);
    UnprotectRange(start, end);
}

void CPic18Chip::UnprotectRange(uint32_t start, uint32_t end) {
    if (start < m_model.BootBlockBytes) {
        m_config[kConfig5H] |= kBit6 & m_model.ConfigImplemented[kConfig5H];
        m_config[kConfig6H] |= kBit6 & m_model.ConfigImplemented[kConfig6H];
        m_config[kConfig7H] |= kBit6 & m_model.ConfigImplemented[kConfig7H];
    }
    for (const CPic18Block& block : m_model.Blocks) {
        if (block.CpBit < 0 || block.CpBit >= 8 || block.End <= start || block.Start >= end) {
            continue;
        }
        const uint8_t bit = static_cast<uint8_t>(1u << block.CpBit);
        m_config[kConfig5L] |= bit & m_model.ConfigImplemented[kConfig5L];
        m_config[kConfig6L] |= bit & m_model.ConfigImplemented[kConfig6L];
        m_config[kConfig7L] |= bit & m_model.ConfigImplemented[kConfig7L];
    }
}

bool CPic18Chip::CodeReadProtected(uint32_t address) const {
    if (address < m_model.BootBlockBytes) {
        return (m_model.ConfigImplemented[kConfig5H] & kBit6) != 0 && (m_config[kConfig5H] & kBit6) == 0;
    }
    for (const CPic18Block& block : m_model.Blocks) {
        if (address >= block.Start && address < block.End && block.CpBit >= 0 && block.CpBit < 8) {
            const uint8_t bit = static_cast<uint8_t>(1u << block.CpBit);
            return (m_model.ConfigImplemented[kConfig5L] & bit) != 0 && (m_config[kConfig5L] & bit) == 0;
        }
    }
    return false;
}

bool CPic18Chip::EepromReadProtected() const {
    return (m_model.ConfigImplemented[kConfig5H] & kBit7) != 0 && (m_config[kConfig5H] & kBit7) == 0;
}
