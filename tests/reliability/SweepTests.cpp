// Program of a code-protected image, with the simulated writer failing at
// one packet after another: unplugged, falling silent, answering short, late
// or twice; and with a cell that will not program. For every packet tried:
// no crash, no hang, Busy clear at the end, an exit status that is not 0
// wherever the fault cost the run anything (and a 0 only for a chip that
// holds the image and is protected), and a clean Program of the same chip
// once the writer is back.
//
// Built twice: the ordinary tests try a sample of the packets; the program
// labelled "sweep" (ctest -L sweep) tries every one.
#include "SweepSupport.h"

#include "cli/Cli.h"
#include "tests/common/TempDir.h"
#include "writer/WriterLink.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace {

#ifdef KVX3_FULL_SWEEP
constexpr bool kFull = true;
#else
constexpr bool kFull = false;
#endif
// Under the sanitizers a run costs ten times as much: a thinner sample
// still takes every kind of fault through the code they watch.
#ifdef KVX3_SANITIZED_BUILD
constexpr size_t kThinning = 4;
#else
constexpr size_t kThinning = 1;
#endif

// Opening the writer sends two packets (idle state and identification)
// before the sequence sends its first.
constexpr uint64_t kOpeningPackets = 2;

class ProgramFaultSweep : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        sweep::MakeProtectedImage(Device(), 17, m_hex, m_image);
        const sweep::CProgramRun clean = sweep::ProgramRun(Device(), m_hex, m_chip);
        ASSERT_EQ(clean.Status, kExitOk) << clean.Err;
        ASSERT_TRUE(sweep::ChipHoldsProtectedImage(m_chip, m_image));
        m_total = clean.Counters.Packets;
        m_cleanUs = clean.Counters.ElapsedUs;
        std::filesystem::remove(m_chip);
        const sweep::CProgramRun open = sweep::ProgramRun(Device(), m_hex, m_chip, {}, true);
        ASSERT_EQ(open.Status, kExitOk) << open.Err;
        m_unprotected = open.Counters.Packets;
        ASSERT_LT(m_unprotected, m_total);
    }

    // The tally of exit statuses, printed for the record (docs/reliability.md).
    void TearDown() override {
        if (m_statuses.empty()) {
            return;
        }
        std::string line = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                           ": " + std::to_string(m_cases) + " cases of " + std::to_string(m_total) +
                           " packets;";
        for (const auto& [status, count] : m_statuses) {
            line += " exit " + std::to_string(status) + ": " + std::to_string(count) + ";";
        }
        std::printf("[ tally    ] %s\n", line.c_str());
    }

    const char* Device() const { return GetParam(); }

    // The packets to fail at: the sample, or every one. The sample of the
    // unplug covers the whole protect write and a little before it, where a
    // lost writer once passed for a protected chip; the others its end.
    std::vector<uint64_t> Packets(size_t spread, bool wholeProtectWrite = false) const {
        const uint64_t tail = wholeProtectWrite ? m_total - m_unprotected + 2 : 2;
        return sweep::PacketsToTry(m_total, kFull, tail, spread / kThinning, kThinning);
    }

    // One run with the faults on a blank chip, then one without on the chip
    // that run left. Returns the faulty run.
    sweep::CProgramRun FaultThenReprogram(const std::vector<std::string>& faults) {
        std::filesystem::remove(m_chip);
        sweep::CProgramRun faulty = sweep::ProgramRun(Device(), m_hex, m_chip, faults);
        ++m_cases;
        ++m_statuses[faulty.Status];
        EXPECT_FALSE(faulty.BusyAfter);
        if (faulty.Status == kExitOk) {
            EXPECT_TRUE(sweep::ChipHoldsProtectedImage(m_chip, m_image)) << "a success must be one";
        } else {
            EXPECT_EQ(faulty.Out.find("Programmed and verified"), std::string::npos) << faulty.Out;
        }
        const sweep::CProgramRun again = sweep::ProgramRun(Device(), m_hex, m_chip);
        EXPECT_EQ(again.Status, kExitOk) << again.Err;
        EXPECT_TRUE(sweep::ChipHoldsProtectedImage(m_chip, m_image));
        return faulty;
    }

    CTempDir m_dir;
    std::string m_hex = m_dir.File("image.hex");
    std::string m_chip = m_dir.File("chip.sim");
    CHexFile m_image;
    uint64_t m_total = 0;       // packets of a clean protected Program, opening included
    uint64_t m_unprotected = 0; // ... of one without the final protect write
    uint64_t m_cleanUs = 0;     // its writer time
    size_t m_cases = 0;
    std::map<int, size_t> m_statuses;
};

