#include "sim/SimChipFile.h"

#include "platform/Platform.h"

#include <charconv>
#include <sstream>

namespace {

std::string StripLine(std::string_view line) {
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) {
        line = line.substr(0, hash);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return std::string(line.substr(start));
}

} // namespace

bool ReadSimChipFile(const std::string& path, CSimChipFileText& text, EReadResult* readResult) {
    // Only a plain file of a sane size: a device such as /dev/zero would
    // otherwise be read without end.
    std::string bytes;
    const EReadResult result = ReadFileLimited(path, kMaxSimChipFileBytes, bytes);
    if (readResult != nullptr) {
        *readResult = result;
    }
    return result == EReadResult::Read && ParseSimChipFile(bytes, text);
}

bool ParseSimChipFile(std::string_view fileText, CSimChipFileText& text) {
    bool header = false;
    bool model = false;
    CSimChipFileText result;
    for (size_t start = 0; start < fileText.size();) {
        size_t end = fileText.find('\n', start);
        if (end == std::string_view::npos) {
            end = fileText.size();
        }
        const std::string line = StripLine(fileText.substr(start, end - start));
        start = end + 1;
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
