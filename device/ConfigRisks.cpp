#include "device/ConfigRisks.h"

#include "device/ConfigLabels.h"

#include <algorithm>
#include <map>

namespace {

struct CNamedBit {
    std::string Name; // bare
    int Word = 0;
    int Bit = 0;
    uint32_t Value = 0;
    bool Protect = false;
};

std::vector<CNamedBit> NamedBits(const CPicDevice& image) {
    std::vector<CNamedBit> bits;
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        for (const CConfigBitLabel& label : ConfigBitLabels(image, w)) {
            bits.push_back(
                {BareBitName(label.Name), w, label.Bit, image.Config[w] >> label.Bit & 1, label.Protect});
        }
    }
    return bits;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The protection a bit at 0 switches on, if any.
bool ProtectionOf(const CNamedBit& bit, EConfigRisk& risk) {
    if (bit.Name == "CPB" || bit.Name == "WRTB" || bit.Name == "EBTRB") {
        risk = EConfigRisk::BootProtect;
    } else if (bit.Name == "CPD") {
        risk = EConfigRisk::DataProtect;
    } else if (bit.Protect) {
        risk = EConfigRisk::CodeProtect;
    } else if (StartsWith(bit.Name, "WRT")) {
        risk = EConfigRisk::WriteProtect;
    } else if (StartsWith(bit.Name, "EBTR")) {
        risk = EConfigRisk::TableReadProtect;
    } else {
        return false;
    }
    return true;
}

// The oscillator selection is an internal oscillator. Three FOSC bits (the
// mid-range parts): 100 and 101. Four (PIC18): 1000 and 1001, and on the
// parts with a USB clock (a USBDIV bit) also 1010 and 1011. Two bits or
// fewer: those parts have no internal oscillator.
// Empty when it is not; otherwise the selection as "FOSC2:0=100 (CONFIG1)".
std::string InternalOscillator(const CPicDevice& image, const std::vector<CNamedBit>& bits) {
    int count = 0;
    uint32_t value = 0;
    bool usb = false;
    int word = 0;
    for (const CNamedBit& bit : bits) {
        usb = usb || bit.Name == "USBDIV";
        if (bit.Name.size() == 5 && StartsWith(bit.Name, "FOSC") && bit.Name[4] >= '0' &&
            bit.Name[4] <= '3') {
            ++count;
            value |= bit.Value << (bit.Name[4] - '0');
            word = bit.Word;
        }
    }
    bool internal = false;
    if (count == 3) {
        internal = value == 0x4 || value == 0x5;
    } else if (count == 4) {
        internal = usb ? (value >> 2) == 0x2 : (value >> 1) == 0x4;
    }
    if (!internal) {
        return {};
    }
    std::string text = "FOSC" + std::to_string(count - 1) + ":0=";
    for (int b = count - 1; b >= 0; --b) {
        text += (value >> b & 1) != 0 ? '1' : '0';
    }
    return text + " (" + ConfigWordName(image.CoreWidth, word) + ")";
}

} // namespace

std::string BareBitName(const std::string& displayName) {
    std::string name = LegendLabel(displayName);
    if (!name.empty() && name.front() == '*') {
        name.erase(0, 1);
    }
    return name;
}

std::vector<CConfigRiskFinding> FindConfigRisks(const CPicDevice& image) {
    const std::vector<CNamedBit> bits = NamedBits(image);
    std::map<EConfigRisk, std::vector<std::string>> found;
    const auto note = [&](EConfigRisk risk, const CNamedBit& bit) {
        const std::string text = bit.Name + "=" + std::to_string(bit.Value) + " (" +
                                 ConfigWordName(image.CoreWidth, bit.Word) + ")";
        std::vector<std::string>& names = found[risk];
        // A part whose legend names one bit several times (the ten CP bits of
        // the PIC16F84A) says it once.
        if (std::find(names.begin(), names.end(), text) == names.end()) {
            names.push_back(text);
        }
    };
    const std::string internalClock = InternalOscillator(image, bits);
    for (const CNamedBit& bit : bits) {
        EConfigRisk protection{};
        if (bit.Value == 0 && ProtectionOf(bit, protection)) {
            note(protection, bit);
        } else if (bit.Value == 1 && bit.Name == "LVP") {
            note(EConfigRisk::LowVoltage, bit);
        } else if (bit.Value == 0 && bit.Name == "MCLRE" && !internalClock.empty()) {
            note(EConfigRisk::McLrOffInternalClock, bit);
            found[EConfigRisk::McLrOffInternalClock].push_back(internalClock);
        } else if (bit.Value == 1 && (bit.Name == "WDT" || bit.Name == "WDTE" || bit.Name == "WDTEN")) {
            note(EConfigRisk::Watchdog, bit);
        } else if (bit.Value == 1 && bit.Name == "XINST") {
            note(EConfigRisk::ExtendedInstructions, bit);
        } else if (bit.Value == 0 && (bit.Name == "DEBUG" || bit.Name == "BKBUG")) {
            note(EConfigRisk::Debugger, bit);
        }
    }
    std::vector<CConfigRiskFinding> findings;
    findings.reserve(found.size());
    for (auto& [risk, names] : found) {
        findings.push_back({risk, std::move(names)});
    }
    return findings;
}
