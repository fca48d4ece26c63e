// A USB device behind a usbdevfs node of the umockdev testbed.
//
// libusb's Linux backend talks to a device through ioctls on its node in
// /dev/bus/usb: it submits URBs, reaps them when they have completed,
// discards them when they time out, claims interfaces and detaches kernel
// drivers. With umockdev's preload library every such ioctl of a host
// program arrives here, on umockdev's worker thread, and is answered the way
// the kernel answers it for a device with these descriptors:
//  - URBs complete when the device takes an OUT packet or has an IN answer;
//    until then they stay pending and a reap finds nothing (EAGAIN), so a
//    silent device runs the host into its own time-out, and the discard that
//    follows completes the URB with -ENOENT;
//  - an interface held by a kernel driver cannot be claimed (EBUSY) until
//    the driver is detached (DISCONNECT_CLAIM, or GETDRIVER and the
//    DISCONNECT ioctl on kernels without it);
//  - once the device is unplugged, pending URBs complete with -ESHUTDOWN,
//    completed ones can still be reaped, and every other request fails with
//    ENODEV, also for a host that still holds the old node open.
// What the device does with its packets is the subclass's part.
//
// Threads: the request handlers run on umockdev's worker thread; the public
// calls may come from any thread. One mutex guards all state, and the
// subclass hooks run with it held.
#pragma once

#include "tests/usb/UsbDescriptors.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

struct CUsbdevfsCounters {
    uint64_t Opens = 0;           // host programs that opened the node (capabilities asked)
    uint64_t Claims = 0;          // interfaces claimed
    uint64_t Releases = 0;        // interfaces released
    uint64_t DriverDetaches = 0;  // kernel drivers unbound on the host's request
    uint64_t DriverAttaches = 0;  // kernel drivers bound again on the host's request
    uint64_t Submits = 0;         // URBs submitted and accepted
    uint64_t RefusedSubmits = 0;  // URBs refused at submission
    uint64_t Reaps = 0;           // URBs handed back
    uint64_t EmptyReaps = 0;      // reaps that found nothing
    uint64_t Discards = 0;        // pending URBs cancelled by the host
    uint64_t UnknownRequests = 0; // ioctls this model does not answer (ENOTTY)
    uint64_t StaleRequests = 0;   // requests on a node whose device has gone
};

class CUsbdevfsDevice {
public:
    explicit CUsbdevfsDevice(CUsbDeviceLayout layout);
    virtual ~CUsbdevfsDevice();
    CUsbdevfsDevice(const CUsbdevfsDevice&) = delete;
    CUsbdevfsDevice& operator=(const CUsbdevfsDevice&) = delete;

    const CUsbDeviceLayout& Layout() const { return m_layout; }
    UMockdevIoctlBase* Handler() const { return m_handler; }

    // Kernels before 3.15 lack USBDEVFS_DISCONNECT_CLAIM (ENOTTY); the host
    // then detaches with GETDRIVER and the DISCONNECT ioctl.
    void SetWithoutDisconnectClaim(bool without);

    // --- the bus (the testbed calls these) ---
    // The device has arrived at this node; it starts from power-on.
    void Attach(const std::string& devnode);
    // The device has gone: see the header comment.
    void Detach();
    bool Attached() const;
    std::string Devnode() const;
    // Called (without the lock, on the worker thread) when the device asks
    // to be unplugged by itself; the testbed then removes it from the bus.
    void SetUnplugHook(std::function<void()> hook);

    CUsbdevfsCounters Counters() const;
    // The kernel driver now bound to the interface ("usbfs" while a host has
    // claimed it, "" for none).
    std::string Driver(uint8_t interface) const;

protected:
    // --- the device's function; all run with m_mutex held ---
    // A bulk OUT packet has come in. False leaves it unaccepted (NAK); the
    // host's URB then stays pending and it is offered again later.
    virtual bool OnBulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) = 0;
    // The answer for the next IN packet on this endpoint, if the device has
    // one ready now.
    virtual bool TakeBulkIn(uint8_t endpoint, std::vector<uint8_t>& data) = 0;
    virtual void OnAttached() {}
    virtual void OnDetached() {}
    // From a hook: the cable goes once the current request is answered.
    void RequestUnplug() { m_unplugRequested = true; }

    mutable std::mutex m_mutex;

private:
    struct CUrb {
        UMockdevIoctlData* Data = nullptr; // one reference held
        uint8_t Type = 0;
        uint8_t Endpoint = 0;
        std::vector<uint8_t> Out;
        std::vector<uint8_t> In;
        int Status = 0;
        int Actual = 0;
    };
    struct CClient {
        std::string Devnode;
        std::deque<CUrb> Pending;
        std::deque<CUrb> Done;
        std::set<uint8_t> Claimed;
    };

    static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    // The state of this connection, after forgetting connections that the
    // host has closed (closing a node releases its claims and URBs).
    CClient& ClientLocked(UMockdevIoctlClient* client);
    // Answers one request; returns the ioctl's result (-errno on failure).
    long HandleLocked(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg);
    long Submit(CClient& c, UMockdevIoctlData* arg);
    long Reap(CClient& c, UMockdevIoctlData* arg);
    long Discard(CClient& c, UMockdevIoctlData* arg);
    long Claim(CClient& c, uint32_t interface);
    long DisconnectClaim(CClient& c, UMockdevIoctlData* arg);
    long DriverIoctl(CClient& c, UMockdevIoctlData* arg);
    long GetDriver(UMockdevIoctlData* arg);
    // Moves pending URBs that the device can serve now to the done list.
    void Serve(CClient& c);
    bool Stale(const CClient& c) const { return !m_attached || c.Devnode != m_devnode; }
    const CUsbEndpoint* FindEndpoint(uint8_t address, uint8_t* interface) const;
    const CUsbInterface* FindInterface(uint32_t number) const;
    bool ClaimedByOther(const CClient& c, uint8_t interface) const;
    static void Drop(std::deque<CUrb>& urbs);

    CUsbDeviceLayout m_layout;
    UMockdevIoctlBase* m_handler = nullptr;
    bool m_withoutDisconnectClaim = false;
    bool m_attached = false;
    bool m_unplugRequested = false;
    std::string m_devnode;
    std::map<uint8_t, std::string> m_drivers;          // interface -> bound kernel driver
    std::map<UMockdevIoctlClient*, CClient> m_clients; // one reference held on each client
    std::function<void()> m_unplugHook;
    CUsbdevfsCounters m_counters;
};
