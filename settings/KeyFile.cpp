#include "settings/KeyFile.h"

#include "settings/SettingsStore.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kDwordTag = "dword:";
constexpr char kHexDigits[] = "0123456789abcdef";

uint8_t Byte(char c) {
    return static_cast<uint8_t>(c);
}

// Length of the well-formed UTF-8 sequence of two to four bytes at text[i],
// or 0. Overlong forms, surrogates and code points past U+10FFFF are not
// well-formed and so go out as \xHH escapes.
size_t Utf8Length(const std::string& text, size_t i) {
    const uint8_t lead = Byte(text[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07U;
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const uint8_t next = Byte(text[i + k]);
        if ((next & 0xC0U) != 0x80U) {
            return 0;
        }
        code = (code << 6) | (next & 0x3FU);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void SkipBlanks(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
}

std::string_view Trim(std::string_view text) {
    size_t first = 0;
    SkipBlanks(text, first);
    size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           SameName(std::string(text.substr(0, prefix.size())), std::string(prefix));
}

std::string DwordText(uint32_t number) {
    std::string text(kDwordTag);
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kHexDigits[(number >> shift) & 0xFU];
    }
    return text;
}

bool ParseDword(std::string_view text, uint32_t& number) {
    if (text.size() != kDwordTag.size() + 8 || !StartsWithNoCase(text, kDwordTag)) {
        return false;
    }
    uint32_t result = 0;
    for (size_t i = kDwordTag.size(); i < text.size(); ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0) {
            return false;
        }
        result = (result << 4) | static_cast<uint32_t>(digit);
    }
    number = result;
    return true;
}

void FormatKey(const CKeyNode& key, const std::string& path, std::string& out) {
    if (!key.Values.empty() || key.SubKeys.empty()) {
        out += '\n';
        out += '[';
        out += path;
        out += "]\n";
        for (const CRegValue& value : key.Values) {
            out += QuoteText(value.Name);
            out += '=';
            out += value.Type == EValueType::Dword ? DwordText(value.Number) : QuoteText(value.Text);
            out += '\n';
        }
    }
    for (const CKeyNode& sub : key.SubKeys) {
        FormatKey(sub, path + '\\' + sub.Name, out);
    }
}

// The tree as the reader builds it: like CKeyNode, with each key's values
// and subkeys also found by their case-folded names, so that a file of n
// values reads in time linear in n (a search of the value list for each
// value read took time quadratic in it). Nodes live behind pointers that
// stay put while their parent's list grows.
struct CBuildNode {
    std::string Name;
    std::vector<CRegValue> Values;
    std::unordered_map<std::string, size_t> ValueIndex;
    std::vector<std::unique_ptr<CBuildNode>> SubKeys;
    std::unordered_map<std::string, size_t> SubIndex;

    CBuildNode& Sub(const std::string& name) {
        const auto [it, added] = SubIndex.try_emplace(Folded(name), SubKeys.size());
        if (added) {
            SubKeys.push_back(std::make_unique<CBuildNode>());
            SubKeys.back()->Name = name;
        }
        return *SubKeys[it->second];
    }
    CRegValue& Value(const std::string& name) {
        const auto [it, added] = ValueIndex.try_emplace(Folded(name), Values.size());
        if (added) {
            Values.emplace_back();
            Values.back().Name = name;
        }
        return Values[it->second];
    }

    // Names compare as SameName does: ASCII letters without regard to case.
    static std::string Folded(const std::string& name) {
        std::string folded = name;
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return folded;
    }

    void TakeFrom(const CKeyNode& key) {
        for (const CRegValue& value : key.Values) {
            Value(value.Name) = value;
        }
        for (const CKeyNode& sub : key.SubKeys) {
            Sub(sub.Name).TakeFrom(sub);
        }
    }
    void MoveInto(CKeyNode& key) {
        key.Values = std::move(Values);
        key.SubKeys.clear();
        key.SubKeys.resize(SubKeys.size());
        for (size_t i = 0; i < SubKeys.size(); ++i) {
            key.SubKeys[i].Name = std::move(SubKeys[i]->Name);
            SubKeys[i]->MoveInto(key.SubKeys[i]);
        }
    }
};

// The key a section line names, or nullptr for a line that names no key of
// this file.
CBuildNode* SectionKey(std::string_view line, const std::vector<std::string>& appPath, CBuildNode& appKey) {
    if (line.size() < 2 || line.back() != ']') {
        return nullptr;
    }
    const std::string_view inner = line.substr(1, line.size() - 2);
    if (!StartsWithNoCase(inner, kRootName) || inner.size() <= kRootName.size() ||
        inner[kRootName.size()] != '\\') {
        return nullptr;
    }
    std::vector<std::string> names;
    if (!SplitKeyPath(std::string(inner.substr(kRootName.size() + 1)), names) ||
        names.size() < appPath.size()) {
        return nullptr;
    }
    for (size_t i = 0; i < appPath.size(); ++i) {
        if (!SameName(names[i], appPath[i])) {
            return nullptr;
        }
    }
    CBuildNode* node = &appKey;
    for (size_t i = appPath.size(); i < names.size(); ++i) {
        node = &node->Sub(names[i]);
    }
    return node;
}

void ParseValueLine(std::string_view line, CBuildNode& key) {
    size_t pos = 0;
    std::string name;
    if (!UnquoteText(line, pos, name)) {
        return;
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
        return;
    }
    ++pos;
    SkipBlanks(line, pos);
    if (pos < line.size() && line[pos] == '"') {
        std::string text;
        if (UnquoteText(line, pos, text) && Trim(line.substr(pos)).empty()) {
            CRegValue& value = key.Value(name);
            value.Type = EValueType::String;
            value.Text = std::move(text);
            value.Number = 0;
        }
        return;
    }
    uint32_t number = 0;
    if (ParseDword(Trim(line.substr(pos)), number)) {
        CRegValue& value = key.Value(name);
        value.Type = EValueType::Dword;
        value.Text.clear();
        value.Number = number;
    }
}

} // namespace

