#include "GatedLink.h"

#include <chrono>

void CGatedLink::PauseAtPacket(size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pauseAt = m_packets + n;
    m_paused = false;
    m_resume = false;
}

bool CGatedLink::WaitUntilPaused(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_paused; });
}

void CGatedLink::Resume() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_resume = true;
    m_pauseAt = 0;
    m_cv.notify_all();
}

size_t CGatedLink::PacketsWritten() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets;
}

IUsbLink::Handle CGatedLink::OpenDevice(uint16_t vendorId, uint16_t productId) {
    return m_inner.OpenDevice(vendorId, productId);
}

IUsbLink::Handle CGatedLink::OpenPipe(Handle device, int pipe) {
    return m_inner.OpenPipe(device, pipe);
}

bool CGatedLink::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_packets;
        if (m_pauseAt != 0 && m_packets == m_pauseAt) {
            m_paused = true;
            m_cv.notify_all();
            m_cv.wait(lock, [this] { return m_resume; });
            m_paused = false;
        }
    }
    return m_inner.WritePipe(pipe, data, length);
}

size_t CGatedLink::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    return m_inner.ReadPipe(pipe, buffer, maxLength);
}

size_t CGatedLink::ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
    return m_inner.ReadAnswer(pipe, buffer, maxLength, failed);
}

size_t CGatedLink::DrainPipe(Handle pipe, unsigned waitMs) {
    return m_inner.DrainPipe(pipe, waitMs);
}

int CGatedLink::CheckPresence(Handle device) {
    return m_inner.CheckPresence(device);
}

void CGatedLink::CloseDevice(Handle device) {
    m_inner.CloseDevice(device);
}

void CGatedLink::HostDelay(unsigned milliseconds) {
    m_inner.HostDelay(milliseconds);
}
