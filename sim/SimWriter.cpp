#include "sim/SimWriter.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr IUsbLink::Handle kHandleBase = 0x1000;
constexpr IUsbLink::Handle kHandleStep = 0x10;
// Pipe handles sit just above their device handle.
constexpr IUsbLink::Handle kOutOffset = 1;
constexpr IUsbLink::Handle kInOffset = 2;

} // namespace

CSimWriter::CSimWriter(const CSimWriterConfig& config) : m_config(config), m_firmware(config.Firmware) {
    if (m_config.PluggedIn) {
        m_plugged = true;
        m_firmware.PowerOn();
    }
}

CSimWriter::CSimWriter(std::unique_ptr<ISimChip> chip, const CSimWriterConfig& config) : CSimWriter(config) {
    InsertChip(std::move(chip));
}

CSimWriter::~CSimWriter() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firmware.SetChip(nullptr);
}

// --- IUsbLink ---

IUsbLink::Handle CSimWriter::OpenDevice(uint16_t vendorId, uint16_t productId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counters.OpenAttempts++;
    if (!m_plugged || vendorId != m_config.VendorId || productId != m_config.ProductId) {
        return kInvalidHandle;
    }
    m_counters.Opens++;
    m_openCount = m_openCount >= 0x7FFF ? 1 : m_openCount + 1;
    const Handle device = kHandleBase + m_openCount * kHandleStep;
    m_device = device;
    ForgetAnswers();
    return device;
}

IUsbLink::Handle CSimWriter::OpenPipe(Handle device, int pipe) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_plugged || device == kInvalidHandle || device != m_device) {
        return kInvalidHandle;
    }
    if (pipe == kPipeOut) {
        return device + kOutOffset;
    }
    if (pipe == kPipeIn) {
        return device + kInOffset;
    }
    return kInvalidHandle;
}

bool CSimWriter::PipeMatches(Handle pipe, int which) const {
    const Handle device = m_device.load();
    if (device == kInvalidHandle) {
        return false;
    }
    return pipe == device + (which == kPipeOut ? kOutOffset : kInOffset);
}

bool CSimWriter::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unplugDue) {
        UnplugLocked();
    }
    if (!m_plugged || !PipeMatches(pipe, kPipeOut) || (data == nullptr && length != 0)) {
        m_counters.FailedTransfers++;
        return false;
    }
    m_firmware.AdvanceNs(static_cast<uint64_t>(m_config.UsbWriteUs) * 1000);
    const uint64_t number = ++m_counters.Packets;
    m_counters.BytesOut += length;
    if (m_readDue) {
        // The firmware keeps one answer: the unread one is overwritten.
        m_counters.Obligations.WritesWithoutRead++;
        if (!m_waiting.empty()) {
            m_waiting.pop_back();
        }
    }
    m_readDue = true;
    if (length > CSimFirmware::kMaxPacket) {
        m_counters.Obligations.OversizePackets++;
    }
    if (m_muteAfter != kNever && number > m_muteAfter) {
        // Taken off the bus, never run, never answered.
        m_counters.MutedPackets++;
        return true;
    }
    std::vector<uint8_t> answer = m_firmware.RunPacket(data, length);
    const auto fault = m_shortAnswers.find(number);
    if (fault != m_shortAnswers.end()) {
        answer.resize(answer.size() - std::min(fault->second, answer.size()));
    }
    if (m_lateAnswers.count(number) != 0) {
        m_late = std::move(answer);
    } else {
        if (m_doubleAnswers.count(number) != 0) {
            m_waiting.push_back(answer);
        }
        m_waiting.push_back(std::move(answer));
    }
    if (m_unplugAfter != 0 && number == m_unplugAfter) {
        m_unplugDue = true;
    }
    return true;
}

size_t CSimWriter::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    bool failed = false;
    return ReadAnswer(pipe, buffer, maxLength, failed);
}

size_t CSimWriter::ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    failed = true;
    if (!m_plugged || !PipeMatches(pipe, kPipeIn) || (buffer == nullptr && maxLength != 0)) {
        m_counters.FailedTransfers++;
        return 0;
    }
    m_firmware.AdvanceNs(static_cast<uint64_t>(m_config.UsbReadUs) * 1000);
    if (!m_readDue) {
        m_counters.Obligations.ReadsWithoutAnswer++;
    }
    m_readDue = false;
    if (m_waiting.empty()) {
        // Nothing comes within the time-out; a late answer comes just after.
        m_firmware.AdvanceNs(static_cast<uint64_t>(m_config.ReadTimeoutUs) * 1000);
        m_counters.TimedOutReads++;
        if (m_late) {
            m_waiting.push_back(std::move(*m_late));
            m_late.reset();
        }
        if (m_unplugDue) {
            UnplugLocked();
        }
        return 0;
    }
    failed = false;
    const std::vector<uint8_t> answer = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (answer.size() > maxLength) {
        m_counters.Obligations.TruncatedAnswers++;
    }
    const size_t n = std::min(answer.size(), maxLength);
    if (n > 0) {
        std::memcpy(buffer, answer.data(), n);
    }
    m_counters.BytesIn += n;
    if (m_unplugDue) {
        UnplugLocked();
    }
    return n;
}

