#include "ops/SnapshotStore.h"

#include "device/TextNumbers.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr const char* kHexSuffix = ".hex";
constexpr const char* kRecordSuffix = ".info";
constexpr size_t kMaxRecordBytes = 64 * 1024;
// Snapshots within one second beyond this many are refused rather than
// searched for a free name without end.
constexpr int kMaxSequence = 99;

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string WithoutSuffix(const std::string& text, const std::string& suffix) {
    return EndsWith(text, suffix) ? text.substr(0, text.size() - suffix.size()) : text;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "<device>_<YYYYMMDD-HHMMSS>[-N].hex": the name part, time and sequence.
bool ParseSnapshotName(const std::string& name, CSnapshotInfo& info) {
    if (!EndsWith(name, kHexSuffix)) {
        return false;
    }
    const std::string base = WithoutSuffix(name, kHexSuffix);
    const size_t underscore = base.rfind('_');
    if (underscore == std::string::npos || underscore == 0) {
        return false;
    }
    const std::string tail = base.substr(underscore + 1);
    CStamp time;
    if (tail.size() < 15 || !ParseStampCompact(std::string_view(tail).substr(0, 15), time)) {
        return false;
    }
    int sequence = 1;
    if (tail.size() > 15) {
        const std::string digits = tail.substr(16);
        if (tail[15] != '-' || digits.empty() || digits.size() > 2 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        sequence = std::stoi(digits);
    }
    info.Name = name;
    info.Time = time;
    info.Sequence = sequence;
    info.Device = base.substr(0, underscore);
    return true;
}

std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return line;
}

std::string RecordText(const std::string& device, const CStamp& time, const std::string& banner,
                       uint32_t checksum) {
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", checksum & 0xFFFF);
    return "device=" + OneLine(device) + "\ntime=" + StampText(time) + "\nwriter=" + OneLine(banner) +
           "\nchecksum=" + sum + "\n";
}

// Fills device, banner and checksum from the record beside the hex file.
void ReadRecord(const std::string& hexPath, CSnapshotInfo& info) {
    std::string text;
    if (!ReadSmallFile(WithoutSuffix(hexPath, kHexSuffix) + kRecordSuffix, kMaxRecordBytes, text)) {
        return;
    }
    std::string device;
    std::string banner;
    bool haveSum = false;
    uint32_t sum = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("device=", 0) == 0) {
            device = line.substr(7);
        } else if (line.rfind("writer=", 0) == 0) {
            banner = line.substr(7);
        } else if (line.rfind("checksum=", 0) == 0) {
            const std::string digits = line.substr(9);
            haveSum = !digits.empty() && digits.size() <= 4 &&
                      std::all_of(digits.begin(), digits.end(),
                                  [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
            sum = haveSum ? ParseHexNumber(digits) : 0;
        }
    }
    if (device.empty() || !haveSum) {
        return;
    }
    info.Device = device;
    info.Banner = banner;
    info.Checksum = sum;
    info.HasRecord = true;
}

bool Newer(const CSnapshotInfo& a, const CSnapshotInfo& b) {
    if (a.Time != b.Time) {
        return a.Time > b.Time;
    }
    if (a.Sequence != b.Sequence) {
        return a.Sequence > b.Sequence;
    }
    return a.Name < b.Name;
}

} // namespace

std::string SnapshotFolder(const std::string& safetyFolder) {
    return safetyFolder.empty() ? std::string() : safetyFolder + "/snapshots";
}

std::string SnapshotNamePart(const std::string& device) {
    std::string part = device.empty() ? std::string("device") : device;
    for (char& c : part) {
        const bool keep =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
        c = keep && static_cast<unsigned char>(c) < 0x80 ? c : '-';
    }
    return part;
}

