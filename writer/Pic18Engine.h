// CPic18Engine: the packet recipes of the PIC18 devices, the 4-bit ICSP
// command set in which the host feeds the chip core instructions to move the
// table pointer, select memory spaces and run EEPROM cycles.
//
// Every routine is one frame. On the host side a routine changes only the
// image it reads into, the progress counter, DeviceId (every device ID step)
// and WriteCycle, which a configuration write sets to the single-panel value
// so that later program writes on the same copy of the device send the
// single-panel setup first. PIC18 parts keep no calibration word here: the
// calibration routines send nothing.
#pragma once

#include "writer/Engine.h"

#include <cstddef>
#include <cstdint>

class CPic18Engine final : public CEngine {
public:
    using CEngine::CEngine;

    void ReadDeviceId() override;
    void ReadConfig() override;
    void ReadProgram() override;
    void ReadEeprom() override;
    void ReadCalibration() override {}
    void WriteCalibration() override {}
    void WriteConfig(bool bProtect) override;
    void WriteProgram() override;
    void WriteEeprom() override;
    bool HasEraseMethod() const override;
    void Erase() override;
    bool ProgramBlank() const override;

private:
    // Appends the six instructions that load the table pointer.
    static void TablePointer(CPacket& packet, uint32_t address);

    // Building blocks; none sends a frame.
    void SetTablePointer(uint32_t address);
    // Reads up to one block from the table pointer on into dest.
    void BlockRead(uint8_t* dest, size_t count);
    void DeviceIdStep();
    void SinglePanelSetup();
    // Writes up to one block at address; a short block is padded with 0xFF,
    // which leaves erased cells as they are.
    void BlockWrite(uint32_t address, const uint8_t* data, size_t count);
};
