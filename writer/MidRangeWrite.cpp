// The mid-range engine's writes: program memory (rows, latches or words),
// EEPROM, configuration and the calibration write-back.
#include "writer/MidRangeEngine.h"
#include "writer/MidRangeRecipe.h"

#include <algorithm>

using namespace mid_range;

// Leaving blank areas alone: a row (or a word, for the word-by-word write)
// whose every word is blank is not written; the increments that would have
// stepped over it are owed, and paid at the head of the next write's first
// packet (whole packets of increments first when they do not fit there). A
// row with any other word is written whole, so the latches hold nothing
// stale. Increments still owed after the last written row are never sent:
// the address counter is not needed again before the exit resets it.
void CMidRangeEngine::WriteProgram() {
    const size_t limit = ProgramLimit();
    const bool skip = SkipBlank();
    uint32_t owed = 0;
    const bool rows = m_device.WriteCycle == kWriteCycleRowsEnd0A;
    if (rows || m_device.WriteCycle == kWriteCycleLatch || m_device.WriteCycle == kWriteCycleLatchEnd17) {
        const size_t row = static_cast<size_t>(RowBytes());
        for (size_t offset = 0; offset < limit && MayContinue(); offset += row) {
            const size_t bytes = std::min(row, limit - offset);
            const size_t words = (bytes + 1) / 2;
            if (skip && BlankWords(offset, words)) {
                owed += static_cast<uint32_t>(words);
                AddProgress(static_cast<int32_t>(bytes));
                continue;
            }
            uint32_t latch[kMaxRowWords] = {};
            for (size_t j = 0; j < words; ++j) {
                latch[j] = ImageWord(offset + 2 * j);
            }
            if (rows) {
                RowWrite(latch, words, static_cast<int32_t>(bytes), owed);
            } else {
                LatchWrite(latch, words, static_cast<int32_t>(bytes), owed);
            }
            owed = 0;
        }
    } else {
        for (size_t offset = 0; offset < limit && MayContinue(); offset += kWordBytes) {
            if (skip && BlankWords(offset, 1)) {
                ++owed;
                AddProgress(static_cast<int32_t>(kWordBytes));
                continue;
            }
            WordWrite(ImageWord(offset), owed);
            owed = 0;
        }
    }
}

void CMidRangeEngine::WriteEeprom() {
    const size_t limit = EepromLimit();
    // Blank bytes are left alone as blank program rows are (see WriteProgram).
    const bool skip = SkipBlank();
    uint32_t owed = 0;
    for (size_t a = 0; a < limit && MayContinue(); ++a) {
        const uint8_t b = m_device.EepromData[a];
        if (skip && b == kErasedByte) {
            ++owed;
            AddProgress(1);
            continue;
        }
        CPacket p;
        if (m_device.EepromMethod == kEepromBeginOnly) {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgrammingOnly).Wait(WaitValue(kProgramOnlyCycleMs));
            p.MidCommand(kEndProgramming17).MidCommand(kIncrement);
        } else if (m_device.EepromMethod == kEepromTimed6) {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgramming).Wait(WaitValue(kDataProgramMs));
            p.MidCommand(kIncrement);
        } else {
            p.MidLoad(kLoadData, b).MidCommand(kBeginProgramming).Wait(WaitValue(kProgramCycleMs));
            p.MidCommand(kIncrement);
        }
        Exchange(WithIncrements(owed, p), kAnswerShort);
        owed = 0;
        AddProgress(1);
    }
}

void CMidRangeEngine::WriteConfig(bool bProtect) {
    uint32_t ids[kUserIdWords];
    for (size_t i = 0; i < kUserIdWords; ++i) {
        ids[i] = kUserIdFill | (m_device.UserId[i] & kUserIdBits);
    }
    const int words = ConfigWords();
    // Without protection the code-protect bits are written unprotected, so
    // the chip stays readable for the verify that follows.
    auto value = [&](int i) {
        return bProtect ? m_device.Config[i] : m_device.Config[i] | m_device.ConfigProtectMask[i];
    };

    CPacket start;
    start.MidLoad(kLoadConfig, 0);
    Exchange(start, kAnswerShort);

    if (m_device.BlockWrite == kConfigBeginOnly) {
        if (m_device.WriteBlockBytes < kUserIdRowBytes) {
            for (const uint32_t& id : ids) {
                RowWrite(&id, 1, 1);
            }
        } else {
            RowWrite(ids, kUserIdWords, static_cast<int32_t>(kWordBytes * kUserIdWords));
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i));
            EndedCycle(p, kConfigProgramMs);
            Exchange(p, kAnswerShort);
        }
    } else if (m_device.BlockWrite != kConfigLatchStyle) {
        for (uint32_t id : ids) {
            WordWrite(id);
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i)).MidCommand(kBeginProgramming).Wait(WaitValue(kProgramCycleMs));
            p.MidCommand(kIncrement);
            Exchange(p, kAnswerShort);
        }
    } else {
        if (m_device.WriteBlockBytes < kUserIdRowBytes) {
            for (const uint32_t& id : ids) {
                LatchWrite(&id, 1, 1);
            }
        } else {
            LatchWrite(ids, kUserIdWords, static_cast<int32_t>(kWordBytes * kUserIdWords));
        }
        DeviceIdStep();
        for (int i = 0; i < words; ++i) {
            CPacket p;
            p.MidLoad(kLoadProgram, value(i))
                .MidCommand(kBeginProgramming)
                .Wait(WaitValue(kProgramOnlyCycleMs));
            p.MidCommand(EndCommand()).MidCommand(kIncrement);
            Exchange(p, kAnswerShort);
        }
    }
    AddProgress(kConfigProgress);
}

void CMidRangeEngine::WriteCalibration() {
    // Without a calibration word only the configuration (with the chip's
    // calibration bits) is written back.
    const uint32_t cal = CalibrationAddress();
    if (cal != 0) {
        Framed([this, cal] {
            Advance(cal);
            WordWrite(ImageWord(2 * static_cast<size_t>(cal)));
        });
    }
    Framed([this] { WriteConfig(false); });
}
