#include "tests/usb/UsbdevfsDevice.h"

#include <umockdev.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

namespace {

// What a current kernel offers; REAP_AFTER_DISCONNECT matters: the host may
// collect its URBs after an unplug instead of losing them.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr long kUsbSpeedFull = 2;
constexpr char kUsbfs[] = "usbfs";

// GLib hands a device's handler to umockdev's worker thread in a way that
// ThreadSanitizer cannot see; this makes the hand-over visible to it.
std::atomic<uint64_t> g_handedOver{0};

// The host's memory behind a pointer in the argument, copied here; nullptr
// when it cannot be read. The reference belongs to the caller.
UMockdevIoctlData* Resolve(UMockdevIoctlData* parent, size_t offset, size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(parent, offset, length, &error);
    if (error != nullptr) {
        g_error_free(error);
        if (data != nullptr) {
            g_object_unref(data);
        }
        return nullptr;
    }
    return data;
}

template <class T> T* As(UMockdevIoctlData* data) {
    return reinterpret_cast<T*>(data->data);
}

} // namespace

CUsbdevfsDevice::CUsbdevfsDevice(CUsbDeviceLayout layout) : m_layout(std::move(layout)) {
    for (const CUsbInterface& intf : m_layout.Interfaces) {
        if (!intf.KernelDriver.empty()) {
            m_drivers[intf.Number] = intf.KernelDriver;
        }
    }
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect_data(m_handler, "handle-ioctl", reinterpret_cast<GCallback>(&CUsbdevfsDevice::OnIoctl),
                          this, nullptr, G_CONNECT_DEFAULT);
}

CUsbdevfsDevice::~CUsbdevfsDevice() {
    g_signal_handlers_disconnect_by_data(m_handler, this);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_clients) {
        Drop(entry.second.Pending);
        Drop(entry.second.Done);
        g_object_unref(entry.first);
    }
    g_object_unref(m_handler);
}

void CUsbdevfsDevice::SetWithoutDisconnectClaim(bool without) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_withoutDisconnectClaim = without;
}

void CUsbdevfsDevice::Attach(const std::string& devnode) {
    g_handedOver.fetch_add(1, std::memory_order_release);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devnode = devnode;
    m_attached = true;
    m_unplugRequested = false;
    m_drivers.clear();
    for (const CUsbInterface& intf : m_layout.Interfaces) {
        if (!intf.KernelDriver.empty()) {
            m_drivers[intf.Number] = intf.KernelDriver;
        }
    }
    OnAttached();
}

void CUsbdevfsDevice::Detach() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_attached) {
        return;
    }
    m_attached = false;
    for (auto& entry : m_clients) {
        CClient& c = entry.second;
        while (!c.Pending.empty()) {
            CUrb urb = std::move(c.Pending.front());
            c.Pending.pop_front();
            urb.Status = -ESHUTDOWN;
            urb.Actual = 0;
            c.Done.push_back(std::move(urb));
        }
        c.Claimed.clear();
    }
    OnDetached();
}

bool CUsbdevfsDevice::Attached() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attached;
}

std::string CUsbdevfsDevice::Devnode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_devnode;
}

void CUsbdevfsDevice::SetUnplugHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugHook = std::move(hook);
}

CUsbdevfsCounters CUsbdevfsDevice::Counters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counters;
}

std::string CUsbdevfsDevice::Driver(uint8_t interface) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_clients) {
        if (!Stale(entry.second) && entry.second.Claimed.count(interface) != 0) {
            return kUsbfs;
        }
    }
    const auto it = m_drivers.find(interface);
    return it == m_drivers.end() ? "" : it->second;
}

// --- requests ---

int CUsbdevfsDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    g_handedOver.load(std::memory_order_acquire);
    auto* device = static_cast<CUsbdevfsDevice*>(self);
    std::function<void()> unplug;
    long result = 0;
    {
        std::lock_guard<std::mutex> lock(device->m_mutex);
        result = device->HandleLocked(client, umockdev_ioctl_client_get_request(client),
                                      umockdev_ioctl_client_get_arg(client));
        if (device->m_unplugRequested && device->m_attached) {
            device->m_unplugRequested = false;
            unplug = device->m_unplugHook;
        }
    }
    if (result < 0) {
        umockdev_ioctl_client_complete(client, -1, static_cast<int>(-result));
    } else {
        umockdev_ioctl_client_complete(client, result, 0);
    }
    if (unplug) {
        unplug();
    }
    return TRUE;
}

