// CWriter: the public face of the writer. It holds its own copy of the device
// record and image, the members it shares with the window, and, behind them,
// the link with its framing (CWriterLink, WriterLink.h) and one programming
// engine per device family (CMidRangeEngine, CPic18Engine).
//
// Every device operation runs one frame: socket selection, programming-mode
// entry, the family's packets, programming-mode exit. Each packet is one write
// of the whole packet to the OUT pipe followed by one read of the answer, up
// to a fixed maximum length, from the IN pipe.
//
// Threads. The owner's thread (the window's timer) calls Poll every tick; one
// worker thread at a time runs a device operation. Busy, AbortRequest and
// Progress are atomics shared by the two. The owner touches the image and the
// device parameters only while no operation runs. How a running operation
// learns that the link has gone, and why a writer plugged in again is never
// reached by the rest of an operation begun before the unplug, is told in
// WriterLink.h.
#pragma once

#include "device/PicDevice.h"
#include "writer/MidRangeEngine.h"
#include "writer/Pic18Engine.h"
#include "writer/WriterLink.h"
#include "writer/usb_link/UsbLink.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

class CWriter : public CPicDevice {
public:
    using ETraceDirection = CWriterLink::ETraceDirection;
    // See CWriterLink::TraceHook: it runs on whatever thread exchanges (the
    // worker, or the owner for the operations it runs itself), never under
    // the link lock, and must not call back into the writer's operations.
    using TraceHook = CWriterLink::TraceHook;

    // The identifier pairs tried in turn when opening.
    static constexpr uint16_t kVendorId = CWriterLink::kVendorId;
    static constexpr uint16_t kProductId = CWriterLink::kProductId;
    static constexpr uint16_t kAltVendorId = CWriterLink::kAltVendorId;
    static constexpr uint16_t kAltProductId = CWriterLink::kAltProductId;

    // The backend must outlive the writer.
    explicit CWriter(IUsbLink& link);
    // Closes the device when it is open. No operation may be running.
    ~CWriter() override;
    CWriter(const CWriter&) = delete;
    CWriter& operator=(const CWriter&) = delete;

    // --- shared with the window ---
    std::atomic<bool> Busy{false}; // set by the operation starter, cleared by the worker
    bool WriteUserId = true;       // PIC18 configuration writes also write the ID locations
    bool DeviceIdCheck = true;     // the starter checks the chip's device ID first
    std::string Banner;            // the writer's identification banner
    // WriteProgram and WriteEeprom leave blank program rows (all 0x3FFF or
    // 0xFF) and blank EEPROM bytes (0xFF) unwritten and move the address past
    // them instead; a memory that is blank throughout gets no frame at all.
    // Only for a chip that has just been erased, as Program does: there a
    // blank cell written and one left alone read the same. Off by default
    // (every row and byte is written). Set by the owner before it starts an
    // operation.
    bool SkipBlank = false;

    int ClockMHz = writer_packet::kClockDefaultMHz; // writer clock from identification; picks the wait values
    uint32_t Version = 0;                           // writer version code; 0 = none
    int SocketPins = 0;                             // pin count that socket selection uses
    std::atomic<int32_t> Progress{0};
    std::atomic<bool> AbortRequest{false};

    // --- link (owner's thread) ---
    // Opens the writer when it is not open (then idles and identifies it), or
    // checks that it is still attached and closes it when it has gone. True
    // when the writer is open and attached after the call. While an operation
    // started on a link that has gone is still ending, it does not reopen.
    bool Poll();
    // True while the link is open, not known to be gone and the writer not
    // taken as not answering. Any thread.
    bool IsOpen() const { return m_link.IsUp(); }
    // What went wrong on the link since ClearLinkFault: whether the device
    // operations since then went through (see CWriterLink). Any thread.
    ELinkFault LinkFault() const { return m_link.Fault(); }
    // Clears the record before an operation, and gives a writer taken as not
    // answering another chance. Owner's thread, while no operation runs.
    void ClearLinkFault() { m_link.ClearFault(); }
    // The link handles: invalid (device) and 0 (pipes) while not open.
    // Owner's thread.
    IUsbLink::Handle DeviceHandle() const { return m_link.DeviceHandle(); }
    IUsbLink::Handle PipeOut() const { return m_link.PipeOut(); }
    IUsbLink::Handle PipeIn() const { return m_link.PipeIn(); }

    // --- writer control; false and nothing sent when the link is not open ---
    bool SetIdle();
    bool SendControl(uint8_t code);
    bool SelectSocket(int pinCount);
    bool EnterProgramMode();
    bool ExitProgramMode();
    // Identification: fills Version, ClockMHz and Banner.
    bool ReadVersion();

    int32_t GetProgress() const { return Progress.load(); }
    int32_t TakeProgress() { return Progress.exchange(0); }

    // --- device operations, by CoreWidth (14 mid-range, 8 PIC18; any other
    // core sends nothing). False when the link was not open at the start
    // (nothing sent), went down before the end, a packet could not be
    // written, or an answer did not come whole and in turn (LinkFault says
    // which). ---
    bool ReadDeviceId();
    bool ReadConfig();
    bool ReadProgram();
    bool ReadEeprom();
    bool ReadCalibration();
    bool WriteConfig(bool bProtect);
    bool WriteProgram();
    bool WriteEeprom();
    bool WriteCalibration();
    bool Erase();

    // Counter start value of a timed wait of ms milliseconds at ClockMHz.
    uint16_t WaitValue(unsigned ms) const { return writer_packet::WaitValue(ClockMHz, ms); }

    // --- diagnostics ---
    // Replaces the trace hook (empty = none); once it returns the previous
    // hook is not running and is never called again.
    void SetTraceHook(TraceHook hook) { m_link.SetTraceHook(std::move(hook)); }
    // Answers that brought fewer bytes than the packet's read commands give
    // (the missing bytes read as 0), and packets whose write failed.
    uint32_t ShortAnswerCount() const { return m_link.ShortAnswerCount(); }
    uint32_t FailedWriteCount() const { return m_link.FailedWriteCount(); }
    // Reads that timed out, and answers dropped as late or doubled.
    uint32_t FailedReadCount() const { return m_link.FailedReadCount(); }
    uint32_t StaleAnswerCount() const { return m_link.StaleAnswerCount(); }

private:
    CEngineContext EngineContext();
    // The engine of the device's core; null for a core without one.
    CEngine* EngineForCore();
    // Runs one step of writer control as an operation of its own.
    template <typename Step> bool RunControl(Step&& step);
    // Runs call on the core's engine as one operation (nothing for a core
    // without engine); framed sends the frame around it.
    template <typename Call> bool RunOnEngine(bool framed, Call&& call);

    CWriterLink m_link;
    CMidRangeEngine m_midRange;
    CPic18Engine m_pic18;
};
