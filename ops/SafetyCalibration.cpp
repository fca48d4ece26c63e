// The safety net's calibration commands: read the chip's calibration, and
// write one back from the vault. Both are a few packets, made at once on the
// owner's thread as the runner makes its protected configuration write.
#include "ops/SafetyNet.h"

#include "writer/Writer.h"

bool CSafetyNet::MayExchange() const {
    return m_runner.Connected() && !IsRunning() && m_writer.IsOpen();
}

bool CSafetyNet::DeviceIdMatches() {
    // The runner's rule: a device without an ID is not checked.
    if (!m_writer.DeviceIdCheck || m_device.DeviceId == 0xFFFF) {
        return true;
    }
    if (!m_writer.ReadDeviceId()) {
        return false;
    }
    return (m_writer.DeviceId & m_writer.DeviceIdMask) == m_device.DeviceId;
}

ECalibrationResult CSafetyNet::ReadChipCalibration(CCalibration& read) {
    if (!MayExchange()) {
        return ECalibrationResult::NotReady;
    }
    if (!IsCalibrated(m_device)) {
        return ECalibrationResult::NotCalibrated;
    }
    m_writer.SocketPins = m_writer.PinCount;
    if (!DeviceIdMatches()) {
        return m_writer.IsOpen() ? ECalibrationResult::DeviceIdMismatch : ECalibrationResult::LinkLost;
    }
    if (!m_writer.ReadCalibration()) {
        return ECalibrationResult::LinkLost;
    }
    read = CalibrationOf(m_writer);
    OnChipCalibration(true, true);
    return ECalibrationResult::Ok;
}

CCalibrationRestore CSafetyNet::RestoreCalibration(std::optional<uint32_t> word,
                                                   std::optional<uint32_t> bits) {
    CCalibrationRestore r;
    r.Check = CheckCalibration(m_device, word, bits);
    if (r.Check == ECalibrationCheck::NotCalibrated) {
        r.Result = ECalibrationResult::NotCalibrated;
        return r;
    }
    if (r.Check != ECalibrationCheck::Ok) {
        r.Result = ECalibrationResult::Refused;
        return r;
    }
    r.Result = ReadChipCalibration(r.Before);
    if (r.Result != ECalibrationResult::Ok) {
        return r;
    }
    // Flash bits only go from 1 to 0 without an erase: a word that is
    // neither blank nor the one asked for would come out as a mix of both.
    if (word && r.Before.HasWord && r.Before.Word != *word && !IsBlankCalibrationWord(r.Before.Word)) {
        r.Result = ECalibrationResult::WordNotBlank;
        return r;
    }
    // The configuration goes back as the chip holds it, with the bits; the
    // word as asked for, or as it is.
    if (!m_writer.ReadConfig()) {
        r.Result = ECalibrationResult::LinkLost;
        return r;
    }
    PutCalibration(m_writer, word ? word : std::optional<uint32_t>(r.Before.Word),
                   bits ? bits : std::optional<uint32_t>(r.Before.Bits));
    if (!m_writer.WriteCalibration() || !m_writer.ReadCalibration()) {
        r.Result = ECalibrationResult::LinkLost;
        return r;
    }
    r.After = CalibrationOf(m_writer);
    OnChipCalibration(true, true);
    const bool wordOk = !word || r.After.Word == *word;
    const bool bitsOk = !bits || r.After.Bits == *bits;
    r.Result = wordOk && bitsOk ? ECalibrationResult::Ok : ECalibrationResult::Mismatch;
    return r;
}
