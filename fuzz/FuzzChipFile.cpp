// Any bytes as a simulated chip's file: the reader of each chip family never
// crashes, refuses a file it cannot take whole and leaves the chip as it
// was, and a chip it takes saves to a file that loads back to the same chip
// (the second save is the first one's text).
#include "fuzz/FuzzTarget.h"
#include "sim/MidRangeChip.h"
#include "sim/SimChipFile.h"
#include "sim/SimChips.h"
#include "sim/pic18/Pic18Chip.h"

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

namespace {

std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file of a blank chip of the model, made once.
const std::string& BlankText(ISimChip& blank, const std::string& model) {
    static std::map<std::string, std::string> texts;
    auto it = texts.find(model);
    if (it == texts.end()) {
        const std::string path = kvx3_fuzz::ScratchPath("blank.sim");
        KVX3_FUZZ_CHECK(blank.SaveToFile(path));
        it = texts.emplace(model, ReadBack(path)).first;
    }
    return it->second;
}

void RoundTrip(const std::string& model, const std::string& path) {
    std::unique_ptr<ISimChip> chip = MakeSimChip(model, ESimTiming::Typical);
    KVX3_FUZZ_CHECK(chip != nullptr);
    const std::string& blank = BlankText(*chip, model);
    const std::string saved = kvx3_fuzz::ScratchPath("saved.sim");
    if (!chip->LoadFromFile(path)) {
        // Refused whole: the chip is the blank one it was.
        KVX3_FUZZ_CHECK(chip->SaveToFile(saved));
        KVX3_FUZZ_CHECK(ReadBack(saved) == blank);
        return;
    }
    KVX3_FUZZ_CHECK(chip->SaveToFile(saved));
    const std::string first = ReadBack(saved);
    std::unique_ptr<ISimChip> again = MakeSimChip(model, ESimTiming::Typical);
    KVX3_FUZZ_CHECK(again->LoadFromFile(saved));
    KVX3_FUZZ_CHECK(again->SaveToFile(saved));
    KVX3_FUZZ_CHECK(ReadBack(saved) == first);
}

} // namespace

int FuzzChipFile(const uint8_t* data, size_t size) {
    static const std::string path = kvx3_fuzz::ScratchPath("chip.sim");
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    CSimChipFileText parsed;
    (void)ParseSimChipFile(text, parsed);
    // Whatever model the file names.
    (void)LoadSimChipFromFile(path, ESimTiming::Typical);
    // And each family's reader, whatever the file names (small models, so
    // that a run costs little).
    for (const char* model : {"PIC16F84A", "PIC18F1220"}) {
        RoundTrip(model, path);
    }
    return 0;
}

KVX3_FUZZ_ENTRY(FuzzChipFile)
