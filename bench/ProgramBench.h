// Program sequences on the simulated writer (see ProgramBench.cpp).
#pragma once

#include <cstdint>
#include <string>

struct CProgramCase {
    std::string Device;
    std::string HexFile; // below the source tree; empty: every program and EEPROM byte random
    bool SkipBlank = false;
};

struct CProgramResult {
    CProgramCase Case;
    uint64_t Packets = 0;
    uint64_t BytesOut = 0;
    uint64_t BytesIn = 0;
    double WriterUs = 0;  // the simulated writer's elapsed time
    double BoundUs = 0;   // ProgramBound for the same image
    uint64_t Frames = 0;  // programming-mode sessions (exit packets sent)
    double SessionUs = 0; // what one session costs the device
    bool Verified = false;
    double Ratio() const { return BoundUs > 0 ? WriterUs / BoundUs : 0; }
    // The ratio the same run would have in one session, as the bound has it.
    double OneSessionRatio() const {
        const double extra = Frames > 1 ? static_cast<double>(Frames - 1) * SessionUs : 0;
        return BoundUs > 0 ? (WriterUs - extra) / BoundUs : 0;
    }
};

// Runs one Program through a station over the simulated writer. False when
// the device, its chip model or the hex file is missing.
bool RunProgram(const CProgramCase& c, CProgramResult& result);

// Program/<device>/<image>/<write> for the five reference devices, and
// Catalogue/<device> (a full image, the full write) for every entry.
void RegisterProgramBenchmarks();
// The results of the Program benchmarks that ran, as a Markdown table.
void PrintProgramTable();
