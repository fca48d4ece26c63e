// The link layer of CWriter: opening, presence, closing and the one packet
// exchange every command goes through.
#include "writer/Writer.h"

#include <algorithm>
#include <utility>

CWriter::CWriter(IUsbLink& link) : m_link(link) {}

CWriter::~CWriter() {
    CloseLink();
}

bool CWriter::IsOpen() const {
    return m_linkUp.load();
}

void CWriter::SetTraceHook(TraceHook hook) {
    std::lock_guard<std::mutex> lock(m_linkMutex);
    m_trace = std::move(hook);
}

void CWriter::CloseLink() {
    m_linkUp.store(false);
    std::lock_guard<std::mutex> lock(m_linkMutex);
    if (DeviceHandle != IUsbLink::kInvalidHandle) {
        m_link.CloseDevice(DeviceHandle);
    }
    PipeOut = 0;
    PipeIn = 0;
    DeviceHandle = IUsbLink::kInvalidHandle;
}

bool CWriter::Poll() {
    // Only this thread (and the destructor) writes the handles, so reading
    // them here needs no lock.
    if (DeviceHandle == IUsbLink::kInvalidHandle) {
        // An operation that began on the previous link is still ending; let
        // it end on the dead link first.
        if (m_operations.load() != 0) {
            return false;
        }
        IUsbLink::Handle device = m_link.OpenDevice(kVendorId, kProductId);
        if (device == IUsbLink::kInvalidHandle) {
            device = m_link.OpenDevice(kAltVendorId, kAltProductId);
        }
        if (device == IUsbLink::kInvalidHandle) {
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(m_linkMutex);
            DeviceHandle = device;
            PipeOut = m_link.OpenPipe(device, IUsbLink::kPipeOut);
            PipeIn = m_link.OpenPipe(device, IUsbLink::kPipeIn);
            m_linkUp.store(true);
        }
        SetIdle();
        ReadVersion();
        return true;
    }
    if (m_link.CheckPresence(DeviceHandle) == 0) {
        return true;
    }
    CloseLink();
    return false;
}

bool CWriter::Exchange(const CPacket& packet, size_t answerMax, CAnswer* answer) {
    CAnswer scratch;
    CAnswer& a = answer != nullptr ? *answer : scratch;
    a = CAnswer{};
    if (packet.Overflowed() || packet.Size() == 0) {
        return false;
    }
    answerMax = std::min(answerMax, a.Bytes.size());

    std::lock_guard<std::mutex> lock(m_linkMutex);
    if (!m_linkUp.load() || DeviceHandle == IUsbLink::kInvalidHandle) {
        return false;
    }
    if (m_trace) {
        m_trace(ETraceDirection::Out, std::span<const uint8_t>(packet.Data(), packet.Size()));
    }
    if (!m_link.WritePipe(PipeOut, packet.Data(), packet.Size())) {
        // No answer can follow a packet that never left.
        m_failedWrites.fetch_add(1);
        if (packet.ExpectedAnswer() > 0) {
            m_shortAnswers.fetch_add(1);
        }
        return true;
    }
    size_t received = m_link.ReadPipe(PipeIn, a.Bytes.data(), answerMax);
    received = std::min(received, answerMax);
    // Whatever a backend left in the rest of the buffer is not an answer.
    std::fill(a.Bytes.begin() + static_cast<std::ptrdiff_t>(received), a.Bytes.end(), uint8_t{0});
    a.Received = received;
    if (received < packet.ExpectedAnswer()) {
        m_shortAnswers.fetch_add(1);
    }
    if (m_trace) {
        m_trace(ETraceDirection::In, std::span<const uint8_t>(a.Bytes.data(), received));
    }
    return true;
}

void CWriter::HostWait(unsigned ms) {
    if (IsOpen()) {
        m_link.HostDelay(ms);
    }
}
