#include "device/ImageCompare.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// The first differing byte of two buffers over the first `limit` bytes of
// `mine`; buffers of different sizes always differ (at the first byte they
// do not share, when their common part is equal).
bool FirstByteDifference(const std::vector<uint8_t>& mine, const std::vector<uint8_t>& theirs, size_t limit,
                         size_t& at) {
    const size_t compared = std::min(limit, mine.size());
    const size_t common = std::min(compared, theirs.size());
    const auto end = mine.begin() + static_cast<std::ptrdiff_t>(common);
    const auto [where, other] = std::mismatch(mine.begin(), end, theirs.begin());
    (void)other;
    if (where != end) {
        at = static_cast<size_t>(where - mine.begin());
        return true;
    }
    if (mine.size() != theirs.size()) {
        at = common;
        return true;
    }
    // Equal sizes, so common == compared: nothing left to compare.
    return false;
}

} // namespace

// ------------------------------------------------------------------- rules

bool SameDeviceShape(const CPicDevice& a, const CPicDevice& b) {
    return a.ProgramSize == b.ProgramSize && a.CoreWidth == b.CoreWidth && a.EepromSize == b.EepromSize &&
           a.ConfigCount == b.ConfigCount;
}

uint32_t ConfigWordMask(int32_t coreWidth) {
    if (coreWidth == kCorePic18) {
        return 0xFF;
    }
    return coreWidth == kCoreMidRange ? 0x3FFF : 0xFFFF;
}

uint32_t ComparedConfigWord(const CPicDevice& device, int w) {
    if (w < 0 || w >= kConfigWords) {
        return 0;
    }
    return (device.ConfigProtectMask[w] & ConfigWordMask(device.CoreWidth)) | device.Config[w];
}

int UserIdCount(int32_t coreWidth) {
    if (coreWidth == kCorePic18) {
        return 8;
    }
    return coreWidth == kCoreMidRange ? 4 : 0;
}

uint32_t UserIdMask(int32_t coreWidth) {
    if (coreWidth == kCorePic18) {
        return 0xFF;
    }
    return coreWidth == kCoreMidRange ? 0x0F : 0;
}

uint32_t ConfigWordAddress(int32_t coreWidth, int w) {
    return coreWidth == kCorePic18 ? 0x300000U + static_cast<uint32_t>(w)
                                   : 0x2007U + static_cast<uint32_t>(w);
}

uint32_t UserIdAddress(int32_t coreWidth, int i) {
    return coreWidth == kCorePic18 ? 0x200000U + static_cast<uint32_t>(i)
                                   : 0x2000U + static_cast<uint32_t>(i);
}

// ---------------------------------------------------------------- finders

CImageDifference FirstProgramDifference(const CPicDevice& image, const CPicDevice& other) {
    CImageDifference d;
    size_t at = 0;
    if (!FirstByteDifference(image.ProgramData, other.ProgramData, image.ProgramBytes, at)) {
        return d;
    }
    d.Found = true;
    d.Index = static_cast<uint32_t>(image.CoreWidth == kCorePic18 ? at : at / 2);
    d.Value = image.ProgramWord(d.Index);
    d.Other = other.ProgramWord(d.Index);
    return d;
}

CImageDifference FirstEepromDifference(const CPicDevice& image, const CPicDevice& other) {
    CImageDifference d;
    size_t at = 0;
    if (!FirstByteDifference(image.EepromData, other.EepromData, image.EepromSize, at)) {
        return d;
    }
    d.Found = true;
    d.Index = static_cast<uint32_t>(at);
    d.Value = at < image.EepromData.size() ? image.EepromData[at] : 0xFF;
    d.Other = at < other.EepromData.size() ? other.EepromData[at] : 0xFF;
    return d;
}

CImageDifference FirstConfigDifference(const CPicDevice& image, const CPicDevice& other) {
    CImageDifference d;
    const int n = image.ConfigWordCount();
    for (int w = 0; w < n; ++w) {
        if (ComparedConfigWord(image, w) != ComparedConfigWord(other, w)) {
            d.Found = true;
            d.Index = static_cast<uint32_t>(w);
            d.Value = image.Config[w];
            d.Other = other.Config[w];
            break;
        }
    }
    return d;
}

CImageDifference FirstUserIdDifference(const CPicDevice& image, const CPicDevice& other) {
    CImageDifference d;
    const int ids = UserIdCount(image.CoreWidth);
    const uint32_t mask = UserIdMask(image.CoreWidth);
    for (int i = 0; i < ids; ++i) {
        if ((image.UserId[i] & mask) != (other.UserId[i] & mask)) {
            d.Found = true;
            d.Index = static_cast<uint32_t>(i);
            d.Value = image.UserId[i] & mask;
            d.Other = other.UserId[i] & mask;
            break;
        }
    }
    return d;
}

CImageDifferences FindDifferences(const CPicDevice& image, const CPicDevice& other) {
    CImageDifferences all;
    if (!SameDeviceShape(image, other)) {
        all.Flags = kVerifyDifferentDevice;
        return all;
    }
    all.Program = FirstProgramDifference(image, other);
    all.Eeprom = FirstEepromDifference(image, other);
    all.Config = FirstConfigDifference(image, other);
    all.UserId = FirstUserIdDifference(image, other);
    all.Flags = (all.Program.Found ? kVerifyProgram : 0) | (all.Eeprom.Found ? kVerifyEeprom : 0) |
                (all.Config.Found ? kVerifyConfig : 0) | (all.UserId.Found ? kVerifyUserId : 0);
    return all;
}

// ----------------------------------------------------------- blank counts

CBlankCounts CountNonBlank(const CPicDevice& image, bool skipCalibrationWord) {
    CBlankCounts counts;
    const bool pic18 = image.CoreWidth == kCorePic18;
    counts.CalibrationWordSkipped = skipCalibrationWord && image.CalFlag != 0 && image.CalAddress != 0;
    const uint32_t units =
        static_cast<uint32_t>(pic18 ? image.ProgramData.size() : image.ProgramData.size() / 2);
    const uint32_t blank = image.BlankProgramWord();
    for (uint32_t i = 0; i < units; ++i) {
        if (counts.CalibrationWordSkipped && i == static_cast<uint32_t>(image.CalAddress)) {
            continue;
        }
        if (image.ProgramWord(i) != blank) {
            if (counts.ProgramUsed == 0) {
                counts.FirstProgramUsed = i;
            }
            ++counts.ProgramUsed;
        }
    }
    counts.EepromUsed = static_cast<uint32_t>(
        std::count_if(image.EepromData.begin(), image.EepromData.end(), [](uint8_t b) { return b != 0xFF; }));
    const uint32_t mask = UserIdMask(image.CoreWidth);
    for (int i = 0; i < UserIdCount(image.CoreWidth); ++i) {
        counts.UserIdBlank = counts.UserIdBlank && (image.UserId[i] & mask) == mask;
    }
    return counts;
}
