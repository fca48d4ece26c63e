#include "ops/ConnectionDoctor.h"

#include "platform/Platform.h"
#include "writer/Writer.h"

#include <cstdio>

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string IdText(uint16_t vendor, uint16_t product) {
    return Hex(vendor, 4) + ":" + Hex(product, 4);
}

std::string Where(const CUsbDeviceInfo& d) {
    return "bus " + std::to_string(d.Bus) + " port " + d.Port;
}

class CDoctor {
public:
    CDoctor(IUsbProbe& probe, const CDoctorSetup& setup) : m_probe(probe), m_setup(setup) {}

    void Add(EDoctorStep step, EDoctorMark mark, std::string text) {
        m_report.Lines.push_back({step, mark, std::move(text)});
    }

    void Library() {
        std::string detail;
        if (m_probe.Initialise(detail)) {
            Add(EDoctorStep::Library, EDoctorMark::Ok, "USB library initialised (" + detail + ")");
        } else {
            Add(EDoctorStep::Library, EDoctorMark::Problem,
                "USB library does not start (" + detail +
                    "): this system (or container) offers no USB devices to programs");
        }
    }

    void Devices() {
        const std::vector<IUsbProbe::IdPair> ids = {{CWriter::kVendorId, CWriter::kProductId},
                                                    {CWriter::kAltVendorId, CWriter::kAltProductId}};
        m_devices = m_probe.FindDevices(ids);
        if (m_devices.empty()) {
            Add(EDoctorStep::Devices, EDoctorMark::Problem,
                "no USB device with " + IdText(ids[0].first, ids[0].second) + " or " +
                    IdText(ids[1].first, ids[1].second) +
                    " is attached: plug the writer in (if it is, try another cable or port)");
            return;
        }
        for (const CUsbDeviceInfo& d : m_devices) {
            Add(EDoctorStep::Devices, EDoctorMark::Ok,
                "writer " + IdText(d.VendorId, d.ProductId) + " on " + Where(d) +
                    (d.Node.empty() ? "" : " (" + d.Node + ")"));
        }
        if (m_devices.size() > 1) {
            Add(EDoctorStep::Devices, EDoctorMark::Note,
                std::to_string(m_devices.size()) +
                    " writers are attached: the station opens the first it can; unplug the others to choose");
        }
    }

    void Access() {
        for (const CUsbDeviceInfo& d : m_devices) {
            std::string detail;
            switch (m_probe.TryOpen(d, detail)) {
            case EUsbOpen::Opened:
                Add(EDoctorStep::Access, EDoctorMark::Ok, Where(d) + ": this user may open it");
                break;
            case EUsbOpen::NoPermission:
                m_noPermission = true;
                Add(EDoctorStep::Access, EDoctorMark::Problem,
                    Where(d) + ": this user may not open it: the udev rule below grants it");
                break;
            case EUsbOpen::Gone:
                Add(EDoctorStep::Access, EDoctorMark::Problem,
                    Where(d) + ": it went away before it could be opened");
                break;
            case EUsbOpen::Failed:
                Add(EDoctorStep::Access, EDoctorMark::Problem,
                    Where(d) + ": cannot open it (" + detail + "); another program may hold it");
                break;
            }
        }
    }

    void UdevRule() {
        if (m_setup.UdevFolders.empty()) {
            return;
        }
        for (const std::string& folder : m_setup.UdevFolders) {
            const std::string path = folder + "/" + m_setup.RuleName;
            if (IsRegularFile(path)) {
                Add(EDoctorStep::UdevRule, EDoctorMark::Ok,
                    "udev rule installed (" + path + ")" +
                        (m_noPermission ? "; it applies to devices plugged in after it was read: plug the "
                                          "writer in again, or log in again"
                                        : ""));
                return;
            }
        }
        std::string folders;
        for (size_t i = 0; i < m_setup.UdevFolders.size(); ++i) {
            folders += (i == 0                                ? ""
                        : i + 1 == m_setup.UdevFolders.size() ? " or "
                                                              : ", ") +
                       m_setup.UdevFolders[i];
        }
        Add(EDoctorStep::UdevRule, m_noPermission ? EDoctorMark::Problem : EDoctorMark::Note,
            "udev rule " + m_setup.RuleName + " is not in " + folders + ": sudo cp data/" + m_setup.RuleName +
                " " + m_setup.UdevFolders.front() +
                "/ && sudo udevadm control --reload, then plug the writer in again");
    }

