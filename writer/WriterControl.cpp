// Writer control (the fixed control packets and identification) and the
// public device operations with their dispatch by device core.
#include "writer/Writer.h"

#include <algorithm>
#include <cstdio>

namespace {

// Writer-control codes (operand of opcode 0x80).
enum : uint8_t {
    kPowerLedOn = 0,
    kDcDcOn = 2,
    kDcDcOff = 3,
    kMclrVpp = 4,
    kMclrReset = 5,
    kMclrNormal = 6,
    kSocket18 = 7,
    kSocket40 = 8,
    kSocketIcsp = 9,
    kBusyLedOn = 10,
    kBusyLedOff = 11,
    kSocketSmall = 12,
    kErrorLedOff = 14,
};

// The unscaled waits of the control packets: a short settle and a longer one.
constexpr uint16_t kSettle = 0x0001;
constexpr uint16_t kSettleLong = 0x00FE;

constexpr size_t kControlAnswer = 10;
constexpr size_t kVersionAnswer = 19;

} // namespace

uint16_t CWriter::WaitValue(unsigned ms) const {
    const uint32_t f = ClockMHz == 20 ? 20 : ClockMHz == 16 ? 16 : 4;
    const uint64_t ticks = static_cast<uint64_t>(ms) * f * 250;
    // A longer wait than the counter can hold is the longest it can give.
    return ticks >= 65535 ? 0 : static_cast<uint16_t>(65535 - ticks);
}

// ------------------------------------------------------------ control packets

void CWriter::SendControlCode(uint8_t code) {
    CPacket p;
    p.Control(code);
    Exchange(p, kControlAnswer);
}

void CWriter::SendSocket(int pinCount) {
    switch (pinCount) {
    case 8:
        SendControlCode(kSocket18);
        SendControlCode(kSocketSmall);
        break;
    case 14:
        SendControlCode(kSocketSmall);
        break;
    case 18:
        SendControlCode(kSocket18);
        break;
    case 28:
    case 40:
        SendControlCode(kSocket40);
        break;
    default:
        SendControlCode(kSocketIcsp);
        break;
    }
}

void CWriter::SendEntry() {
    CPacket p;
    switch (EntryMode) {
    case 1:
        p.Control(kPowerLedOn).Control(kDcDcOn).Wait(kSettle).Control(kBusyLedOff).Control(kMclrReset);
        p.Control(kMclrVpp).Control(kBusyLedOn).Wait(kSettleLong);
        break;
    case 2:
        p.Control(kPowerLedOn).Control(kBusyLedOn).Control(kDcDcOff).Wait(kSettle).Control(kBusyLedOn);
        p.Control(kMclrVpp);
        break;
    default:
        p.Control(kPowerLedOn).Control(kBusyLedOn).Control(kDcDcOn).Wait(kSettle).Control(kBusyLedOff);
        p.Control(kMclrReset).Control(kBusyLedOn).Wait(kSettleLong).Control(kMclrVpp).Wait(kSettleLong);
        break;
    }
    Exchange(p, kControlAnswer);
}

void CWriter::SendExit() {
    CPacket p;
    p.Control(kMclrReset).Control(kBusyLedOff).Control(kDcDcOff).Wait(kSettle).Control(kMclrNormal);
    p.Control(kSocketIcsp);
    Exchange(p, kControlAnswer);
}

void CWriter::SendIdle() {
    CPacket p;
    p.Control(kErrorLedOff).Control(kBusyLedOff).Control(kDcDcOff).Control(kPowerLedOn);
    p.Control(kMclrNormal).Control(kSocketIcsp);
    Exchange(p, kControlAnswer);
}

bool CWriter::SetIdle() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    SendIdle();
    return op.Finished();
}

bool CWriter::SendControl(uint8_t code) {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    SendControlCode(code);
    return op.Finished();
}

bool CWriter::SelectSocket(int pinCount) {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    SendSocket(pinCount);
    return op.Finished();
}

bool CWriter::EnterProgramMode() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    SendEntry();
    return op.Finished();
}

bool CWriter::ExitProgramMode() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    SendExit();
    return op.Finished();
}

bool CWriter::ReadVersion() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    CPacket p;
    p.Bytes({0x80, 0x80, 0x80, 0x81});
    CAnswer a;
    Exchange(p, kVersionAnswer, &a);
    if (a.Received <= 4) {
        Version = 0;
        ClockMHz = 4;
    } else {
        Version = static_cast<uint32_t>(a[0]) << 24 | static_cast<uint32_t>(a[1]) << 16 |
                  static_cast<uint32_t>(a[2]) << 8 | a[3];
        ClockMHz = a[4];
    }
    if (Version == 0) {
        Banner = "KVX test Version";
    } else if (a[0] == 0x4B) {
        const char version[3] = {static_cast<char>(a[2]), static_cast<char>(a[3]), '\0'};
        char text[64];
        std::snprintf(text, sizeof text, "KVX%c Ver.%s / CLK=%dMHz", static_cast<char>(a[1]), version,
                      ClockMHz);
        Banner = text; // as a C text, it ends at the first NUL
    }
    return op.Finished();
}

// ------------------------------------------------------------------- limits

size_t CWriter::ProgramLimit() const {
    return std::min<size_t>(ProgramBytes, ProgramData.size());
}

size_t CWriter::EepromLimit() const {
    return std::min<size_t>(EepromSize, EepromData.size());
}

// -------------------------------------------------------- device operations

bool CWriter::ReadDeviceId() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidReadDeviceId(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18ReadDeviceId(); });
    }
    return op.Finished();
}

bool CWriter::ReadConfig() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidReadConfig(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18ReadConfig(); });
    }
    return op.Finished();
}

bool CWriter::ReadProgram() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidReadProgram(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18ReadProgram(); });
    }
    return op.Finished();
}

bool CWriter::ReadEeprom() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidReadEeprom(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18ReadEeprom(); });
    }
    return op.Finished();
}

bool CWriter::ReadCalibration() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    // Two frames of its own; PIC18 parts keep no calibration here.
    if (CoreWidth == kCoreMidRange) {
        MidReadCalibration();
    }
    return op.Finished();
}

bool CWriter::WriteConfig(bool bProtect) {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this, bProtect] { MidWriteConfig(bProtect); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this, bProtect] { P18WriteConfig(bProtect); });
    }
    return op.Finished();
}

bool CWriter::WriteProgram() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidWriteProgram(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18WriteProgram(); });
    }
    return op.Finished();
}

bool CWriter::WriteEeprom() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        Framed([this] { MidWriteEeprom(); });
    } else if (CoreWidth == kCorePic18) {
        Framed([this] { P18WriteEeprom(); });
    }
    return op.Finished();
}

bool CWriter::WriteCalibration() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    if (CoreWidth == kCoreMidRange) {
        MidWriteCalibration();
    }
    return op.Finished();
}

bool CWriter::Erase() {
    COperationScope op(*this);
    if (!op.Started()) {
        return false;
    }
    // A method the core does not have sends nothing, not even the frame.
    if (CoreWidth == kCoreMidRange && MidEraseKnown()) {
        Framed([this] { MidErase(); });
    } else if (CoreWidth == kCorePic18 && P18EraseKnown()) {
        Framed([this] { P18Erase(); });
    }
    return op.Finished();
}
