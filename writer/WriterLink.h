// CWriterLink: the writer's end of the USB link and the command framing over
// it. It owns the three handles, opens the writer by its identifier pairs,
// notices when it has gone, and closes it. Every packet goes through Exchange:
// one write of the whole packet to the OUT pipe, then one read of the answer,
// up to a fixed maximum length, from the IN pipe. On top of that sit the fixed
// control packets: socket selection, programming-mode entry and exit (the
// frame every device routine runs in), the idle state and identification.
//
// Threads. The owner's thread (the window's timer) opens, checks and closes;
// one worker thread at a time runs a device operation through Exchange.
//
// How a running operation learns that the link has gone:
//  - One mutex serialises every packet exchange (write + read) and the close.
//    The presence check runs outside the lock (backends allow it alongside a
//    transfer); when it reports the writer gone, the link is first marked down
//    (an atomic flag every exchange tests), then the lock is taken, the device
//    closed and the handles invalidated. So the close waits for at most the
//    one exchange that is in flight, and after it no exchange ever reaches the
//    backend with the old handles.
//  - Each exchange tests, under the lock, that the link is still up; if not it
//    fails at once without a backend call and the answer reads as all zeros.
//  - Host-side waits are skipped once the link is down, and the engines end
//    their memory loops, so a routine that was writing word by word with
//    20 ms pauses ends within one exchange after an unplug instead of
//    sleeping on for minutes. The exit packet is still attempted and fails
//    quietly.
//  - Every operation counts itself in (COperationScope) while it runs, and
//    Open refuses while one is counted. So the rest of a routine that was cut
//    off by an unplug can never reach a writer that has been plugged in again
//    in the meantime; it ends on the dead link and the next tick reopens.
//
// A transfer that fails (a packet refused, a read that times out) is judged
// at once: when the presence check then reports the writer gone, the link is
// marked down right there, so the routine stops without waiting for the next
// tick, and the tick closes it. A writer that stays attached but brings
// nothing back for kMaxSilentTransfers transfers in a row is taken as not
// answering: from then on every exchange fails at once, without its time-out,
// until the fault record is cleared (the runner does it before each
// operation it starts) or the link is opened again. So a mute writer costs
// three time-outs, not one for each of thousands of packets.
//
// Answers are never paired with the wrong packet. After a transfer that
// failed or an answer that came short, whatever the writer still sends is
// read off and dropped (DrainPipe) before the next packet goes out: a late
// answer cannot be taken for the next one's. And at the end of every
// operation the link looks once more for answers that should not be there
// (a writer that answered twice, or late beyond the first drain); finding
// one, it fails the operation, whose answers were then out of turn.
#pragma once

#include "writer/Packet.h"
#include "writer/usb_link/UsbLink.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

// What went wrong on the link since its fault record was last cleared; a
// later fault of a higher kind replaces a lower one.
enum class ELinkFault {
    None,
    // The writer stayed and still answers, but a packet could not be
    // written, a read timed out, or an answer came short or out of turn: an
    // operation's result cannot be trusted.
    TransferFailed,
    // The writer stayed attached but brought nothing back for
    // kMaxSilentTransfers transfers in a row.
    NotAnswering,
    // The writer went (or the link was down) while an operation ran or was
    // to start.
    Lost,
};

class CWriterLink {
public:
    enum class ETraceDirection { Out, In };
    // Called for every packet handed to the backend (Out) and then for its
    // answer (In, only the bytes that came; no In when the write failed).
    // Runs on whatever thread makes the exchange (the worker, or the owner
    // for the operations it runs itself), after the link lock is released,
    // so a slow hook never holds up the close of a link that has gone. The
    // calls of one exchange are never split by another exchange's; exchanges
    // of two threads may be traced in either order. The hook must not call
    // the writer's operations or SetTraceHook (it runs under the trace lock).
    using TraceHook = std::function<void(ETraceDirection direction, std::span<const uint8_t> bytes)>;

    // Transfers in a row that may bring nothing back, while the writer stays
    // attached, before it is taken as not answering. Every packet of a sound
    // writer is answered well within the backend's time-out (the longest
    // packet takes about 1 s, the time-out is 2 s), so one silent transfer is
    // already a fault; a second can still be the same hiccup (a bus reset, a
    // late answer of the first); a third in a row, after some 6 s of
    // silence, is a writer that has stopped. This ends a mute writer's
    // operation within three time-outs and their drains (about 6.5 s on
    // libusb), instead of one time-out for each of its thousands of packets
    // (a 16,000-packet operation would wait some nine hours).
    static constexpr uint32_t kMaxSilentTransfers = 3;
    // How long a drain after a failed or short exchange waits for each late
    // answer: an answer a little late comes within this; one later still is
    // caught at the end of the operation.
    static constexpr unsigned kDrainAfterFaultMs = 100;
    // How long the check at the end of an operation waits: an answer sent
    // twice follows the first at once.
    static constexpr unsigned kStaleCheckMs = 5;

    // The identifier pairs tried in turn when opening.
    static constexpr uint16_t kVendorId = 0x0ADE;
    static constexpr uint16_t kProductId = 0x0010;
    static constexpr uint16_t kAltVendorId = 0x08DA;
    static constexpr uint16_t kAltProductId = 0xFF0B;

    // The backend must outlive the link.
    explicit CWriterLink(IUsbLink& usb);
    // Closes the device when it is open. No operation may be running.
    ~CWriterLink();
    CWriterLink(const CWriterLink&) = delete;
    CWriterLink& operator=(const CWriterLink&) = delete;

