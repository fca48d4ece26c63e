// libusb-1.0 backend; the only file that includes <libusb.h>.
#include "writer/usb_link/LibUsbLink.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRescanInterval = std::chrono::seconds(1);
constexpr int kDefaultPacketSize = 64;

// Sixteen waits of the longest count (65536) at a quarter of a 4 MHz clock.
constexpr unsigned kLongestPacketMs = 16 * 65536 / 1000 + 1;
static_assert(CLibUsbLink::kTransferTimeoutMs > kLongestPacketMs);

struct COpenDevice {
    libusb_device_handle* Handle = nullptr;
    libusb_device* Device = nullptr; // owned by Handle
    uint8_t Bus = 0;
    uint8_t Address = 0;
    int Interface = -1;
    unsigned char EndpointOut = 0;
    unsigned char EndpointIn = 0;
    int InPacketSize = kDefaultPacketSize;
    std::atomic<bool> Gone{false};
};

// A device with one of the identifiers asked for, known to be attached.
struct CCandidate {
    uint16_t VendorId = 0;
    uint16_t ProductId = 0;
    libusb_device* Device = nullptr; // one reference held
    Clock::time_point RetryAfter{};
};

using IdPair = std::pair<uint16_t, uint16_t>;

} // namespace

struct CLibUsbLink::CState {
    libusb_context* Context = nullptr;
    unsigned TimeoutMs = CLibUsbLink::kTransferTimeoutMs;
    std::atomic<bool> Hotplug{false};

    std::mutex Mutex; // guards everything below; never held across event handling or transfers
    std::map<IUsbLink::Handle, std::shared_ptr<COpenDevice>> Devices;
    IUsbLink::Handle NextHandle = 1;
    std::vector<IdPair> Wanted;
    std::vector<libusb_hotplug_callback_handle> Callbacks;
    std::vector<CCandidate> Candidates;
    bool Scanned = false;
    Clock::time_point LastScan{};
    Clock::time_point LastPresenceScan{};
    std::atomic<unsigned> Scans{0};

    std::shared_ptr<COpenDevice> Find(IUsbLink::Handle device) {
        std::lock_guard<std::mutex> lock(Mutex);
        auto it = Devices.find(device);
        return it == Devices.end() ? nullptr : it->second;
    }

    void PumpEvents() {
        if (Hotplug.load()) {
            timeval zero{0, 0};
            libusb_handle_events_timeout_completed(Context, &zero, nullptr);
        }
    }

    void DropCandidates() {
        for (CCandidate& c : Candidates) {
            libusb_unref_device(c.Device);
        }
        Candidates.clear();
    }

    // Called with Mutex held.
    void Rescan() {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(Context, &list);
        Scans.fetch_add(1);
        Scanned = true;
        LastScan = Clock::now();
        DropCandidates();
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor desc{};
            if (libusb_get_device_descriptor(list[i], &desc) != 0) {
                continue;
            }
            const IdPair id{desc.idVendor, desc.idProduct};
            if (std::find(Wanted.begin(), Wanted.end(), id) != Wanted.end()) {
                Candidates.push_back({desc.idVendor, desc.idProduct, libusb_ref_device(list[i]), {}});
            }
        }
        if (list != nullptr) {
            libusb_free_device_list(list, 1);
        }
    }
};

namespace {

int LIBUSB_CALL OnHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* user) {
    auto* state = static_cast<CLibUsbLink::CState*>(user);
    std::lock_guard<std::mutex> lock(state->Mutex);
    if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(device, &desc) == 0) {
            state->Candidates.push_back({desc.idVendor, desc.idProduct, libusb_ref_device(device), {}});
        }
        return 0;
    }
    auto& c = state->Candidates;
    for (auto it = c.begin(); it != c.end();) {
        if (it->Device == device) {
            libusb_unref_device(it->Device);
            it = c.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& entry : state->Devices) {
        if (entry.second->Device == device) {
            entry.second->Gone.store(true);
        }
    }
    return 0;
}

// Finds the bulk pipes and claims their interface; false leaves nothing claimed.
bool SetUp(COpenDevice& d) {
    libusb_set_auto_detach_kernel_driver(d.Handle, 1); // not supported everywhere; harmless then
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(d.Device, &config) != 0) {
        // An unconfigured device: take its first configuration.
        if (libusb_get_config_descriptor(d.Device, 0, &config) != 0) {
            return false;
        }
        libusb_set_configuration(d.Handle, config->bConfigurationValue);
    }
    for (int i = 0; i < config->bNumInterfaces && d.Interface < 0; ++i) {
        if (config->interface[i].num_altsetting < 1) {
            continue;
        }
        const libusb_interface_descriptor& alt = config->interface[i].altsetting[0];
        unsigned char out = 0;
        unsigned char in = 0;
        int inSize = kDefaultPacketSize;
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[e];
            if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
                continue;
            }
            if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
                if (in == 0) {
                    in = ep.bEndpointAddress;
                    inSize = ep.wMaxPacketSize > 0 ? ep.wMaxPacketSize : kDefaultPacketSize;
                }
            } else if (out == 0) {
                out = ep.bEndpointAddress;
            }
        }
        if (out != 0 && in != 0) {
            d.Interface = alt.bInterfaceNumber;
            d.EndpointOut = out;
            d.EndpointIn = in;
            d.InPacketSize = inSize;
        }
    }
    libusb_free_config_descriptor(config);
    if (d.Interface < 0) {
        return false;
    }
    if (libusb_claim_interface(d.Handle, d.Interface) != 0) {
        d.Interface = -1;
        return false;
    }
    return true;
}

