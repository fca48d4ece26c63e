// CWriter: opening and presence through the link, the public writer-control
// operations and identification, and the device operations handed to the
// engine of the device's core.
#include "writer/Writer.h"

#include <cstdio>

namespace {

// Identification answers: up to four bytes mean a writer without version
// (a test firmware); a versioned banner starts with this letter.
constexpr size_t kVersionBytes = 4;
constexpr uint8_t kBannerMark = 0x4B; // 'K'

} // namespace

CWriter::CWriter(IUsbLink& link) : m_link(link), m_midRange(EngineContext()), m_pic18(EngineContext()) {}

CWriter::~CWriter() = default;

CEngineContext CWriter::EngineContext() {
    return CEngineContext{*this,    m_link,     Progress,    AbortRequest,
                          ClockMHz, SocketPins, WriteUserId, SkipBlank};
}

CEngine* CWriter::EngineForCore() {
    if (CoreWidth == kCoreMidRange) {
        return &m_midRange;
    }
    if (CoreWidth == kCorePic18) {
        return &m_pic18;
    }
    return nullptr;
}

bool CWriter::Poll() {
    if (!m_link.HasDevice()) {
        if (!m_link.Open()) {
            return false;
        }
        SetIdle();
        ReadVersion();
        return true;
    }
    return m_link.CheckPresence();
}

// ------------------------------------------------------------ writer control

template <typename Step> bool CWriter::RunControl(Step&& step) {
    CWriterLink::COperationScope op(m_link);
    if (!op.Started()) {
        return false;
    }
    step();
    return op.Finish();
}

bool CWriter::SetIdle() {
    return RunControl([this] { m_link.SendIdle(); });
}

bool CWriter::SendControl(uint8_t code) {
    return RunControl([this, code] { m_link.SendControlCode(code); });
}

bool CWriter::SelectSocket(int pinCount) {
    return RunControl([this, pinCount] { m_link.SendSocket(pinCount); });
}

bool CWriter::EnterProgramMode() {
    return RunControl([this] { m_link.SendEntry(EntryMode); });
}

bool CWriter::ExitProgramMode() {
    return RunControl([this] { m_link.SendExit(); });
}

bool CWriter::ReadVersion() {
    CAnswer a;
    return RunControl([this, &a] {
        m_link.SendIdentify(a);
        if (a.Received <= kVersionBytes) {
            Version = 0;
            ClockMHz = writer_packet::kClockDefaultMHz;
        } else {
            Version = static_cast<uint32_t>(a[0]) << 24 | static_cast<uint32_t>(a[1]) << 16 |
                      static_cast<uint32_t>(a[2]) << 8 | a[3];
            ClockMHz = a[4];
        }
        if (Version == 0) {
            Banner = "KVX test Version";
        } else if (a[0] == kBannerMark) {
            const char version[3] = {static_cast<char>(a[2]), static_cast<char>(a[3]), '\0'};
            char text[64];
            std::snprintf(text, sizeof text, "KVX%c Ver.%s / CLK=%dMHz", static_cast<char>(a[1]), version,
                          ClockMHz);
            Banner = text; // as a C text, it ends at the first NUL
        }
    });
}

// -------------------------------------------------------- device operations

template <typename Call> bool CWriter::RunOnEngine(bool framed, Call&& call) {
    CWriterLink::COperationScope op(m_link);
    if (!op.Started()) {
        return false;
    }
    if (CEngine* engine = EngineForCore()) {
        if (framed) {
            m_link.Framed(SocketPins, EntryMode, [&] { call(*engine); });
        } else {
            call(*engine);
        }
    }
    return op.Finish();
}

bool CWriter::ReadDeviceId() {
    return RunOnEngine(true, [](CEngine& e) { e.ReadDeviceId(); });
}

bool CWriter::ReadConfig() {
    return RunOnEngine(true, [](CEngine& e) { e.ReadConfig(); });
}

bool CWriter::ReadProgram() {
    return RunOnEngine(true, [](CEngine& e) { e.ReadProgram(); });
}

bool CWriter::ReadEeprom() {
    return RunOnEngine(true, [](CEngine& e) { e.ReadEeprom(); });
}

bool CWriter::ReadCalibration() {
    // The engine sends its own frames (none for a family without calibration).
    return RunOnEngine(false, [](CEngine& e) { e.ReadCalibration(); });
}

bool CWriter::WriteConfig(bool bProtect) {
    return RunOnEngine(true, [bProtect](CEngine& e) { e.WriteConfig(bProtect); });
}

// Leaving blank areas alone, a memory with nothing but blank cells to write
// gets no frame either: the engine only counts its progress.
bool CWriter::WriteProgram() {
    const CEngine* engine = EngineForCore();
    const bool nothing = SkipBlank && engine != nullptr && engine->ProgramBlank();
    return RunOnEngine(!nothing, [](CEngine& e) { e.WriteProgram(); });
}

bool CWriter::WriteEeprom() {
    const CEngine* engine = EngineForCore();
    const bool nothing = SkipBlank && engine != nullptr && engine->EepromBlank();
    return RunOnEngine(!nothing, [](CEngine& e) { e.WriteEeprom(); });
}

bool CWriter::WriteCalibration() {
    return RunOnEngine(false, [](CEngine& e) { e.WriteCalibration(); });
}

bool CWriter::Erase() {
    CWriterLink::COperationScope op(m_link);
    if (!op.Started()) {
        return false;
    }
    // A method the core does not have sends nothing, not even the frame.
    CEngine* engine = EngineForCore();
    if (engine != nullptr && engine->HasEraseMethod()) {
        m_link.Framed(SocketPins, EntryMode, [engine] { engine->Erase(); });
    }
    return op.Finish();
}
