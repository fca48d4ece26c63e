#include "cli/CliContext.h"

#include <cstdio>
#include <ostream>

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

EMsgResult CStreamMessages::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    const char* kind = icon == EMsgIcon::Information   ? "note"
                       : icon == EMsgIcon::Exclamation ? "warning"
                                                       : "error";
    m_err << "kvx3-cli: " << kind << ": " << text << '\n';
    return buttons == EMsgButtons::YesNo ? EMsgResult::Yes : EMsgResult::Ok;
}

void CCliContext::Error(const std::string& text) const {
    err << "kvx3-cli: error: " << text << '\n';
}

bool CCliContext::LoadSelectedDevice() {
    if (!Options.ListPath.empty()) {
        Device.ListPath = Options.ListPath;
    }
    std::string text;
    CDeviceList probe;
    probe.ListPath = Device.ListPath.empty() ? DefaultDeviceListPath() : Device.ListPath;
    if (!probe.OpenList(text)) {
        Error(std::string(kMsgDeviceListMissing) + " (" + probe.ListPath + ")");
        return false;
    }
    Device.ListPath = probe.ListPath;
    if (!Options.Device.empty() && Options.Device.front() == '-') {
        Error("'" + Options.Device + "' is a separator line of the device list, not a device");
        return false;
    }
    if (!Device.LoadDevice(Options.Device)) {
        Error("unknown device '" + Options.Device + "' (see 'kvx3-cli devices')");
        return false;
    }
    return true;
}
