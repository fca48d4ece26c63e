#include "platform/InputFile.h"

#include "platform/PlatformDetail.h"

std::ifstream OpenInputFile(const std::string& path) {
    // std::filesystem::path carries the UTF-16 form on Windows, where
    // libstdc++ opens it with _wfopen. An empty path fails to open, as it
    // should.
    return std::ifstream(platform_detail::FsPath(path), std::ios::binary);
}
