#include "sim/SimChipFile.h"

#include "platform/InputFile.h"
#include "platform/Platform.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

// Far above any chip the simulator knows (a 32 KB PIC18 is about 100 KB of text).
constexpr std::streamoff kMaxFileBytes = 4 * 1024 * 1024;

std::string StripLine(std::string line) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) {
        line.erase(hash);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return line.substr(start);
}

} // namespace

bool ReadSimChipFile(const std::string& path, CSimChipFileText& text) {
    std::ifstream in = OpenInputFile(path);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::string line;
    bool header = false;
    bool model = false;
    CSimChipFileText result;
    while (std::getline(in, line)) {
        line = StripLine(line);
        if (line.empty()) {
            continue;
        }
        if (!header) {
            if (line != kSimChipFileHeader) {
                return false;
            }
            header = true;
            continue;
        }
        if (!model) {
            std::istringstream words(line);
            std::string key;
            words >> key >> result.Model;
            std::string extra;
            if (key != "model" || result.Model.empty() || (words >> extra)) {
                return false;
            }
            model = true;
            continue;
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            result.Words.push_back(word);
        }
    }
    if (!model) {
        return false;
    }
    text = std::move(result);
    return true;
}

bool WriteSimChipFile(const std::string& path, const std::string& text) {
    return ReplaceFileSafely(path, text) == EReplaceResult::Replaced;
}

namespace {

bool TakeNumber(const std::vector<std::string>& words, size_t& pos, int base, uint32_t maxValue,
                uint32_t& value) {
    if (pos >= words.size()) {
        return false;
    }
    const std::string& w = words[pos];
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v, base);
    if (ec != std::errc() || end != w.data() + w.size() || w.empty() || v > maxValue) {
        return false;
    }
    value = v;
    ++pos;
    return true;
}

} // namespace

bool TakeHex(const std::vector<std::string>& words, size_t& pos, uint32_t maxValue, uint32_t& value) {
    return TakeNumber(words, pos, 16, maxValue, value);
}

bool TakeCount(const std::vector<std::string>& words, size_t& pos, uint32_t maxValue, uint32_t& value) {
    return TakeNumber(words, pos, 10, maxValue, value);
}