size_t CSimWriter::DrainPipe(Handle pipe, unsigned waitMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_plugged || !PipeMatches(pipe, kPipeIn)) {
        return 0;
    }
    size_t dropped = 0;
    for (const std::vector<uint8_t>& answer : m_waiting) {
        dropped += answer.empty() ? 0 : 1;
    }
    m_waiting.clear();
    if (dropped == 0) {
        m_firmware.AdvanceNs(static_cast<uint64_t>(waitMs) * 1000000u);
    }
    m_counters.DrainedAnswers += dropped;
    return dropped;
}

int CSimWriter::CheckPresence(Handle device) {
    if (!m_plugged.load() || device == kInvalidHandle || device != m_device.load()) {
        return 1;
    }
    return 0;
}

void CSimWriter::CloseDevice(Handle device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (device != kInvalidHandle && device == m_device) {
        m_device = kInvalidHandle;
        ForgetAnswers();
    }
}

void CSimWriter::HostDelay(unsigned milliseconds) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firmware.AdvanceNs(static_cast<uint64_t>(milliseconds) * 1000000u);
}

// --- socket and cable ---

void CSimWriter::InsertChip(std::unique_ptr<ISimChip> chip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firmware.SetChip(nullptr);
    m_chip = std::move(chip);
    m_firmware.SetChip(m_chip.get());
}

std::unique_ptr<ISimChip> CSimWriter::RemoveChip() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firmware.SetChip(nullptr);
    return std::move(m_chip);
}

void CSimWriter::Plug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_plugged) {
        return;
    }
    m_device = kInvalidHandle;
    ForgetAnswers();
    m_unplugDue = false;
    m_firmware.PowerOn();
    m_plugged = true;
}

void CSimWriter::Unplug() {
    // Presence reports the loss at once, even while a transfer holds the lock.
    m_plugged = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    UnplugLocked();
}

void CSimWriter::UnplugLocked() {
    m_plugged = false;
    m_unplugDue = false;
    ForgetAnswers();
    m_firmware.PowerOff();
}

void CSimWriter::ForgetAnswers() {
    m_waiting.clear();
    m_late.reset();
    m_readDue = false;
}

// --- faults and counters ---

void CSimWriter::UnplugAfterPacket(uint64_t packetNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAfter = packetNumber;
}

void CSimWriter::ShortenAnswer(uint64_t packetNumber, size_t dropBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shortAnswers[packetNumber] = dropBytes;
}

void CSimWriter::EmptyAnswer(uint64_t packetNumber) {
    ShortenAnswer(packetNumber, static_cast<size_t>(-1));
}

void CSimWriter::MuteAfterPacket(uint64_t packetNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_muteAfter = packetNumber;
}

void CSimWriter::AnswerLate(uint64_t packetNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lateAnswers.insert(packetNumber);
}

void CSimWriter::AnswerTwice(uint64_t packetNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_doubleAnswers.insert(packetNumber);
}

void CSimWriter::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAfter = 0;
    m_unplugDue = false;
    m_muteAfter = kNever;
    m_shortAnswers.clear();
    m_lateAnswers.clear();
    m_doubleAnswers.clear();
}

CSimWriterCounters CSimWriter::Counters() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CSimWriterCounters c = m_counters;
    c.ElapsedUs = m_firmware.NowUs();
    c.Firmware = m_firmware.Counters();
    c.LastError = m_firmware.LastError();
    return c;
}

CSimBreaches CSimWriter::Breaches() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CSimBreaches b;
    if (m_chip != nullptr) {
        b.CyclesCutShort = m_chip->Counters().CyclesTooShort;
        b.EntriesRefused = m_chip->Counters().EntriesRefused;
    }
    b.CommandsWithoutVpp = m_firmware.Counters().ChipCommandsWithoutVpp;
    b.OversizePackets = m_counters.Obligations.OversizePackets;
    b.AnswersNotRead = m_counters.Obligations.WritesWithoutRead + m_counters.Obligations.TruncatedAnswers;
    return b;
}

std::string CSimBreaches::Text() const {
    std::string text;
    auto add = [&text](uint64_t n, const char* one, const char* many) {
        if (n == 0) {
            return;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(n) + " " + (n == 1 ? one : many);
    };
    add(CyclesCutShort, "cycle cut short", "cycles cut short");
    add(CommandsWithoutVpp, "command without VPP", "commands without VPP");
    add(OversizePackets, "packet over 64 bytes", "packets over 64 bytes");
    add(AnswersNotRead, "answer not read", "answers not read");
    add(EntriesRefused, "programming-mode entry refused", "programming-mode entries refused");
    return text;
}

CSimWriterState CSimWriter::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CSimWriterState s;
    s.PowerLed = m_firmware.PowerLed();
    s.BusyLed = m_firmware.BusyLed();
    s.ErrorLed = m_firmware.ErrorLed();
    s.DcDc = m_firmware.DcDc();
    s.Mclr = m_firmware.Mclr();
    s.Socket = m_firmware.Socket();
    s.Vpp = m_firmware.VppOn();
    s.ChipWired = m_firmware.ChipWired();
    s.ChipHasVpp = m_firmware.ChipHasVpp();
    return s;
}
