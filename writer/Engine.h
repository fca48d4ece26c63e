// CEngine: what the programming engines of both device families share.
//
// An engine keeps no state of its own. It works on the writer's copy of the
// device record and image, sends through the writer's link, and reports
// through the writer's progress counter; CEngineContext names these. Each
// routine is the body of one device operation: the writer sends the frame
// around it (socket, programming-mode entry, the routine, exit), except for
// the calibration routines, which send their own frames, and an erase by a
// method the family does not have, which the writer does not start at all.
//
// Threads. The writer calls a routine on the thread that runs the operation,
// with the operation counted in on the link, and never two at once. The
// routines read AbortRequest and the link state between blocks and end their
// memory loops early when either says so; nothing else stops them. They have
// no result: whether the operation went through is the writer's to judge from
// the link (see CWriterLink::COperationScope).
#pragma once

#include "device/PicDevice.h"
#include "writer/WriterLink.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

// What an engine works on. Every reference points into the writer that owns
// the engine and lives as long as it.
struct CEngineContext {
    CPicDevice& Device;                    // the writer's own record and image
    CWriterLink& Link;                     // the writer's link and framing
    std::atomic<int32_t>& Progress;        // added to as blocks go out
    const std::atomic<bool>& AbortRequest; // ends the memory loops
    const int& ClockMHz;                   // picks the timed wait values
    const int& SocketPins;                 // for the frames an engine sends itself
    const bool& WriteUserId;               // PIC18 configuration writes also write the ID locations
    const bool& SkipBlank;                 // program and EEPROM writes leave blank rows and bytes alone
};

class CEngine {
public:
    explicit CEngine(const CEngineContext& context) : m_context(context), m_device(context.Device) {}
    virtual ~CEngine() = default;
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;

    virtual void ReadDeviceId() = 0;
    virtual void ReadConfig() = 0;
    virtual void ReadProgram() = 0;
    virtual void ReadEeprom() = 0;
    // Send their own frames (none when the family keeps no calibration).
    virtual void ReadCalibration() = 0;
    virtual void WriteCalibration() = 0;
    virtual void WriteConfig(bool bProtect) = 0;
    virtual void WriteProgram() = 0;
    virtual void WriteEeprom() = 0;
    // False when the device's erase method is not one of this family's; the
    // writer then sends nothing, not even the frame.
    virtual bool HasEraseMethod() const = 0;
    virtual void Erase() = 0;

    // True when the program image, or the EEPROM image, holds nothing but
    // blank cells, so that a write that leaves blank areas alone has nothing
    // to send at all.
    virtual bool ProgramBlank() const = 0;
    bool EepromBlank() const {
        const size_t limit = EepromLimit();
        return std::all_of(m_device.EepromData.begin(),
                           m_device.EepromData.begin() + static_cast<std::ptrdiff_t>(limit),
                           [](uint8_t b) { return b == kErasedByte; });
    }

protected:
    // An erased data EEPROM byte, and a PIC18 program byte.
    static constexpr uint8_t kErasedByte = 0xFF;

    bool Exchange(const CPacket& packet, size_t answerMax, CAnswer* answer = nullptr) {
        return m_context.Link.Exchange(packet, answerMax, answer);
    }
    // Counter start value of a timed wait of ms milliseconds.
    uint16_t WaitValue(unsigned ms) const { return writer_packet::WaitValue(m_context.ClockMHz, ms); }
    // ... of us microseconds.
    uint16_t WaitValueUs(unsigned us) const { return writer_packet::WaitValueUs(m_context.ClockMHz, us); }
    void HostWait(unsigned ms) { m_context.Link.HostWait(ms); }
    void AddProgress(int32_t amount) { m_context.Progress.fetch_add(amount); }
    bool IsUp() const { return m_context.Link.IsUp(); }
    // True while a memory loop may start its next block.
    bool MayContinue() const { return !m_context.AbortRequest.load() && IsUp(); }
    bool WriteUserId() const { return m_context.WriteUserId; }
    bool SkipBlank() const { return m_context.SkipBlank; }

    template <typename Routine> void Framed(Routine&& routine) {
        m_context.Link.Framed(m_context.SocketPins, m_device.EntryMode, routine);
    }

    // The memory sizes clipped to the image buffers, so that no loop reads or
    // fills a byte outside them.
    size_t ProgramLimit() const {
        return std::min<size_t>(m_device.ProgramBytes, m_device.ProgramData.size());
    }
    size_t EepromLimit() const { return std::min<size_t>(m_device.EepromSize, m_device.EepromData.size()); }

    const CEngineContext m_context;
    CPicDevice& m_device;
};
