// What the operation runner needs from the program that drives it: the main
// window, the command-line tool, or a test. Everything the runner shows or
// asks goes through here, so every front end runs the very same flows.
//
// Every call comes on the runner's owner thread (the one that calls the
// commands and OnTimer), never on the worker thread.
#pragma once

#include "device/UserPrompt.h"

#include <cstdint>
#include <string>

// The options the flows read, taken from the front end at the moment a flow
// reads them. The device-ID check option is not here: the front end copies it
// into the writer's DeviceIdCheck when it changes, and the runner reads that.
struct CRunnerOptions {
    // When off, a chip's oscillator calibration is read before and written
    // back after an erase (for devices that have one).
    bool m_bRewriteCalibration = false;
    // When on, Program never writes the code protection.
    bool m_bDisProtect = false;
    // When on, Program reads the configuration back after writing the code
    // protection and takes protection bits that did not take as a failed
    // protect write. Every transfer of that write may go through while its
    // cells do not change (a writer that runs its waits too short, a
    // programming cycle cut off): without the read-back such a chip counts
    // as protected.
    bool m_bCheckProtect = true;
    // Tell the user when a Program ended with a clean compare.
    bool m_bComplate = false;
    // Read by the station's file steps: the user ID from the image checksum
    // (device selection, loading a file), and the change watch on the loaded
    // file before the write step of Program.
    bool m_bSumId = false;
    bool m_bHexCheck = false;
    // Program's write leaves blank program rows and EEPROM bytes unwritten
    // (the chip has just been erased); off: every row and byte is written.
    bool m_bSkipBlank = false;
};

// How a sequence ended, or what befell it, told to the front end by an
// explicit call so that no front end has to read it from a message text.
enum class EOutcome {
    Completed,        // ran to its end; for Program and Verify, the compare found no difference
    DeviceIdMismatch, // the chip's device ID is not the selected device's: the sequence ended
    VerifyDifference, // the compare found a difference: the sequence ended
    Stopped,          // abandoned after a stop request
    // The writer went while the sequence was set: it waits, and goes on when
    // the writer is back, unless the writer went in the middle of an
    // operation (then WriterLost follows once it is back).
    LinkLost,
    // The writer went during an exchange the sequence needed (the device ID
    // read before an operation, or an operation it cut off): the sequence
    // ended, and nothing after that exchange was done.
    WriterLost,
    // The writer stayed attached but stopped answering: the operation
    // stopped after a few silent transfers, and the sequence ended.
    WriterNotAnswering,
    // The writer stayed and answered, but a packet could not be written or
    // an answer came short or out of turn: the operation's result cannot be
    // trusted, and the sequence ended.
    TransferFailed,
    // Program: the chip was written and compared without difference, but
    // the final write of the code protection failed: the chip may be left
    // unprotected (and, with it, its user ID as it was). The sequence ended.
    ProtectFailed,
};

struct COutcome {
    EOutcome Kind = EOutcome::Completed;
    // DeviceIdMismatch: the ID the chip reported (as read), the mask held by
    // the writer, and the selected device's ID it was compared with.
    uint32_t ChipDeviceId = 0;
    uint32_t DeviceIdMask = 0;
    uint32_t ExpectedDeviceId = 0;
    // VerifyDifference: the writer's VerifyFlags.
    int32_t VerifyFlags = 0;
};

class IRunnerFrontEnd : public IMessageBox {
public:
    // Status line: the string table entry with this id (see ops/Strings.h).
    virtual void SetStatusText(int stringId) = 0;
    // Writer label: the writer's banner, or kWriterLabelDisconnected.
    virtual void SetWriterLabel(const std::string& text) = 0;
    // Enables or disables the command controls and the menus (Cancel, the
    // page buttons and the user ID and configuration cells are not among them).
    virtual void EnableControls(bool enable) = 0;

    // Progress bar. The runner sets the range 0..100 and positions within it.
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int position) = 0;

    // The verify error report with the writer's VerifyFlags; modal.
    virtual void ShowVerifyError(int32_t verifyFlags) = 0;

    // What became of the running sequence. Comes just before the message box
    // or report that tells the user the same, when there is one (the device
    // ID message, the verify error report, the completion message, and the
    // messages of the writer's faults and of the failed protection write),
    // so a front end may let it add to what that box says.
    virtual void OnOutcome(const COutcome& outcome) = 0;

    // Display refreshes from the selected device.
    virtual void RefreshProgramDump() = 0;
    virtual void RefreshEepromDump() = 0;
    virtual void RefreshUserId() = 0;
    virtual void RefreshConfigGrid(int page) = 0;
    virtual void ShowDeviceId() = 0;

    // The configuration grid page being shown (m_nConfigPage).
    virtual int ConfigPage() const = 0;
    virtual CRunnerOptions Options() const = 0;
};
