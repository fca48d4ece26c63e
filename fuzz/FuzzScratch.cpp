#include "fuzz/FuzzTarget.h"

#include <filesystem>
#include <unistd.h>

std::string kvx3_fuzz::ScratchPath(const char* name) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path(error);
    return (folder / ("kvx3-fuzz-" + std::to_string(::getpid()) + "-" + name)).string();
}
