#include "device/DeviceList.h"

#include "device/Bounds.h"
#include "device/ConfigLabels.h"
#include "device/TextDecode.h"
#include "device/TextNumbers.h"
#include "platform/Platform.h"

#include <algorithm>
#include <string_view>

namespace {

// Splits a catalogue text into lines: a line ends at a line feed, and a
// carriage return before it is not part of the line.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Column 0: the text before the first TAB; empty when the line has none.
std::string_view NameColumn(std::string_view line) {
    const size_t tab = line.find('\t');
    return tab == std::string_view::npos ? std::string_view{} : line.substr(0, tab);
}

// Takes the next column from `rest`: the text before the next TAB, after which
// `rest` begins. Without a TAB the column is empty and `rest` stays as it is.
std::string_view NextColumn(std::string_view& rest) {
    const size_t tab = rest.find('\t');
    if (tab == std::string_view::npos) {
        return {};
    }
    std::string_view column = rest.substr(0, tab);
    rest.remove_prefix(tab + 1);
    return column;
}

// The two halves of a "first:second" column; without a colon the first half
// is empty and the second is the whole column.
void SplitPair(std::string_view column, std::string_view& first, std::string_view& second) {
    const size_t colon = column.find(':');
    if (colon == std::string_view::npos) {
        first = {};
        second = column;
    } else {
        first = column.substr(0, colon);
        second = column.substr(colon + 1);
    }
}

uint32_t NonNegative(int32_t v) {
    return v < 0 ? 0U : static_cast<uint32_t>(v);
}

} // namespace

std::string DefaultDeviceListPath() {
    const std::string folder = ExecutableFolder();
    if (folder.empty()) {
        return kDeviceListFileName;
    }
    return folder.back() == '/' ? folder + kDeviceListFileName : folder + '/' + kDeviceListFileName;
}

CDeviceList::CDeviceList(IMessageBox* messages) : m_pMessages(messages) {
    DeviceName = kDefaultDeviceName;
    ConfigLegend = "[CP][-][DEBUG][WRT1][WRT0][CPD][LVD][BOREN][-][-][*PWRTEN][WDTEN][FOSC1][FOSC0]";
    ProgramSize = 4096;
    CoreWidth = kCoreMidRange;
    ProgramBytes = 8192;
    EepromSize = 128;
    PinCount = 28;
    EntryMode = 0;
    WriteCycle = 2;
    EepromMethod = 0;
    BlockWrite = 0;
    ReservedParam = 2;
    EraseMethod = 4;
    WriteBlockBytes = 8;
    CalAddress = 0;
    CalFlag = 0;
    DeviceId = 0x0E40;
    DeviceIdMask = 0xFFF0;
    std::fill(std::begin(UserId), std::end(UserId), 0xFFU);
    ParseLegend();
    AllocProgram();
    AllocEeprom();
    UpdateChecksum();
}

bool CDeviceList::OpenList(std::string& text) {
    if (ListPath.empty()) {
        ListPath = DefaultDeviceListPath();
    }
    std::string bytes;
    ListReadResult = ReadFileBytes(ListPath, kMaxDeviceListBytes, bytes);
    if (ListReadResult != EReadResult::Read) {
        if (m_pMessages != nullptr) {
            m_pMessages->Show(kMsgDeviceListMissing, EMsgIcon::Stop, EMsgButtons::Ok);
        }
        return false;
    }
    text = DecodeTextFile(bytes);
    return true;
}

bool CDeviceList::FillSelector(IDeviceSelector& selector) {
    std::string text;
    if (!OpenList(text)) {
        return false;
    }
    for (std::string_view line : SplitLines(text)) {
        if (!line.empty() && line.front() == ';') {
            continue;
        }
        selector.AddItem(std::string(NameColumn(line)));
    }
    return true;
}

bool CDeviceList::LoadDevice(const std::string& name) {
    std::string text;
    if (!OpenList(text)) {
        return false;
    }
    bool matched = false;
    for (std::string_view line : SplitLines(text)) {
        if (!line.empty() && line.front() == ';') {
            continue;
        }
        if (NameColumn(line) == name) {
            ApplyEntry(std::string(line));
            matched = true;
            break;
        }
    }
    // A name that no entry matches leaves the record as it was (it is
    // consistent already); the checksum is recomputed either way.
    UpdateChecksum();
    return matched;
}

void CDeviceList::ApplyEntry(const std::string& lineText) {
    std::string_view rest = lineText;
    DeviceName = std::string(NextColumn(rest));

    std::string_view first;
    std::string_view second;
    SplitPair(NextColumn(rest), first, second);
    ProgramSize = NonNegative(ParseDecimal(first));
    CoreWidth = std::clamp(ParseDecimal(second), 0, bounds::kMaxCoreWidth);
    EepromSize = NonNegative(ParseDecimal(NextColumn(rest)));
    ConfigLegend = std::string(NextColumn(rest));
    PinCount = ParseDecimal(NextColumn(rest));
    EntryMode = ParseDecimal(NextColumn(rest));
    WriteCycle = ParseDecimal(NextColumn(rest));
    EepromMethod = ParseDecimal(NextColumn(rest));
    BlockWrite = ParseDecimal(NextColumn(rest));
    ReservedParam = ParseDecimal(NextColumn(rest));
    EraseMethod = ParseDecimal(NextColumn(rest));
    const int64_t rowBytes = 2 * int64_t{ParseDecimal(NextColumn(rest))};

    const std::string_view cal = NextColumn(rest);
    if (cal == ":") {
        CalAddress = 0;
        CalFlag = 0;
    } else {
        SplitPair(cal, first, second);
        CalAddress = static_cast<int32_t>(ParseHexNumber(first));
        CalFlag = static_cast<int32_t>(ParseHexNumber(second));
    }
    const std::string_view id = NextColumn(rest);
    if (!id.empty() && id.front() == '-') {
        DeviceId = 0xFFFF;
        DeviceIdMask = 0;
    } else {
        SplitPair(id, first, second);
        DeviceId = ParseHexNumber(first);
        DeviceIdMask = ParseHexNumber(second);
    }

    // Row size: a mid-range latch row is at least one word and at most what
    // the row packet holds; a PIC18 buffer at most 64 bytes (see Bounds.h).
    if (CoreWidth == kCoreMidRange) {
        WriteBlockBytes =
            static_cast<int32_t>(std::clamp<int64_t>(rowBytes, 2, bounds::kMaxMidRangeRowBytes));
    } else {
        WriteBlockBytes = static_cast<int32_t>(std::clamp<int64_t>(rowBytes, 0, bounds::kMaxPic18RowBytes));
    }

    ParseLegend();
    std::fill(std::begin(UserId), std::end(UserId), 0xFFU);
    AllocProgram();
    AllocEeprom();
    // The calibration word must lie inside program memory; an address beyond
    // it means the entry has none there.
    if (CalAddress < 0 ||
        (CalAddress != 0 && 2ULL * static_cast<uint32_t>(CalAddress) + 1 >= ProgramData.size())) {
        CalAddress = 0;
    }
}

std::string CDeviceList::NextLegendToken(int index) {
    if (index == 0) {
        LegendCursor = ConfigLegend;
    }
    return TakeLegendToken(LegendCursor);
}
