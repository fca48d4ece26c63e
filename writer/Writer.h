// CWriter: the writer's USB link and the programming engines of both device
// families, holding its own copy of the device record and image.
//
// Every device operation runs one frame: socket selection, programming-mode
// entry, the family's packets, programming-mode exit. Each packet is one write
// of the whole packet to the OUT pipe followed by one read of the answer, up
// to a fixed maximum length, from the IN pipe.
//
// Threads. The owner's thread (the window's timer) calls Poll every tick; one
// worker thread at a time runs a device operation. Busy, AbortRequest and
// Progress are atomics shared by the two. The owner touches the image and the
// device parameters only while no operation runs.
//
// How a running operation learns that the link has gone:
//  - One mutex serialises every packet exchange (write + read) and the close
//    in Poll. Poll's presence check runs outside the lock (backends allow it
//    alongside a transfer); when it reports the writer gone, Poll first marks
//    the link down (an atomic flag every exchange tests), then takes the lock,
//    closes the device and invalidates the handles. So the close waits for at
//    most the one exchange that is in flight, and after it no exchange ever
//    reaches the backend with the old handles.
//  - Each exchange tests, under the lock, that the link is still up; if not it
//    fails at once without a backend call and the answer reads as all zeros.
//  - Host-side waits are skipped and the program memory and EEPROM loops end
//    once the link is down, so a routine that was writing word by word with
//    20 ms pauses ends within one exchange after an unplug instead of
//    sleeping on for minutes. The exit packet is still attempted and fails
//    quietly. The operation then returns false.
//  - Every operation counts itself in while it runs, and Poll does not reopen
//    the link while one is counted. So the rest of a routine that was cut off
//    by an unplug can never reach a writer that has been plugged in again in
//    the meantime; it ends on the dead link and the next tick reopens.
#pragma once

#include "device/PicDevice.h"
#include "writer/Packet.h"
#include "writer/usb_link/UsbLink.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

class CWriter : public CPicDevice {
public:
    enum class ETraceDirection { Out, In };
    // Called for every packet handed to the backend (Out) and for every
    // answer read (In, only the bytes that came). Runs on the thread making
    // the exchange, with the link lock held: it must not call back into the
    // writer.
    using TraceHook = std::function<void(ETraceDirection direction, std::span<const uint8_t> bytes)>;

    // The identifier pairs tried in turn when opening.
    static constexpr uint16_t kVendorId = 0x0ADE;
    static constexpr uint16_t kProductId = 0x0010;
    static constexpr uint16_t kAltVendorId = 0x08DA;
    static constexpr uint16_t kAltProductId = 0xFF0B;

    // The backend must outlive the writer.
    explicit CWriter(IUsbLink& link);
    // Closes the device when it is open. No operation may be running.
    ~CWriter() override;

    // --- shared with the window ---
    std::atomic<bool> Busy{false}; // set by the operation starter, cleared by the worker
    bool WriteUserId = true;       // PIC18 configuration writes also write the ID locations
    bool DeviceIdCheck = true;     // the starter checks the chip's device ID first
    std::string Banner;            // the writer's identification banner

    // --- link handles; written only by Poll and the destructor (under the
    // link lock), read elsewhere only through IsOpen ---
    IUsbLink::Handle DeviceHandle = IUsbLink::kInvalidHandle;
    IUsbLink::Handle PipeOut = 0;
    IUsbLink::Handle PipeIn = 0;

    int ClockMHz = 4;     // writer clock from identification; picks the wait values
    uint32_t Version = 0; // writer version code; 0 = none
    int SocketPins = 0;   // pin count that socket selection uses
    std::atomic<int32_t> Progress{0};
    std::atomic<bool> AbortRequest{false};

    // --- link (owner's thread) ---
    // Opens the writer when it is not open (then idles and identifies it), or
    // checks that it is still attached and closes it when it has gone. True
    // when the writer is open and attached after the call. While an operation
    // started on a link that has gone is still ending, it does not reopen.
    bool Poll();
    // True while the link is open and not known to be gone. Any thread.
    bool IsOpen() const;

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
    // (nothing sent), went down before the end, or a packet could not be
    // written. ---
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
    uint16_t WaitValue(unsigned ms) const;

