// The lower bound of a Program: the commands the chip must receive, their
// clocks, their packets and the chip's cycles, family by family (see
// ProgramBound.h for what is counted).
#include "ProgramBound.h"

#include "sim/MidRangeModels.h"
#include "sim/SimFirmware.h"
#include "sim/pic18/Pic18Models.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPacketBytes = 64;
constexpr uint32_t kMidBlank = 0x3FFF;
constexpr uint8_t kByteBlank = 0xFF;

// The command stream of one Program: bytes and answer bytes to carry, ICSP
// clocks, and the cycles the chip runs meanwhile.
class CStream {
public:
    explicit CStream(const CSimFirmwareConfig& fw)
        : m_bitUs(fw.IcspBitNs / 1000.0), m_delayUs(fw.IcspDelayNs / 1000.0) {}

    // Mid-range: a 6-bit command; with a data word in; with a data word out.
    void MidCommand(uint64_t n = 1) { Add(n, 2, 0, 6 * m_bitUs); }
    void MidLoad(uint64_t n = 1) { Add(n, 4, 0, 22 * m_bitUs + m_delayUs); }
    void MidRead(uint64_t n = 1) { Add(n, 2, 2, 22 * m_bitUs + m_delayUs); }
    // PIC18: a 4-bit command with its operand (a core instruction, a table
    // write); a command that shifts a byte out; the held NOP of a cycle.
    void Pic18Command(uint64_t n = 1) { Add(n, 4, 0, 20 * m_bitUs); }
    void Pic18Read(uint64_t n = 1) { Add(n, 2, 1, 20 * m_bitUs); }
    void Pic18Hold(double holdUs, double lowUs) {
        Add(1, 4, 0, 20 * m_bitUs);
        Cycle(holdUs + lowUs);
    }
    void Pic18TablePointer() { Pic18Command(6); }

    void Cycle(double us) { m_cyclesUs += us; }

    uint64_t Packets() const {
        return static_cast<uint64_t>(
            std::max(std::ceil(m_bytes / kPacketBytes), std::ceil(m_answer / kPacketBytes)));
    }
    double ShiftUs() const { return m_shiftUs; }
    double CyclesUs() const { return m_cyclesUs; }

private:
    void Add(uint64_t n, double bytes, double answer, double shiftUs) {
        m_bytes += static_cast<double>(n) * bytes;
        m_answer += static_cast<double>(n) * answer;
        m_shiftUs += static_cast<double>(n) * shiftUs;
    }

    double m_bitUs;
    double m_delayUs;
    double m_bytes = 0;
    double m_answer = 0;
    double m_shiftUs = 0;
    double m_cyclesUs = 0;
};

uint32_t Word(const CPicDevice& d, size_t i) {
    const size_t at = 2 * i;
    const uint32_t low = at < d.ProgramData.size() ? d.ProgramData[at] : 0xFF;
    const uint32_t high = at + 1 < d.ProgramData.size() ? d.ProgramData[at + 1] : 0x3F;
    return (low | high << 8) & kMidBlank;
}

// The socket, entry and exit packets of one session and their settling waits.
void Session(const CPicDevice& d, const CSimFirmwareConfig& fw, CProgramBound& bound) {
    bound.Packets += SessionPackets(d);
    auto wait = [&](uint16_t v) {
        return static_cast<double>(CSimFirmware::WaitNs(v, fw.ClockMHz)) / 1000.0;
    };
    const double settle = wait(0x0001);
    const double vpp = wait(0x00FE);
    switch (d.EntryMode) {
    case 1:
        bound.SessionUs += settle + vpp;
        break;
    case 2:
        bound.SessionUs += settle;
        break;
    default:
        bound.SessionUs += settle + 2 * vpp;
        break;
    }
    bound.SessionUs += settle; // the exit
}

// ----------------------------------------------------------------- mid-range

// What the catalogue's methods make the chip spend, by the family's table.
struct CMidTimes {
    double RowUs;    // one program row or word
    double DataUs;   // one EEPROM byte
    double IdsUs;    // the user ID row (or each ID word, when word by word)
    double ConfigUs; // one configuration word
    double EraseUs;
    bool RowEnded;    // the row cycle needs an End Programming command
    bool IdsAsRow;    // the user IDs go as one latch row
    bool ConfigEnded; // configuration cycles need an End Programming command
};

// The cycle that begin programming only (0x18) starts: on a family that
// ignores command bits 5:4 it is 0x08's.
double ProgramOnlyUs(const CMidFamily& f) {
    if (f.Command18 == EMidCommand18::None && f.DecodeLowNibble) {
        return f.Program.TypicalUs;
    }
    return f.ProgramOnly.TypicalUs;
}

