// CMidRangeEngine: the packet recipes of the mid-range (14-bit core) devices,
// the 6-bit ICSP command set of the PIC12/PIC16 flash parts batched into
// writer packets.
//
// Every routine starts from programming-mode entry with the chip's address
// counter at program memory 0. On the host side a routine changes only the
// image it reads into, the progress counter and DeviceId (overwritten by
// every device ID step, which picks the word-write variant of later writes).
// Sizes from the device record are clipped before they shape a packet (see
// MidRangeEngine.cpp), so no packet outgrows its recipe and no byte outside
// the image is read or written.
#pragma once

#include "writer/Engine.h"

#include <cstddef>
#include <cstdint>

class CMidRangeEngine final : public CEngine {
public:
    using CEngine::CEngine;

    void ReadDeviceId() override;
    void ReadConfig() override;
    void ReadProgram() override;
    void ReadEeprom() override;
    // Two frames: the calibration word (only when the device has one), then
    // the calibration bits of the configuration words.
    void ReadCalibration() override;
    // Two frames: the calibration word (only when the device has one), then
    // the configuration written without protection.
    void WriteCalibration() override;
    void WriteConfig(bool bProtect) override;
    void WriteProgram() override;
    void WriteEeprom() override;
    bool HasEraseMethod() const override;
    void Erase() override;
    bool ProgramBlank() const override;

private:
    // The end-programming command that the device's write cycle uses.
    uint8_t EndCommand() const;
    // The configuration words, at most as many as a packet holds.
    int ConfigWords() const;
    // The latch row in bytes: even, at least one word, at most a packet's room.
    int RowBytes() const;
    // The calibration word's address in words; 0 when there is none or it
    // lies outside the image.
    uint32_t CalibrationAddress() const;
    // The program image word at a byte offset; blank past the image.
    uint32_t ImageWord(size_t byteOffset) const;

    // True when the row of words at the byte offset is all blank (0x3FFF).
    bool BlankWords(size_t byteOffset, size_t words) const;

    // Building blocks; none sends a frame.
    void DeviceIdStep();
    void Advance(uint32_t n);
    // The writes take `owed` Increment Address commands that a blank-skipping
    // write still owes the address counter: they go at the head of the
    // write's first packet, and whole packets of them first when they do not
    // all fit there. With none owed the packets are the plain recipe's.
    void WordWrite(uint32_t word, uint32_t owed = 0);
    void LatchWrite(const uint32_t* words, size_t count, int32_t progress, uint32_t owed = 0);
    // A latch row programmed by begin programming only and ended by the end
    // command, with the discharge time before the next command; one packet
    // when the row fits.
    void RowWrite(const uint32_t* words, size_t count, int32_t progress, uint32_t owed = 0);
    // `body` with the owed increments in front of it (see WordWrite).
    CPacket WithIncrements(uint32_t owed, const CPacket& body);
    // Appends begin programming only, a wait of ms, the end command, the
    // discharge time and the increment to the next address.
    void EndedCycle(CPacket& packet, unsigned ms) const;
    // Appends a wait of ms, as several wait commands when one cannot hold it.
    void LongWait(CPacket& packet, unsigned ms) const;
    void EraseCycle();
    void ProtectedErase();
};
