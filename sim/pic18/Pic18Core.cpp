// The part of the PIC18 core that programming sequences use: W, the table
// pointer and TABLAT, the EEPROM registers and EECON1/EECON2, fed one
// instruction at a time through command 0000.
//
// An instruction takes effect at once. On the silicon it completes during the
// next command's four clocks, which is why Microchip's sequences put a NOP
// before a shift-out of TABLAT; sequences written that way see
// the same result either way.
#include "sim/pic18/Pic18Chip.h"

namespace {

// Access-bank addresses of the special function registers (0xF00 | f).
constexpr uint8_t kTblptru = 0xF8;
constexpr uint8_t kTblptrh = 0xF7;
constexpr uint8_t kTblptrl = 0xF6;
constexpr uint8_t kTablat = 0xF5;
constexpr uint8_t kWreg = 0xE8;
constexpr uint8_t kEeadrh = 0xAA;
constexpr uint8_t kEeadr = 0xA9;
constexpr uint8_t kEedata = 0xA8;
constexpr uint8_t kEecon2 = 0xA7;
constexpr uint8_t kEecon1 = 0xA6;

// EECON1 bits.
constexpr uint8_t kEepgd = 0x80;
constexpr uint8_t kCfgs = 0x40;
constexpr uint8_t kFree = 0x10;
constexpr uint8_t kWrerr = 0x08;
constexpr uint8_t kWren = 0x04;
constexpr uint8_t kWr = 0x02;
constexpr uint8_t kRd = 0x01;

} // namespace

void CPic18Chip::ExecuteInstruction(uint16_t word, uint64_t nowUs) {
    // The EECON2 unlock holds only while 55h, AAh and BSF WR follow each
    // other (a MOVLW may load AAh in between).
    const int unlockBefore = m_unlockStep;
    m_unlockStep = 0;

    if (m_gotoPending) {
        m_gotoPending = false;
        if ((word & 0xF000) == 0xF000) {
            const uint32_t target = (static_cast<uint32_t>(word & 0x0FFF) << 8) | m_gotoLow;
            m_pc = (target << 1) & 0x1FFFFF;
            return;
        }
        ++m_p18.UnsupportedInstructions; // the first word of a GOTO without its second
    }

    const uint8_t f = static_cast<uint8_t>(word & 0xFF);
    const bool banked = (word & 0x0100) != 0;
    bool known = false;

    if (word == 0x0000) {
        return; // NOP
    }
    if ((word & 0xFF00) == 0x0E00) { // MOVLW k
        m_w = f;
        if (unlockBefore == 1) {
            m_unlockStep = 1;
        }
        return;
    }
    if ((word & 0xFE00) == 0x6E00) { // MOVWF f,a
        if (banked) {
            ++m_p18.UnsupportedInstructions;
            return;
        }
        if (f == kEecon2) {
            if (m_w == 0x55) {
                m_unlockStep = 1;
            } else if (m_w == 0xAA && unlockBefore == 1) {
                m_unlockStep = 2;
            }
            return;
        }
        WriteSfr(f, m_w, nowUs, (m_w & kWr) != 0, (m_w & kRd) != 0, unlockBefore == 2);
        return;
    }
    if ((word & 0xFC00) == 0x5000) { // MOVF f,d,a
        const uint8_t value = banked ? 0 : ReadSfr(f, known);
        if (banked || !known) {
            ++m_p18.UnsupportedInstructions;
            return;
        }
        if ((word & 0x0200) == 0) {
            m_w = value; // d = 0: into W; d = 1 writes f back unchanged
        }
        return;
    }
    if ((word & 0xE000) == 0x8000) { // BSF (1000) and BCF (1001) f,b,a
        const bool set = (word & 0xF000) == 0x8000;
        const uint8_t mask = static_cast<uint8_t>(1u << ((word >> 9) & 7));
        if (banked) {
            ++m_p18.UnsupportedInstructions;
            return;
        }
        if (f == kEecon1) {
            const uint8_t value =
                set ? static_cast<uint8_t>(m_eecon1 | mask) : static_cast<uint8_t>(m_eecon1 & ~mask);
            WriteSfr(kEecon1, value, nowUs, set && mask == kWr, set && mask == kRd, unlockBefore == 2);
            return;
        }
        uint8_t value = ReadSfr(f, known);
        if (!known) {
            ++m_p18.UnsupportedInstructions;
            return;
        }
        value = set ? static_cast<uint8_t>(value | mask) : static_cast<uint8_t>(value & ~mask);
        WriteSfr(f, value, nowUs, false, false, false);
        return;
    }
    if ((word & 0xFC00) == 0x2800) { // INCF f,d,a (TBLPTRL alone: no carry into TBLPTRH)
        const uint8_t value = static_cast<uint8_t>((banked ? 0 : ReadSfr(f, known)) + 1);
        if (banked || !known) {
            ++m_p18.UnsupportedInstructions;
            return;
        }
        if ((word & 0x0200) != 0) {
            WriteSfr(f, value, nowUs, false, false, false);
        } else {
            m_w = value;
        }
        return;
    }
    if ((word & 0xFF00) == 0xEF00) { // GOTO, first word
        m_gotoPending = true;
        m_gotoLow = f;
        return;
    }
    if ((word & 0xF000) == 0xF000) {
        return; // a second word alone executes as a NOP
    }
    ++m_p18.UnsupportedInstructions;
}

