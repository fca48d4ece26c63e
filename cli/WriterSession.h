// The writer a command talks to: the real one over libusb, or the simulated
// one with a chip of the selected device type (kept in a file between runs
// with --sim-chip).
#pragma once

#include "cli/CliContext.h"

#include <memory>
#include <string>

class CWriter;
class CSimWriter;
class IUsbLink;

struct CWriterOptions {
    bool Sim = false;
    bool Trace = false;
    std::string SimChipFile; // implies Sim
    bool StrictTiming = false;
};

class CWriterSession {
public:
    CWriterSession(CCliContext& ctx, const CWriterOptions& options);
    ~CWriterSession();
    CWriterSession(const CWriterSession&) = delete;
    CWriterSession& operator=(const CWriterSession&) = delete;

    // Creates the link and opens the writer. Returns kExitOk, kExitBadInput
    // (no simulator model, unreadable chip file) or kExitNoWriter, with the
    // message printed.
    int Open();
    // Saves the simulated chip back to its file; false (with a message) when
    // that fails.
    bool SaveChip();

    CWriter& Writer() { return *m_writer; }
    CSimWriter* Sim() { return m_sim; }

private:
    CCliContext& m_ctx;
    CWriterOptions m_options;
    std::unique_ptr<IUsbLink> m_link;
    CSimWriter* m_sim = nullptr;
    std::unique_ptr<CWriter> m_writer;
};

// The bytes of a packet or an answer as the trace prints them: two upper-case
// hex digits each, separated by spaces.
std::string FormatTraceBytes(const uint8_t* data, size_t size);
