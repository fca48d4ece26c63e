// What the tests of the libusb link share: a fixture with a private bus,
// emulated writers on it, bounded waits, and kvx3-cli run as a program.
#pragma once

#include "tests/usb/EmulatedWriter.h"
#include "tests/usb/UsbTestbed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace usbtest {

// Transfers in these tests give up after this long: libusb polls usbdevfs
// without pause under umockdev, so a long wait costs a whole core.
constexpr unsigned kShortTimeoutMs = 150;
// The window's timer tick.
constexpr auto kTick = std::chrono::milliseconds(10);

class CUsbTest : public ::testing::Test {
protected:
    // The bus must exist before any libusb context: links are made in the
    // test body, after this constructor, and end before it.
    CUsbTest();
    ~CUsbTest() override;
    void SetUp() override;

    // A writer (blank chip of the named device) that is not yet plugged in.
    CEmulatedWriter& MakeWriter(const CUsbDeviceLayout& layout, const std::string& chip = "PIC16F877A");
    CUsbTestbed& Bus() { return *m_bus; }

private:
    std::vector<std::unique_ptr<CEmulatedWriter>> m_writers;
    std::unique_ptr<CUsbTestbed> m_bus; // declared last: it goes first, unplugging the writers
};

// Calls step once a tick until it returns true, at most maxTicks times.
// Returns the number of ticks it took, or -1 when it never did.
int TickUntil(const std::function<bool()>& step, int maxTicks);

struct CProgramRun {
    int Status = -1; // exit status; -1 when it did not end normally
    bool TimedOut = false;
    std::string Out;
    std::string Err;
};

// Runs kvx3-cli (the build's own, with the catalogue beside it) with the
// arguments; it sees the bus through the inherited preload and UMOCKDEV_DIR.
// It is killed after `limit`. `whileRunning` is called every few ms.
CProgramRun RunProgram(const std::vector<std::string>& args, std::chrono::seconds limit,
                       const std::function<void()>& whileRunning = {});

// The lines of a --trace output that are packets or answers (hex bytes),
// without progress and summary lines.
std::vector<std::string> TraceLines(const std::string& err);

std::string SourcePath(const std::string& relative);

} // namespace usbtest