void CPic18Chip::WriteSfr(uint8_t f, uint8_t value, uint64_t nowUs, bool setsWr, bool setsRd, bool unlocked) {
    switch (f) {
    case kTblptru:
        m_tblptr = (m_tblptr & 0x00FFFF) | (static_cast<uint32_t>(value & 0x3F) << 16);
        break;
    case kTblptrh:
        m_tblptr = (m_tblptr & 0x3F00FF) | (static_cast<uint32_t>(value) << 8);
        break;
    case kTblptrl:
        m_tblptr = (m_tblptr & 0x3FFF00) | value;
        break;
    case kTablat:
        m_tablat = value;
        break;
    case kWreg:
        m_w = value;
        break;
    case kEeadr:
        m_eeadr = value;
        break;
    case kEeadrh:
        // Only parts with more than 256 bytes of EEPROM have EEADRH bits.
        m_eeadrh =
            static_cast<uint8_t>(value & ((m_model.EepromBytes > 256 ? m_model.EepromBytes - 1 : 0) >> 8));
        break;
    case kEedata:
        m_eedata = value;
        break;
    case kEecon2:
        break; // not a register; only the MOVWF of the unlock sequence means anything
    case kEecon1:
        m_eecon1 = static_cast<uint8_t>((value & (kEepgd | kCfgs | kFree | kWren)) | (m_eecon1 & kWrerr));
        if (setsRd) {
            ReadEeprom();
        }
        if (setsWr) {
            StartEepromWrite(nowUs, unlocked);
        }
        break;
    default:
        ++m_p18.UnsupportedInstructions;
        break;
    }
}

uint8_t CPic18Chip::ReadSfr(uint8_t f, bool& known) const {
    known = true;
    switch (f) {
    case kTblptru:
        return static_cast<uint8_t>((m_tblptr >> 16) & 0x3F);
    case kTblptrh:
        return static_cast<uint8_t>(m_tblptr >> 8);
    case kTblptrl:
        return static_cast<uint8_t>(m_tblptr);
    case kTablat:
        return m_tablat;
    case kWreg:
        return m_w;
    case kEeadr:
        return m_eeadr;
    case kEeadrh:
        return m_eeadrh;
    case kEedata:
        return m_eedata;
    case kEecon2:
        return 0;
    case kEecon1:
        return Eecon1Value();
    default:
        break;
    }
    known = false;
    return 0;
}

uint8_t CPic18Chip::Eecon1Value() const {
    return static_cast<uint8_t>(m_eecon1 | (m_eepromWrite.Busy ? kWr : 0));
}

uint32_t CPic18Chip::EepromAddress() const {
    if (m_eeprom.empty()) {
        return 0;
    }
    return ((static_cast<uint32_t>(m_eeadrh) << 8) | m_eeadr) % static_cast<uint32_t>(m_eeprom.size());
}

void CPic18Chip::ReadEeprom() {
    // RD reads data EEPROM only with EEPGD and CFGS clear.
    if ((m_eecon1 & (kEepgd | kCfgs)) != 0 || m_eeprom.empty()) {
        ++m_p18.UnsupportedInstructions;
        return;
    }
    m_eedata = EepromReadProtected() ? 0 : m_eeprom[EepromAddress()];
}

void CPic18Chip::StartEepromWrite(uint64_t nowUs, bool unlocked) {
    // WR with EEPGD or CFGS set would write flash from the holding registers
    // or a configuration byte; programming sequences use the held NOP for
    // those, so the model refuses them.
    if ((m_eecon1 & (kEepgd | kCfgs)) != 0 || (m_eecon1 & kWren) == 0 || m_eepromWrite.Busy ||
        m_eeprom.empty()) {
        ++m_p18.EepromWritesRefused;
        return;
    }
    if (m_family->EepromNeedsUnlock && !unlocked) {
        ++m_p18.UnlockFailures;
        return;
    }
    m_eepromWrite.Busy = true;
    m_eepromWrite.DoneUs = nowUs + EepromTimeUs();
    m_eepromWrite.Address = EepromAddress();
    m_eepromWrite.Data = m_eedata;
}