CUsbdevfsDevice::CClient& CUsbdevfsDevice::ClientLocked(UMockdevIoctlClient* client) {
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        if (it->first != client && !umockdev_ioctl_client_get_connected(it->first)) {
            Drop(it->second.Pending);
            Drop(it->second.Done);
            g_object_unref(it->first);
            it = m_clients.erase(it);
        } else {
            ++it;
        }
    }
    auto found = m_clients.find(client);
    if (found == m_clients.end()) {
        g_object_ref(client);
        found = m_clients.emplace(client, CClient{}).first;
        found->second.Devnode = umockdev_ioctl_client_get_devnode(client);
    }
    return found->second;
}

long CUsbdevfsDevice::HandleLocked(UMockdevIoctlClient* client, unsigned long request,
                                   UMockdevIoctlData* arg) {
    CClient& c = ClientLocked(client);
    const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    if (Stale(c) && !reap) {
        m_counters.StaleRequests++;
        return -ENODEV;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        // Every open asks first: a fresh start for this connection.
        Drop(c.Pending);
        Drop(c.Done);
        c.Claimed.clear();
        m_counters.Opens++;
        UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(uint32_t));
        if (caps == nullptr) {
            return -EFAULT;
        }
        *As<uint32_t>(caps) = kCapabilities;
        g_object_unref(caps);
        return 0;
    }
    case USBDEVFS_GET_SPEED:
        return kUsbSpeedFull;
    case USBDEVFS_SUBMITURB:
        return Submit(c, arg);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        return Reap(c, arg);
    case USBDEVFS_DISCARDURB:
        return Discard(c, arg);
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        UMockdevIoctlData* number = Resolve(arg, 0, sizeof(uint32_t));
        if (number == nullptr) {
            return -EFAULT;
        }
        const uint32_t interface = *As<uint32_t>(number);
        g_object_unref(number);
        if (request == USBDEVFS_CLAIMINTERFACE) {
            return Claim(c, interface);
        }
        if (interface > 0xFF || c.Claimed.erase(static_cast<uint8_t>(interface)) == 0) {
            return -EINVAL;
        }
        m_counters.Releases++;
        return 0;
    }
    case USBDEVFS_DISCONNECT_CLAIM:
        if (m_withoutDisconnectClaim) {
            m_counters.UnknownRequests++;
            return -ENOTTY;
        }
        return DisconnectClaim(c, arg);
    case USBDEVFS_GETDRIVER:
        return GetDriver(arg);
    case USBDEVFS_IOCTL:
        return DriverIoctl(c, arg);
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
        return 0;
    default:
        m_counters.UnknownRequests++;
        return -ENOTTY;
    }
}

long CUsbdevfsDevice::Submit(CClient& c, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (data == nullptr) {
        return -EFAULT;
    }
    const usbdevfs_urb* urb = As<usbdevfs_urb>(data);
    CUrb entry;
    entry.Data = data;
    entry.Type = urb->type;
    entry.Endpoint = urb->endpoint;
    const int length = urb->buffer_length;

    uint8_t interface = 0;
    const CUsbEndpoint* ep = FindEndpoint(urb->endpoint, &interface);
    long refusal = 0;
    if (ep == nullptr) {
        refusal = -ENOENT;
    } else if (length < 0 ||
               (urb->type != USBDEVFS_URB_TYPE_BULK && urb->type != USBDEVFS_URB_TYPE_INTERRUPT) ||
               (urb->type == USBDEVFS_URB_TYPE_BULK) != (ep->Type() == kUsbBulk)) {
        refusal = -EINVAL;
    } else if (c.Claimed.count(interface) == 0) {
        // The kernel claims the interface for the host on its first URB.
        refusal = Claim(c, interface);
    }
    if (refusal == 0 && !ep->IsIn() && length > 0) {
        UMockdevIoctlData* buffer =
            Resolve(data, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(length));
        if (buffer == nullptr) {
            refusal = -EFAULT;
        } else {
            entry.Out.assign(buffer->data, buffer->data + length);
            g_object_unref(buffer);
        }
    }
    if (refusal != 0) {
        m_counters.RefusedSubmits++;
        g_object_unref(data);
        return refusal;
    }
    m_counters.Submits++;
    c.Pending.push_back(std::move(entry));
    Serve(c);
    return 0;
}