std::string QuoteText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const uint8_t byte = Byte(c);
        size_t run = 0;
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte >= 0x80 && (run = Utf8Length(text, i)) != 0) {
            out.append(text, i, run);
            i += run;
            continue;
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += "\\x";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xFU];
        } else {
            out += c;
        }
        ++i;
    }
    out += '"';
    return out;
}

bool UnquoteText(std::string_view text, size_t& pos, std::string& out) {
    size_t i = pos;
    SkipBlanks(text, i);
    if (i >= text.size() || text[i] != '"') {
        return false;
    }
    std::string result;
    for (++i; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            out = std::move(result);
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            result += c;
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        switch (text[i]) {
        case '\\':
        case '"':
            result += text[i];
            break;
        case 'n':
            result += '\n';
            break;
        case 'r':
            result += '\r';
            break;
        case 't':
            result += '\t';
            break;
        case 'x': {
            const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                return false;
            }
            result += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

std::string FormatKeyFile(const CKeyNode& appKey, const std::string& company) {
    const std::string path = std::string(kRootName) + "\\Software\\" + company + '\\' + appKey.Name;
    std::string out = "; " + path + "\n";
    out += "; Strings are \"quoted\" with \\\\ \\\" \\n \\r \\t and \\xHH escapes; "
           "integers are dword:<8 hex digits>.\n";
    FormatKey(appKey, path, out);
    return out;
}

void ParseKeyFile(std::string_view text, const std::string& company, CKeyNode& appKey) {
    const std::vector<std::string> appPath = {"Software", company, appKey.Name};
    CBuildNode root;
    root.TakeFrom(appKey);
    CBuildNode* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
            continue;
        }
        if (trimmed.front() == '[') {
            current = SectionKey(trimmed, appPath, root);
        } else if (current != nullptr) {
            ParseValueLine(line, *current);
        }
    }
    root.MoveInto(appKey);
}
