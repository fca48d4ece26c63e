// What every fuzz target shares: its entry point and its checks.
//
// A target is a plain function over the input bytes. Built for libFuzzer
// (KVX3_LIBFUZZER), KVX3_FUZZ_ENTRY makes it the process's
// LLVMFuzzerTestOneInput; built into the test program, the same functions
// replay the seed corpus and every input that once failed (fuzz/regressions),
// so a fault found by fuzzing stays found in every ordinary test run.
//
// A check that fails traps under libFuzzer, which keeps the input as a
// crash; the test program installs a handler that records it instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kvx3_fuzz {

using FailHandler = void (*)(const char* what, const char* file, int line);

inline FailHandler& Handler() {
    static FailHandler handler = nullptr;
    return handler;
}

inline void Fail(const char* what, const char* file, int line) {
    if (Handler() != nullptr) {
        Handler()(what, file, line);
        return;
    }
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    __builtin_trap();
}

// A scratch file of this process for the targets that read files: in memory
// where the system offers a RAM disk, so that each run costs no disk write.
std::string ScratchPath(const char* name);

} // namespace kvx3_fuzz

#define KVX3_FUZZ_CHECK(condition)                                                                           \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            ::kvx3_fuzz::Fail(#condition, __FILE__, __LINE__);                                               \
        }                                                                                                    \
    } while (false)

#ifdef KVX3_LIBFUZZER
#define KVX3_FUZZ_ENTRY(function)                                                                            \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                                \
        return function(data, size);                                                                         \
    }
#else
#define KVX3_FUZZ_ENTRY(function)
#endif

// The targets, for the test program that replays their inputs.
int FuzzHexFile(const uint8_t* data, size_t size);
int FuzzDeviceList(const uint8_t* data, size_t size);
int FuzzSettings(const uint8_t* data, size_t size);
int FuzzSimPackets(const uint8_t* data, size_t size);
int FuzzChipFile(const uint8_t* data, size_t size);