CMidTimes MidTimes(const CPicDevice& d, const CMidFamily& f) {
    CMidTimes t{};
    const double discharge = f.DischargeUs;
    const double only = ProgramOnlyUs(f);
    const bool latch = d.WriteCycle == 1 || d.WriteCycle == 2 || d.WriteCycle == 4;
    t.RowEnded = latch;
    t.RowUs = latch ? only + (d.WriteCycle == 4 ? discharge : 0) : f.Program.TypicalUs;
    t.DataUs = d.EepromMethod == 1 ? only : f.ProgramData.TypicalUs;
    t.IdsAsRow = d.BlockWrite == 1 || d.BlockWrite == 2;
    t.IdsUs = t.IdsAsRow ? only + (d.BlockWrite == 2 ? discharge : 0) : f.Program.TypicalUs;
    t.ConfigEnded = d.BlockWrite == 1 || d.BlockWrite == 2;
    t.ConfigUs = d.BlockWrite == 2 ? only + discharge : f.Program.TypicalUs;

    const bool eeprom = d.EepromSize != 0;
    const double bulk =
        f.Bulk == EMidBulkStyle::ChipEraseCommand ? f.ChipErase.TypicalUs : f.BulkErase.TypicalUs;
    switch (d.EraseMethod) {
    case 1:
    case 5:
    case 7:
        t.EraseUs = bulk + (eeprom ? f.BulkErase.TypicalUs : 0);
        break;
    case 2:
    case 3: // program, data, and the code-protect disable sequence
        t.EraseUs = bulk + (eeprom ? f.BulkErase.TypicalUs : 0) + f.BulkErase.TypicalUs;
        break;
    default: // 4 and 6: the chip erase
        t.EraseUs = f.ChipErase.TypicalUs;
        break;
    }
    return t;
}

void MidBound(const CPicDevice& d, const CMidFamily& f, bool calibration, CStream& s) {
    const CMidTimes t = MidTimes(d, f);
    const size_t words = std::min<size_t>(d.ProgramBytes, d.ProgramData.size()) / 2;
    const size_t cal = d.CalAddress > 0 && static_cast<size_t>(d.CalAddress) < words ? d.CalAddress : 0;
    const int configs = std::max(1, d.ConfigWordCount());
    const size_t eeprom = std::min<size_t>(d.EepromSize, d.EepromData.size());

    if (calibration) {
        if (cal != 0) { // the word, read before the erase
            s.MidCommand(cal);
            s.MidRead();
        }
        s.MidLoad(); // the calibration bits of the configuration words
        s.MidCommand(7);
        s.MidRead(static_cast<uint64_t>(configs));
    }

    s.MidLoad();
    s.MidCommand(2);
    s.Cycle(t.EraseUs);

    // Program memory: rows with data are loaded whole; the address steps over
    // blank ones, and stops after the last row written.
    const size_t row =
        t.RowEnded ? std::max<size_t>(1, static_cast<size_t>(std::max(d.WriteBlockBytes, 2)) / 2) : 1;
    uint64_t owed = 0;
    for (size_t first = 0; first < words; first += row) {
        const size_t n = std::min(row, words - first);
        bool data = false;
        for (size_t i = first; i < first + n; ++i) {
            data |= Word(d, i) != kMidBlank || (calibration && cal != 0 && i == cal);
        }
        if (!data) {
            owed += n;
            continue;
        }
        s.MidCommand(owed);
        owed = 0;
        s.MidLoad(n);
        s.MidCommand(n - 1);                  // increments between the loads
        s.MidCommand(t.RowEnded ? 2 + 1 : 2); // begin (and end), then the step to the next row
        s.Cycle(t.RowUs);
    }

    owed = 0;
    for (size_t i = 0; i < eeprom; ++i) {
        if (d.EepromData[i] == kByteBlank) {
            ++owed;
            continue;
        }
        s.MidCommand(owed);
        owed = 0;
        s.MidLoad();
        s.MidCommand(d.EepromMethod == 1 ? 3 : 2);
        s.Cycle(t.DataUs);
    }

    // User IDs from 0x2000, then to 0x2007 and the configuration words.
    s.MidLoad();
    if (t.IdsAsRow) {
        s.MidLoad(4);
        s.MidCommand(3 + 3);
        s.Cycle(t.IdsUs);
    } else {
        s.MidLoad(4);
        s.MidCommand(4 * 2);
        s.Cycle(4 * t.IdsUs);
    }
    s.MidCommand(3);
    s.MidLoad(static_cast<uint64_t>(configs));
    s.MidCommand(static_cast<uint64_t>(configs) * (t.ConfigEnded ? 3 : 2));
    s.Cycle(configs * t.ConfigUs);

    // The verify read of everything.
    s.MidRead(words);
    s.MidCommand(words);
    s.MidRead(eeprom);
    s.MidCommand(eeprom);
    s.MidLoad();
    s.MidRead(4 + static_cast<uint64_t>(configs));
    s.MidCommand(7 + static_cast<uint64_t>(configs));
}

