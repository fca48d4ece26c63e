// Faults of the simulated writer and its chip, named in words, for users
// (the command line's --sim-fault) and tests alike.
//
//   unplug-after=N        the writer goes away once packet N is answered
//   mute-after=N          after packet N it stays attached but answers nothing
//   late-answer-at=N      packet N's answer comes after its read timed out
//   double-answer-at=N    packet N is answered twice
//   short-answer-at=N     packet N's answer loses its last byte
//   empty-answer-at=N     packet N's answer comes with no bytes
//   stuck-cell=ADDR       a program memory cell that will not program: a word
//                         address on a mid-range chip, a byte address on a
//                         PIC18 chip
//   no-chip               the socket is empty (reads give all ones)
//   other-id=ID           the chip reports this device ID word (mid-range: the
//                         word at 0x2006, revision bits included; PIC18:
//                         DEVID2 << 8 | DEVID1)
//
// N counts every packet written to the writer since it was made, the first
// being 1; opening the writer sends two (the idle state and the
// identification). ADDR and ID are hexadecimal, with or without 0x.
#pragma once

#include <string>
#include <string_view>

class CSimWriter;

// Applies one fault to the writer (and the chip in its socket). False, with
// the reason in `error`, for a spec it does not know or a value out of range
// (a cell outside the chip's program memory, a chip fault with no chip).
bool ApplySimFault(CSimWriter& writer, std::string_view spec, std::string& error);
