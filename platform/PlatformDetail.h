// What the system-specific halves of the platform layer share; nothing above
// the platform layer includes this.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <string>

namespace platform_detail {

// The armed test fault when it is due at `step` (it is then spent), else null.
const CReplaceFault* TakeReplaceFault(EReplaceStep step);

// UTF-8 strings to and from the library's paths, so that a name outside the
// ANSI code page survives on Windows too.
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// `digits` random lowercase hexadecimal digits, different on every call.
std::string RandomSuffix(size_t digits);

// A fresh candidate name for the temporary file that replaces `target`: the
// target's folder, its name (shortened so the whole stays a legal name) and
// a random suffix. Each call gives another suffix.
std::string TemporarySibling(const std::string& target);

// The part of `path` before its last separator ("" for a bare name, "/" for
// a file in the root).
std::string FolderOf(const std::string& path);

#ifdef _WIN32
// UTF-8 to UTF-16 and back for the wide calls; text that is not UTF-8 comes
// through with U+FFFD in place of what could not be read.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const wchar_t* wide, size_t length);
#endif

} // namespace platform_detail