constexpr IUsbLink::Handle PipeHandle(IUsbLink::Handle device, int pipe) {
    return device * 2 + pipe;
}

} // namespace

CLibUsbLink::CLibUsbLink() : CLibUsbLink(kTransferTimeoutMs) {}

CLibUsbLink::CLibUsbLink(unsigned transferTimeoutMs) : m_state(std::make_unique<CState>()) {
    m_state->TimeoutMs = transferTimeoutMs;
    if (libusb_init(&m_state->Context) != 0) {
        m_state->Context = nullptr;
        return;
    }
    m_state->Hotplug = libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0;
}

CLibUsbLink::~CLibUsbLink() {
    CState& s = *m_state;
    if (s.Context == nullptr) {
        return;
    }
    std::vector<Handle> open;
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        for (const auto& entry : s.Devices) {
            open.push_back(entry.first);
        }
    }
    for (Handle h : open) {
        CloseDevice(h);
    }
    for (libusb_hotplug_callback_handle cb : s.Callbacks) {
        libusb_hotplug_deregister_callback(s.Context, cb);
    }
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        s.DropCandidates();
    }
    libusb_exit(s.Context);
}

bool CLibUsbLink::Available() const {
    return m_state->Context != nullptr;
}

bool CLibUsbLink::HasHotplug() const {
    return m_state->Hotplug.load();
}

unsigned CLibUsbLink::ScanCount() const {
    return m_state->Scans.load();
}

IUsbLink::Handle CLibUsbLink::OpenDevice(uint16_t vendorId, uint16_t productId) {
    CState& s = *m_state;
    if (s.Context == nullptr) {
        return kInvalidHandle;
    }
    const IdPair id{vendorId, productId};
    bool newPair = false;
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        if (std::find(s.Wanted.begin(), s.Wanted.end(), id) == s.Wanted.end()) {
            s.Wanted.push_back(id);
            newPair = true;
        }
    }
    if (s.Hotplug.load()) {
        if (newPair) {
            // Registered outside the lock: with ENUMERATE the callback runs
            // at once for every matching device already attached.
            libusb_hotplug_callback_handle cb = 0;
            const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
            if (libusb_hotplug_register_callback(s.Context, events, LIBUSB_HOTPLUG_ENUMERATE, vendorId,
                                                 productId, LIBUSB_HOTPLUG_MATCH_ANY, OnHotplug, &s,
                                                 &cb) == LIBUSB_SUCCESS) {
                std::lock_guard<std::mutex> lock(s.Mutex);
                s.Callbacks.push_back(cb);
            } else {
                // Without its events this pair would never be found: scan
                // once a second instead, for every pair.
                s.Hotplug = false;
            }
        }
        s.PumpEvents();
    }

    std::vector<libusb_device*> tries;
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        if (!s.Hotplug.load() && (newPair || !s.Scanned || now - s.LastScan >= kRescanInterval)) {
            s.Rescan();
        }
        for (CCandidate& c : s.Candidates) {
            if (c.VendorId == vendorId && c.ProductId == productId && now >= c.RetryAfter) {
                // A device that could not be opened is tried again a second later.
                c.RetryAfter = now + kRescanInterval;
                tries.push_back(libusb_ref_device(c.Device));
            }
        }
    }

    Handle result = kInvalidHandle;
    for (libusb_device* device : tries) {
        if (result != kInvalidHandle) {
            libusb_unref_device(device);
            continue;
        }
        auto d = std::make_shared<COpenDevice>();
        if (libusb_open(device, &d->Handle) == 0) {
            d->Device = libusb_get_device(d->Handle);
            d->Bus = libusb_get_bus_number(d->Device);
            d->Address = libusb_get_device_address(d->Device);
            if (SetUp(*d)) {
                std::lock_guard<std::mutex> lock(s.Mutex);
                result = s.NextHandle++;
                s.Devices[result] = d;
                s.LastPresenceScan = now;
                for (CCandidate& c : s.Candidates) {
                    if (c.Device == device) {
                        c.RetryAfter = {};
                    }
                }
            } else {
                libusb_close(d->Handle);
            }
        }
        libusb_unref_device(device);
    }
    return result;
}

IUsbLink::Handle CLibUsbLink::OpenPipe(Handle device, int pipe) {
    if ((pipe != kPipeOut && pipe != kPipeIn) || m_state->Find(device) == nullptr) {
        return kInvalidHandle;
    }
    return PipeHandle(device, pipe);
}

