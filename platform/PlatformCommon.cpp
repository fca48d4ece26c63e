// The parts of the platform layer that the standard library already makes
// portable: folders, the temporary names and the test seam.
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Long enough for any name a user gives, short enough that the temporary
// name stays within the 255 units every file system allows.
constexpr size_t kMaxKeptNameBytes = 200;
constexpr const char* kTemporaryMarker = ".kvx3-tmp-";
constexpr size_t kTemporarySuffixDigits = 12;

struct CArmedFault {
    bool Armed = false;
    bool Fired = false;
    CReplaceFault Fault;
};
thread_local CArmedFault t_fault;

size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.find_last_of('/');
#endif
}

// The first `limit` bytes of a UTF-8 name, cut before a character rather
// than inside one.
std::string Shortened(const std::string& name, size_t limit) {
    if (name.size() <= limit) {
        return name;
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    return name.substr(0, end);
}

} // namespace

namespace platform_detail {

const CReplaceFault* TakeReplaceFault(EReplaceStep step) {
    if (!t_fault.Armed || t_fault.Fired || t_fault.Fault.Step != step) {
        return nullptr;
    }
    t_fault.Fired = true;
    return &t_fault.Fault;
}

fs::path FsPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string FolderOf(const std::string& path) {
    const size_t slash = LastSeparator(path);
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string RandomSuffix(size_t digits) {
    static std::atomic<uint64_t> counter{0};
    thread_local std::mt19937_64 random(std::random_device{}() ^
                                        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL));
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix(digits, '0');
    uint64_t bits = 0;
    for (size_t i = 0; i < digits; ++i) {
        if (i % 16 == 0) {
            bits = random();
        }
        suffix[i] = kDigits[bits & 0xF];
        bits >>= 4;
    }
    return suffix;
}

std::string TemporarySibling(const std::string& target) {
    const size_t slash = LastSeparator(target);
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + Shortened(target.substr(nameStart), kMaxKeptNameBytes) +
           kTemporaryMarker + RandomSuffix(kTemporarySuffixDigits);
}

} // namespace platform_detail

using platform_detail::FsPath;
using platform_detail::Utf8;

std::string ExecutableFolder() {
    return platform_detail::FolderOf(ExecutablePath());
}

bool IsRegularFile(const std::string& path) {
    return GetFileStatus(path).IsRegular;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(FsPath(path), error);
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    fs::create_directories(FsPath(path), error);
    return IsFolder(path);
}

bool RemovePath(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::remove(FsPath(path), error) && !error;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
    std::error_code error;
    fs::directory_iterator it(FsPath(folder), error);
    if (error) {
        return false;
    }
    std::vector<std::string> found;
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        found.push_back(Utf8(it->path().filename()));
    }
    if (error) {
        return false;
    }
    std::sort(found.begin(), found.end());
    names = std::move(found);
    return true;
}

EReadResult ReadFileLimited(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    if (path.empty()) {
        return EReadResult::Missing;
    }
    // Tested before the open: opening a pipe would wait for a writer, and a
    // device would be read without end. (What is swapped in between the test
    // and the open is still cut off at the limit.)
    std::error_code error;
    const fs::file_status status = fs::status(FsPath(path), error);
    if (error || !fs::exists(status)) {
        return EReadResult::Missing;
    }
    if (!fs::is_regular_file(status)) {
        return EReadResult::NotAFile;
    }
    // Too large already: refused without reading (one that grows past the
    // limit while it is read is caught below).
    const uintmax_t size = fs::file_size(FsPath(path), error);
    if (!error && size > maxBytes) {
        return EReadResult::TooLarge;
    }
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) {
        return EReadResult::Missing;
    }
    // istream::read turns a failing read of the system into badbit rather
    // than an exception, so nothing escapes from here.
    constexpr size_t kChunk = 64 * 1024;
    std::string text;
    char buffer[kChunk];
    while (true) {
        const size_t room = maxBytes - std::min(maxBytes, text.size()) + 1;
        in.read(buffer, static_cast<std::streamsize>(std::min(kChunk, room)));
        const auto got = static_cast<size_t>(in.gcount());
        text.append(buffer, got);
        if (text.size() > maxBytes) {
            return EReadResult::TooLarge;
        }
        if (in.bad()) {
            return EReadResult::Failed;
        }
        if (!in) {
            break; // end of file
        }
    }
    bytes = std::move(text);
    return EReadResult::Read;
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(FsPath(path), error);
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
    return Utf8(FsPath(folder) / FsPath(name));
}

bool CanOpenForReading(const std::string& path) {
    if (!IsRegularFile(path)) {
        return false;
    }
    // The path reaches Windows as UTF-16 this way; a std::string would be
    // taken in the ANSI code page.
    const std::ifstream in(FsPath(path), std::ios::binary);
    return static_cast<bool>(in);
}

CReplaceFaultScope::CReplaceFaultScope(const CReplaceFault& fault) {
    t_fault = CArmedFault{true, false, fault};
}

CReplaceFaultScope::~CReplaceFaultScope() {
    t_fault = CArmedFault{};
}

bool CReplaceFaultScope::Fired() const {
    return t_fault.Fired;
}
