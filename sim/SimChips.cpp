#include "sim/SimChips.h"

#include "sim/MidRangeChip.h"
#include "sim/SimChipFile.h"
#include "sim/pic18/Pic18Chip.h"

std::unique_ptr<ISimChip> MakeSimChip(const std::string& name, ESimTiming timing) {
    if (std::unique_ptr<ISimChip> chip = MakeMidRangeSimChip(name, timing)) {
        return chip;
    }
    return MakePic18SimChip(name, timing);
}

std::unique_ptr<ISimChip> LoadSimChipFromFile(const std::string& path, ESimTiming timing) {
    CSimChipFileText text;
    if (!ReadSimChipFile(path, text)) {
        return nullptr;
    }
    std::unique_ptr<ISimChip> chip = MakeSimChip(text.Model, timing);
    if (chip == nullptr || !chip->LoadFromFile(path)) {
        return nullptr;
    }
    return chip;
}
