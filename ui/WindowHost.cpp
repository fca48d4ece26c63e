#include "ui/WindowHost.h"

ECellBackground DecideCellBackground(bool value, bool protect, bool viewProtect) {
    if (protect && viewProtect) {
        return value ? ECellBackground::Default : ECellBackground::Protected;
    }
    return value ? ECellBackground::Set : ECellBackground::Default;
}

bool CellBackgroundRgb(ECellBackground background, CRgb& rgb) {
    switch (background) {
    case ECellBackground::Set:
        rgb = kRgbCellSet;
        return true;
    case ECellBackground::Protected:
        rgb = kRgbCellProtected;
        return true;
    default:
        return false;
    }
}

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.emplace_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

} // namespace

std::vector<CFileFilter> ParseFileFilter(std::string_view filter) {
    std::vector<CFileFilter> filters;
    const std::vector<std::string> fields = Split(filter, '|');
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty()) {
            break; // "||" ends the list
        }
        CFileFilter entry;
        entry.Description = fields[i];
        for (const std::string& pattern : Split(fields[i + 1], ';')) {
            if (!pattern.empty()) {
                entry.Patterns.push_back(pattern);
            }
        }
        if (!entry.Patterns.empty()) {
            filters.push_back(std::move(entry));
        }
    }
    return filters;
}

bool FindMenuItem(const IWindowHost& host, int id, int& menu, int& position) {
    if (id == 0) {
        return false; // separators have no command
    }
    for (int m = host.MenuCount() - 1; m >= 0; --m) {
        for (int p = host.MenuItemCount(m) - 1; p >= 0; --p) {
            if (host.MenuItemId(m, p) == id) {
                menu = m;
                position = p;
                return true;
            }
        }
    }
    return false;
}
