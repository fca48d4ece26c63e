#include "TextModel.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int kHalfWidth = 4;
constexpr int kFullWidth = 8;
constexpr int kLineHeight = 8;

// Decodes UTF-8 leniently: each byte of a broken sequence counts as one
// half-width character.
std::vector<uint32_t> CodePoints(std::string_view text) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        const bool stray = lead >= 0x80 && lead < 0xC0;
        if (stray || (extra > 0 && i + static_cast<size_t>(extra) >= text.size())) {
            points.push_back('?');
            ++i;
            continue;
        }
        uint32_t cp = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 1; k <= extra; ++k) {
            cp = (cp << 6) | (static_cast<uint8_t>(text[i + static_cast<size_t>(k)]) & 0x3F);
        }
        points.push_back(cp);
        i += 1 + static_cast<size_t>(extra);
    }
    return points;
}

bool IsHalfWidth(uint32_t cp) {
    return cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F);
}

// Widths of the characters that are shown, mnemonic marks taken out.
std::vector<int> ShownWidths(std::string_view text, bool mnemonics) {
    std::vector<int> widths;
    const std::vector<uint32_t> points = CodePoints(text);
    for (size_t i = 0; i < points.size(); ++i) {
        if (mnemonics && points[i] == '&') {
            if (i + 1 < points.size() && points[i + 1] == '&') {
                ++i; // "&&" shows one '&'
            } else {
                continue;
            }
        }
        widths.push_back(IsHalfWidth(points[i]) ? kHalfWidth : kFullWidth);
    }
    return widths;
}

int Allowance(EControlKind kind) {
    switch (kind) {
    case EControlKind::Button:
    case EControlKind::DefaultButton:
        return 8;
    case EControlKind::CheckBox:
    case EControlKind::RadioButton:
        return 12;
    case EControlKind::Cell:
        return 2;
    case EControlKind::GroupBox:
        return 8;
    case EControlKind::DropList:
        return 12;
    case EControlKind::DumpEdit:
        return 16;
    default:
        return 0;
    }
}

} // namespace

int TextWidthDu(std::string_view utf8, bool mnemonics) {
    int width = 0;
    for (int w : ShownWidths(utf8, mnemonics)) {
        width += w;
    }
    return width;
}

int WrappedLines(std::string_view utf8, int widthDu, bool mnemonics) {
    int lines = 1;
    int used = 0;
    for (int w : ShownWidths(utf8, mnemonics)) {
        if (used + w > widthDu && used > 0) {
            ++lines;
            used = 0;
        }
        used += w;
    }
    return lines;
}

bool TextFits(const CControlDef& control, std::string_view text, std::string& why) {
    const bool mnemonics = (control.Style & kStyleNoPrefix) == 0 && control.Kind != EControlKind::DumpEdit;
    const int room = control.Rect.Width - Allowance(control.Kind);
    const bool wraps = control.Kind == EControlKind::Static && control.Rect.Height >= 2 * kLineHeight;
    if (wraps) {
        const int lines = WrappedLines(text, room, mnemonics);
        if (lines * kLineHeight > control.Rect.Height) {
            why = std::to_string(lines) + " lines of " + std::to_string(room) + " units need " +
                  std::to_string(lines * kLineHeight) + " units, the control is " +
                  std::to_string(control.Rect.Height) + " high";
            return false;
        }
        return true;
    }
    const int width = TextWidthDu(text, mnemonics);
    if (width > room) {
        why = "needs " + std::to_string(width) + " units, has " + std::to_string(room);
        return false;
    }
    if (!text.empty() && control.Kind != EControlKind::GroupBox && control.Rect.Height < kLineHeight) {
        why = "lower than one line";
        return false;
    }
    return true;
}
