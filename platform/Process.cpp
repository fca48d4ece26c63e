// The process-wide set-up of the front ends; see Process.h for the decisions.
#include "platform/Process.h"

#include <cstdio>

#ifdef _WIN32
#include "platform/PlatformDetail.h"

#include <windows.h>

#include <shellapi.h>
#include <timeapi.h>

namespace {

constexpr UINT kFineTimerPeriodMs = 1;

} // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    // The wide command line is the truth; should the two ever disagree on
    // the count (a caller that built its own argv), argv is what main got.
    if (wide != nullptr && count == argc) {
        for (int i = 1; i < count; ++i) {
            args.push_back(platform_detail::Narrow(wide[i], wcslen(wide[i])));
        }
    } else {
        args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    if (wide != nullptr) {
        LocalFree(wide);
    }
    return args;
}

CUtf8ConsoleScope::CUtf8ConsoleScope() {
    // 0: the process has no console (output goes to a file or a pipe).
    const UINT previous = GetConsoleOutputCP();
    if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        m_previousCodePage = previous;
    }
}

CUtf8ConsoleScope::~CUtf8ConsoleScope() {
    if (m_previousCodePage != 0) {
        // What is still buffered was written for UTF-8.
        std::fflush(nullptr);
        SetConsoleOutputCP(m_previousCodePage);
    }
}

CFineTimerScope::CFineTimerScope() : m_active(timeBeginPeriod(kFineTimerPeriodMs) == TIMERR_NOERROR) {}

CFineTimerScope::~CFineTimerScope() {
    if (m_active) {
        timeEndPeriod(kFineTimerPeriodMs);
    }
}

#else

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

CUtf8ConsoleScope::CUtf8ConsoleScope() = default;
CUtf8ConsoleScope::~CUtf8ConsoleScope() = default;

CFineTimerScope::CFineTimerScope() = default;
CFineTimerScope::~CFineTimerScope() = default;

#endif
