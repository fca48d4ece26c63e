// The WinUSB backend of the writer link (Windows).
//
// The writer is found by its device interface: every interface the system
// lists for the writer's interface class (and the classes a driver of a
// device with the wanted identifiers registered) is a candidate, and its path
// ("\\?\usb#vid_0ade&pid_0010#...#{class}") tells the identifiers. A candidate
// with the identifiers asked for is opened; its first bulk OUT and first bulk
// IN pipe, from the interface descriptor, become pipe 1 (OUT) and pipe 0 (IN),
// each with the same transfer time-out as every backend (kTransferTimeoutMs).
// A candidate that cannot be opened is tried again a second later.
//
// Looking costs no scan on every timer tick: where the system sends notice of
// device changes, the interfaces are listed again after one (and every ten
// seconds, should a notice ever be lost); otherwise at most once a second, for
// opening and for the presence check alike. An open
// writer has gone when its interface is no longer listed, or at once when a
// transfer reports the device gone.
//
// Threads: CheckPresence may run while another thread is inside WritePipe or
// ReadPipe; OpenDevice and CloseDevice are never called during a transfer.
#pragma once

#include "writer/usb_link/UsbLink.h"
#include "writer/usb_link/WinUsbApi.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

// The identifiers in a device interface path ("vid_XXXX&pid_XXXX", letters
// of either case); false when the path holds none.
bool ParseUsbIdPair(std::string_view path, CUsbIdPair& ids);

// A class GUID in its registry form, with or without braces.
bool ParseInterfaceGuid(std::string_view text, CInterfaceGuid& guid);

// The first bulk OUT and the first bulk IN pipe; false unless both exist.
bool ChooseBulkPipes(const std::vector<CWinUsbPipe>& pipes, CWinUsbPipe& out, CWinUsbPipe& in);

class CWinUsbLink final : public IUsbLink {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kRescanInterval = std::chrono::seconds(1);
    static constexpr Clock::duration kNotifiedRescanInterval = std::chrono::seconds(10);
    // An IN pipe that reports no packet size is read 64 bytes at a time.
    static constexpr uint16_t kDefaultPacketSize = 64;
    // DrainPipe reads off at most this many waiting answers at one time.
    static constexpr unsigned kMaxDrainedAnswers = 16;

    // `now` stands in for the steady clock in tests.
    explicit CWinUsbLink(std::unique_ptr<IWinUsbApi> api, std::function<Clock::time_point()> now = {});
    ~CWinUsbLink() override;
    CWinUsbLink(const CWinUsbLink&) = delete;
    CWinUsbLink& operator=(const CWinUsbLink&) = delete;

    // Device changes come as notices from the system.
    bool HasDeviceNotification() const;
    // Listings of the device interfaces made so far (for tests and traces).
    unsigned ScanCount() const;

    Handle OpenDevice(uint16_t vendorId, uint16_t productId) override;
    Handle OpenPipe(Handle device, int pipe) override;
    bool WritePipe(Handle pipe, const uint8_t* data, size_t length) override;
    size_t ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) override;
    size_t ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) override;
    size_t DrainPipe(Handle pipe, unsigned waitMs) override;
    int CheckPresence(Handle device) override;
    void CloseDevice(Handle device) override;

    struct CState;

private:
    std::unique_ptr<CState> m_state;
};
