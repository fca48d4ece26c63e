// The platform layer on Windows. Paths arrive as UTF-8 and go to the wide
// API calls as UTF-16.
#include "platform/PlatformDetail.h"

#include <cstdio>
#include <cwchar>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <windows.h>

using platform_detail::TakeReplaceFault;

namespace platform_detail {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    }
    return wide;
}

std::string Narrow(const wchar_t* wide, size_t length) {
    if (length == 0) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

} // namespace platform_detail

namespace {

using platform_detail::Narrow;
using platform_detail::Wide;

constexpr int kTemporaryNameAttempts = 16;
// FILETIME counts 100 ns from 1601-01-01; this many of them lie before 1970.
constexpr int64_t kFileTimeAtUnixEpoch = 116444736000000000;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// What a replaced file keeps of its attributes (read-only files are not
// replaced at all).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A handle for reading the metadata of what `path` names, after following
// links; opening a folder needs backup semantics. Metadata access is granted
// even where reading the contents is not.
HANDLE OpenForMetadata(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int64_t UnixNanoseconds(const FILETIME& time) {
    const int64_t ticks = static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    return (ticks - kFileTimeAtUnixEpoch) * 100;
}

uint32_t PermissionBits(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444U : 0666U;
}

// The file a write to `path` should land in. A symbolic link (a reparse
// point) is followed to the end; a link whose end is missing, or a loop, has
// no such file and gives false. Anything else is its own target.
bool ResolveLinks(const std::wstring& path, std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        target = path;
        return true;
    }
    const HANDLE file = OpenForMetadata(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= final.size()) {
        final.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    CloseHandle(file);
    if (length == 0 || length >= final.size()) {
        return false;
    }
    final.resize(length);
    // "\\?\C:\..." is what the call gives; the plain form is the one a
    // user would recognise, and it names the same file.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        final = L"\\\\" + final.substr(8);
    } else if (final.rfind(L"\\\\?\\", 0) == 0 && final.size() > 6 && final[5] == L':') {
        final = final.substr(4);
    }
    target = final;
    return true;
}

// The target exists and this user may not write it: an access check by
// opening it for writing, without changing it. A file that someone else
// holds open is not read-only; its replace fails later, if at all.
bool DeniesWriting(const std::wstring& target) {
    const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// One replace in flight: the temporary file, removed on failure unless a
// test fault says the process "died".
class CTemporaryFile {
public:
    ~CTemporaryFile() {
        if (m_file != INVALID_HANDLE_VALUE) {
            CloseHandle(m_file);
        }
        if (!m_path.empty() && !m_keep) {
            DeleteFileW(m_path.c_str());
        }
    }

    bool Create(const std::string& target) {
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            std::wstring path = Wide(platform_detail::TemporarySibling(target));
            m_file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
            if (m_file != INVALID_HANDLE_VALUE) {
                m_path = std::move(path);
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) {
                return false;
            }
        }
        return false;
    }
    HANDLE File() const { return m_file; }
    const std::wstring& Path() const { return m_path; }
    bool Close() {
        const HANDLE file = m_file;
        m_file = INVALID_HANDLE_VALUE;
        return CloseHandle(file) != 0;
    }
    void Keep() { m_keep = true; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::wstring m_path;
    bool m_keep = false;
};

} // namespace

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return Narrow(buffer.data(), n);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string HomeFolder() {
    const wchar_t* profile = _wgetenv(L"USERPROFILE");
    return profile != nullptr ? Narrow(profile, std::wcslen(profile)) : std::string();
}

std::string UserDataFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    return local != nullptr ? Narrow(local, std::wcslen(local)) : std::string();
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

CFileStatus GetFileStatus(const std::string& path) {
    CFileStatus status;
    if (path.empty()) {
        return status;
    }
    const std::wstring wide = Wide(path);
    const HANDLE file = OpenForMetadata(wide);
    if (file != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        const DWORD type = GetFileType(file);
        CloseHandle(file);
        if (known) {
            status.ModifiedNs = UnixNanoseconds(info.ftLastWriteTime);
            status.Size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
            status.Attributes = PermissionBits(info.dwFileAttributes);
            status.IsRegular =
                (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && type == FILE_TYPE_DISK;
            return status;
        }
    }
    // Devices and a few file systems answer only by name.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return status; // a link that could not be followed leads nowhere
    }
    status.ModifiedNs = UnixNanoseconds(data.ftLastWriteTime);
    status.Size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    status.Attributes = PermissionBits(data.dwFileAttributes);
    status.IsRegular = (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    return status;
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
    if (parent.empty()) {
        return {};
    }
    const std::string base = parent.back() == '/' || parent.back() == '\\' ? parent : parent + '\\';
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string path = base + prefix + platform_detail::RandomSuffix(6);
        if (CreateDirectoryW(Wide(path).c_str(), nullptr)) {
            return path;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

// As on POSIX, with these differences: a symbolic link is followed to the
// file at its end, but a link whose end does not exist yet is refused
// (CreateFailed) rather than creating that file; ReplaceFileW keeps the old
// file's attributes, security and creation time, and its rename is not
// written through (the data is, by FlushFileBuffers before it).
EReplaceResult ReplaceFileSafely(const std::string& path, std::string_view bytes) {
    std::wstring target;
    if (path.empty() || !ResolveLinks(Wide(path), target)) {
        return EReplaceResult::CreateFailed;
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return EReplaceResult::NotAFile;
    }
    if (exists && ((attributes & FILE_ATTRIBUTE_READONLY) != 0 || DeniesWriting(target))) {
        return EReplaceResult::ReadOnly;
    }
    const std::string targetUtf8 = Narrow(target.data(), target.size());

    CTemporaryFile temp;
    if (TakeReplaceFault(EReplaceStep::Create) != nullptr || !temp.Create(targetUtf8)) {
        return EReplaceResult::CreateFailed;
    }
    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Write)) {
        WriteAll(temp.File(), bytes.data(),
                 bytes.size() < fault->BytesBeforeFailure ? bytes.size() : fault->BytesBeforeFailure);
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::WriteFailed;
    }
    if (!WriteAll(temp.File(), bytes.data(), bytes.size())) {
        return EReplaceResult::WriteFailed;
    }
    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Sync)) {
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::SyncFailed;
    }
    if (!FlushFileBuffers(temp.File()) || !temp.Close()) {
        return EReplaceResult::SyncFailed;
    }
    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Rename)) {
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::RenameFailed;
    }
    // ReplaceFileW keeps the old file's attributes and security; a new file
    // only needs the rename, written through to the disk. A file system
    // without ReplaceFileW (some network shares) gets the plain rename.
    bool renamed = false;
    if (exists) {
        renamed = ReplaceFileW(target.c_str(), temp.Path().c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr) != 0;
        const DWORD error = renamed ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
            error == ERROR_INVALID_PARAMETER) {
            renamed = MoveFileExW(temp.Path().c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        }
    } else {
        renamed = MoveFileExW(temp.Path().c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!renamed) {
        return EReplaceResult::RenameFailed;
    }
    temp.Keep();
    // ReplaceFileW is to carry these over, but not every implementation
    // (nor the plain rename) does.
    const DWORD now = exists ? GetFileAttributesW(target.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKeptAttributes) != (attributes & kKeptAttributes)) {
        SetFileAttributesW(target.c_str(), (now & ~kKeptAttributes) | (attributes & kKeptAttributes));
    }
    return EReplaceResult::Replaced;
}

std::string ShiftJisToUtf8(std::string_view bytes) {
    // Code page 932 to UTF-16, then to UTF-8. Bytes the code page cannot map
    // come out as U+FFFD (MultiByteToWideChar's default), as on POSIX.
    if (bytes.empty()) {
        return {};
    }
    const int inLength = static_cast<int>(bytes.size());
    const int wideLength = MultiByteToWideChar(932, 0, bytes.data(), inLength, nullptr, 0);
    if (wideLength <= 0) {
        return std::string(bytes);
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), inLength, wide.data(), wideLength);
    const int outLength =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(outLength > 0 ? outLength : 0), '\0');
    if (outLength > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), outLength, nullptr, nullptr);
    }
    return out;
}
