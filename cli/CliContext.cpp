#include "cli/CliContext.h"

#include "platform/Platform.h"

#include <cstdio>

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string FileProblem(const std::string& path, size_t limit) {
    const CFileStatus status = GetFileStatus(path);
    if (status.ModifiedNs == 0 && !status.IsRegular && status.Size == 0) {
        return {};
    }
    if (!status.IsRegular) {
        return ": it is not a regular file (a folder, a device or a pipe)";
    }
    if (status.Size > limit) {
        return ": it is larger than " + std::to_string(limit) + " bytes, more than any such file holds";
    }
    return {};
}

EMsgResult CStreamMessages::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    const char* kind = icon == EMsgIcon::Information   ? "note"
                       : icon == EMsgIcon::Exclamation ? "warning"
                                                       : "error";
    m_err.Line(std::string("kvx3-cli: ") + kind + ": " + text);
    return buttons == EMsgButtons::YesNo ? EMsgResult::Yes : EMsgResult::Ok;
}

std::string CCliContext::ListPath() const {
    return Options.ListPath.empty() ? DefaultDeviceListPath() : Options.ListPath;
}

void CCliContext::Error(const std::string& text) {
    err.Line("kvx3-cli: error: " + text);
}
