#include "tests/common/TestLinks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

bool MakeSymlink(const fs::path& target, const fs::path& link) {
#ifdef _WIN32
    // libstdc++ makes no links on Windows; the system call does, given the
    // right. Wine's returns success and makes nothing, hence the check.
    std::error_code error;
    const fs::path resolved = target.is_absolute() ? target : link.parent_path() / target;
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (fs::is_directory(resolved, error)) {
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    }
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && IsSymlink(link);
#else
    std::error_code error;
    fs::create_symlink(target, link, error);
    return !error && IsSymlink(link);
#endif
}

bool IsSymlink(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    std::error_code error;
    return fs::is_symlink(path, error);
#endif
}
