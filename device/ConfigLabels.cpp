#include "device/ConfigLabels.h"

#include "device/Bounds.h"

#include <algorithm>

std::string TakeLegendToken(std::string& cursor) {
    const size_t p = cursor.find(']');
    if (cursor.empty() || p == std::string::npos) {
        return {};
    }
    std::string token = p >= 1 ? cursor.substr(1, p - 1) : std::string{};
    cursor.erase(0, p + 1);
    return token;
}

std::string ConfigWordName(int32_t coreWidth, int w) {
    if (coreWidth == kCorePic18) {
        return "CONFIG" + std::to_string(w / 2 + 1) + (w % 2 == 0 ? "L" : "H");
    }
    return "CONFIG" + std::to_string(w + 1);
}

std::vector<CConfigBitLabel> ConfigBitLabels(const CPicDevice& device, int w) {
    std::vector<CConfigBitLabel> labels;
    if (w < 0 || w >= device.ConfigWordCount() || device.CoreWidth <= 0) {
        return labels;
    }
    // The width as the legend reader takes it (see Bounds.h).
    const int width = std::min(device.CoreWidth, bounds::kMaxCoreWidth);
    std::string cursor = device.ConfigLegend;
    for (int skip = 0; skip < w * width; ++skip) {
        (void)TakeLegendToken(cursor);
    }
    for (int b = width - 1; b >= 0; --b) {
        const std::string token = TakeLegendToken(cursor);
        if (b >= 32 || (device.ConfigNamedMask[w] >> b & 1) == 0 || token.empty()) {
            continue;
        }
        CConfigBitLabel label;
        label.Bit = b;
        label.Name = LegendLabel(token);
        label.Protect = (device.ConfigProtectMask[w] >> b & 1) != 0;
        label.Calibration = (device.ConfigCalMask[w] >> b & 1) != 0;
        labels.push_back(label);
    }
    return labels;
}