void CUsbdevfsDevice::Serve(CClient& c) {
    if (Stale(c)) {
        return;
    }
    // In order of submission per endpoint: a URB waits for the ones before it
    // on the same endpoint.
    std::set<uint8_t> blocked;
    for (auto it = c.Pending.begin(); it != c.Pending.end();) {
        CUrb& urb = *it;
        if (blocked.count(urb.Endpoint) != 0) {
            ++it;
            continue;
        }
        bool served = false;
        const int length = As<usbdevfs_urb>(urb.Data)->buffer_length;
        if ((urb.Endpoint & kUsbDirIn) == 0) {
            served = OnBulkOut(urb.Endpoint, urb.Out);
            if (served) {
                urb.Actual = length;
            }
        } else {
            std::vector<uint8_t> answer;
            served = TakeBulkIn(urb.Endpoint, answer);
            if (served) {
                if (answer.size() > static_cast<size_t>(length)) {
                    // More than the host asked for: the transfer babbles.
                    answer.resize(static_cast<size_t>(length));
                    urb.Status = -EOVERFLOW;
                }
                urb.Actual = static_cast<int>(answer.size());
                urb.In = std::move(answer);
            }
        }
        if (served) {
            c.Done.push_back(std::move(urb));
            it = c.Pending.erase(it);
        } else {
            blocked.insert(urb.Endpoint);
            ++it;
        }
    }
}

long CUsbdevfsDevice::Reap(CClient& c, UMockdevIoctlData* arg) {
    Serve(c);
    if (c.Done.empty()) {
        m_counters.EmptyReaps++;
        return Stale(c) ? -ENODEV : -EAGAIN;
    }
    UMockdevIoctlData* slot = Resolve(arg, 0, sizeof(void*));
    if (slot == nullptr) {
        return -EFAULT;
    }
    CUrb urb = std::move(c.Done.front());
    c.Done.pop_front();
    usbdevfs_urb* fields = As<usbdevfs_urb>(urb.Data);
    fields->status = urb.Status;
    fields->actual_length = urb.Actual;
    if (!urb.In.empty()) {
        UMockdevIoctlData* buffer =
            Resolve(urb.Data, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(fields->buffer_length));
        if (buffer != nullptr) {
            std::memcpy(buffer->data, urb.In.data(), urb.In.size());
            g_object_unref(buffer);
        }
    }
    umockdev_ioctl_data_set_ptr(slot, 0, urb.Data);
    g_object_unref(slot);
    g_object_unref(urb.Data);
    m_counters.Reaps++;
    return 0;
}

long CUsbdevfsDevice::Discard(CClient& c, UMockdevIoctlData* arg) {
    // The argument is the URB's address in the host program.
    const auto address = *reinterpret_cast<const gulong*>(arg->data);
    for (auto it = c.Pending.begin(); it != c.Pending.end(); ++it) {
        if (it->Data->client_addr == address) {
            CUrb urb = std::move(*it);
            c.Pending.erase(it);
            urb.Status = -ENOENT;
            urb.Actual = 0;
            c.Done.push_back(std::move(urb));
            m_counters.Discards++;
            return 0;
        }
    }
    return -EINVAL; // already completed: it is waiting to be reaped
}

long CUsbdevfsDevice::Claim(CClient& c, uint32_t interface) {
    if (FindInterface(interface) == nullptr) {
        return -ENOENT;
    }
    const auto number = static_cast<uint8_t>(interface);
    if (c.Claimed.count(number) != 0) {
        return 0;
    }
    if (m_drivers.count(number) != 0 || ClaimedByOther(c, number)) {
        return -EBUSY;
    }
    c.Claimed.insert(number);
    m_counters.Claims++;
    return 0;
}

