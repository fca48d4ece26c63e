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
#pragma once

#include "writer/Packet.h"
#include "writer/usb_link/UsbLink.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

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
    // operation begun on a previous link is still ending.
    bool Open();
    // The presence check. True while the writer is attached; when it has
    // gone the link is closed and the result is false.
    bool CheckPresence();
    void Close();

    // True while the link is open and not known to be gone. Any thread.
    bool IsUp() const { return m_up.load(); }

    // The handles; invalid (device) and 0 (pipes) while closed. Owner's
    // thread.
    IUsbLink::Handle DeviceHandle() const { return m_device; }
    IUsbLink::Handle PipeOut() const { return m_pipeOut; }
    IUsbLink::Handle PipeIn() const { return m_pipeIn; }

    // --- exchanges; any thread ---
    // One packet exchange. False (nothing sent, answer all zeros) when the
    // link is down or the packet is empty or overflowed. True once the packet
    // was handed to the backend, whether or not the transfers succeeded: a
    // failed write and a short answer are only counted, and the bytes that
    // did not come read as 0.
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
        // that did not start sends nothing.
        bool Started() const { return m_started; }
        // True when the link stayed up to the end and every packet went out.
        bool Finished() const;

    private:
        CWriterLink& m_link;
        bool m_started = false;
        uint32_t m_failedWritesAtStart = 0;
    };

    // --- diagnostics ---
    // Replaces the trace hook (empty = none). Once it returns, the previous
    // hook is not running and is never called again.
    void SetTraceHook(TraceHook hook);
    // Answers that brought fewer bytes than the packet's read commands give,
    // and packets whose write failed.
    uint32_t ShortAnswerCount() const { return m_shortAnswers.load(); }
    uint32_t FailedWriteCount() const { return m_failedWrites.load(); }

private:
    // The transfer part of Exchange, under the link lock. False when the link
    // is down; written tells whether the packet left.
    bool Transfer(const CPacket& packet, size_t answerMax, CAnswer& answer, bool& written);

    IUsbLink& m_usb;
    // Written only on the owner's thread, under m_mutex; read by exchanges
    // under m_mutex and by the owner's thread without it.
    IUsbLink::Handle m_device = IUsbLink::kInvalidHandle;
    IUsbLink::Handle m_pipeOut = 0;
    IUsbLink::Handle m_pipeIn = 0;
    mutable std::mutex m_mutex; // serialises exchanges and the close
    std::atomic<bool> m_up{false};
    std::atomic<int> m_operations{0};
    std::mutex m_traceMutex; // guards m_trace and keeps each exchange's calls together
    TraceHook m_trace;
    std::atomic<uint32_t> m_shortAnswers{0};
    std::atomic<uint32_t> m_failedWrites{0};
};
