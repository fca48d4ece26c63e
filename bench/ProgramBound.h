// The least time a Program (erase, write, verify read) of one image can take
// on the simulated writer: what the chip and the link make unavoidable.
//
// It is computed, not measured, from the catalogue entry (sizes, row size,
// erase, EEPROM and configuration methods, entry mode) with the image, and
// from the simulated chip family's minimum cycle times (the typical ones, the
// times a chip in the default timing accepts). It counts:
//  - the chip's cycles: the erase the entry's method starts, one programming
//    cycle per row (per write buffer on a PIC18, per word on a word-by-word
//    family) that holds data, per EEPROM byte that is not 0xFF, for the user
//    ID row and for each configuration word, with the discharge times where
//    the family has them;
//  - the ICSP clocks of the commands those cycles and the verify read need
//    (loads, reads, address moves past blank cells, table pointer loads), at
//    the simulated writer's clock;
//  - one round trip per 64 bytes of those commands (or per 64 answer bytes,
//    when more), at the simulated writer's cost per transfer;
//  - one programming-mode session: the socket, entry and exit packets with
//    the writer's settling waits in them.
// Device ID checks, the chip's oscillator calibration taken before the
// erase (one read of the word and of the configuration bits), and nothing
// else the host may choose to do are in it.
#pragma once

#include "device/PicDevice.h"
#include "sim/SimWriter.h"

#include <cstdint>
#include <string>

struct CProgramBound {
    double CyclesUs = 0;  // programming and erase cycles
    double ShiftUs = 0;   // ICSP clocks of the commands
    double SessionUs = 0; // the settling waits of one entry and exit
    uint64_t Packets = 0; // packets that carry the commands, the session's included
    double RoundTripUs = 0;
    double TotalUs() const {
        return CyclesUs + ShiftUs + SessionUs + static_cast<double>(Packets) * RoundTripUs;
    }
};

// One programming-mode session: its socket, entry and exit packets, and the
// time they take with their settling waits.
uint64_t SessionPackets(const CPicDevice& device);
double SessionUs(const CPicDevice& device, const CSimWriterConfig& config = {});

// The bound for programming `image` (a catalogue device with its image) on
// the simulated writer set up as `config`, or a bound of 0 packets when the
// simulator has no chip model of the device's name `name`. `calibration`:
// the chip's calibration is kept (read before the erase).
CProgramBound ProgramBound(const std::string& name, const CPicDevice& image, bool calibration,
                           const CSimWriterConfig& config = {});
