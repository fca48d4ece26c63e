// One device's catalogue parameters together with a full memory image of it.
//
// The selected device, the hex file image and the writer each hold one of
// these (through derived classes); data moves between them only by the copy
// operations below. Records are never copied by value: AssignFrom is the deep
// copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Family switch used throughout.
enum : int32_t {
    kCoreMidRange = 14, // 14-bit program words, word-addressed
    kCorePic18 = 8,     // byte-addressed program memory, byte-wide configuration
};

constexpr int kConfigWords = 16;
constexpr int kUserIds = 8;

// VerifyFlags bits set by CompareImage.
enum : int32_t {
    kVerifyDifferentDevice = 0x01,
    kVerifyProgram = 0x02,
    kVerifyEeprom = 0x04,
    kVerifyConfig = 0x08,
    kVerifyUserId = 0x10,
};

class CPicDevice {
public:
    CPicDevice();
    virtual ~CPicDevice();
    CPicDevice(const CPicDevice&) = delete;
    CPicDevice& operator=(const CPicDevice&) = delete;

    // --- parameters (declaration order as the catalogue defines them) ---
    std::vector<uint8_t> ProgramData; // empty = no buffer
    std::vector<uint8_t> EepromData;  // empty = no buffer
    std::string DeviceName;
    std::string ConfigLegend;
    uint32_t ProgramSize = 0; // words for core 14, bytes for core 8
    uint32_t EepromSize = 0;
    int32_t CoreWidth = 0;
    uint32_t ProgramBytes = 0;
    int32_t PinCount = 0;
    int32_t EntryMode = 0;
    int32_t WriteCycle = 0;
    int32_t EepromMethod = 0;
    int32_t BlockWrite = 0;
    int32_t ReservedParam = 0;
    int32_t EraseMethod = 0;
    int32_t WriteBlockBytes = 0;
    int32_t CalAddress = 0;
    int32_t CalFlag = 0;
    uint32_t DeviceId = 0;
    uint32_t DeviceIdMask = 0;
    int32_t VerifyFlags = 0;
    int32_t ConfigCount = 1;
    uint32_t Config[kConfigWords] = {};
    uint32_t ConfigZeroMask[kConfigWords] = {};
    uint32_t ConfigOneMask[kConfigWords] = {};
    uint32_t ConfigUserMask[kConfigWords] = {};
    uint32_t ConfigNamedMask[kConfigWords] = {};
    uint32_t ConfigProtectMask[kConfigWords] = {};
    uint32_t ConfigCalMask[kConfigWords] = {};
    uint32_t UserId[kUserIds] = {};
    uint32_t Checksum = 0;

    // --- legend ---
    // Rebuilds ConfigCount, the default Config values and all six masks from
    // ConfigLegend and CoreWidth; sets CalFlag when calibration bits exist.
    void ParseLegend();

    // --- image ---
    void AllocProgram();
    void AllocEeprom();
    void ClearImage();
    void CopyParameters(const CPicDevice& other);
    bool CopyProgram(const CPicDevice& other);
    bool CopyEeprom(const CPicDevice& other);
    void CopyConfig(const CPicDevice& other);
    void CopyUserIds(const CPicDevice& other);
    CPicDevice& AssignFrom(const CPicDevice& other);
    void TakeCalibration(const CPicDevice& other);
    bool IsProtected() const;
    // 0 = equal, 1 = different; the per-region result is left in VerifyFlags.
    int CompareImage(const CPicDevice& other);
    void UpdateChecksum();

    // Number of configuration words a caller may index: ConfigCount clamped
    // to 0..16, so a corrupt count can never index outside the arrays.
    int ConfigWordCount() const;
    // Blank value of one program word (core 14) or byte (core 8).
    uint32_t BlankProgramWord() const;
    // Program word at word address i (core 14), or byte (core 8); blank when
    // outside the image.
    uint32_t ProgramWord(uint32_t i) const;
};

// True when the token is one of the nineteen code-protect tokens.
bool IsProtectToken(const std::string& token);

// The first character of a legend name ("[zXINST]") that marks a named bit
// whose erased value, and so whose default, is 0. Every other named bit
// defaults to 1.
constexpr char kErasedZeroMark = 'z';

// The label a configuration grid shows for a legend name (the token's text
// inside its brackets): without a leading "p", "c" or "z" marker.
std::string LegendLabel(const std::string& name);
