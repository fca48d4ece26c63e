#include "tests/usb/UsbPreload.h"

#include "tests/usb/UsbTestbed.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace usbtest {
namespace {

constexpr char kPreload[] = "libumockdev-preload.so.0";
constexpr char kTriedMark[] = "KVX3_USB_TESTS_PRELOADED";

// Adds one option to a colon-separated list in the environment.
[[maybe_unused]] void AddOption(const char* variable, const std::string& option) {
    std::string value = option;
    if (const char* old = std::getenv(variable); old != nullptr && *old != '\0') {
        value = std::string(old) + ":" + option;
    }
    setenv(variable, value.c_str(), 1);
}

} // namespace

void LoadPreloadLibrary(char** argv) {
    if (CUsbTestbed::Unavailable().empty() || std::getenv(kTriedMark) != nullptr) {
        return;
    }
    std::string preload = kPreload;
    if (const char* old = std::getenv("LD_PRELOAD"); old != nullptr && *old != '\0') {
        preload += ':';
        preload += old;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv(kTriedMark, "1", 1);
    // Sanitizer builds get their options the same way, since those are read
    // at start-up.
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer wants its runtime first in the list of libraries;
    // the preload library intercepts only file and ioctl calls, which is safe
    // in front of it.
    AddOption("ASAN_OPTIONS", "verify_asan_link_order=0");
#endif
#if defined(__SANITIZE_THREAD__)
    AddOption("TSAN_OPTIONS", std::string("suppressions=") + KVX3_TSAN_SUPPRESSIONS);
#endif
    execv("/proc/self/exe", argv); // returns only when it failed
}

} // namespace usbtest