    // --- diagnostics ---
    // Replaces the trace hook (empty = none).
    void SetTraceHook(TraceHook hook);
    // Answers that brought fewer bytes than the packet's read commands give
    // (the missing bytes read as 0), and packets whose write failed.
    uint32_t ShortAnswerCount() const { return m_shortAnswers.load(); }
    uint32_t FailedWriteCount() const { return m_failedWrites.load(); }

private:
    // The bytes of one answer; bytes that did not arrive are 0.
    struct CAnswer {
        std::array<uint8_t, writer_packet::kMaxAnswer> Bytes{};
        size_t Received = 0;
        uint8_t operator[](size_t i) const { return i < Bytes.size() ? Bytes[i] : 0; }
    };

    // Counts a running operation in for its lifetime (see the header comment).
    class COperationScope {
    public:
        explicit COperationScope(CWriter& writer) : m_writer(writer) {
            m_writer.m_operations.fetch_add(1);
            m_started = m_writer.IsOpen();
            m_failedWritesAtStart = m_writer.m_failedWrites.load();
        }
        ~COperationScope() { m_writer.m_operations.fetch_sub(1); }
        COperationScope(const COperationScope&) = delete;
        COperationScope& operator=(const COperationScope&) = delete;
        bool Started() const { return m_started; }
        // True when the link stayed up to the end and every packet went out.
        bool Finished() const {
            return m_writer.IsOpen() && m_writer.m_failedWrites.load() == m_failedWritesAtStart;
        }

    private:
        CWriter& m_writer;
        bool m_started = false;
        uint32_t m_failedWritesAtStart = 0;
    };

    // --- link ---
    // One packet exchange. False (nothing sent) when the link is down or the
    // packet overflowed; the answer is then all zeros.
    bool Exchange(const CPacket& packet, size_t answerMax, CAnswer* answer = nullptr);
    // A host-side pause, skipped once the link is down.
    void HostWait(unsigned ms);
    void CloseLink();

    // --- control packets without the open test ---
    void SendControlCode(uint8_t code);
    void SendSocket(int pinCount);
    void SendEntry();
    void SendExit();
    void SendIdle();
    void AddProgress(int32_t amount) { Progress.fetch_add(amount); }
    // True while a data loop may start its next block.
    bool MayContinue() const { return !AbortRequest.load() && IsOpen(); }

    template <typename Routine> void Framed(Routine&& routine) {
        SendSocket(SocketPins);
        SendEntry();
        routine();
        SendExit();
    }

    // --- sizes clipped to the image buffers and the packets' room ---
    size_t ProgramLimit() const;
    size_t EepromLimit() const;

    // --- mid-range engine ---
    uint8_t MidEndCommand() const;
    int MidConfigWords() const;
    int MidRowBytes() const;
    uint32_t MidCalAddress() const;
    uint32_t MidImageWord(size_t byteOffset) const;
    void MidDeviceIdStep();
    void MidAdvance(uint32_t n);
    void MidWordWrite(uint32_t word);
    void MidLatchWrite(const uint32_t* words, size_t count, int32_t progress);
    void MidEraseCycle();
    void MidProtectedErase();
    void MidReadDeviceId();
    void MidReadConfig();
    void MidReadProgram();
    void MidReadEeprom();
    void MidReadCalibration();
    void MidWriteConfig(bool bProtect);
    void MidWriteProgram();
    void MidWriteEeprom();
    void MidWriteCalibration();
    bool MidEraseKnown() const;
    void MidErase();

    // --- PIC18 engine ---
    static void P18TablePointer(CPacket& packet, uint32_t address);
    void P18SetTablePointer(uint32_t address);
    void P18BlockRead(uint8_t* dest, size_t count);
    void P18DeviceIdStep();
    void P18SinglePanelSetup();
    void P18BlockWrite(uint32_t address, const uint8_t* data, size_t count);
    void P18ReadDeviceId();
    void P18ReadConfig();
    void P18ReadProgram();
    void P18ReadEeprom();
    void P18WriteConfig(bool bProtect);
    void P18WriteProgram();
    void P18WriteEeprom();
    bool P18EraseKnown() const;
    void P18Erase();

    IUsbLink& m_link;
    mutable std::mutex m_linkMutex; // serialises exchanges and the close
    std::atomic<bool> m_linkUp{false};
    std::atomic<int> m_operations{0};
    TraceHook m_trace;
    std::atomic<uint32_t> m_shortAnswers{0};
    std::atomic<uint32_t> m_failedWrites{0};
};
