// The choice of the writer's backend: the USB bus (libusb, or WinUSB on
// Windows), the simulated writer with a chip of the selected device type (or
// one kept in a file), or a link the caller brings.
#include "ops/Station.h"

#include "platform/Platform.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/usb_link/UsbBus.h"

bool CStation::MayChangeBackend() const {
    return !m_link.HasOpenDevice() && !m_runner.IsRunning() && !m_runner.HasWorkerThread();
}

void CStation::DropOwnedBackend() {
    (void)m_link.SetBackend(nullptr);
    m_pSim = nullptr;
    m_simChipFile.clear();
    m_pOwnedBackend.reset();
    m_backend = EWriterBackend::None;
}

EBackendResult CStation::UseLibUsb() {
    if (!MayChangeBackend()) {
        return EBackendResult::Busy;
    }
    DropOwnedBackend();
    m_pOwnedBackend = MakeUsbBusLink(); // null: a build without USB finds no writer
    (void)m_link.SetBackend(m_pOwnedBackend.get());
    m_backend = EWriterBackend::LibUsb;
    return EBackendResult::Ok;
}

EBackendResult CStation::UseSimulator(const std::string& chipFile, bool strictTiming) {
    if (!MayChangeBackend()) {
        return EBackendResult::Busy;
    }
    const ESimTiming timing = strictTiming ? ESimTiming::Strict : ESimTiming::Typical;
    std::unique_ptr<ISimChip> chip;
    if (IsRegularFile(chipFile) || IsFolder(chipFile)) {
        chip = LoadSimChipFromFile(chipFile, timing);
        if (!chip) {
            return EBackendResult::BadChipFile;
        }
    } else {
        chip = MakeSimChip(m_device.DeviceName, timing);
        if (!chip) {
            return EBackendResult::NoSimModel;
        }
    }
    DropOwnedBackend();
    auto sim = std::make_unique<CSimWriter>(std::move(chip));
    m_pSim = sim.get();
    m_simChipFile = chipFile;
    m_pOwnedBackend = std::move(sim);
    (void)m_link.SetBackend(m_pOwnedBackend.get());
    m_backend = EWriterBackend::Simulated;
    return EBackendResult::Ok;
}

EBackendResult CStation::UseLink(IUsbLink& link) {
    if (!MayChangeBackend()) {
        return EBackendResult::Busy;
    }
    DropOwnedBackend();
    (void)m_link.SetBackend(&link);
    m_backend = EWriterBackend::External;
    return EBackendResult::Ok;
}

bool CStation::SaveSimulatedChip() {
    if (m_pSim == nullptr || m_simChipFile.empty() || m_pSim->Chip() == nullptr) {
        return true;
    }
    return m_pSim->Chip()->SaveToFile(m_simChipFile);
}
