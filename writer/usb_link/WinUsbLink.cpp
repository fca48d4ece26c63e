// The WinUSB backend's logic; the system calls are behind IWinUsbApi.
#include "writer/usb_link/WinUsbLink.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// `digits` hexadecimal digits at `at`; false when any is missing.
bool HexField(std::string_view text, size_t at, size_t digits, uint32_t& value) {
    if (at > text.size() || text.size() - at < digits) {
        return false;
    }
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int d = HexDigit(text[at + i]);
        if (d < 0) {
            return false;
        }
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return true;
}

bool SameLetters(std::string_view text, size_t at, std::string_view lower) {
    if (at > text.size() || text.size() - at < lower.size()) {
        return false;
    }
    for (size_t i = 0; i < lower.size(); ++i) {
        const char c = text[at + i];
        const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (folded != lower[i]) {
            return false;
        }
    }
    return true;
}

struct COpenDevice {
    IWinUsbApi::Device Device = IWinUsbApi::kNoDevice;
    std::string Path;
    uint8_t PipeOut = 0;
    uint8_t PipeIn = 0;
    uint16_t InPacketSize = CWinUsbLink::kDefaultPacketSize;
    std::atomic<bool> Gone{false};
};

// A device interface with one of the identifiers asked for, listed as present.
struct CCandidate {
    std::string Path;
    CUsbIdPair Ids;
    CWinUsbLink::Clock::time_point RetryAfter{};
};

constexpr IUsbLink::Handle PipeHandle(IUsbLink::Handle device, int pipe) {
    return device * 2 + pipe;
}

} // namespace

bool ParseUsbIdPair(std::string_view path, CUsbIdPair& ids) {
    for (size_t at = 0; at + 17 <= path.size(); ++at) {
        uint32_t vendor = 0;
        uint32_t product = 0;
        if (SameLetters(path, at, "vid_") && HexField(path, at + 4, 4, vendor) &&
            SameLetters(path, at + 8, "&pid_") && HexField(path, at + 13, 4, product)) {
            ids.VendorId = static_cast<uint16_t>(vendor);
            ids.ProductId = static_cast<uint16_t>(product);
            return true;
        }
    }
    return false;
}

bool ParseInterfaceGuid(std::string_view text, CInterfaceGuid& guid) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        return false;
    }
    CInterfaceGuid parsed;
    uint32_t value = 0;
    if (!HexField(text, 0, 8, parsed.Data1) || !HexField(text, 9, 4, value)) {
        return false;
    }
    parsed.Data2 = static_cast<uint16_t>(value);
    if (!HexField(text, 14, 4, value)) {
        return false;
    }
    parsed.Data3 = static_cast<uint16_t>(value);
    for (size_t i = 0; i < 8; ++i) {
        const size_t at = i < 2 ? 19 + 2 * i : 24 + 2 * (i - 2);
        if (!HexField(text, at, 2, value)) {
            return false;
        }
        parsed.Data4[i] = static_cast<uint8_t>(value);
    }
    guid = parsed;
    return true;
}

bool ChooseBulkPipes(const std::vector<CWinUsbPipe>& pipes, CWinUsbPipe& out, CWinUsbPipe& in) {
    const CWinUsbPipe* foundOut = nullptr;
    const CWinUsbPipe* foundIn = nullptr;
    for (const CWinUsbPipe& pipe : pipes) {
        if (!pipe.Bulk) {
            continue;
        }
        const CWinUsbPipe*& slot = (pipe.PipeId & 0x80) != 0 ? foundIn : foundOut;
        if (slot == nullptr) {
            slot = &pipe;
        }
    }
    if (foundOut == nullptr || foundIn == nullptr) {
        return false;
    }
    out = *foundOut;
    in = *foundIn;
    return true;
}

struct CWinUsbLink::CState {
    std::function<Clock::time_point()> Now;
    std::atomic<bool> Notified{false}; // device changes come as notices
    std::atomic<bool> Changed{true};   // a notice came since the last listing
    std::atomic<unsigned> Scans{0};

    std::mutex ScanMutex; // one listing at a time; never held by a transfer

    std::mutex Mutex; // guards everything below; never held across a system call
    std::map<IUsbLink::Handle, std::shared_ptr<COpenDevice>> Devices;
    IUsbLink::Handle NextHandle = 1;
    std::vector<CUsbIdPair> Wanted;
    std::vector<CCandidate> Candidates;
    bool Scanned = false;
    Clock::time_point LastScan{};

    // Last, so that it goes first: its notices reach the members above.
    std::unique_ptr<IWinUsbApi> Api;

    std::shared_ptr<COpenDevice> Find(IUsbLink::Handle device) {
        std::lock_guard<std::mutex> lock(Mutex);
        auto it = Devices.find(device);
        return it == Devices.end() ? nullptr : it->second;
    }

