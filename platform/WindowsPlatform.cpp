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

namespace {

constexpr int kTemporaryNameAttempts = 16;

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

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

CFileStatus GetFileStatus(const std::string& path) {
    struct _stat64 st {};
    CFileStatus status;
    if (path.empty() || _wstat64(Wide(path).c_str(), &st) != 0) {
        return status;
    }
    // The file times have whole seconds here; size and attributes still
    // catch most rewrites within one second.
    status.ModifiedNs = int64_t{st.st_mtime} * 1000000000;
    status.Size = static_cast<uint64_t>(st.st_size);
    status.Attributes = static_cast<uint32_t>(st.st_mode) & 0777;
    status.IsRegular = (st.st_mode & _S_IFMT) == _S_IFREG;
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

// Symbolic links are not followed here yet: a link named as the target is
// replaced by the new file.
EReplaceResult ReplaceFileSafely(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return EReplaceResult::CreateFailed;
    }
    const std::wstring target = Wide(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EReplaceResult::NotAFile;
    }
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return EReplaceResult::ReadOnly;
    }

    CTemporaryFile temp;
    if (TakeReplaceFault(EReplaceStep::Create) != nullptr || !temp.Create(path)) {
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
    // only needs the rename, written through to the disk.
    const bool renamed = exists ? ReplaceFileW(target.c_str(), temp.Path().c_str(), nullptr,
                                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                                : MoveFileExW(temp.Path().c_str(), target.c_str(),
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!renamed) {
        return EReplaceResult::RenameFailed;
    }
    temp.Keep();
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
