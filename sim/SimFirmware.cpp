#include "sim/SimFirmware.h"

#include <string>

namespace {

// Operand bytes after each opcode; -1 for a byte that is no opcode.
int OperandCount(uint8_t opcode) {
    switch (opcode) {
    case 0x80:
    case 0x82:
    case 0x84:
    case 0x86:
    case 0x87:
    case 0x88:
        return 1;
    case 0x81:
    case 0x83:
    case 0x85:
        return 3;
    default:
        return -1;
    }
}

std::string HexByte(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    text += digits[(value >> 4) & 0x0F];
    text += digits[value & 0x0F];
    return text;
}

} // namespace

CSimFirmware::CSimFirmware(CSimFirmwareConfig config) : m_config(std::move(config)) {
    if (m_config.ClockMHz == 0) {
        m_config.ClockMHz = 1;
    }
}

void CSimFirmware::SetChip(ISimChip* chip) {
    if (m_chip != nullptr && m_chipVpp) {
        m_chip->SetProgrammingMode(false, NowUs());
    }
    m_chipVpp = false;
    m_chipVdd = false;
    m_chip = chip;
    UpdateChipPower();
}

void CSimFirmware::PowerOn() {
    m_powerLed = false;
    m_busyLed = false;
    m_errorLed = false;
    m_dcdc = false;
    m_mclr = ESimMclr::Normal;
    m_socket = ESimSocket::Icsp;
    m_identArmed = false;
    UpdateChipPower();
}

void CSimFirmware::PowerOff() {
    m_dcdc = false;
    m_mclr = ESimMclr::Normal;
    m_identArmed = false;
    UpdateChipPower();
}

uint64_t CSimFirmware::WaitNs(uint16_t start, unsigned clockMHz) {
    const uint64_t counts = 65536u - start;
    return counts * 4000u / (clockMHz == 0 ? 1u : clockMHz);
}

bool CSimFirmware::ChipWired() const {
    if (m_chip == nullptr) {
        return false;
    }
    const int pins = m_chip->PinCount();
    switch (m_socket) {
    case ESimSocket::Icsp:
        return true;
    case ESimSocket::Small18:
        return pins == 18;
    case ESimSocket::Small8And14:
        return pins == 8 || pins == 14;
    case ESimSocket::Large:
        return pins == 28 || pins == 40;
    }
    return false;
}

void CSimFirmware::UpdateChipPower() {
    const bool vdd = m_mclr != ESimMclr::Normal && ChipWired();
    if (vdd && !m_chipVdd && m_chip != nullptr) {
        m_chip->PowerUp(NowUs());
    }
    m_chipVdd = vdd;
    const bool vpp = VppOn() && ChipWired();
    if (vpp == m_chipVpp) {
        return;
    }
    m_chipVpp = vpp;
    if (m_chip != nullptr) {
        m_chip->SetProgrammingMode(vpp, NowUs());
    }
}

void CSimFirmware::Fault(const std::string& text) {
    m_counters.Errors++;
    m_lastError = text;
}

bool CSimFirmware::ChipReachable() {
    m_counters.ChipCommands++;
    if (!ChipWired()) {
        m_counters.ChipCommandsUnwired++;
        return false;
    }
    if (!m_chipVpp) {
        m_counters.ChipCommandsWithoutVpp++;
    }
    return true;
}