    // Whether the interfaces should be listed again now: never listed, a
    // new pair asked for, a notice came, or the interval has passed since
    // the last listing (a second without notices, ten with them).
    bool ScanDue(bool newPair) {
        std::lock_guard<std::mutex> lock(Mutex);
        if (!Scanned || newPair) {
            return true;
        }
        if (Notified.load()) {
            return Changed.load() || Now() - LastScan >= kNotifiedRescanInterval;
        }
        return Now() - LastScan >= kRescanInterval;
    }

    // Lists the interfaces and brings the candidates and the open devices up
    // to date with what is present. A listing that failed proves nothing.
    void Rescan() {
        std::lock_guard<std::mutex> scanLock(ScanMutex);
        std::vector<CUsbIdPair> wanted;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            wanted = Wanted;
        }
        Changed.store(false); // a notice during the listing asks for another
        std::vector<std::string> paths;
        const bool listed = Api->ListInterfaces(wanted, paths);
        Scans.fetch_add(1);
        const Clock::time_point now = Now();

        std::lock_guard<std::mutex> lock(Mutex);
        Scanned = true;
        LastScan = now;
        if (!listed) {
            return;
        }
        std::vector<CCandidate> found;
        for (const std::string& path : paths) {
            CUsbIdPair ids;
            if (!ParseUsbIdPair(path, ids) || std::find(wanted.begin(), wanted.end(), ids) == wanted.end()) {
                continue;
            }
            const bool listedTwice =
                std::any_of(found.begin(), found.end(), [&](const CCandidate& c) { return c.Path == path; });
            if (listedTwice) {
                continue;
            }
            CCandidate candidate{path, ids, {}};
            for (const CCandidate& known : Candidates) {
                if (known.Path == path) {
                    candidate.RetryAfter = known.RetryAfter;
                }
            }
            found.push_back(std::move(candidate));
        }
        Candidates = std::move(found);
        for (auto& entry : Devices) {
            const std::string& path = entry.second->Path;
            const bool present = std::any_of(Candidates.begin(), Candidates.end(),
                                             [&](const CCandidate& c) { return c.Path == path; });
            if (!present) {
                entry.second->Gone.store(true);
            }
        }
    }

    // Opens a candidate and sets it up; null when it cannot serve as the
    // writer (the device is closed again then).
    std::shared_ptr<COpenDevice> TryOpen(const std::string& path) {
        const IWinUsbApi::Device device = Api->Open(path);
        if (device == IWinUsbApi::kNoDevice) {
            return nullptr;
        }
        std::vector<CWinUsbPipe> pipes;
        CWinUsbPipe out;
        CWinUsbPipe in;
        // Without its time-out a pipe could block a worker for good on a
        // writer that does not answer, so a pipe that refuses one is no use.
        if (!Api->QueryPipes(device, pipes) || !ChooseBulkPipes(pipes, out, in) ||
            !Api->SetPipeTimeout(device, out.PipeId, kTransferTimeoutMs) ||
            !Api->SetPipeTimeout(device, in.PipeId, kTransferTimeoutMs)) {
            Api->Close(device);
            return nullptr;
        }
        auto open = std::make_shared<COpenDevice>();
        open->Device = device;
        open->Path = path;
        open->PipeOut = out.PipeId;
        open->PipeIn = in.PipeId;
        open->InPacketSize = in.MaxPacketSize > 0 ? in.MaxPacketSize : kDefaultPacketSize;
        return open;
    }
};

CWinUsbLink::CWinUsbLink(std::unique_ptr<IWinUsbApi> api, std::function<Clock::time_point()> now)
    : m_state(std::make_unique<CState>()) {
    CState& s = *m_state;
    s.Now = now ? std::move(now) : [] { return Clock::now(); };
    s.Api = std::move(api);
    if (s.Api != nullptr) {
        CState* state = m_state.get();
        s.Notified = s.Api->WatchDeviceChanges([state] { state->Changed.store(true); });
    }
}

CWinUsbLink::~CWinUsbLink() {
    CState& s = *m_state;
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
    s.Api.reset(); // no notice runs after this
}

bool CWinUsbLink::HasDeviceNotification() const {
    return m_state->Notified.load();
}

unsigned CWinUsbLink::ScanCount() const {
    return m_state->Scans.load();
}

