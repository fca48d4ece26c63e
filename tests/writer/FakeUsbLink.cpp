#include "FakeUsbLink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        out.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i != 0) {
            s += ' ';
        }
        s += buf;
    }
    return s;
}

size_t AnswerLength(const Bytes& packet) {
    size_t answer = 0;
    size_t i = 0;
    while (i < packet.size()) {
        switch (packet[i]) {
        case 0x84:
            answer += 2;
            i += 2;
            break;
        case 0x86:
            answer += 1;
            i += 2;
            break;
        case 0x81:
        case 0x83:
        case 0x85:
            i += 4;
            break;
        default: // 0x80, 0x82, 0x87, 0x88 and the 00 00 pair: one operand
            i += 2;
            break;
        }
    }
    return answer;
}

namespace {
constexpr IUsbLink::Handle kPipeBase = 10;
}

void CFakeUsbLink::Plug(uint16_t vendorId, uint16_t productId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = true;
    m_vendorId = vendorId;
    m_productId = productId;
}

void CFakeUsbLink::Unplug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_attached = false;
}

void CFakeUsbLink::QueueAnswer(Bytes answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.push_back(std::move(answer));
}

void CFakeUsbLink::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

void CFakeUsbLink::SetWriteHook(std::function<void(size_t)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeHook = std::move(hook);
}

void CFakeUsbLink::SetDelayHook(std::function<void(unsigned)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayHook = std::move(hook);
}

std::vector<CPacketRecord> CFakeUsbLink::Packets() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets;
}

size_t CFakeUsbLink::PacketCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets.size();
}

std::vector<std::pair<uint16_t, uint16_t>> CFakeUsbLink::OpenAttempts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openAttempts;
}

std::vector<unsigned> CFakeUsbLink::Delays() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delays;
}

std::vector<std::string> CFakeUsbLink::ViolationLog() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_violationLog;
}

int CFakeUsbLink::PresenceChecks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_presenceChecks;
}

int CFakeUsbLink::Closes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closes;
}

int CFakeUsbLink::FailedWrites() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failedWrites;
}

void CFakeUsbLink::ClearRecords() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packets.clear();
    m_openAttempts.clear();
    m_delays.clear();
    m_presenceChecks = 0;
    m_closes = 0;
    m_failedWrites = 0;
}

void CFakeUsbLink::Violation(const std::string& what) {
    m_violations.fetch_add(1);
    m_violationLog.push_back(what);
}

bool CFakeUsbLink::PipeOpen(Handle pipe, int direction) const {
    return pipe % kPipeBase == direction && m_openDevices.count(pipe / kPipeBase) != 0;
}

IUsbLink::Handle CFakeUsbLink::OpenDevice(uint16_t vendorId, uint16_t productId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openAttempts.emplace_back(vendorId, productId);
    if (!m_attached || vendorId != m_vendorId || productId != m_productId) {
        return kInvalidHandle;
    }
    const Handle device = m_nextDevice++;
    m_openDevices.insert(device);
    m_awaitingRead = false;
    return device;
}

IUsbLink::Handle CFakeUsbLink::OpenPipe(Handle device, int pipe) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_openDevices.count(device) == 0) {
        Violation("OpenPipe on a device that is not open");
        return kInvalidHandle;
    }
    return device * kPipeBase + pipe;
}

bool CFakeUsbLink::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    if (m_inTransfer.fetch_add(1) != 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Violation("two transfers at once");
    }
    bool ok = false;
    std::function<void(size_t)> hook;
    size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!PipeOpen(pipe, kPipeOut)) {
            Violation("WritePipe on a pipe that is not an open OUT pipe");
        } else if (m_awaitingRead) {
            Violation("a packet written before the previous answer was read");
        }
        if (length > 64) {
            Violation("packet longer than 64 bytes");
        }
        if (PipeOpen(pipe, kPipeOut) && m_attached) {
            m_packets.push_back({Bytes(data, data + length), 0});
            m_awaitingRead = true;
            ok = true;
            hook = m_writeHook;
            count = m_packets.size();
        } else {
            ++m_failedWrites;
        }
    }
    m_inTransfer.fetch_sub(1);
    if (hook) {
        hook(count);
    }
    return ok;
}

size_t CFakeUsbLink::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    if (m_inTransfer.fetch_add(1) != 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Violation("two transfers at once");
    }
    size_t n = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!PipeOpen(pipe, kPipeIn)) {
            Violation("ReadPipe on a pipe that is not an open IN pipe");
        } else if (!m_awaitingRead) {
            Violation("a read without a packet before it");
        } else if (m_attached) {
            m_awaitingRead = false;
            CPacketRecord& last = m_packets.back();
            last.AnswerMax = maxLength;
            Bytes answer;
            if (!m_script.empty()) {
                answer = std::move(m_script.front());
                m_script.erase(m_script.begin());
            } else if (m_responder) {
                answer = m_responder(last.Data, maxLength);
            } else {
                answer.assign(AnswerLength(last.Data), 0);
            }
            n = std::min(answer.size(), maxLength);
            std::copy(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(n), buffer);
            if (m_scribble) {
                std::fill(buffer + n, buffer + maxLength, uint8_t{0xEE});
            }
        } else {
            m_awaitingRead = false;
        }
    }
    m_inTransfer.fetch_sub(1);
    return n;
}

int CFakeUsbLink::CheckPresence(Handle device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_presenceChecks;
    if (m_openDevices.count(device) == 0) {
        Violation("CheckPresence on a device that is not open");
        return 1;
    }
    return m_attached ? 0 : 1;
}

void CFakeUsbLink::CloseDevice(Handle device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_closes;
    if (m_inTransfer.load() != 0) {
        Violation("CloseDevice during a transfer");
    }
    if (m_openDevices.erase(device) == 0) {
        Violation("CloseDevice on a device that is not open");
    }
    m_awaitingRead = false;
}

void CFakeUsbLink::HostDelay(unsigned milliseconds) {
    std::function<void(unsigned)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_delays.push_back(milliseconds);
        hook = m_delayHook;
    }
    if (hook) {
        hook(milliseconds);
    }
}
