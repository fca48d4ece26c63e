#include "settings/SettingsStore.h"

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IsValidKeyName(const std::string& name) {
    if (name.empty() || name.size() > kMaxKeyNameLength || name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            return false;
        }
    }
    return true;
}

bool SplitKeyPath(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    if (path.empty()) {
        return true;
    }
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('\\', start);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        std::string name = path.substr(start, end - start);
        if (!IsValidKeyName(name) || names.size() >= kMaxKeyDepth) {
            names.clear();
            return false;
        }
        names.push_back(std::move(name));
        if (slash == std::string::npos) {
            return true;
        }
        start = slash + 1;
    }
}

std::string JoinKeyPath(const std::string& parent, const std::string& child) {
    if (parent.empty()) {
        return child;
    }
    if (child.empty()) {
        return parent;
    }
    return parent + '\\' + child;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}
