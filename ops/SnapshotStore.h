// Snapshots: what a chip held before it was erased or programmed, kept as
// Intel HEX files in <safety folder>/snapshots, each with a small record
// beside it.
//
//   PIC12F675_20240501-142205.hex    the chip's image (our own export)
//   PIC12F675_20240501-142205.info   device=, time=, writer=, checksum= lines
//
// A second snapshot within the same second gets "-2", "-3", ... after the
// time. Only files named so are snapshots; anything else in the folder is
// left alone. The newest kSnapshotsKept are kept.
#pragma once

#include "image/HexFile.h"
#include "ops/SafetyFiles.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kSnapshotsKept = 50;

struct CSnapshotInfo {
    std::string Name; // the hex file's name, without the folder
    std::string Path; // the hex file's full path
    CStamp Time;
    int Sequence = 1; // the "-N" of a second snapshot within the same second
    // From the record; without a readable record the device is the name's
    // (which may differ from the catalogue's spelling) and the rest is empty.
    std::string Device;
    std::string Banner;
    uint32_t Checksum = 0;
    bool HasRecord = false;
};

std::string SnapshotFolder(const std::string& safetyFolder);
// The device name as it appears in a file name: letters, digits, "+", "-"
// and "." kept, anything else "-".
std::string SnapshotNamePart(const std::string& device);

enum class ESnapshotSave {
    Saved,
    NoFolder,    // no safety folder is known, or it cannot be made
    WriteFailed, // the hex file or its record could not be written (neither is left)
};
// Writes `image` (the chip as read, its checksum updated here) and its
// record, then removes the oldest snapshots beyond kSnapshotsKept.
ESnapshotSave SaveSnapshot(const std::string& folder, CHexFile& image, const std::string& banner,
                           const CStamp& time, CSnapshotInfo& saved);

// Every snapshot in the folder, newest first. A missing folder has none.
std::vector<CSnapshotInfo> ListSnapshots(const std::string& folder);
// Removes the oldest snapshots (and their records) beyond `keep`; how many went.
size_t PruneSnapshots(const std::string& folder, size_t keep);

// A snapshot by its name as listed ("PIC12F675_20240501-142205", with or
// without ".hex") or by a path to its hex file. False when there is none.
bool FindSnapshot(const std::string& folder, const std::string& nameOrPath, CSnapshotInfo& found);
// The newest snapshot of the device; false when it has none.
bool NewestSnapshotOf(const std::string& folder, const std::string& device, CSnapshotInfo& found);

enum class ESnapshotCheck {
    Ok,
    Missing,     // the hex file is gone
    OtherDevice, // taken of another device type
    Unreadable,  // the hex file cannot be read, or holds no data
    Damaged,     // its image does not give the checksum its record names
};
// Whether the snapshot can be programmed into a chip of `device`: reads it
// into `image` (given the device's parameters first) and checks it.
ESnapshotCheck CheckSnapshot(const CSnapshotInfo& snapshot, const CPicDevice& device, CHexFile& image);
