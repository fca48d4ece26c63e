// Configuration a user should confirm before it goes to a chip: settings that
// lock the chip, change how it is reached again, or make a program behave in
// a way that is easy to get by accident (an erased bit is often the risky
// one). Decided by the legend's bit names, so every catalogue entry is judged
// by the same rules as the data sheets name its bits.
#pragma once

#include "device/PicDevice.h"

#include <string>
#include <vector>

enum class EConfigRisk {
    CodeProtect,          // a code-protect bit at 0: the chip reads as zeros afterwards
    DataProtect,          // CPD at 0: the data EEPROM reads as zeros
    BootProtect,          // CPB, WRTB or EBTRB at 0: the boot block is protected
    WriteProtect,         // a WRTn, WRTC or WRTD bit at 0: self-writes are refused there
    TableReadProtect,     // an EBTRn bit at 0: table reads from other blocks give zeros
    LowVoltage,           // LVP at 1: the PGM pin is taken for low-voltage programming
    McLrOffInternalClock, // MCLRE at 0 with an internal oscillator: entry then needs VPP before VDD
    Watchdog,             // WDT, WDTE or WDTEN at 1
    ExtendedInstructions, // XINST at 1 (PIC18): most compilers' code fails in that mode
    Debugger,             // DEBUG or BKBUG at 0: the pins belong to the in-circuit debugger
};

struct CConfigRiskFinding {
    EConfigRisk Risk = EConfigRisk::CodeProtect;
    // The bits that raise it, as "NAME=value (CONFIGn)", in legend order.
    std::vector<std::string> Bits;
};

// Every risk the image's configuration words raise, each once, in the order
// of EConfigRisk.
std::vector<CConfigRiskFinding> FindConfigRisks(const CPicDevice& image);

// A bit's name without the display prefix ("p", "c", "z") and without a leading
// "*" (the data sheets' mark of an active-low bit).
std::string BareBitName(const std::string& displayName);