    // --- opening and closing; owner's thread only ---
    // True while a device handle is held (also once it is known gone, until
    // the close).
    bool HasDevice() const { return m_device != IUsbLink::kInvalidHandle; }
    // Opens the writer under the first identifier pair that answers and
    // opens both pipes. False when neither pair answers, or while an
    // operation begun on a previous link is still ending. A fresh link is
    // taken as answering; the fault record stays as it was.
    bool Open();
    // The presence check. True while the writer is attached; when it has
    // gone, or an exchange found it gone, the link is closed and the result
    // is false.
    bool CheckPresence();
    void Close();

    // True while the link is open, not known to be gone and the writer not
    // taken as not answering. Any thread.
    bool IsUp() const { return m_up.load() && !m_notAnswering.load(); }

    // The worst fault since the record was last cleared. Any thread.
    ELinkFault Fault() const { return static_cast<ELinkFault>(m_fault.load()); }
    // Clears the record, takes the writer as answering again, and has the
    // next exchange drop any answer still waiting first. Call it while no
    // operation runs.
    void ClearFault();

    // The handles; invalid (device) and 0 (pipes) while closed. Owner's
    // thread.
    IUsbLink::Handle DeviceHandle() const { return m_device; }
    IUsbLink::Handle PipeOut() const { return m_pipeOut; }
    IUsbLink::Handle PipeIn() const { return m_pipeIn; }

    // --- exchanges; any thread ---
    // One packet exchange. False (nothing sent, answer all zeros) when the
    // link is down, the writer is taken as not answering, or the packet is
    // empty or overflowed. True once the packet was handed to the backend,
    // whether or not the transfers succeeded: a failed write, a failed read
    // and a short answer are counted and recorded as a fault (see the header
    // comment), and the bytes that did not come read as 0.
    bool Exchange(const CPacket& packet, size_t answerMax, CAnswer* answer = nullptr);
    // A host-side pause between packets, skipped once the link is down.
    void HostWait(unsigned ms);

    // --- writer control, without the open test (exchange results ignored) ---
    void SendControlCode(uint8_t code);
    // One or two control codes by the package's pin count.
    void SendSocket(int pinCount);
    void SendEntry(int32_t entryMode);
    void SendExit();
    void SendIdle();
    // The identification exchange; the caller decodes the answer.
    void SendIdentify(CAnswer& answer);

    // The frame of a device routine: socket, programming-mode entry, the
    // routine's packets, programming-mode exit (also after a loop that ended
    // early).
    template <typename Routine> void Framed(int socketPins, int32_t entryMode, Routine&& routine) {
        SendSocket(socketPins);
        SendEntry(entryMode);
        routine();
        SendExit();
    }

    // Counts an operation in for its lifetime (see the header comment).
    class COperationScope {
    public:
        explicit COperationScope(CWriterLink& link);
        ~COperationScope();
        COperationScope(const COperationScope&) = delete;
        COperationScope& operator=(const COperationScope&) = delete;
        // True when the link was up when the operation began; an operation
        // that did not start sends nothing (and records the link as lost, or
        // the writer as not answering).
        bool Started() const { return m_started; }
        // Ends the operation: looks for answers that should not be there (see
        // the header comment), then tells whether it went through: the link
        // stayed up, every packet went out and every answer came whole and in
        // turn.
        bool Finish();

    private:
        CWriterLink& m_link;
        bool m_started = false;
        uint32_t m_faultsAtStart = 0;
    };

    // --- diagnostics ---
    // Replaces the trace hook (empty = none). Once it returns, the previous
    // hook is not running and is never called again.
    void SetTraceHook(TraceHook hook);
    // Answers that brought fewer bytes than the packet's read commands give,
    // and packets whose write failed.
    uint32_t ShortAnswerCount() const { return m_shortAnswers.load(); }
    uint32_t FailedWriteCount() const { return m_failedWrites.load(); }
    // Reads that failed (timed out) and answers dropped by drains.
    uint32_t FailedReadCount() const { return m_failedReads.load(); }
    uint32_t StaleAnswerCount() const { return m_staleAnswers.load(); }

private:
    // The transfer part of Exchange, under the link lock. False when the link
    // is down; written tells whether the packet left.
    bool Transfer(const CPacket& packet, size_t answerMax, CAnswer& answer, bool& written);
    // A transfer brought nothing back: the writer has gone, has stopped
    // answering, or had a hiccup. Under the link lock.
    void NoteSilentTransfer();
    void RecordFault(ELinkFault fault);
    // Drops answers still waiting; under the link lock. True when one was found.
    bool DropStaleAnswers(unsigned waitMs);

    IUsbLink& m_usb;
    // Written only on the owner's thread, under m_mutex; read by exchanges
    // under m_mutex and by the owner's thread without it.
    IUsbLink::Handle m_device = IUsbLink::kInvalidHandle;
    IUsbLink::Handle m_pipeOut = 0;
    IUsbLink::Handle m_pipeIn = 0;
    mutable std::mutex m_mutex; // serialises exchanges and the close
    std::atomic<bool> m_up{false};
    std::atomic<bool> m_notAnswering{false};
    std::atomic<int> m_operations{0};
    // Under m_mutex: silent transfers in a row, and the wait of the drain
    // owed before the next packet (0: none owed).
    uint32_t m_silentRun = 0;
    unsigned m_drainWaitMs = 0;
    std::atomic<int> m_fault{static_cast<int>(ELinkFault::None)};
    std::atomic<uint32_t> m_faultEvents{0}; // every recorded fault, for COperationScope
    std::mutex m_traceMutex;                // guards m_trace and keeps each exchange's calls together
    TraceHook m_trace;
    std::atomic<uint32_t> m_shortAnswers{0};
    std::atomic<uint32_t> m_failedWrites{0};
    std::atomic<uint32_t> m_failedReads{0};
    std::atomic<uint32_t> m_staleAnswers{0};
};
