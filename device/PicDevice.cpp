#include "device/PicDevice.h"

#include "device/Bounds.h"
#include "device/ImageCompare.h"

#include <algorithm>
#include <array>

namespace {

// Blank 14-bit words 0x3FFF, low byte first.
void FillBlankMidRangeProgram(std::vector<uint8_t>& program) {
    for (size_t i = 0; i + 1 < program.size(); i += 2) {
        program[i] = 0xFF;
        program[i + 1] = 0x3F;
    }
}

} // namespace

CPicDevice::CPicDevice() = default;
CPicDevice::~CPicDevice() = default;

int CPicDevice::ConfigWordCount() const {
    return std::clamp(ConfigCount, 0, kConfigWords);
}

uint32_t CPicDevice::BlankProgramWord() const {
    if (CoreWidth == kCorePic18) {
        return 0xFF;
    }
    return 0x3FFF;
}

uint32_t CPicDevice::ProgramWord(uint32_t i) const {
    if (CoreWidth == kCorePic18) {
        return i < ProgramData.size() ? ProgramData[i] : 0xFF;
    }
    const uint64_t at = 2ULL * i;
    if (at + 1 >= ProgramData.size() + 0ULL) {
        return 0x3FFF;
    }
    return ProgramData[at] | (ProgramData[at + 1] << 8);
}

// ---------------------------------------------------------------- legend

bool IsProtectToken(const std::string& token) {
    static const std::array<const char*, 19> kTokens = {
        "[CP]",  "[CP0]", "[CP1]", "[CP2]", "[CP3]", "[CP4]", "[CP5]", "[CP6]", "[CP7]",  "[CP8]",
        "[CP9]", "[CPA]", "[CPB]", "[CPC]", "[CPD]", "[CPE]", "[CPF]", "[*CP]", "[*CPD]",
    };
    return std::any_of(kTokens.begin(), kTokens.end(), [&](const char* t) { return token == t; });
}

std::string LegendLabel(const std::string& name) {
    if (!name.empty() && (name.front() == 'p' || name.front() == 'c' || name.front() == kErasedZeroMark)) {
        return name.substr(1);
    }
    return name;
}

void CPicDevice::ParseLegend() {
    std::string rest = ConfigLegend;
    ConfigCount = 0;
    for (int w = 0; w < kConfigWords; ++w) {
        Config[w] = ConfigZeroMask[w] = ConfigOneMask[w] = ConfigNamedMask[w] = 0;
        ConfigUserMask[w] = ConfigProtectMask[w] = ConfigCalMask[w] = 0;
        if (rest.empty()) {
            continue;
        }
        ++ConfigCount;
        for (int b = std::clamp(CoreWidth, 0, bounds::kMaxCoreWidth) - 1; b >= 0; --b) {
            std::string token;
            const size_t close = rest.find(']');
            if (close != std::string::npos) {
                token = rest.substr(0, close + 1);
                rest.erase(0, close + 1);
            }
            // A word can only hold 32 bits; an absurd core width still walks
            // its tokens but sets nothing above bit 31.
            const uint32_t m = b < 32 ? (1U << b) : 0U;
            const bool empty = token.empty();
            const bool zero = token == "[x]";
            const bool one = token == "[-]";
            const bool named = !empty && !zero && !one;
            const bool secondIsC = token.size() > 1 && token[1] == 'c';
            // A name marked with a leading lower-case "z" is a real bit whose
            // erased value is 0.
            const bool erasedZero = named && token.size() > 1 && token[1] == kErasedZeroMark;
            if (!empty && !zero && !erasedZero) {
                Config[w] |= m;
            }
            if (zero) {
                ConfigZeroMask[w] |= m;
            }
            if (one) {
                ConfigOneMask[w] |= m;
            }
            if (named) {
                ConfigNamedMask[w] |= m;
                if (!secondIsC) {
                    ConfigUserMask[w] |= m;
                }
            }
            if (IsProtectToken(token)) {
                ConfigProtectMask[w] |= m;
            }
            if (!empty && secondIsC) {
                ConfigCalMask[w] |= m;
                CalFlag = 1;
            }
        }
    }
}

// ----------------------------------------------------------------- image

void CPicDevice::AllocProgram() {
    ProgramData.clear();
    ProgramData.shrink_to_fit();
    // Sizes are clipped here, where every program buffer is sized (see Bounds.h).
    if (CoreWidth == kCorePic18) {
        ProgramSize = std::min(ProgramSize, bounds::kMaxPic18Bytes);
        ProgramBytes = ProgramSize;
        ProgramData.assign(ProgramBytes, 0xFF);
    } else if (CoreWidth == kCoreMidRange) {
        ProgramSize = std::min(ProgramSize, bounds::kMaxMidRangeWords);
        ProgramBytes = 2 * ProgramSize;
        // Not ClearImage: that blanks the EEPROM too, which a fresh program
        // buffer must leave alone.
        ProgramData.resize(ProgramBytes);
        FillBlankMidRangeProgram(ProgramData);
    } else {
        ProgramBytes = 0;
    }
}

void CPicDevice::AllocEeprom() {
    EepromData.clear();
    EepromData.shrink_to_fit();
    const uint32_t limit = CoreWidth == kCoreMidRange ? bounds::kMaxMidRangeEeprom : bounds::kMaxPic18Eeprom;
    EepromSize = std::min(EepromSize, limit);
    EepromData.assign(EepromSize, 0xFF);
}