std::string Fault(const char* name, uint64_t k) {
    return std::string(name) + "=" + std::to_string(k);
}

} // namespace

TEST_P(ProgramFaultSweep, UnplugAtEachPacket) {
    for (uint64_t k : Packets(kFull ? 0 : 6, true)) {
        SCOPED_TRACE("unplug after packet " + std::to_string(k) + " of " + std::to_string(m_total));
        const sweep::CProgramRun run = FaultThenReprogram({Fault("unplug-after", k)});
        if (k < m_total) {
            EXPECT_NE(run.Status, kExitOk) << run.Out;
        }
        if (HasFailure()) {
            return;
        }
    }
}

TEST_P(ProgramFaultSweep, MuteWriterAtEachPacket) {
    const uint64_t silenceUs = (kOpeningPackets + CWriterLink::kMaxSilentTransfers) *
                               (CSimWriterConfig().ReadTimeoutUs + CWriterLink::kDrainAfterFaultMs * 1000);
    for (uint64_t k : Packets(kFull ? 0 : 3)) {
        SCOPED_TRACE("silent after packet " + std::to_string(k) + " of " + std::to_string(m_total));
        const sweep::CProgramRun run = FaultThenReprogram({Fault("mute-after", k)});
        if (k < m_total) {
            EXPECT_NE(run.Status, kExitOk) << run.Out;
        }
        // A few time-outs, then the run ends: never one for each packet left.
        EXPECT_LE(run.Counters.TimedOutReads, kOpeningPackets + CWriterLink::kMaxSilentTransfers);
        EXPECT_LE(run.Counters.ElapsedUs, m_cleanUs + silenceUs);
        if (HasFailure()) {
            return;
        }
    }
}

TEST_P(ProgramFaultSweep, ShortAnswerAtEachPacket) {
    for (uint64_t k : Packets(kFull ? 0 : 3)) {
        SCOPED_TRACE("short answer to packet " + std::to_string(k));
        (void)FaultThenReprogram({Fault("short-answer-at", k)});
        if (HasFailure()) {
            return;
        }
    }
}

TEST_P(ProgramFaultSweep, LateOrDoubleAnswerAtEachPacket) {
    for (const char* fault : {"late-answer-at", "double-answer-at"}) {
        for (uint64_t k : Packets(kFull ? 0 : 2)) {
            SCOPED_TRACE(Fault(fault, k));
            const sweep::CProgramRun run = FaultThenReprogram({Fault(fault, k)});
            // An answer out of turn during the sequence always fails it; one
            // while opening is dropped before the sequence begins.
            if (k > kOpeningPackets) {
                EXPECT_NE(run.Status, kExitOk) << run.Out;
            }
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_P(ProgramFaultSweep, AStuckCellIsAlwaysAVerifyError) {
    // Cells the image programs (a stuck one keeps the blank value).
    std::vector<uint32_t> cells;
    const uint32_t count = m_image.ProgramSize;
    const uint32_t step = kFull ? 1 : count / 3;
    for (uint32_t a = 0; a < count; a += step) {
        if (m_image.ProgramWord(a) != m_image.BlankProgramWord()) {
            cells.push_back(a);
        }
    }
    cells.push_back(count - 1);
    for (uint32_t a : cells) {
        if (m_image.ProgramWord(a) == m_image.BlankProgramWord()) {
            continue;
        }
        char spec[32];
        std::snprintf(spec, sizeof spec, "stuck-cell=%X", a);
        SCOPED_TRACE(spec);
        const sweep::CProgramRun run = FaultThenReprogram({spec});
        EXPECT_EQ(run.Status, kExitMismatch) << run.Err;
        EXPECT_NE(run.Err.find("Program memory: NG"), std::string::npos) << run.Err;
        if (HasFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, ProgramFaultSweep, ::testing::Values("PIC16F84A", "PIC18F1220"),
                         [](const auto& device) { return std::string(device.param); });
