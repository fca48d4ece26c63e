// The choice of the writer's backend: the USB bus (libusb, or WinUSB on
// Windows), the simulated writer with a chip of the selected device type (or
// one kept in a file), or a link the caller brings; and the connection doctor
// over it.
#include "ops/Station.h"

#include "platform/Platform.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "writer/usb_link/UsbBus.h"

bool CStation::MayChangeBackend() const {
    return !m_link.HasOpenDevice() && !m_runner.IsRunning() && !m_runner.HasWorkerThread() &&
           !m_net.SnapshotRunning();
}

std::string SimChipFileName(const std::string& deviceName) {
    std::string name;
    // No hidden file, and never "." or "..".
    if (deviceName.empty() || deviceName[0] == '.') {
        name += '_';
    }
    for (const char c : deviceName) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    return name + ".chip";
}

void CStation::DropOwnedBackend() {
    (void)m_link.SetBackend(nullptr);
    m_pSim = nullptr;
    m_simChipFile.clear();
    m_simChipFolder.clear();
    m_pOwnedBackend.reset();
    m_backend = EWriterBackend::None;
}

EBackendResult CStation::UseLibUsb(unsigned transferTimeoutMs) {
    if (!MayChangeBackend()) {
        return EBackendResult::Busy;
    }
    DropOwnedBackend();
    // Null in a build without USB: it finds no writer.
    m_pOwnedBackend = MakeUsbBusLink(transferTimeoutMs);
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
    if (PathExists(chipFile)) {
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

EBackendResult CStation::UseSimulatorChipFolder(const std::string& folder, bool strictTiming) {
    if (!MayChangeBackend()) {
        return EBackendResult::Busy;
    }
    DropOwnedBackend();
    auto sim = std::make_unique<CSimWriter>();
    m_pSim = sim.get();
    m_pOwnedBackend = std::move(sim);
    m_simChipFolder = folder;
    m_simStrictTiming = strictTiming;
    (void)MakeFolders(folder);
    (void)m_link.SetBackend(m_pOwnedBackend.get());
    m_backend = EWriterBackend::Simulated;
    FollowDeviceWithSimulatedChip();
    return EBackendResult::Ok;
}

void CStation::FollowDeviceWithSimulatedChip() {
    if (m_pSim == nullptr || m_simChipFolder.empty()) {
        return;
    }
    // Runs only while no operation runs: nothing talks to the chip. A chip
    // nothing was written to needs no file (or has one already).
    if (m_pSim->Chip() != nullptr && m_pSim->Chip()->Counters().CyclesCompleted > 0) {
        (void)SaveSimulatedChip();
    }
    (void)m_pSim->RemoveChip();
    m_simChipFile.clear();
    const std::string file = PathInFolder(m_simChipFolder, SimChipFileName(m_device.DeviceName));
    const ESimTiming timing = m_simStrictTiming ? ESimTiming::Strict : ESimTiming::Typical;
    std::unique_ptr<ISimChip> chip;
    if (PathExists(file)) {
        // A file that does not load stays untouched: no blank chip is saved over it.
        chip = LoadSimChipFromFile(file, timing);
    } else {
        chip = MakeSimChip(m_device.DeviceName, timing);
    }
    if (!chip) {
        return;
    }
    m_pSim->InsertChip(std::move(chip));
    m_simChipFile = file;
}

bool CStation::SaveSimulatedChip() {
    if (m_pSim == nullptr || m_simChipFile.empty() || m_pSim->Chip() == nullptr) {
        return true;
    }
    return m_pSim->Chip()->SaveToFile(m_simChipFile);
}

bool CStation::DiagnoseConnection(IUsbProbe& probe, const CDoctorSetup& setup, CDoctorReport& report) {
    if (m_runner.IsRunning() || m_runner.HasWorkerThread() || m_net.IsRunning()) {
        return false;
    }
    // An open writer is claimed: the doctor's own open would be refused.
    report = m_link.HasOpenDevice() ? RunConnectionDoctor(probe, m_writer, setup)
                                    : RunConnectionDoctor(probe, m_link, setup);
    return true;
}

bool CStation::DiagnoseConnection(CDoctorReport& report) {
    CDoctorSetup setup;
    if (m_backend == EWriterBackend::Simulated) {
        // The simulated writer stands on a bus of its own: no udev there.
        setup.UdevFolders.clear();
        const std::unique_ptr<IUsbProbe> probe = MakeSimulatedBusProbe();
        return DiagnoseConnection(*probe, setup, report);
    }
#ifndef __linux__
    setup.UdevFolders.clear();
#endif
    const std::unique_ptr<IUsbProbe> probe = MakeUsbBusProbe();
    return DiagnoseConnection(*probe, setup, report);
}
