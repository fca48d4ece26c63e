// The boundary to the USB library.
//
// The writer is a USB device with two bulk pipes. This interface offers what
// the rest of the system relies on: open by vendor and product id (with a
// handle value that means failure), open the OUT pipe (1) and the IN pipe (0),
// write a whole packet, read an answer up to a maximum length, a presence
// check, and a close. CWriter reaches the writer only through it.
//
// Threads: CWriter never runs two transfers at once and never closes while a
// transfer runs. CheckPresence, however, is called from the UI thread's timer
// while a worker may be in the middle of a transfer, so backends must allow
// that one call concurrently with WritePipe/ReadPipe/HostDelay.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

class IUsbLink {
public:
    using Handle = int32_t;
    static constexpr Handle kInvalidHandle = -1;
    static constexpr int kPipeOut = 1; // host to writer
    static constexpr int kPipeIn = 0;  // writer to host

    // Every backend gives up on a transfer after this long; a transfer that
    // times out has failed. The longest packet the engines send holds at
    // most 16 timed waits (64 bytes, 4 bytes each). One wait lasts at most
    // 65536 counts at a quarter of the writer's clock: 65.5 ms at the slowest
    // clock of 4 MHz, so no answer can take more than 16 x 65.5 ms = 1.05 s to
    // come (the real recipes stay far below: a packet of 10 ms waits at 4 MHz
    // would be 160 ms). Two seconds leaves room for bus scheduling on top.
    static constexpr unsigned kTransferTimeoutMs = 2000;

    virtual ~IUsbLink() = default;

    // Opens the writer with these identifiers; kInvalidHandle when no such
    // device can be opened.
    virtual Handle OpenDevice(uint16_t vendorId, uint16_t productId) = 0;
    // A handle for one pipe of an open device (kPipeOut or kPipeIn).
    virtual Handle OpenPipe(Handle device, int pipe) = 0;
    // Writes one whole packet in one transfer; false when it failed.
    virtual bool WritePipe(Handle pipe, const uint8_t* data, size_t length) = 0;
    // Reads one answer of at most maxLength bytes into buffer; returns the
    // number of bytes that came (0 when the transfer failed).
    virtual size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) = 0;
    // ReadPipe that also tells a read that failed (it timed out, the device
    // went, the system refused it) from an answer of no bytes: `failed` is
    // then true. The link counts failed reads to notice a writer that stays
    // attached but no longer answers. A backend that cannot tell the two apart
    // keeps this default, under which no read ever counts as failed.
    virtual size_t ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
        failed = false;
        return ReadPipe(pipe, buffer, maxLength);
    }
    // Reads and drops whatever answers are waiting on the IN pipe, waiting
    // up to waitMs for each; returns how many answers (of at least one byte)
    // it dropped. After a read that timed out, the writer's late answer may
    // still come: left there, it would be taken as the answer to the next
    // packet. The default drops nothing (a backend without such answers).
    virtual size_t DrainPipe(Handle pipe, unsigned waitMs) {
        (void)pipe, (void)waitMs;
        return 0;
    }
    // 0 while the device is attached; any other value once it has gone.
    virtual int CheckPresence(Handle device) = 0;
    // Releases the device and both of its pipes.
    virtual void CloseDevice(Handle device) = 0;

    // A host-side pause between packets (the engine's own waits, such as the
    // 20 ms after a word write to a chip without device ID). Hardware backends
    // sleep; the simulated writer advances its own clock instead.
    virtual void HostDelay(unsigned milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};
