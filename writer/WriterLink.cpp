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
    m_silentRun = 0;
    m_drainWaitMs = kStaleCheckMs; // whatever a previous holder left unread is not ours
    m_notAnswering.store(false);
    m_up.store(true);
    return true;
}

bool CWriterLink::CheckPresence() {
    // Only this thread writes the handle, so reading it here needs no lock.
    // A link that an exchange has found gone is closed even when the backend
    // has changed its mind since, and is opened afresh at the next tick.
    if (m_up.load() && m_usb.CheckPresence(m_device) == 0) {
        return true;
    }
    Close();
    return false;
}

void CWriterLink::ClearFault() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fault.store(static_cast<int>(ELinkFault::None));
    m_silentRun = 0;
    m_drainWaitMs = std::max(m_drainWaitMs, kStaleCheckMs);
    m_notAnswering.store(false);
}

void CWriterLink::RecordFault(ELinkFault fault) {
    m_faultEvents.fetch_add(1);
    int current = m_fault.load();
    while (current < static_cast<int>(fault) &&
           !m_fault.compare_exchange_weak(current, static_cast<int>(fault))) {
    }
}

void CWriterLink::NoteSilentTransfer() {
    m_drainWaitMs = kDrainAfterFaultMs;
    if (m_usb.CheckPresence(m_device) != 0) {
        // Gone: stop here rather than let the routine try every packet left.
        m_up.store(false);
        RecordFault(ELinkFault::Lost);
    } else if (++m_silentRun >= kMaxSilentTransfers) {
        m_notAnswering.store(true);
        RecordFault(ELinkFault::NotAnswering);
    } else {
        RecordFault(ELinkFault::TransferFailed);
    }
}

bool CWriterLink::DropStaleAnswers(unsigned waitMs) {
    const size_t dropped = m_usb.DrainPipe(m_pipeIn, waitMs);
    m_staleAnswers.fetch_add(static_cast<uint32_t>(dropped));
    return dropped > 0;
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
    if (!IsUp() || m_device == IUsbLink::kInvalidHandle) {
        return false;
    }
    if (m_drainWaitMs != 0) {
        // A late answer to an earlier packet must not pass for this one's.
        DropStaleAnswers(m_drainWaitMs);
        m_drainWaitMs = 0;
    }
    written = m_usb.WritePipe(m_pipeOut, packet.Data(), packet.Size());
    if (!written) {
        // No answer can follow a packet that never left.
        m_failedWrites.fetch_add(1);
        if (packet.ExpectedAnswer() > 0) {
            m_shortAnswers.fetch_add(1);
        }
        NoteSilentTransfer();
        return true;
    }
    bool failed = false;
    size_t received = m_usb.ReadAnswer(m_pipeIn, answer.Bytes.data(), answerMax, failed);
    received = failed ? 0 : std::min(received, answerMax);
    // Whatever a backend left in the rest of the buffer is not an answer.
    std::fill(answer.Bytes.begin() + static_cast<std::ptrdiff_t>(received), answer.Bytes.end(), uint8_t{0});
    answer.Received = received;
    if (received < packet.ExpectedAnswer()) {
        m_shortAnswers.fetch_add(1);
    }
    if (failed) {
        m_failedReads.fetch_add(1);
        NoteSilentTransfer();
    } else {
        m_silentRun = 0;
        if (received < packet.ExpectedAnswer()) {
            // Part of the answer is missing, or this is another packet's.
            m_drainWaitMs = kDrainAfterFaultMs;
            RecordFault(ELinkFault::TransferFailed);
        }
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
    m_faultsAtStart = m_link.m_faultEvents.load();
    m_started = m_link.IsUp();
    if (!m_started) {
        m_link.RecordFault(m_link.m_up.load() ? ELinkFault::NotAnswering : ELinkFault::Lost);
    }
}

CWriterLink::COperationScope::~COperationScope() {
    m_link.m_operations.fetch_sub(1);
}

bool CWriterLink::COperationScope::Finish() {
    if (!m_started) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_link.m_mutex);
        if (m_link.IsUp() && m_link.m_device != IUsbLink::kInvalidHandle &&
            m_link.DropStaleAnswers(kStaleCheckMs)) {
            // An answer left over: one of this operation's reads took an
            // answer that was not its own.
            m_link.RecordFault(ELinkFault::TransferFailed);
        }
    }
    return m_link.IsUp() && m_link.m_faultEvents.load() == m_faultsAtStart;
}