void CPicDevice::ClearImage() {
    if (CoreWidth == kCoreMidRange) {
        FillBlankMidRangeProgram(ProgramData);
    } else if (CoreWidth == kCorePic18) {
        std::fill(ProgramData.begin(), ProgramData.end(), 0xFF);
    }
    std::fill(EepromData.begin(), EepromData.end(), 0xFF);
}

void CPicDevice::CopyParameters(const CPicDevice& other) {
    ProgramSize = other.ProgramSize;
    CoreWidth = other.CoreWidth;
    EepromSize = other.EepromSize;
    ProgramBytes = other.ProgramBytes;
    DeviceName = other.DeviceName;
    ConfigLegend = other.ConfigLegend;
    PinCount = other.PinCount;
    EntryMode = other.EntryMode;
    WriteCycle = other.WriteCycle;
    EepromMethod = other.EepromMethod;
    BlockWrite = other.BlockWrite;
    ReservedParam = other.ReservedParam;
    EraseMethod = other.EraseMethod;
    WriteBlockBytes = other.WriteBlockBytes;
    CalAddress = other.CalAddress;
    CalFlag = other.CalFlag;
    ConfigCount = other.ConfigCount;
    DeviceId = other.DeviceId;
    DeviceIdMask = other.DeviceIdMask;
}

bool CPicDevice::CopyProgram(const CPicDevice& other) {
    if (ProgramSize != other.ProgramSize || CoreWidth != other.CoreWidth || ProgramData.empty() ||
        other.ProgramData.empty()) {
        return false;
    }
    const size_t n = std::min({size_t{ProgramBytes}, ProgramData.size(), other.ProgramData.size()});
    std::copy_n(other.ProgramData.begin(), n, ProgramData.begin());
    return true;
}

bool CPicDevice::CopyEeprom(const CPicDevice& other) {
    if (EepromSize != other.EepromSize || EepromData.empty() || other.EepromData.empty()) {
        return false;
    }
    const size_t n = std::min({size_t{EepromSize}, EepromData.size(), other.EepromData.size()});
    std::copy_n(other.EepromData.begin(), n, EepromData.begin());
    return true;
}

void CPicDevice::CopyConfig(const CPicDevice& other) {
    ConfigCount = other.ConfigCount;
    const int n = ConfigWordCount();
    for (int w = 0; w < n; ++w) {
        Config[w] = other.Config[w];
        ConfigZeroMask[w] = other.ConfigZeroMask[w];
        ConfigOneMask[w] = other.ConfigOneMask[w];
        ConfigUserMask[w] = other.ConfigUserMask[w];
        ConfigNamedMask[w] = other.ConfigNamedMask[w];
        ConfigProtectMask[w] = other.ConfigProtectMask[w];
        ConfigCalMask[w] = other.ConfigCalMask[w];
    }
}

void CPicDevice::CopyUserIds(const CPicDevice& other) {
    std::copy(std::begin(other.UserId), std::end(other.UserId), std::begin(UserId));
}

CPicDevice& CPicDevice::AssignFrom(const CPicDevice& other) {
    if (&other == this) {
        return *this;
    }
    CopyParameters(other);
    AllocProgram();
    AllocEeprom();
    CopyProgram(other);
    CopyEeprom(other);
    CopyConfig(other);
    CopyUserIds(other);
    return *this;
}

void CPicDevice::TakeCalibration(const CPicDevice& other) {
    if (CalAddress != 0) {
        const uint64_t at = 2ULL * static_cast<uint32_t>(CalAddress);
        if (at + 1 < ProgramData.size() && at + 1 < other.ProgramData.size()) {
            ProgramData[at] = other.ProgramData[at];
            ProgramData[at + 1] = other.ProgramData[at + 1];
        }
    }
    for (int w = 0; w < kConfigWords; ++w) {
        const uint32_t mask = ConfigCalMask[w];
        if (mask != 0) {
            Config[w] = (Config[w] & ~mask) | (other.Config[w] & mask);
        }
    }
}

bool CPicDevice::IsProtected() const {
    const int n = ConfigWordCount();
    for (int w = 0; w < n; ++w) {
        if ((Config[w] & ConfigProtectMask[w]) != ConfigProtectMask[w]) {
            return true;
        }
    }
    return false;
}

int CPicDevice::CompareImage(const CPicDevice& other) {
    // The rules live with the difference finders, so that a report of where
    // two images differ always agrees with this result.
    VerifyFlags = FindDifferences(*this, other).Flags;
    return VerifyFlags != 0 ? 1 : 0;
}

void CPicDevice::UpdateChecksum() {
    uint32_t s = 0;
    if (CoreWidth == kCorePic18) {
        for (uint8_t b : ProgramData) {
            s += b;
        }
    } else if (CoreWidth == kCoreMidRange) {
        const uint32_t words = static_cast<uint32_t>(ProgramData.size() / 2);
        for (uint32_t i = 0; i < words && i < ProgramSize; ++i) {
            if (CalAddress != 0 && i == static_cast<uint32_t>(CalAddress)) {
                continue;
            }
            s += ProgramData[2 * i] + 256U * ProgramData[2 * i + 1];
        }
    }
    const int n = ConfigWordCount();
    for (int w = 0; w < n; ++w) {
        s += (Config[w] | ConfigProtectMask[w]) & ConfigUserMask[w];
    }
    Checksum = s & 0xFFFF;
}
