// The image of an Intel HEX file: import by the family's address map, export
// as 32-bit Intel HEX, and a watch on the loaded file for changes on disk.
//
// Address map, 14-bit core (hex byte address = 2 x word address):
//   0 .. 2*ProgramSize-1      program memory, byte for byte
//   0x4000 .. 0x4007          user IDs 0..3 (low byte replaces, high byte ORed in)
//   0x400E .. 0x4019          configuration words 0..5 (same rule)
//   0x4200 + 2k               EEPROM byte k (odd bytes ignored)
// PIC18 (hex address = device byte address):
//   0 .. ProgramSize-1        program memory
//   0x200000 .. 0x200007      user IDs 0..7
//   0x300000 .. 0x30000D      configuration bytes 0..13
//   0xF00000 + k              EEPROM byte k
// Anything else is ignored.
#pragma once

#include "device/PicDevice.h"
#include "device/UserPrompt.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* kMsgHexChanged = "Hex File が更新されています。\nリロードしますか。";

// The largest hex file read. The largest image (128 KiB of PIC18 program
// memory, 1 KiB of EEPROM, IDs and configuration) written with one data byte
// per record, the least dense form any tool writes (15 bytes a record with
// CRLF), is about 2 MB; 16 MiB leaves eight times that. A larger file is no
// hex file of any device and is refused rather than read into memory.
constexpr size_t kMaxHexFileBytes = 16 * 1024 * 1024;

// The path names a regular file (or a link to one) that can be opened for
// reading. A folder, a device or a FIFO is no hex file, whatever it reads.
bool CanOpenHexFile(const std::string& path);

// Consecutive hex file addresses, first and last included.
struct CHexAddressRun {
    uint32_t First = 0;
    uint32_t Last = 0;
    bool operator==(const CHexAddressRun&) const = default;
};

// What a load found in the file beside the image it gave: the things a user
// should hear before the image goes to a chip. Collecting it never changes
// what is loaded.
struct CHexReadReport {
    // The most address runs kept of the bytes outside the device; a file
    // with more has them counted in OutsideBytes all the same.
    static constexpr size_t kMaxOutsideRuns = 4096;

    int DataRecords = 0; // data records holding at least one byte
    bool EndRecord = false;
    int ShortRecords = 0; // data records whose line holds fewer bytes than their count says
    // Data bytes that lie outside every region of the device (and so reach
    // no chip), with their addresses merged into rising runs.
    uint64_t OutsideBytes = 0;
    std::vector<CHexAddressRun> OutsideRuns;
    bool OutsideRunsCut = false;    // more runs than kMaxOutsideRuns
    uint32_t ConfigWordsLoaded = 0; // bit w: the file gave configuration word w a byte
    bool UserIdLoaded = false;
    // The file gave the factory calibration word of a device that has one.
    bool CalibrationWordLoaded = false;
};

class CHexFile : public CPicDevice {
public:
    uint32_t SegmentBase = 0;
    std::string FilePath;   // empty = no file, no change watch
    CFileStatus FileStatus; // what the change watch compares, taken right after a load
    // Lines of the last load that were not sound records: a wrong checksum, a
    // record shorter or longer than its count says, non-hex characters, or a
    // non-blank line without the leading colon. Such records are still
    // applied as far as they can be read.
    int BadRecordCount = 0;
    // What the last load found in the file (see CHexReadReport).
    CHexReadReport ReadReport;
    // How the last LoadHex read its file: why it could not be read (missing,
    // a folder or device, too large) when it failed.
    EReadResult LastReadResult = EReadResult::Read;

    // Clears the image, reads the file record by record, fixes up the
    // configuration words, updates the checksum and starts the change watch.
    // False when the file cannot be read, is not a regular file or is larger
    // than kMaxHexFileBytes (the image stays cleared, nothing is watched,
    // and LastReadResult says why).
    bool LoadHex(const std::string& path);
    // Applies every record of the text (from SegmentBase 0), then fixes up the
    // configuration words and updates the checksum; the file side of LoadHex.
    void ReadRecordsText(std::string_view text);
    // The same for the whole of a stream (tests, benchmarks).
    void ReadRecords(std::istream& in);
    // Applies one record to the image.
    void ParseHexLine(const std::string& line);
    // Forces "[x]" bits to 0 and "[-]" bits to 1 in all sixteen words.
    void ApplyConfigMasks();
    // When the watched file changed on disk, asks whether to reload it and
    // reloads on Yes; true when it was read again.
    bool CheckHexChanged(IMessageBox& prompt);
    void ForgetHexFile() { FilePath.clear(); }

    // Writes the image as Intel HEX through ReplaceFileSafely: a failed save
    // (a read-only file, a folder, a full disk) leaves any existing file as
    // it was, and a link is followed to the file it names.
    bool SaveHex(const std::string& path) const;
    // Writes the image's records to a string, exactly as SaveHex does.
    std::string FormatImage() const;

private:
    static bool IsSoundRecord(const std::string& line);
    // Whether a data byte of this value at hex address a lies in a region of
    // the device; notes the configuration, user ID and calibration bytes on
    // the way.
    bool NoteDataByte(uint32_t a, uint32_t value);
    void NoteOutsideByte(uint32_t a);
    // A data record of `count` bytes, `cutShort` when its line ends early.
    void NoteDataRecord(uint32_t count, bool cutShort);
    void FinishReport();
    // One line of ReadRecordsText, without its line end: counted and applied.
    void ReadLine(std::string_view line);
    // A record decoded into its bytes (count, address, type, data, checksum;
    // n of them, possibly fewer than the count says).
    void ApplyDecodedRecord(const uint8_t* bytes, size_t n);
    // Data bytes for the addresses from start on, by the address map.
    void ApplyData(uint32_t start, const uint8_t* data, uint32_t count);
};

// One record: ":" count address type data checksum, upper-case hex, CRLF.
std::string FormatHexRecord(uint8_t count, uint32_t address, uint8_t type, const uint8_t* data);