bool CLibUsbLink::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    if (pipe < 0 || pipe % 2 != kPipeOut || data == nullptr) {
        return false;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load() || length > static_cast<size_t>(INT32_MAX)) {
        return false;
    }
    std::vector<unsigned char> bytes(data, data + length);
    int sent = 0;
    const int r = libusb_bulk_transfer(d->Handle, d->EndpointOut, bytes.data(), static_cast<int>(length),
                                       &sent, m_state->TimeoutMs);
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        d->Gone.store(true);
    }
    return r == 0 && static_cast<size_t>(sent) == length;
}

size_t CLibUsbLink::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    bool failed = false;
    return ReadAnswer(pipe, buffer, maxLength, failed);
}

size_t CLibUsbLink::ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
    // Everything but a completed transfer is a failed read; a completed one
    // may still carry no bytes (a zero-length packet).
    failed = true;
    if (pipe < 0 || pipe % 2 != kPipeIn || buffer == nullptr || maxLength == 0) {
        return 0;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load() || maxLength > static_cast<size_t>(INT32_MAX)) {
        return 0;
    }
    // Ask for at least one whole packet, so an answer longer than the caller
    // wants is cut here instead of failing as an overflow.
    std::vector<unsigned char> bytes(std::max(maxLength, static_cast<size_t>(d->InPacketSize)));
    int got = 0;
    const int r = libusb_bulk_transfer(d->Handle, d->EndpointIn, bytes.data(), static_cast<int>(bytes.size()),
                                       &got, m_state->TimeoutMs);
    if (r == LIBUSB_ERROR_NO_DEVICE) {
        d->Gone.store(true);
    }
    if (r != 0) {
        return 0;
    }
    failed = false;
    if (got <= 0) {
        return 0;
    }
    const size_t n = std::min(static_cast<size_t>(got), maxLength);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    return n;
}

size_t CLibUsbLink::DrainPipe(Handle pipe, unsigned waitMs) {
    if (pipe < 0 || pipe % 2 != kPipeIn) {
        return 0;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load()) {
        return 0;
    }
    // A stale answer is one short packet waiting in the device's IN endpoint
    // (a transfer that timed out was cancelled, so its data stays there for
    // the next IN token). Read them off with a short time-out until one comes
    // back empty-handed; the bound keeps a writer that streams without end
    // from holding the link.
    std::vector<unsigned char> bytes(static_cast<size_t>(d->InPacketSize));
    size_t dropped = 0;
    for (unsigned i = 0; i < kMaxDrainedAnswers; ++i) {
        int got = 0;
        const int r = libusb_bulk_transfer(d->Handle, d->EndpointIn, bytes.data(),
                                           static_cast<int>(bytes.size()), &got, std::max(waitMs, 1U));
        if (r == LIBUSB_ERROR_NO_DEVICE) {
            d->Gone.store(true);
        }
        if (r != 0) {
            break; // nothing more came within the wait
        }
        if (got > 0) {
            ++dropped; // a zero-length packet is no answer, but keep draining
        }
    }
    return dropped;
}

int CLibUsbLink::CheckPresence(Handle device) {
    CState& s = *m_state;
    if (s.Context == nullptr) {
        return 1;
    }
    s.PumpEvents();
    std::shared_ptr<COpenDevice> d = s.Find(device);
    if (d == nullptr) {
        return 1;
    }
    if (!s.Hotplug.load() && !d->Gone.load()) {
        const Clock::time_point now = Clock::now();
        bool due = false;
        {
            std::lock_guard<std::mutex> lock(s.Mutex);
            due = now - s.LastPresenceScan >= kRescanInterval;
            if (due) {
                s.LastPresenceScan = now;
            }
        }
        if (due) {
            libusb_device** list = nullptr;
            const ssize_t count = libusb_get_device_list(s.Context, &list);
            s.Scans.fetch_add(1);
            bool found = false;
            for (ssize_t i = 0; i < count && !found; ++i) {
                found = libusb_get_bus_number(list[i]) == d->Bus &&
                        libusb_get_device_address(list[i]) == d->Address;
            }
            if (list != nullptr) {
                libusb_free_device_list(list, 1);
            }
            // A failed enumeration proves nothing; only a list without the device does.
            if (count >= 0 && !found) {
                d->Gone.store(true);
            }
        }
    }
    return d->Gone.load() ? 1 : 0;
}

void CLibUsbLink::CloseDevice(Handle device) {
    std::shared_ptr<COpenDevice> d;
    {
        std::lock_guard<std::mutex> lock(m_state->Mutex);
        auto it = m_state->Devices.find(device);
        if (it == m_state->Devices.end()) {
            return;
        }
        d = it->second;
        m_state->Devices.erase(it);
    }
    if (d->Interface >= 0 && !d->Gone.load()) {
        libusb_release_interface(d->Handle, d->Interface);
    }
    libusb_close(d->Handle);
}
