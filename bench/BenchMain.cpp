// kvx3_bench: the benchmark suite. The hex file reader and writer, the host's
// cost per packet, and Program on the simulated writer against its bound.
// Run with --benchmark_filter=... to pick; scripts/bench.sh runs it all.
#include "ProgramBench.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    RegisterProgramBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintProgramTable();
    return 0;
}