ESnapshotSave SaveSnapshot(const std::string& folder, CHexFile& image, const std::string& banner,
                           const CStamp& time, CSnapshotInfo& saved) {
    if (folder.empty() || !MakeFolders(folder)) {
        return ESnapshotSave::NoFolder;
    }
    const std::string base = SnapshotNamePart(image.DeviceName) + "_" + StampCompact(time);
    std::string stem;
    int sequence = 1;
    for (; sequence <= kMaxSequence; ++sequence) {
        stem = folder + "/" + base + (sequence == 1 ? std::string() : "-" + std::to_string(sequence));
        if (!IsRegularFile(stem + kHexSuffix) && !IsRegularFile(stem + kRecordSuffix)) {
            break;
        }
    }
    if (sequence > kMaxSequence) {
        return ESnapshotSave::WriteFailed;
    }
    image.UpdateChecksum();
    const uint32_t checksum = image.Checksum & 0xFFFF;
    const std::string hexPath = stem + kHexSuffix;
    if (ReplaceFileSafely(hexPath, image.FormatImage()) != EReplaceResult::Replaced) {
        return ESnapshotSave::WriteFailed;
    }
    if (ReplaceFileSafely(stem + kRecordSuffix, RecordText(image.DeviceName, time, banner, checksum)) !=
        EReplaceResult::Replaced) {
        RemovePath(hexPath);
        return ESnapshotSave::WriteFailed;
    }
    saved = CSnapshotInfo{};
    saved.Name = FileNameOf(hexPath);
    saved.Path = hexPath;
    saved.Time = time;
    saved.Sequence = sequence;
    saved.Device = image.DeviceName;
    saved.Banner = OneLine(banner);
    saved.Checksum = checksum;
    saved.HasRecord = true;
    PruneSnapshots(folder, kSnapshotsKept);
    return ESnapshotSave::Saved;
}

std::vector<CSnapshotInfo> ListSnapshots(const std::string& folder) {
    std::vector<CSnapshotInfo> snapshots;
    std::vector<std::string> names;
    if (folder.empty() || !ListFolder(folder, names)) {
        return snapshots;
    }
    for (const std::string& name : names) {
        CSnapshotInfo info;
        const std::string path = folder + "/" + name;
        if (!ParseSnapshotName(name, info) || !IsRegularFile(path)) {
            continue;
        }
        info.Path = path;
        ReadRecord(path, info);
        snapshots.push_back(std::move(info));
    }
    std::sort(snapshots.begin(), snapshots.end(), Newer);
    return snapshots;
}

size_t PruneSnapshots(const std::string& folder, size_t keep) {
    const std::vector<CSnapshotInfo> snapshots = ListSnapshots(folder);
    size_t removed = 0;
    for (size_t i = keep; i < snapshots.size(); ++i) {
        if (RemovePath(snapshots[i].Path)) {
            ++removed;
        }
        RemovePath(WithoutSuffix(snapshots[i].Path, kHexSuffix) + kRecordSuffix);
    }
    return removed;
}

bool FindSnapshot(const std::string& folder, const std::string& nameOrPath, CSnapshotInfo& found) {
    if (nameOrPath.empty()) {
        return false;
    }
    const bool isPath = nameOrPath.find_first_of("/\\") != std::string::npos;
    std::string path = isPath ? nameOrPath : folder + "/" + nameOrPath;
    if (!EndsWith(path, kHexSuffix) && !IsRegularFile(path)) {
        path += kHexSuffix;
    }
    if ((!isPath && folder.empty()) || !IsRegularFile(path)) {
        return false;
    }
    CSnapshotInfo info;
    if (!ParseSnapshotName(FileNameOf(path), info)) {
        info.Name = FileNameOf(path);
        info.Device.clear();
    }
    info.Path = path;
    ReadRecord(path, info);
    found = info;
    return true;
}

bool NewestSnapshotOf(const std::string& folder, const std::string& device, CSnapshotInfo& found) {
    for (const CSnapshotInfo& s : ListSnapshots(folder)) {
        if (s.HasRecord ? s.Device == device : s.Device == SnapshotNamePart(device)) {
            found = s;
            return true;
        }
    }
    return false;
}

ESnapshotCheck CheckSnapshot(const CSnapshotInfo& snapshot, const CPicDevice& device, CHexFile& image) {
    if (!IsRegularFile(snapshot.Path)) {
        return ESnapshotCheck::Missing;
    }
    const bool sameDevice = snapshot.HasRecord ? snapshot.Device == device.DeviceName
                                               : snapshot.Device == SnapshotNamePart(device.DeviceName);
    if (!sameDevice) {
        return ESnapshotCheck::OtherDevice;
    }
    image.AssignFrom(device);
    if (!image.LoadHex(snapshot.Path) || image.ReadReport.DataRecords == 0) {
        return ESnapshotCheck::Unreadable;
    }
    if (snapshot.HasRecord && (image.Checksum & 0xFFFF) != snapshot.Checksum) {
        return ESnapshotCheck::Damaged;
    }
    return ESnapshotCheck::Ok;
}
