#include "WindowFigures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool ParseUnsigned(std::string_view text, uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && next != text.data();
}

bool ParseSeconds(const std::string& text, double& seconds) {
    // A measurement of more than a day is a typing error, and a negative or
    // non-finite one has no meaning.
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(seconds) && seconds >= 0 &&
           seconds <= 86400;
}

std::string Number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

bool ParseStartTicks(std::string_view stat, uint64_t& ticks) {
    const size_t close = stat.rfind(')');
    if (close == std::string_view::npos) {
        return false;
    }
    // After the name: field 3 (the state) is the first; field 22 is the 20th.
    std::string_view rest = stat.substr(close + 1);
    constexpr int kStartField = 20;
    for (int field = 1;; ++field) {
        const size_t begin = rest.find_first_not_of(' ');
        if (begin == std::string_view::npos) {
            return false;
        }
        rest = rest.substr(begin);
        const size_t end = std::min(rest.find(' '), rest.size());
        if (field == kStartField) {
            const std::string_view text = rest.substr(0, end);
            return ParseUnsigned(text, ticks) &&
                   text.find_first_not_of("0123456789") == std::string_view::npos;
        }
        rest = rest.substr(end);
    }
}

bool ParseStatusKiB(std::string_view status, std::string_view name, uint64_t& kib) {
    size_t at = 0;
    while (at < status.size()) {
        const size_t end = std::min(status.find('\n', at), status.size());
        const std::string_view line = status.substr(at, end - at);
        at = end + 1;
        if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ':') {
            continue;
        }
        std::string_view value = line.substr(name.size() + 1);
        const size_t digits = value.find_first_not_of(" \t");
        if (digits == std::string_view::npos) {
            return false;
        }
        value = value.substr(digits);
        const size_t unit = std::min(value.find(' '), value.size());
        if (value.substr(unit).find("kB") == std::string_view::npos) {
            return false;
        }
        return ParseUnsigned(value.substr(0, unit), kib);
    }
    return false;
}

std::string WindowTableHeader() {
    return "| window | first frame ms | of it in main() ms | CPU ms to first frame | idle s | idle CPU % of "
           "a core "
           "| wakeups/s idle | RSS MiB | peak RSS MiB |\n"
           "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
}

std::string WindowTableRow(const CWindowFigures& figures) {
    const bool idle = figures.IdleSeconds > 0;
    std::string row = "| " + figures.Label;
    row += " | " + (figures.StartupMs >= 0 ? Number(figures.StartupMs, 0) : std::string("?"));
    row += " | " + Number(figures.InMainMs, 0);
    row += " | " + Number(figures.StartupCpuMs, 0);
    row += " | " + Number(figures.IdleSeconds, 1);
    row += " | " + (idle ? Number(100 * figures.IdleCpuSeconds / figures.IdleSeconds, 2) : std::string("?"));
    row += " | " + (idle ? Number(static_cast<double>(figures.IdleSwitches) / figures.IdleSeconds, 1)
                         : std::string("?"));
    row += " | " + Number(static_cast<double>(figures.RssKiB) / 1024, 1);
    row += " | " + Number(static_cast<double>(figures.PeakRssKiB) / 1024, 1);
    row += " |\n";
    return row;
}

const char* WindowWord(EBenchWindow window) {
    switch (window) {
    case EBenchWindow::NoWriter:
        return "libusb";
    case EBenchWindow::Simulated:
        return "sim";
    case EBenchWindow::BareDialog:
        return "bare";
    }
    return "";
}

const char* WindowLabel(EBenchWindow window) {
    switch (window) {
    case EBenchWindow::NoWriter:
        return "no writer (USB bus)";
    case EBenchWindow::Simulated:
        return "simulated writer";
    case EBenchWindow::BareDialog:
        return "empty Qt dialog, same timer";
    }
    return "";
}

bool ParseWindowBenchArgs(const std::vector<std::string>& args, CWindowBenchOptions& options,
                          std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name;
            return false;
        }
        const std::string& value = args[++i];
        if (name == "--window") {
            bool known = false;
            for (EBenchWindow window :
                 {EBenchWindow::NoWriter, EBenchWindow::Simulated, EBenchWindow::BareDialog}) {
                if (value == WindowWord(window)) {
                    options.Windows = {window};
                    known = true;
                }
            }
            if (!known) {
                error = "--window is libusb, sim or bare, not " + value;
                return false;
            }
        } else if (name == "--idle-seconds" || name == "--settle-seconds") {
            double seconds = 0;
            if (!ParseSeconds(value, seconds) || (name == "--idle-seconds" && seconds <= 0)) {
                error = name + ": no valid number of seconds: " + value;
                return false;
            }
            (name == "--idle-seconds" ? options.IdleSeconds : options.SettleSeconds) = seconds;
        } else if (name == "--spawned-at") {
            uint64_t ns = 0;
            if (!ParseUnsigned(value, ns) || value.find_first_not_of("0123456789") != std::string::npos ||
                ns > static_cast<uint64_t>(INT64_MAX)) {
                error = "--spawned-at: no valid time: " + value;
                return false;
            }
            options.SpawnedAtNs = static_cast<int64_t>(ns);
        } else {
            error = "unknown argument " + name;
            return false;
        }
    }
    return true;
}
