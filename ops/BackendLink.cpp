#include "ops/BackendLink.h"

bool CBackendLink::SetBackend(IUsbLink* backend) {
    if (HasOpenDevice()) {
        return false;
    }
    m_backend.store(backend);
    return true;
}

IUsbLink::Handle CBackendLink::OpenDevice(uint16_t vendorId, uint16_t productId) {
    IUsbLink* backend = m_backend.load();
    if (backend == nullptr) {
        return kInvalidHandle;
    }
    const Handle device = backend->OpenDevice(vendorId, productId);
    if (device != kInvalidHandle) {
        m_openDevices.fetch_add(1);
    }
    return device;
}

IUsbLink::Handle CBackendLink::OpenPipe(Handle device, int pipe) {
    IUsbLink* backend = m_backend.load();
    return backend != nullptr ? backend->OpenPipe(device, pipe) : kInvalidHandle;
}

bool CBackendLink::WritePipe(Handle pipe, const uint8_t* data, size_t length) {
    IUsbLink* backend = m_backend.load();
    return backend != nullptr && backend->WritePipe(pipe, data, length);
}

size_t CBackendLink::ReadPipe(Handle pipe, uint8_t* buffer, size_t maxLength) {
    IUsbLink* backend = m_backend.load();
    return backend != nullptr ? backend->ReadPipe(pipe, buffer, maxLength) : 0;
}

size_t CBackendLink::ReadAnswer(Handle pipe, uint8_t* buffer, size_t maxLength, bool& failed) {
    IUsbLink* backend = m_backend.load();
    if (backend == nullptr) {
        failed = true;
        return 0;
    }
    return backend->ReadAnswer(pipe, buffer, maxLength, failed);
}

size_t CBackendLink::DrainPipe(Handle pipe, unsigned waitMs) {
    IUsbLink* backend = m_backend.load();
    return backend != nullptr ? backend->DrainPipe(pipe, waitMs) : 0;
}

int CBackendLink::CheckPresence(Handle device) {
    IUsbLink* backend = m_backend.load();
    return backend != nullptr ? backend->CheckPresence(device) : 1;
}

void CBackendLink::CloseDevice(Handle device) {
    IUsbLink* backend = m_backend.load();
    if (backend == nullptr) {
        return;
    }
    backend->CloseDevice(device);
    if (m_openDevices.load() > 0) {
        m_openDevices.fetch_sub(1);
    }
}

void CBackendLink::HostDelay(unsigned milliseconds) {
    IUsbLink* backend = m_backend.load();
    if (backend != nullptr) {
        backend->HostDelay(milliseconds);
    } else {
        IUsbLink::HostDelay(milliseconds);
    }
}