    void KernelDrivers() {
        for (const CUsbDeviceInfo& d : m_devices) {
            std::string driver;
            switch (m_probe.KernelDriver(d, driver)) {
            case EKernelDriver::None:
                Add(EDoctorStep::KernelDriver, EDoctorMark::Ok,
                    Where(d) + ": no kernel driver holds its interface");
                break;
            case EKernelDriver::Attached:
                Add(EDoctorStep::KernelDriver, EDoctorMark::Note,
                    Where(d) + ": the kernel driver " + (driver.empty() ? std::string("(unnamed)") : driver) +
                        " holds its interface; the station detaches it when it opens the writer");
                break;
            case EKernelDriver::Unknown:
                Add(EDoctorStep::KernelDriver, EDoctorMark::Note,
                    Where(d) + ": whether a kernel driver holds its interface is not known");
                break;
            }
        }
    }

    void Writer(IUsbLink& link) {
        CWriter writer(link);
        if (writer.Poll()) {
            Answered(writer);
            return;
        }
        std::string why = "plug it in";
        if (m_noPermission) {
            why = "give this user access (the udev rule), then plug it in again";
        } else if (!m_devices.empty()) {
            why = "it is attached but does not open: unplug it, wait a moment, and plug it in again";
        }
        Add(EDoctorStep::Writer, EDoctorMark::Problem, "no writer answers: " + why);
    }

    void Answered(const CWriter& writer) {
        char version[16];
        std::snprintf(version, sizeof version, "%08X", writer.Version);
        m_report.WriterAnswered = true;
        m_report.Banner = writer.Banner;
        Add(EDoctorStep::Writer, EDoctorMark::Ok,
            "the writer answers: " + writer.Banner + " (version " + version + ", " +
                std::to_string(writer.ClockMHz) + " MHz clock)");
    }

    CDoctorReport Take() { return std::move(m_report); }

private:
    IUsbProbe& m_probe;
    const CDoctorSetup& m_setup;
    CDoctorReport m_report;
    std::vector<CUsbDeviceInfo> m_devices;
    bool m_noPermission = false;
};

class CSimulatedBusProbe final : public IUsbProbe {
public:
    bool Initialise(std::string& detail) override {
        detail = "the simulated writer's bus";
        return true;
    }
    std::vector<CUsbDeviceInfo> FindDevices(const std::vector<IdPair>& ids) override {
        CUsbDeviceInfo d;
        d.VendorId = CWriter::kVendorId;
        d.ProductId = CWriter::kProductId;
        d.Bus = 0;
        d.Address = 1;
        d.Port = "sim";
        for (const IdPair& id : ids) {
            if (id == IdPair{d.VendorId, d.ProductId}) {
                return {d};
            }
        }
        return {};
    }
    EUsbOpen TryOpen(const CUsbDeviceInfo&, std::string& detail) override {
        detail.clear();
        return EUsbOpen::Opened;
    }
    EKernelDriver KernelDriver(const CUsbDeviceInfo&, std::string& driver) override {
        driver.clear();
        return EKernelDriver::None;
    }
};

} // namespace

CDoctorReport RunConnectionDoctor(IUsbProbe& probe, IUsbLink& link, const CDoctorSetup& setup) {
    CDoctor doctor(probe, setup);
    doctor.Library();
    doctor.Devices();
    doctor.Access();
    doctor.UdevRule();
    doctor.KernelDrivers();
    doctor.Writer(link);
    return doctor.Take();
}

CDoctorReport RunConnectionDoctor(IUsbProbe& probe, const CWriter& openWriter, const CDoctorSetup& setup) {
    CDoctor doctor(probe, setup);
    doctor.Library();
    doctor.Devices();
    doctor.Access();
    doctor.UdevRule();
    doctor.KernelDrivers();
    doctor.Answered(openWriter);
    return doctor.Take();
}

std::unique_ptr<IUsbProbe> MakeSimulatedBusProbe() {
    return std::make_unique<CSimulatedBusProbe>();
}
