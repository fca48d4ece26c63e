// The platform layer on POSIX systems (Linux first).
#include "platform/PlatformDetail.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iconv.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using platform_detail::FolderOf;
using platform_detail::TakeReplaceFault;

namespace {

// The kernel's own limit on links followed in one path.
constexpr int kMaxLinkHops = 40;
// Attempts at a temporary name before giving up; a clash needs another
// writer drawing the same 48 random bits.
constexpr int kTemporaryNameAttempts = 16;

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// The file a write to `path` should land in: symbolic links followed to the
// end, the last of which may name a file that does not exist yet. False for
// a loop or a link that cannot be read.
bool ResolveLinks(const std::string& path, std::string& target) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = current;
            return true;
        }
        std::string link(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) {
            return false;
        }
        link.resize(static_cast<size_t>(n));
        current = link.front() == '/' ? link : Joined(FolderOf(current), link);
    }
    return false;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced costs
// only that guarantee, not the replace.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// One replace in flight: the temporary file, removed on failure unless a
// test fault says the process "died".
class CTemporaryFile {
public:
    ~CTemporaryFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_path.empty() && !m_keep) {
            ::unlink(m_path.c_str());
        }
    }

    bool Create(const std::string& target, mode_t mode) {
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            std::string path = platform_detail::TemporarySibling(target);
            m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (m_fd >= 0) {
                m_path = std::move(path);
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }
    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    // The file has become the target, or is to be left as a crash would.
    void Keep() { m_keep = true; }

private:
    int m_fd = -1;
    std::string m_path;
    bool m_keep = false;
};

// The target's owner where the system allows it, then its permission bits;
// chown first, since it may clear set-id bits.
bool TakeOwnerAndMode(int fd, const struct stat& target) {
    if (target.st_uid != ::geteuid() || target.st_gid != ::getegid()) {
        // Only root may give a file away; anyone else who may replace another
        // user's file owns the new one, with the old one's permission bits.
        [[maybe_unused]] const int owned = ::fchown(fd, target.st_uid, target.st_gid);
    }
    return ::fchmod(fd, target.st_mode & 07777) == 0;
}

} // namespace

std::string ExecutablePath() {
#if defined(__linux__)
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0) {
            return {};
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        if (buffer.size() >= 65536) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    return {};
#endif
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return found->pw_dir;
    }
    return {};
}

std::string UserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

CFileStatus GetFileStatus(const std::string& path) {
    struct stat st {};
    CFileStatus status;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return status;
    }
    status.ModifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    status.Size = static_cast<uint64_t>(st.st_size);
    status.Attributes = st.st_mode & 07777;
    status.IsRegular = S_ISREG(st.st_mode);
    return status;
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = Joined(parent, prefix + "XXXXXX");
    if (parent.empty() || ::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

EReplaceResult ReplaceFileSafely(const std::string& path, std::string_view bytes) {
    std::string target;
    if (path.empty() || !ResolveLinks(path, target)) {
        return EReplaceResult::CreateFailed;
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return EReplaceResult::NotAFile;
    }
    // Root passes every access check, so a file nobody may write counts as
    // read-only too.
    if (exists &&
        ((existing.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)) {
        return EReplaceResult::ReadOnly;
    }

    CTemporaryFile temp;
    // A new file gets the usual permissions (0666 less the umask); a
    // replacement stays private until it has the target's own.
    if (TakeReplaceFault(EReplaceStep::Create) != nullptr || !temp.Create(target, exists ? 0600 : 0666) ||
        (exists && !TakeOwnerAndMode(temp.Fd(), existing))) {
        return EReplaceResult::CreateFailed;
    }

    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Write)) {
        WriteAll(temp.Fd(), bytes.data(), std::min(bytes.size(), fault->BytesBeforeFailure));
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::WriteFailed;
    }
    if (!WriteAll(temp.Fd(), bytes.data(), bytes.size())) {
        return EReplaceResult::WriteFailed;
    }

    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Sync)) {
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::SyncFailed;
    }
    if (::fsync(temp.Fd()) != 0 || !temp.Close()) {
        return EReplaceResult::SyncFailed;
    }

    if (const CReplaceFault* fault = TakeReplaceFault(EReplaceStep::Rename)) {
        if (fault->Abandon) {
            temp.Keep();
        }
        return EReplaceResult::RenameFailed;
    }
    if (::rename(temp.Path().c_str(), target.c_str()) != 0) {
        return EReplaceResult::RenameFailed;
    }
    temp.Keep();
    SyncFolder(FolderOf(target));
    return EReplaceResult::Replaced;
}

std::string ShiftJisToUtf8(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        cd = iconv_open("UTF-8", "SHIFT_JIS");
    }
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(bytes); // no converter: keep the bytes
    }
    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 16);
    std::string in(bytes);
    char* src = in.data();
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // An invalid or truncated sequence: mark it and step over one byte.
            out += "\xEF\xBF\xBD";
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}
