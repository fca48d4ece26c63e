// The few things the core asks of the operating system, behind one header so
// that nothing above it includes a system header of one platform.
//
// Paths are UTF-8 strings on every system; the Windows side converts them to
// UTF-16 at the call. No call throws; a result of false, empty or all zero
// means the system refused or the thing is not there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- the program

// The full path of the running executable; empty when the system does not say.
std::string ExecutablePath();
// The folder that holds the running executable, without a trailing
// separator; empty when unknown.
std::string ExecutableFolder();
// The user's home folder ($HOME, else the password database; %USERPROFILE%
// on Windows); empty when none is known.
std::string HomeFolder();
// Where per-user data lives: %LOCALAPPDATA% on Windows; elsewhere
// $XDG_DATA_HOME when that is an absolute path, else <home>/.local/share.
// Empty when none is known.
std::string UserDataFolder();
// The process's standard error stream is a terminal (so a progress bar can
// be redrawn in place).
bool StderrIsTerminal();

// ---------------------------------------------------------------- text
// Shift-JIS (code page 932) bytes as UTF-8. A byte sequence the code page
// cannot map becomes U+FFFD, so the result is always valid UTF-8; without a
// converter at all the bytes come back unchanged.
std::string ShiftJisToUtf8(std::string_view bytes);

// ---------------------------------------------------------------- file status

// What a change watch compares. Links are followed, so the status is that of
// the file a link points to.
struct CFileStatus {
    int64_t ModifiedNs = 0; // last modification, ns since the epoch; 0 when the file cannot be found
    uint64_t Size = 0;
    uint32_t Attributes = 0; // permission bits (Windows: 0444 when read-only, else 0666)
    bool IsRegular = false;  // a plain file, not a folder, device or pipe
    bool operator==(const CFileStatus&) const = default;
};

// The status of the file at `path`; all zero when it cannot be found.
CFileStatus GetFileStatus(const std::string& path);
// True for a plain file (after following links); false for a folder, a
// device, a pipe, or nothing at all.
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// Anything at all is at `path` (after following links): a file, a folder, a
// device.
bool PathExists(const std::string& path);
// `name` in `folder`, with this system's separator between them.
std::string PathInFolder(const std::string& folder, const std::string& name);

// ---------------------------------------------------------------- bounded read

// Why a whole-file read gave nothing.
enum class EReadResult {
    Read,     // the bytes are in
    Missing,  // no such file, or it may not be opened
    NotAFile, // a folder, a device (/dev/zero, /dev/urandom), a pipe or a socket
    TooLarge, // more bytes than the caller's limit
    Failed,   // the system reported an error while reading
};

// The one way this system reads a whole file the user names. Only a plain
// file (links followed) is read, so a device that never ends or a pipe that
// never answers is refused before it is opened; and no more than maxBytes + 1
// bytes are ever taken, so a file that is too large, or one that grows while
// it is read, is refused once it passes the limit instead of filling the
// memory. Each reader passes the limit of its largest legitimate file. On
// any result other than Read, `bytes` is empty.
EReadResult ReadFileLimited(const std::string& path, size_t maxBytes, std::string& bytes);

// A plain file (links followed) that this user may open for reading, tried by
// opening it without reading a byte.
bool CanOpenForReading(const std::string& path);

// ---------------------------------------------------------------- folders

// Creates the folder and any missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);
// Removes a file, a link or an empty folder (never anything inside a
// folder); true when it was removed.
bool RemovePath(const std::string& path);
// The names of the entries of a folder (no "." or ".."), sorted bytewise;
// false when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<std::string>& names);
// Creates a new folder "<parent>/<prefix>XXXXXX" with a unique suffix, only
// the user may enter; its path, or empty on failure.
std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix);

// ---------------------------------------------------------------- safe replace

// The one way this system replaces a user's file. The bytes go to a new file
// with a unique name beside the target ("<name>.kvx3-tmp-<suffix>"), are
// flushed to the disk, and only then is the temporary file renamed over the
// target, so a reader, a crash or a power cut finds the old file or the new
// one, never a part. The target's permission bits (and, where allowed, its
// owner) are kept; a symbolic link is followed and the file it points to is
// replaced, the link stays. A target that exists but may not be written
// (no write permission, or read-only on Windows) is refused, as is a folder
// or a device. On any failure the target is as it was and the temporary file
// is gone.
enum class EReplaceResult {
    Replaced,
    ReadOnly,     // the target exists and may not be written
    NotAFile,     // the target (or what a link points to) is a folder, device or pipe
    CreateFailed, // no temporary file beside the target (missing or closed folder, link loop)
    WriteFailed,
    SyncFailed,   // the bytes could not be flushed to the disk (or the file not closed)
    RenameFailed, // the temporary file could not take the target's place
};
EReplaceResult ReplaceFileSafely(const std::string& path, std::string_view bytes);

// ---------------------------------------------------------------- test seam

// Makes a step of the next safe replace on this thread fail, as a full disk,
// a failing device or a concurrent change would. Without this, such failures
// cannot be provoked in a test: a root user writes read-only folders anyway.
enum class EReplaceStep { Create, Write, Sync, Rename };
struct CReplaceFault {
    EReplaceStep Step = EReplaceStep::Write;
    // Write: the number of bytes that reach the temporary file before the
    // write fails.
    size_t BytesBeforeFailure = 0;
    // Stop there as a killed process would, leaving the temporary file
    // behind, instead of failing cleanly.
    bool Abandon = false;
};

// Arms the fault for the next ReplaceFileSafely on the calling thread while
// the object lives; the fault fires at most once.
class CReplaceFaultScope {
public:
    explicit CReplaceFaultScope(const CReplaceFault& fault);
    ~CReplaceFaultScope();
    CReplaceFaultScope(const CReplaceFaultScope&) = delete;
    CReplaceFaultScope& operator=(const CReplaceFaultScope&) = delete;

    // True once a replace has run into the fault.
    bool Fired() const;
};
