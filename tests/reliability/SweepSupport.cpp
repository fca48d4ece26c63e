#include "SweepSupport.h"

#include "cli/CliStation.h"
#include "cli/OperationCommands.h"
#include "sim/MidRangeChip.h"
#include "sim/SimChips.h"
#include "sim/pic18/Pic18Chip.h"

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <sstream>

namespace sweep {

std::string CataloguePath() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

void MakeProtectedImage(const std::string& device, unsigned seed, const std::string& path, CHexFile& image) {
    CDeviceList d;
    d.ListPath = CataloguePath();
    ASSERT_TRUE(d.LoadDevice(device)) << device;
    image.AssignFrom(d);
    std::mt19937 rng(seed);
    const bool pic18 = image.CoreWidth == kCorePic18;
    for (size_t i = 0; i < image.ProgramData.size(); ++i) {
        image.ProgramData[i] = static_cast<uint8_t>(rng() & (!pic18 && i % 2 == 1 ? 0x3F : 0xFF));
    }
    for (uint8_t& b : image.EepromData) {
        b = static_cast<uint8_t>(rng());
    }
    for (int i = 0; i < 8; ++i) {
        image.UserId[i] = rng() & (pic18 ? 0xFF : 0x0F);
    }
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        image.Config[w] &= ~image.ConfigProtectMask[w]; // protected: CP bits 0
    }
    ASSERT_TRUE(image.IsProtected());
    ASSERT_TRUE(image.SaveHex(path));
}

CProgramRun ProgramRun(const std::string& device, const std::string& hex, const std::string& chip,
                       const std::vector<std::string>& faults, bool noProtect) {
    std::ostringstream out;
    std::ostringstream err;
    CCliOptions options;
    options.Device = device;
    options.ListPath = CataloguePath();
    CCliContext ctx(options, out, err, false);
    COperationOptions operation;
    operation.Writer.SimChipFile = chip;
    operation.Writer.SimFaults = faults;
    operation.NoProtect = noProtect;
    CProgramRun run;
    {
        CCliStation station(ctx);
        const int status = ProgramFlow(station, operation, hex);
        run.BusyAfter = station.Writer().Busy.load();
        if (CSimWriter* sim = station.Station().Simulator()) {
            run.Counters = sim->Counters();
        }
        run.Status = station.Finish(status);
    }
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

::testing::AssertionResult ChipHoldsProtectedImage(const std::string& chip, const CPicDevice& image) {
    std::unique_ptr<ISimChip> loaded = LoadSimChipFromFile(chip, ESimTiming::Typical);
    if (!loaded) {
        return ::testing::AssertionFailure() << "the chip file does not load";
    }
    if (auto* mid = dynamic_cast<CMidRangeChip*>(loaded.get())) {
        for (uint32_t a = 0; a < image.ProgramSize; ++a) {
            if (mid->Peek(EMidRegion::Program, a) != image.ProgramWord(a)) {
                return ::testing::AssertionFailure() << "program word " << a;
            }
        }
        for (uint32_t a = 0; a < image.EepromSize; ++a) {
            if (mid->Peek(EMidRegion::Eeprom, a) != image.EepromData[a]) {
                return ::testing::AssertionFailure() << "EEPROM byte " << a;
            }
        }
        if (!mid->CodeProtected()) {
            return ::testing::AssertionFailure() << "not protected";
        }
        return ::testing::AssertionSuccess();
    }
    auto* pic18 = dynamic_cast<CPic18Chip*>(loaded.get());
    if (pic18 == nullptr) {
        return ::testing::AssertionFailure() << "no chip model";
    }
    for (uint32_t a = 0; a < image.ProgramSize; ++a) {
        if (pic18->ProgramByte(a) != image.ProgramData[a]) {
            return ::testing::AssertionFailure() << "program byte " << a;
        }
    }
    for (uint32_t a = 0; a < image.EepromSize; ++a) {
        if (pic18->EepromByte(a) != image.EepromData[a]) {
            return ::testing::AssertionFailure() << "EEPROM byte " << a;
        }
    }
    for (int w = 0; w < image.ConfigWordCount(); ++w) {
        const uint32_t mask = image.ConfigProtectMask[w];
        if ((pic18->ConfigByte(w) & mask) != (image.Config[w] & mask)) {
            return ::testing::AssertionFailure() << "protection bits of configuration byte " << w;
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint64_t> PacketsToTry(uint64_t total, bool full, uint64_t tail, size_t spread,
                                   uint64_t tailStep) {
    std::set<uint64_t> ks;
    if (full) {
        for (uint64_t k = 1; k <= total; ++k) {
            ks.insert(k);
        }
    } else {
        for (uint64_t k = 1; k <= std::min<uint64_t>(3, total); ++k) {
            ks.insert(k);
        }
        for (uint64_t k = total; k + tail > total && k >= 1;
             k -= std::min(k, std::max<uint64_t>(tailStep, 1))) {
            ks.insert(k);
        }
        for (size_t i = 1; i <= spread; ++i) {
            ks.insert(std::max<uint64_t>(1, total * i / (spread + 1)));
        }
    }
    return std::vector<uint64_t>(ks.begin(), ks.end());
}

} // namespace sweep