IUsbLink::Handle CWinUsbLink::OpenDevice(uint16_t vendorId, uint16_t productId) {
    CState& s = *m_state;
    if (s.Api == nullptr) {
        return kInvalidHandle;
    }
    const CUsbIdPair ids{vendorId, productId};
    bool newPair = false;
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        if (std::find(s.Wanted.begin(), s.Wanted.end(), ids) == s.Wanted.end()) {
            s.Wanted.push_back(ids);
            newPair = true;
        }
    }
    if (s.ScanDue(newPair)) {
        s.Rescan();
    }

    std::vector<std::string> tries;
    const Clock::time_point now = s.Now();
    {
        std::lock_guard<std::mutex> lock(s.Mutex);
        for (CCandidate& c : s.Candidates) {
            const bool inUse = std::any_of(s.Devices.begin(), s.Devices.end(),
                                           [&](const auto& entry) { return entry.second->Path == c.Path; });
            if (c.Ids == ids && !inUse && now >= c.RetryAfter) {
                // One that cannot be opened is tried again a second later.
                c.RetryAfter = now + kRescanInterval;
                tries.push_back(c.Path);
            }
        }
    }
    for (const std::string& path : tries) {
        std::shared_ptr<COpenDevice> open = s.TryOpen(path);
        if (open == nullptr) {
            continue;
        }
        std::lock_guard<std::mutex> lock(s.Mutex);
        const Handle handle = s.NextHandle++;
        s.Devices[handle] = std::move(open);
        for (CCandidate& c : s.Candidates) {
            if (c.Path == path) {
                c.RetryAfter = {};
            }
        }
        return handle;
    }
    return kInvalidHandle;
}

IUsbLink::Handle CWinUsbLink::OpenPipe(Handle device, int pipe) {
    if ((pipe != kPipeOut && pipe != kPipeIn) || m_state->Find(device) == nullptr) {
        return kInvalidHandle;
    }
    return PipeHandle(device, pipe);
}

bool CWinUsbLink::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    if (pipe < 0 || pipe % 2 != kPipeOut || data == nullptr) {
        return false;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load()) {
        return false;
    }
    size_t written = 0;
    const EWinUsbTransfer result = m_state->Api->WritePipe(d->Device, d->PipeOut, data, length, written);
    if (result == EWinUsbTransfer::DeviceGone) {
        d->Gone.store(true);
    }
    return result == EWinUsbTransfer::Done && written == length;
}

size_t CWinUsbLink::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    bool failed = false;
    return ReadAnswer(pipe, buffer, maxLength, failed);
}

size_t CWinUsbLink::ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
    // Everything but a completed transfer is a failed read; a completed one
    // may still carry no bytes (a zero-length packet).
    failed = true;
    if (pipe < 0 || pipe % 2 != kPipeIn || buffer == nullptr || maxLength == 0) {
        return 0;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load()) {
        return 0;
    }
    // At least one whole packet: WinUSB keeps what does not fit a shorter
    // buffer for the next read, which would then answer the wrong packet.
    std::vector<uint8_t> bytes(std::max(maxLength, static_cast<size_t>(d->InPacketSize)));
    size_t got = 0;
    const EWinUsbTransfer result =
        m_state->Api->ReadPipe(d->Device, d->PipeIn, bytes.data(), bytes.size(), got);
    if (result == EWinUsbTransfer::DeviceGone) {
        d->Gone.store(true);
    }
    if (result != EWinUsbTransfer::Done) {
        return 0;
    }
    failed = false;
    const size_t n = std::min({got, maxLength, bytes.size()});
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    return n;
}

size_t CWinUsbLink::DrainPipe(Handle pipe, unsigned waitMs) {
    if (pipe < 0 || pipe % 2 != kPipeIn) {
        return 0;
    }
    std::shared_ptr<COpenDevice> d = m_state->Find(pipe / 2);
    if (d == nullptr || d->Gone.load()) {
        return 0;
    }
    IWinUsbApi& api = *m_state->Api;
    // A late answer waits in the device's IN endpoint (WinUSB cancelled the
    // read that timed out). Read them off under a short time-out of the pipe
    // until a read comes back empty-handed; the bound keeps a writer that
    // streams without end from holding the link.
    if (!api.SetPipeTimeout(d->Device, d->PipeIn, std::max(waitMs, 1U))) {
        return 0;
    }
    std::vector<uint8_t> bytes(d->InPacketSize);
    size_t dropped = 0;
    for (unsigned i = 0; i < kMaxDrainedAnswers; ++i) {
        size_t got = 0;
        const EWinUsbTransfer result = api.ReadPipe(d->Device, d->PipeIn, bytes.data(), bytes.size(), got);
        if (result == EWinUsbTransfer::DeviceGone) {
            d->Gone.store(true);
        }
        if (result != EWinUsbTransfer::Done) {
            break; // nothing more came within the wait
        }
        if (got > 0) {
            ++dropped; // a zero-length packet is no answer, but keep draining
        }
    }
    // Left at the short wait, the next answer would time out long before a
    // slow operation ends; a pipe that will not take its time-out back cannot
    // be trusted with one more transfer.
    if (!api.SetPipeTimeout(d->Device, d->PipeIn, kTransferTimeoutMs)) {
        d->Gone.store(true);
    }
    return dropped;
}

int CWinUsbLink::CheckPresence(Handle device) {
    CState& s = *m_state;
    std::shared_ptr<COpenDevice> d = s.Find(device);
    if (d == nullptr) {
        return 1;
    }
    if (!d->Gone.load() && s.ScanDue(false)) {
        s.Rescan();
    }
    return d->Gone.load() ? 1 : 0;
}

void CWinUsbLink::CloseDevice(Handle device) {
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
    m_state->Api->Close(d->Device);
}
