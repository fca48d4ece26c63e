#include "cli/GuardedRun.h"

#include "cli/Cli.h"

#include <chrono>
#include <thread>

namespace {

// How long the snapshot's read waits for a writer that went away.
constexpr auto kLostWriterPatience = std::chrono::seconds(5);

// The read ended because the writer went, fell silent or lost an exchange.
bool IsWriterFault(EOutcome outcome) {
    return outcome == EOutcome::LinkLost || outcome == EOutcome::WriterLost ||
           outcome == EOutcome::WriterNotAnswering || outcome == EOutcome::TransferFailed;
}

} // namespace

int RunGuarded(CCliContext& ctx, CCliStation& run, CSafetyPrinter& printer, EGuardedCommand command) {
    CSafetyNet& net = run.Station().SafetyNet();
    CRunner& runner = run.Station().Runner();
    const bool started = command == EGuardedCommand::Program ? net.OnProgram() : net.OnErase();
    auto lostSince = std::chrono::steady_clock::time_point{};
    while (net.SnapshotRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        net.OnTimer();
        if (runner.Connected()) {
            lostSince = {};
        } else if (lostSince == std::chrono::steady_clock::time_point{}) {
            lostSince = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - lostSince > kLostWriterPatience && !runner.IsBusy()) {
            run.Front().FinishProgressLine();
            ctx.Error("the writer went away and did not come back");
            return kExitNoWriter;
        }
    }
    run.Front().FinishProgressLine();
    if (printer.LastSnapshot) {
        switch (printer.LastSnapshot->Outcome) {
        case ESnapshotOutcome::Kept:
        case ESnapshotOutcome::ProtectedChip:
            break;
        case ESnapshotOutcome::NotKept:
            return kExitBadInput;
        case ESnapshotOutcome::ReadFailed:
            return IsWriterFault(printer.LastSnapshot->ReadOutcome) ? kExitNoWriter : kExitMismatch;
        }
    }
    if (!started && !runner.IsRunning()) {
        return run.OutcomeStatus() != kExitOk ? kExitMismatch : kExitNoWriter;
    }
    return run.Run([](CRunner&) {});
}
