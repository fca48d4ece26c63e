// Whole Program runs of the command-line tool, in this process, on a
// simulated chip kept in a file, with faults of the simulated writer; and
// what the chip holds afterwards, read from that file.
#pragma once

#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "sim/SimWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sweep {

std::string CataloguePath();

// A random image for the device, every code-protection bit of it set to
// protect, saved as a hex file at `path`.
void MakeProtectedImage(const std::string& device, unsigned seed, const std::string& path, CHexFile& image);

struct CProgramRun {
    int Status = -1;
    bool BusyAfter = true; // the writer's Busy when the flow had ended
    CSimWriterCounters Counters;
    std::string Out;
    std::string Err;
};

// kvx3-cli -d device --sim-chip chip [--sim-fault F]... program hex, as the
// tool runs it, with what the station looked like at its end.
CProgramRun ProgramRun(const std::string& device, const std::string& hex, const std::string& chip,
                       const std::vector<std::string>& faults = {}, bool noProtect = false);

// The chip kept in the file holds the image in program memory and EEPROM,
// and its code protection is on.
::testing::AssertionResult ChipHoldsProtectedImage(const std::string& chip, const CPicDevice& image);

// Packet numbers 1..total to try: every one for a full sweep; otherwise the
// first few, every `tailStep`-th of the last `tail` (where the final protect
// write lies) and `spread` spaced evenly between.
std::vector<uint64_t> PacketsToTry(uint64_t total, bool full, uint64_t tail, size_t spread,
                                   uint64_t tailStep = 1);

} // namespace sweep
