#include "sim/SimWriterFaults.h"

#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"
#include "sim/pic18/Pic18Chip.h"

#include <charconv>
#include <cstdint>

namespace {

bool ParseNumber(std::string_view text, int base, uint64_t& value) {
    if (base == 16 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        text.remove_prefix(2);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool StuckCell(CSimWriter& writer, uint64_t address, std::string& error) {
    if (auto* mid = writer.ChipAs<CMidRangeChip>()) {
        if (mid->SetStuckCell(EMidRegion::Program, static_cast<size_t>(address))) {
            return true;
        }
        error = "the chip has no program word at that address";
        return false;
    }
    if (auto* pic18 = writer.ChipAs<CPic18Chip>()) {
        if (address < pic18->Model().ProgramBytes) {
            pic18->SetStuckCell(static_cast<uint32_t>(address));
            return true;
        }
        error = "the chip has no program byte at that address";
        return false;
    }
    error = "there is no chip in the socket";
    return false;
}

bool OtherId(CSimWriter& writer, uint64_t id, std::string& error) {
    if (id > 0xFFFF) {
        error = "a device ID has at most four hexadecimal digits";
        return false;
    }
    if (auto* mid = writer.ChipAs<CMidRangeChip>()) {
        mid->SetDeviceIdWord(static_cast<uint16_t>(id));
        return true;
    }
    if (auto* pic18 = writer.ChipAs<CPic18Chip>()) {
        pic18->SetDeviceId(static_cast<uint16_t>(id));
        return true;
    }
    error = "there is no chip in the socket";
    return false;
}

} // namespace

bool ApplySimFault(CSimWriter& writer, std::string_view spec, std::string& error) {
    if (spec == "no-chip") {
        (void)writer.RemoveChip();
        return true;
    }
    const size_t equals = spec.find('=');
    const std::string_view name = spec.substr(0, equals);
    const std::string_view text =
        equals == std::string_view::npos ? std::string_view{} : spec.substr(equals + 1);
    const bool hex = name == "stuck-cell" || name == "other-id";
    const bool packet = name == "unplug-after" || name == "mute-after" || name == "late-answer-at" ||
                        name == "double-answer-at" || name == "short-answer-at" || name == "empty-answer-at";
    if (!hex && !packet) {
        error = "unknown fault '" + std::string(spec) + "'";
        return false;
    }
    uint64_t value = 0;
    if (equals == std::string_view::npos || !ParseNumber(text, hex ? 16 : 10, value)) {
        // Appended piece by piece: GCC 12 at -O3 takes the chain of string
        // sums for an overlapping copy (-Wrestrict), which breaks a Release
        // build with warnings as errors.
        error.assign(1, '\'');
        error.append(name);
        error.append("' wants ");
        error.append(hex ? "a hexadecimal value" : "a packet number");
        error.append(" after '=', as in ");
        error.append(name);
        error.append(hex ? "=01F0" : "=12");
        return false;
    }
    // Packet numbers start at 1; only the mute may start before the first.
    if (packet && value == 0 && name != "mute-after") {
        error = "packet numbers start at 1";
        return false;
    }
    if (name == "unplug-after") {
        writer.UnplugAfterPacket(value);
    } else if (name == "mute-after") {
        writer.MuteAfterPacket(value);
    } else if (name == "late-answer-at") {
        writer.AnswerLate(value);
    } else if (name == "double-answer-at") {
        writer.AnswerTwice(value);
    } else if (name == "short-answer-at") {
        writer.ShortenAnswer(value, 1);
    } else if (name == "empty-answer-at") {
        writer.EmptyAnswer(value);
    } else if (name == "stuck-cell") {
        return StuckCell(writer, value, error);
    } else {
        return OtherId(writer, value, error);
    }
    return true;
}
