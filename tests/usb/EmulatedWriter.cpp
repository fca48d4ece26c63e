#include "tests/usb/EmulatedWriter.h"

namespace {

CSimWriterConfig SimConfig(const CUsbDeviceLayout& layout) {
    CSimWriterConfig config;
    config.VendorId = layout.VendorId;
    config.ProductId = layout.ProductId;
    config.PluggedIn = false; // powered by the bus once it is attached
    return config;
}

} // namespace

CEmulatedWriter::CEmulatedWriter(CUsbDeviceLayout layout, std::unique_ptr<ISimChip> chip)
    : CUsbdevfsDevice(layout), m_sim(std::move(chip), SimConfig(layout)) {
    for (const CUsbInterface& intf : layout.Interfaces) {
        for (const CUsbEndpoint& ep : intf.Endpoints) {
            if (ep.Type() != kUsbBulk) {
                continue;
            }
            if (ep.IsIn() && m_in == 0) {
                m_in = ep.Address;
            } else if (!ep.IsIn() && m_out == 0) {
                m_out = ep.Address;
            }
        }
    }
}

CEmulatedWriter::~CEmulatedWriter() = default;

void CEmulatedWriter::UnplugAtPacket(uint64_t packet) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAt = packet;
}

void CEmulatedWriter::MuteAfterPacket(uint64_t packet, bool refuseOut) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_muteAfter = packet;
    m_refuseOut = refuseOut;
}

void CEmulatedWriter::AnswerLate(uint64_t packet, std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latePacket = packet;
    m_lateBy = delay;
}

void CEmulatedWriter::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAt = 0;
    m_muteAfter = 0;
    m_refuseOut = false;
    m_latePacket = 0;
}

uint64_t CEmulatedWriter::Packets() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets;
}

std::vector<std::vector<uint8_t>> CEmulatedWriter::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void CEmulatedWriter::ClearLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

bool CEmulatedWriter::OnBulkOut(uint8_t endpoint, const std::vector<uint8_t>& data) {
    if (endpoint != m_out) {
        return true; // not the firmware's pipe: taken and forgotten
    }
    const bool mute = m_muteAfter != 0 && m_packets >= m_muteAfter;
    if (mute && m_refuseOut) {
        return false;
    }
    const uint64_t packet = ++m_packets;
    m_log.push_back(data);
    if (mute) {
        return true;
    }
    if (!m_sim.WritePipe(m_pipeOut, data.data(), data.size())) {
        return true;
    }
    CAnswer answer;
    answer.Packet = packet;
    answer.Bytes.resize(CSimFirmware::kMaxPacket);
    answer.Bytes.resize(m_sim.ReadPipe(m_pipeIn, answer.Bytes.data(), answer.Bytes.size()));
    answer.Ready = Clock::now();
    if (packet == m_latePacket) {
        answer.Ready += m_lateBy;
    }
    m_answers.push_back(std::move(answer));
    return true;
}

bool CEmulatedWriter::TakeBulkIn(uint8_t endpoint, std::vector<uint8_t>& data) {
    if (endpoint != m_in || m_answers.empty()) {
        return false;
    }
    if (m_unplugAt != 0 && m_answers.front().Packet == m_unplugAt) {
        m_unplugAt = 0; // once: after a replug the count starts again
        RequestUnplug();
        return false;
    }
    if (Clock::now() < m_answers.front().Ready) {
        return false;
    }
    data = std::move(m_answers.front().Bytes);
    m_answers.pop_front();
    return true;
}

void CEmulatedWriter::OnAttached() {
    m_sim.Plug();
    const IUsbLink::Handle device = m_sim.OpenDevice(Layout().VendorId, Layout().ProductId);
    m_pipeOut = m_sim.OpenPipe(device, IUsbLink::kPipeOut);
    m_pipeIn = m_sim.OpenPipe(device, IUsbLink::kPipeIn);
    m_packets = 0;
    m_answers.clear();
}

void CEmulatedWriter::OnDetached() {
    m_sim.Unplug();
    m_answers.clear();
}