// --------------------------------------------------------------------- PIC18

void Pic18Bound(const CPicDevice& d, const CPic18FamilyParams& f, CStream& s) {
    const double p9 = f.P9.Typical;
    const double p10 = f.P10;
    const size_t bytes = std::min<size_t>(d.ProgramBytes, d.ProgramData.size());
    const size_t eeprom = std::min<size_t>(d.EepromSize, d.EepromData.size());
    const bool eeadrh = eeprom > 256;

    // Erase: the key (two for the 16-bit keys), a NOP, the held erase.
    s.Pic18TablePointer();
    s.Pic18Command(2);
    if (d.EraseMethod == 5 || d.EraseMethod == 6) {
        s.Pic18TablePointer();
        s.Pic18Command();
    }
    s.Pic18Hold(f.P11.Typical, p10);

    // Program memory: each write buffer that holds data, loaded whole.
    const size_t row = static_cast<size_t>(std::clamp(d.WriteBlockBytes, 8, 64));
    bool setup = d.WriteCycle != 100;
    for (size_t first = 0; first < bytes; first += row) {
        const size_t n = std::min(row, bytes - first);
        if (std::all_of(d.ProgramData.begin() + static_cast<std::ptrdiff_t>(first),
                        d.ProgramData.begin() + static_cast<std::ptrdiff_t>(first + n),
                        [](uint8_t b) { return b == kByteBlank; })) {
            continue;
        }
        if (!setup) { // the single-panel setup
            s.Pic18Command(2 + 1 + 2);
            s.Pic18TablePointer();
            setup = true;
        }
        s.Pic18TablePointer();
        s.Pic18Command((n + 1) / 2);
        s.Pic18Hold(p9, p10);
    }

    // EEPROM: address, data, enable, unlock where needed, WR, one poll.
    s.Pic18Command(2);
    for (size_t a = 0; a < eeprom; ++a) {
        if (d.EepromData[a] == kByteBlank) {
            continue;
        }
        s.Pic18Command((eeadrh ? 4 : 2) + 2 + 1 + (f.EepromNeedsUnlock ? 4 : 0) + 1);
        s.Cycle(f.EepromWrite.Typical);
        s.Pic18Command(3);
        s.Pic18Read();
        s.Pic18Command();
    }

    // ID locations as one buffer, then the fourteen configuration bytes.
    s.Pic18TablePointer();
    s.Pic18Command(4);
    s.Pic18Hold(p9, p10);
    s.Pic18Command(2);
    s.Pic18TablePointer();
    for (int i = 0; i < 14; ++i) {
        s.Pic18Command(i == 0 ? 1 : 2); // the table write, and the step to the next byte
        s.Pic18Hold(p9, p10);
    }

    // The verify read of everything.
    s.Pic18TablePointer();
    s.Pic18Read(bytes);
    s.Pic18Command(2);
    s.Pic18Command(eeprom * ((eeadrh ? 4 : 2) + 4));
    s.Pic18Read(eeprom);
    s.Pic18TablePointer();
    s.Pic18Read(8);
    s.Pic18TablePointer();
    s.Pic18Read(14);
}

} // namespace

uint64_t SessionPackets(const CPicDevice& device) {
    return (device.PinCount == 8 ? 2 : 1) + 2;
}

double SessionUs(const CPicDevice& device, const CSimWriterConfig& config) {
    CProgramBound session;
    session.RoundTripUs = config.UsbWriteUs + config.UsbReadUs;
    Session(device, config.Firmware, session);
    return session.TotalUs();
}

CProgramBound ProgramBound(const std::string& name, const CPicDevice& image, bool calibration,
                           const CSimWriterConfig& config) {
    CProgramBound bound;
    bound.RoundTripUs = config.UsbWriteUs + config.UsbReadUs;
    CStream s(config.Firmware);
    if (image.CoreWidth == kCorePic18) {
        const CPic18Model* model = FindPic18Model(name);
        if (model == nullptr) {
            return bound;
        }
        Pic18Bound(image, Pic18Family(model->Family), s);
    } else if (image.CoreWidth == kCoreMidRange) {
        const CMidDevice* device = FindMidDevice(name);
        const CMidFamily* family = device != nullptr ? FindMidFamily(device->Family) : nullptr;
        if (family == nullptr) {
            return bound;
        }
        MidBound(image, *family, calibration, s);
    } else {
        return bound;
    }
    Session(image, config.Firmware, bound);
    bound.Packets += s.Packets();
    bound.ShiftUs = s.ShiftUs();
    bound.CyclesUs = s.CyclesUs();
    return bound;
}