long CUsbdevfsDevice::DisconnectClaim(CClient& c, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_disconnect_claim));
    if (data == nullptr) {
        return -EFAULT;
    }
    usbdevfs_disconnect_claim request = *As<usbdevfs_disconnect_claim>(data);
    g_object_unref(data);
    request.driver[sizeof request.driver - 1] = '\0';
    if (FindInterface(request.interface) == nullptr) {
        return -EINVAL;
    }
    const auto number = static_cast<uint8_t>(request.interface);
    const auto bound = m_drivers.find(number);
    if (bound != m_drivers.end()) {
        const bool named = bound->second == request.driver;
        const bool keep = ((request.flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) != 0 && !named) ||
                          ((request.flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) != 0 && named);
        if (!keep) {
            m_drivers.erase(bound);
            m_counters.DriverDetaches++;
        }
    }
    return Claim(c, number);
}

long CUsbdevfsDevice::DriverIoctl(CClient& c, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
    if (data == nullptr) {
        return -EFAULT;
    }
    const usbdevfs_ioctl command = *As<usbdevfs_ioctl>(data);
    g_object_unref(data);
    if (command.ifno < 0 || FindInterface(static_cast<uint32_t>(command.ifno)) == nullptr) {
        return -EINVAL;
    }
    const auto number = static_cast<uint8_t>(command.ifno);
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_DISCONNECT) {
        if (m_drivers.erase(number) == 0) {
            return -ENODATA;
        }
        m_counters.DriverDetaches++;
        return 0;
    }
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_CONNECT) {
        const CUsbInterface* intf = FindInterface(number);
        if (c.Claimed.count(number) != 0 || ClaimedByOther(c, number)) {
            return -EBUSY;
        }
        if (!intf->KernelDriver.empty() && m_drivers.count(number) == 0) {
            m_drivers[number] = intf->KernelDriver;
            m_counters.DriverAttaches++;
        }
        return 0;
    }
    m_counters.UnknownRequests++;
    return -ENOTTY;
}

long CUsbdevfsDevice::GetDriver(UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
    if (data == nullptr) {
        return -EFAULT;
    }
    usbdevfs_getdriver* request = As<usbdevfs_getdriver>(data);
    std::string name;
    for (const auto& entry : m_clients) {
        if (!Stale(entry.second) && request->interface <= 0xFF &&
            entry.second.Claimed.count(static_cast<uint8_t>(request->interface)) != 0) {
            name = kUsbfs;
        }
    }
    const auto bound = request->interface <= 0xFF ? m_drivers.find(static_cast<uint8_t>(request->interface))
                                                  : m_drivers.end();
    if (name.empty() && bound != m_drivers.end()) {
        name = bound->second;
    }
    long result = -ENODATA;
    if (!name.empty()) {
        std::memset(request->driver, 0, sizeof request->driver);
        std::memcpy(request->driver, name.data(), std::min(name.size(), sizeof request->driver - 1));
        result = 0;
    }
    g_object_unref(data);
    return result;
}

// --- helpers ---

const CUsbEndpoint* CUsbdevfsDevice::FindEndpoint(uint8_t address, uint8_t* interface) const {
    for (const CUsbInterface& intf : m_layout.Interfaces) {
        for (const CUsbEndpoint& ep : intf.Endpoints) {
            if (ep.Address == address) {
                *interface = intf.Number;
                return &ep;
            }
        }
    }
    return nullptr;
}

const CUsbInterface* CUsbdevfsDevice::FindInterface(uint32_t number) const {
    for (const CUsbInterface& intf : m_layout.Interfaces) {
        if (intf.Number == number) {
            return &intf;
        }
    }
    return nullptr;
}

bool CUsbdevfsDevice::ClaimedByOther(const CClient& c, uint8_t interface) const {
    for (const auto& entry : m_clients) {
        if (&entry.second != &c && !Stale(entry.second) && entry.second.Claimed.count(interface) != 0) {
            return true;
        }
    }
    return false;
}

void CUsbdevfsDevice::Drop(std::deque<CUrb>& urbs) {
    for (CUrb& urb : urbs) {
        g_object_unref(urb.Data);
    }
    urbs.clear();
}
