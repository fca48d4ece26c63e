// The framing half of CWriterLink: the writer-control codes and the fixed
// control packets (socket selection, programming-mode entry and exit, idle
// state, identification).
#include "writer/WriterLink.h"

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
    // Identification: the writer answers the second code with its version
    // bytes and clock.
    kIdentify = 0x80,
    kIdentifyAnswer = 0x81,
};

// Package pin counts with a socket setting of their own; every other count
// is programmed over ICSP.
enum : int {
    kPins8 = 8,
    kPins14 = 14,
    kPins18 = 18,
    kPins28 = 28,
    kPins40 = 40,
};

// Programming-mode entry variants by the device's entry mode; any other mode
// enters as mode 0.
enum : int32_t {
    kEntryVppFirst = 1,
    kEntryConverterOff = 2,
};

// The unscaled waits of the control packets: a short settle and a longer one.
constexpr uint16_t kSettle = 0x0001;
constexpr uint16_t kSettleLong = 0x00FE;

} // namespace

void CWriterLink::SendControlCode(uint8_t code) {
    CPacket p;
    p.Control(code);
    Exchange(p, writer_packet::kAnswerShort);
}

void CWriterLink::SendSocket(int pinCount) {
    switch (pinCount) {
    case kPins8:
        SendControlCode(kSocket18);
        SendControlCode(kSocketSmall);
        break;
    case kPins14:
        SendControlCode(kSocketSmall);
        break;
    case kPins18:
        SendControlCode(kSocket18);
        break;
    case kPins28:
    case kPins40:
        SendControlCode(kSocket40);
        break;
    default:
        SendControlCode(kSocketIcsp);
        break;
    }
}

void CWriterLink::SendEntry(int32_t entryMode) {
    CPacket p;
    switch (entryMode) {
    case kEntryVppFirst:
        p.Control(kPowerLedOn).Control(kDcDcOn).Wait(kSettle).Control(kBusyLedOff).Control(kMclrReset);
        p.Control(kMclrVpp).Control(kBusyLedOn).Wait(kSettleLong);
        break;
    case kEntryConverterOff:
        p.Control(kPowerLedOn).Control(kBusyLedOn).Control(kDcDcOff).Wait(kSettle).Control(kBusyLedOn);
        p.Control(kMclrVpp);
        break;
    default:
        p.Control(kPowerLedOn).Control(kBusyLedOn).Control(kDcDcOn).Wait(kSettle).Control(kBusyLedOff);
        p.Control(kMclrReset).Control(kBusyLedOn).Wait(kSettleLong).Control(kMclrVpp).Wait(kSettleLong);
        break;
    }
    Exchange(p, writer_packet::kAnswerShort);
}

void CWriterLink::SendExit() {
    CPacket p;
    p.Control(kMclrReset).Control(kBusyLedOff).Control(kDcDcOff).Wait(kSettle).Control(kMclrNormal);
    p.Control(kSocketIcsp);
    Exchange(p, writer_packet::kAnswerShort);
}

void CWriterLink::SendIdle() {
    CPacket p;
    p.Control(kErrorLedOff).Control(kBusyLedOff).Control(kDcDcOff).Control(kPowerLedOn);
    p.Control(kMclrNormal).Control(kSocketIcsp);
    Exchange(p, writer_packet::kAnswerShort);
}

void CWriterLink::SendIdentify(CAnswer& answer) {
    CPacket p;
    p.Control(kIdentify).Control(kIdentifyAnswer);
    Exchange(p, writer_packet::kAnswerMedium, &answer);
}
