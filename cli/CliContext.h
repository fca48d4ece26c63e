// What every command of kvx3-cli shares: the chosen options and the output
// streams.
#pragma once

#include "cli/ErrorLines.h"
#include "device/DeviceList.h"
#include "device/UserPrompt.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

// A number as the tool prints it: upper-case hexadecimal, zero-filled to
// `digits` places.
std::string Hex(uint32_t value, int digits);

// Why a file the user named could not be read, as ": it is ..." to follow
// its name, when its status tells: not a plain file, or larger than `limit`
// bytes. Empty otherwise (missing, unreadable, or its contents at fault).
std::string FileProblem(const std::string& path, size_t limit);

struct CCliOptions {
    std::string Device = kDefaultDeviceName;
    std::string ListPath; // empty: the catalogue beside the executable
};

// Message boxes of the core, printed on the error stream. Yes/No questions
// are answered Yes: the tool only asks what a user asked it to do.
class CStreamMessages : public IMessageBox {
public:
    explicit CStreamMessages(CErrorLines& err) : m_err(err) {}
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;

private:
    CErrorLines& m_err;
};

struct CCliContext {
    // errIsTerminal: the error stream is a terminal, where the progress bar
    // is redrawn in place.
    CCliContext(const CCliOptions& options, std::ostream& o, std::ostream& e, bool errIsTerminal)
        : Options(options), out(o), err(e), ErrIsTerminal(errIsTerminal), Messages(err) {}
    CCliOptions Options;
    std::ostream& out;
    // Everything the tool says on the error stream goes through here, from
    // whichever thread.
    CErrorLines err;
    bool ErrIsTerminal;
    CStreamMessages Messages;

    // The catalogue the options name: the given file, or the one beside the
    // executable.
    std::string ListPath() const;
    // A one-line error on the error stream.
    void Error(const std::string& text);
};
