// Text files are read as bytes; inside, all text is UTF-8.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <string>
#include <string_view>

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The bytes as UTF-8: a UTF-8 text (a leading byte-order mark removed) is kept
// as it is, anything else is taken as Shift-JIS (code page 932) and converted.
// A byte that cannot be converted becomes U+FFFD, so nothing is ever dropped
// silently and the result is always valid UTF-8.
std::string DecodeTextFile(std::string_view bytes);

// Reads a whole plain file of at most maxBytes as bytes (see ReadFileLimited).
EReadResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string& bytes);
