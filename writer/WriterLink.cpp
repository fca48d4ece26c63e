// The transport half of CWriterLink: opening, presence, closing and the one
// packet exchange every command goes through.
#include "writer/WriterLink.h"

#include <algorithm>
#include <utility>

CWriterLink::CWriterLink(IUsbLink& usb) : m_usb(usb) {}

CWriterLink::~CWriterLink() {
    Close();
}

void CWriterLink::SetTraceHook(TraceHook hook) {
    std::lock_guard<std::mutex> lock(m_traceMutex);
    m_trace = std::move(hook);
}

bool CWriterLink::Open() {
    // An operation that began on the previous link is still ending; let it
    // end on the dead link first.
    if (m_operations.load() != 0) {
        return false;
    }
    IUsbLink::Handle device = m_usb.OpenDevice(kVendorId, kProductId);
    if (device == IUsbLink::kInvalidHandle) {
        device = m_usb.OpenDevice(kAltVendorId, kAltProductId);
    }
    if (device == IUsbLink::kInvalidHandle) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device = device;
    m_pipeOut = m_usb.OpenPipe(device, IUsbLink::kPipeOut);
    m_pipeIn = m_usb.OpenPipe(device, IUsbLink::kPipeIn);
    m_up.store(true);
    return true;
}

bool CWriterLink::CheckPresence() {
    // Only this thread writes the handle, so reading it here needs no lock.
    if (m_usb.CheckPresence(m_device) == 0) {
        return true;
    }
    Close();
    return false;
}

void CWriterLink::Close() {
    m_up.store(false);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_device != IUsbLink::kInvalidHandle) {
        m_usb.CloseDevice(m_device);
    }
    m_pipeOut = 0;
    m_pipeIn = 0;
    m_device = IUsbLink::kInvalidHandle;
}

bool CWriterLink::Transfer(const CPacket& packet, size_t answerMax, CAnswer& answer, bool& written) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_up.load() || m_device == IUsbLink::kInvalidHandle) {
        return false;
    }
    written = m_usb.WritePipe(m_pipeOut, packet.Data(), packet.Size());
    if (!written) {
        // No answer can follow a packet that never left.
        m_failedWrites.fetch_add(1);
        if (packet.ExpectedAnswer() > 0) {
            m_shortAnswers.fetch_add(1);
        }
        return true;
    }
    size_t received = m_usb.ReadPipe(m_pipeIn, answer.Bytes.data(), answerMax);
    received = std::min(received, answerMax);
    // Whatever a backend left in the rest of the buffer is not an answer.
    std::fill(answer.Bytes.begin() + static_cast<std::ptrdiff_t>(received), answer.Bytes.end(), uint8_t{0});
    answer.Received = received;
    if (received < packet.ExpectedAnswer()) {
        m_shortAnswers.fetch_add(1);
    }
    return true;
}

bool CWriterLink::Exchange(const CPacket& packet, size_t answerMax, CAnswer* answer) {
    CAnswer scratch;
    CAnswer& a = answer != nullptr ? *answer : scratch;
    a = CAnswer{};
    if (packet.Overflowed() || packet.Size() == 0) {
        return false;
    }
    answerMax = std::min(answerMax, a.Bytes.size());

    bool written = false;
    if (!Transfer(packet, answerMax, a, written)) {
        return false;
    }
    // The packet belongs to the caller and the answer to this call, so both
    // stay as they are once the link lock is released.
    std::lock_guard<std::mutex> lock(m_traceMutex);
    if (m_trace) {
        m_trace(ETraceDirection::Out, std::span<const uint8_t>(packet.Data(), packet.Size()));
        if (written) {
            m_trace(ETraceDirection::In, std::span<const uint8_t>(a.Bytes.data(), a.Received));
        }
    }
    return true;
}

void CWriterLink::HostWait(unsigned ms) {
    if (IsUp()) {
        m_usb.HostDelay(ms);
    }
}

CWriterLink::COperationScope::COperationScope(CWriterLink& link) : m_link(link) {
    m_link.m_operations.fetch_add(1);
    m_started = m_link.IsUp();
    m_failedWritesAtStart = m_link.m_failedWrites.load();
}

CWriterLink::COperationScope::~COperationScope() {
    m_link.m_operations.fetch_sub(1);
}

bool CWriterLink::COperationScope::Finished() const {
    return m_link.IsUp() && m_link.m_failedWrites.load() == m_failedWritesAtStart;
}
