// The connection doctor: one line a step of what stands between the user and
// the writer, and how to mend it. The USB library starts; devices with the
// writer's identifiers are on the bus; this user may open them (and the udev
// rule that grants it is where udev reads rules); no kernel driver holds
// them; and the writer answers with its banner.
#pragma once

#include "writer/usb_link/UsbLink.h"
#include "writer/usb_link/UsbProbe.h"

#include <memory>
#include <string>
#include <vector>

class CWriter;

enum class EDoctorMark {
    Ok,
    Note,    // worth knowing, not in the way
    Problem, // stands between the user and the writer
};

enum class EDoctorStep { Library, Devices, Access, UdevRule, KernelDriver, Writer };

struct CDoctorLine {
    EDoctorStep Step = EDoctorStep::Library;
    EDoctorMark Mark = EDoctorMark::Ok;
    std::string Text; // what was found, and for a problem how to mend it
};

struct CDoctorSetup {
    // Where udev reads rules, in its order; empty: no udev on this system.
    std::vector<std::string> UdevFolders{"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"};
    std::string RuleName = "70-kvx3-writer.rules";
};

struct CDoctorReport {
    std::vector<CDoctorLine> Lines;
    bool WriterAnswered = false;
    std::string Banner; // when it answered
};

// Looks at the bus through `probe` and opens the writer through `link` as
// the station would (the first of the identifier pairs that opens).
CDoctorReport RunConnectionDoctor(IUsbProbe& probe, IUsbLink& link, const CDoctorSetup& setup);
// The same when the writer is open already (a second open of a claimed
// writer would fail): it answered with what `openWriter` read of it.
CDoctorReport RunConnectionDoctor(IUsbProbe& probe, const CWriter& openWriter, const CDoctorSetup& setup);

// The simulated writer as the probe of a bus would see it: one device with
// the writer's first identifier pair, open to everyone, no kernel driver.
std::unique_ptr<IUsbProbe> MakeSimulatedBusProbe();
