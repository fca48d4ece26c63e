// Symbolic links for tests of the code that follows them. Not every system
// makes them: Windows only for a user with the right (or in developer mode),
// Wine not at all. A test of links skips where MakeSymlink fails.
#pragma once

#include <filesystem>

// A symbolic link at `link` to `target` (a relative target counts from the
// link's folder); true once the link is there.
bool MakeSymlink(const std::filesystem::path& target, const std::filesystem::path& link);

// `path` itself is a symbolic link.
bool IsSymlink(const std::filesystem::path& path);