std::vector<uint8_t> CSimFirmware::RunPacket(const uint8_t* data, size_t length) {
    m_counters.Packets++;
    std::vector<uint8_t> answer;
    if (length > kMaxPacket) {
        Fault("packet of " + std::to_string(length) + " bytes is longer than " + std::to_string(kMaxPacket));
        return {kAck};
    }
    size_t i = 0;
    while (i < length) {
        const uint8_t op = data[i];
        if (op == 0x00) {
            ++i;
            continue;
        }
        const int operands = OperandCount(op);
        if (operands < 0) {
            Fault("unknown opcode " + HexByte(op) + " at byte " + std::to_string(i));
            break;
        }
        if (i + 1 + static_cast<size_t>(operands) > length) {
            Fault("opcode " + HexByte(op) + " at byte " + std::to_string(i) + " lacks its operands");
            break;
        }
        const uint8_t* a = data + i + 1;
        i += 1 + static_cast<size_t>(operands);
        if (op != 0x80) {
            m_identArmed = false;
        }
        switch (op) {
        case 0x80:
            Control(a[0], answer);
            break;
        case 0x81: {
            // a[0] is not part of the counter's start value.
            const uint16_t v = static_cast<uint16_t>(a[1] | a[2] << 8);
            m_counters.Waits++;
            m_nowNs += WaitNs(v, m_config.ClockMHz);
            break;
        }
        case 0x82: {
            Shift(6);
            if (ChipReachable()) {
                m_chip->MidCommand(a[0], NowUs());
            }
            break;
        }
        case 0x83: {
            Shift(6);
            const uint64_t at = NowUs();
            m_nowNs += m_config.IcspDelayNs;
            Shift(16);
            if (ChipReachable()) {
                m_chip->MidLoad(a[0], static_cast<uint16_t>(a[1] | a[2] << 8), at);
            }
            break;
        }
        case 0x84: {
            Shift(6);
            uint16_t raw = 0xFFFF;
            if (ChipReachable()) {
                raw = m_chip->MidRead(a[0], NowUs());
            }
            m_nowNs += m_config.IcspDelayNs;
            Shift(16);
            answer.push_back(static_cast<uint8_t>(raw & 0xFF));
            answer.push_back(static_cast<uint8_t>(raw >> 8));
            break;
        }
        case 0x85: {
            // The core executes the instruction once its operand is in.
            Shift(20);
            if (ChipReachable()) {
                m_chip->Pic18Command(static_cast<uint8_t>(a[0] & 0x0F),
                                     static_cast<uint16_t>(a[1] | a[2] << 8), NowUs());
            }
            break;
        }
        case 0x86: {
            Shift(12); // command and the eight clocks before the byte comes out
            uint8_t value = 0xFF;
            if (ChipReachable()) {
                value = m_chip->Pic18Read(static_cast<uint8_t>(a[0] & 0x0F), NowUs());
            }
            Shift(8);
            answer.push_back(value);
            break;
        }
        case 0x87:
            Shift(4); // the fourth clock of the NOP stays high
            if (ChipReachable()) {
                m_chip->Pic18HoldBegin(a[0], NowUs());
            }
            break;
        case 0x88:
            if (ChipReachable()) {
                m_chip->Pic18HoldEnd(NowUs());
            }
            Shift(16);
            break;
        default:
            break;
        }
    }
    if (answer.empty()) {
        answer.push_back(kAck);
    }
    return answer;
}

void CSimFirmware::Control(uint8_t code, std::vector<uint8_t>& answer) {
    m_nowNs += m_config.ControlNs;
    const bool armed = m_identArmed;
    m_identArmed = false;
    switch (code) {
    case 0:
        m_powerLed = true;
        break;
    case 1:
        m_powerLed = false;
        break;
    case 2:
        m_dcdc = true;
        break;
    case 3:
        m_dcdc = false;
        break;
    case 4:
        m_mclr = ESimMclr::Vpp;
        break;
    case 5:
        m_mclr = ESimMclr::Reset;
        break;
    case 6:
        m_mclr = ESimMclr::Normal;
        break;
    case 7:
        m_socket = ESimSocket::Small18;
        break;
    case 8:
        m_socket = ESimSocket::Large;
        break;
    case 9:
        m_socket = ESimSocket::Icsp;
        break;
    case 10:
        m_busyLed = true;
        break;
    case 11:
        m_busyLed = false;
        break;
    case 12:
        m_socket = ESimSocket::Small8And14;
        break;
    case 13:
        m_errorLed = true;
        break;
    case 14:
        m_errorLed = false;
        break;
    case 0x80:
        m_identArmed = true;
        break;
    case 0x81:
        if (!armed) {
            Fault("control code 0x81 without the 0x80 before it");
            break;
        }
        answer.insert(answer.end(), m_config.Banner.begin(), m_config.Banner.end());
        break;
    default:
        Fault("unknown control code " + HexByte(code));
        break;
    }
    UpdateChipPower();
}
