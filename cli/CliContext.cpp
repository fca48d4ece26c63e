#include "cli/CliContext.h"

#include <cstdio>

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
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
