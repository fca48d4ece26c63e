// The station with the command-line tool as its front end, and what the
// tool's commands do with it: select the chosen device, load a file, choose
// the writer's backend and open the writer, tick a flow to its end.
#pragma once

#include "cli/CliContext.h"
#include "cli/CliFrontEnd.h"
#include "cli/SafetyPrinter.h"
#include "ops/Station.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

struct CWriterOptions {
    bool Sim = false;
    bool Trace = false;
    std::string SimChipFile; // implies Sim
    bool StrictTiming = false;
    // Faults of the simulated writer and its chip (see sim/SimWriterFaults.h);
    // imply Sim.
    std::vector<std::string> SimFaults;
    bool Simulated() const { return Sim || !SimChipFile.empty() || !SimFaults.empty(); }
};

struct COperationOptions {
    CWriterOptions Writer;
    bool NoProtect = false;          // never write the code protection
    bool NoDeviceIdCheck = false;    // do not compare the chip's device ID first
    bool RewriteCalibration = false; // program the image's calibration instead of keeping the chip's
    bool SumId = false;              // the user ID from the image checksum
    bool FullWrite = false;          // program: write blank rows and bytes too
};

struct CSafetyCliOptions {
    bool Snapshot = false;       // program, erase, rollback: a snapshot of the chip first
    bool RefuseWarnings = false; // program: a preflight warning stops it
};

// The bytes of a packet or an answer as the trace prints them: two upper-case
// hex digits each, separated by spaces.
std::string FormatTraceBytes(const uint8_t* data, size_t size);

class CCliStation {
public:
    explicit CCliStation(CCliContext& ctx);
    CCliStation(const CCliStation&) = delete;
    CCliStation& operator=(const CCliStation&) = delete;

    CCliContext& Context() { return m_ctx; }
    CStation& Station() { return m_station; }
    CDeviceList& Device() { return m_station.Device(); }
    CWriter& Writer() { return m_station.Writer(); }
    CCliFrontEnd& Front() { return m_front; }
    CSafetyPrinter& Safety() { return m_safety; }

    // Points the catalogue at the chosen file and selects the chosen device;
    // false (with a message) when the catalogue or the name is not there.
    bool SelectDevice();
    // Loads the file into the station as opening it does; false (with a
    // message) when it cannot be read. Warns about damaged records unless
    // the preflight report has said so already (PreflightSaid).
    bool LoadFile(const std::string& path);
    bool PreflightSaid = false;
    // Chooses the backend (libusb, or the simulator with a chip of the
    // selected device, its faults applied) and opens the writer. A simulated
    // chip kept in a file is written to it at once, so that a file that
    // cannot be written is found before anything is done to the chip.
    // Returns kExitOk, kExitBadInput (no simulator model, a chip file that
    // cannot be read or written, a fault that does not apply) or
    // kExitNoWriter, with the message printed.
    int OpenWriter(const CWriterOptions& options);

    // Everything a flow needs before its command: the device (and the file,
    // when given) before anything touches the writer, so that bad input
    // never reaches the chip; then the writer, and the runner's first tick.
    int Prepare(const COperationOptions& options, const std::string& hexFile);
    // Arms the station's safety net for this run: the user's safety folder
    // (the calibration vault fed by every calibration read, the snapshots),
    // what the net finds said on the error stream, and a snapshot of the
    // chip before Program and Erase when asked for. Unarmed, the net writes
    // nothing and the flows run as the runner's own.
    void ArmSafetyNet(bool snapshotBeforeWrite);
    // Ticks the safety net (a snapshot's read, then the runner) until the
    // flow started by `command` has ended, then
    // saves a simulated chip kept in a file, before the command says what
    // came of it. Returns kExitNoWriter when the writer stays away for more
    // than a few seconds (a simulated one, which nobody plugs in again: at
    // once), kExitBadInput when the chip cannot be saved.
    template <class Command> int Run(Command command) {
        command(m_station.Runner());
        return SaveChip(TickUntilIdle());
    }
    // Exit status after a flow, from how it ended: no snapshot could be kept
    // (the chip was not touched) is kExitBadInput; the protection not
    // written is kExitUnprotected; the writer gone, silent or losing an
    // exchange is kExitNoWriter; a device ID mismatch or a verify difference
    // is kExitMismatch.
    int OutcomeStatus() const;
    // Saves a simulated chip (unless the flow's end saved it already) and
    // says what the simulated writer counted.
    int Finish(int status);

private:
    int TickUntilIdle();
    // Saves a simulated chip kept in a file; on failure prints why (once)
    // and turns an ok status into kExitBadInput.
    int SaveChip(int status);

    CCliContext& m_ctx;
    CCliFrontEnd m_front;
    // Before the station, whose net holds it as its listener.
    CSafetyPrinter m_safety;
    CStation m_station;
    std::string m_simChipFile;
    bool m_simulated = false;
    bool m_chipSaved = false;
    bool m_saveFailureReported = false;
};
