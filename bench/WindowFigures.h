// The window benchmark's figures and how they are read and printed, without
// the toolkit: the process's start from the kernel's view of it, its memory,
// the command line of kvx3_window_bench and the Markdown table it prints.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks
// after boot. The command name before it is in parentheses and may itself
// hold spaces and parentheses, so the fields are counted after its last ')'.
// False when the text has no such field.
bool ParseStartTicks(std::string_view stat, uint64_t& ticks);

// The value of a line "<name>:   1234 kB" of /proc/<pid>/status, in KiB.
// False when the line is missing or holds no number.
bool ParseStatusKiB(std::string_view status, std::string_view name, uint64_t& kib);

struct CWindowFigures {
    std::string Label;
    // From the process's start (exec) to the end of the first painted frame;
    // negative when the start is unknown.
    double StartupMs = -1;
    // From the first line of main() to the same point: the part that
    // excludes loading the executable and its libraries.
    double InMainMs = 0;
    // CPU time of all threads up to the first frame.
    double StartupCpuMs = 0;
    // The idle measurement: its wall-clock length, the CPU time of all
    // threads in it and their context switches (each one a wakeup or a
    // preemption).
    double IdleSeconds = 0;
    double IdleCpuSeconds = 0;
    uint64_t IdleSwitches = 0;
    // VmRSS and VmHWM at the end of the idle time.
    uint64_t RssKiB = 0;
    uint64_t PeakRssKiB = 0;
};

std::string WindowTableHeader();
// One row of the table; figures that cannot be had print as "?".
std::string WindowTableRow(const CWindowFigures& figures);

// What one run shows: the window with one of its backends, or, for
// comparison, an empty dialog with nothing but a timer at the window's
// period, which is what Qt itself costs in start-up, memory and wakeups.
enum class EBenchWindow {
    NoWriter,  // the window with the writer on the USB bus, none attached
    Simulated, // the window with the simulated writer
    BareDialog,
};

struct CWindowBenchOptions {
    // Empty: every kind, each in a process of its own; one: this process
    // runs that one.
    std::vector<EBenchWindow> Windows;
    double IdleSeconds = 10;
    // Left to the start-up's own work (the writer's connection, the first
    // timers) before the idle time is measured.
    double SettleSeconds = 2;
    // CLOCK_MONOTONIC in nanoseconds when the parent started this process;
    // negative when there was none.
    int64_t SpawnedAtNs = -1;
};

// --window libusb|sim|bare, --idle-seconds S, --settle-seconds S,
// --spawned-at NS. False with `error` on anything else, a value missing, or
// a number out of range.
bool ParseWindowBenchArgs(const std::vector<std::string>& args, CWindowBenchOptions& options,
                          std::string& error);

// The --window word of a kind, and its row's label.
const char* WindowWord(EBenchWindow window);
const char* WindowLabel(EBenchWindow window);
