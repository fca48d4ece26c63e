// What every command of kvx3-cli shares: the chosen options, the output
// streams and the selected device.
#pragma once

#include "device/DeviceList.h"
#include "device/UserPrompt.h"

#include <cstdint>
#include <iosfwd>
#include <string>

// A number as the tool prints it: upper-case hexadecimal, zero-filled to
// `digits` places.
std::string Hex(uint32_t value, int digits);

struct CCliOptions {
    std::string Device = kDefaultDeviceName;
    std::string ListPath; // empty: the catalogue beside the executable
};

// Message boxes of the core, printed on the error stream. Yes/No questions
// are answered Yes: the tool only asks what a user asked it to do.
class CStreamMessages : public IMessageBox {
public:
    explicit CStreamMessages(std::ostream& err) : m_err(err) {}
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;

private:
    std::ostream& m_err;
};

struct CCliContext {
    CCliContext(const CCliOptions& options, std::ostream& o, std::ostream& e)
        : Options(options), out(o), err(e), Messages(e), Device(&Messages) {}
    CCliOptions Options;
    std::ostream& out;
    std::ostream& err;
    CStreamMessages Messages;
    CDeviceList Device;

    // Points the catalogue at the chosen file and loads the chosen device;
    // false (with a message) when the catalogue or the name is not there.
    bool LoadSelectedDevice();
    // A one-line error on the error stream.
    void Error(const std::string& text) const;
};
