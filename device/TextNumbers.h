// Number readers shared by the catalogue and the hex file reader.
#pragma once

#include <cstdint>
#include <string_view>

// The leading run of hexadecimal digits (0-9, A-F, a-f) of the text; the first
// other character or the end of the text ends it, an empty run gives 0 (so a
// leading space gives 0). At most 10 characters are examined, so numbers of
// more than 8 digits are not meaningful.
uint32_t ParseHexNumber(std::string_view text);

// Read like the C library's atoi: optional leading white space and sign, then
// digits up to the first non-digit; no digits give 0. Unlike atoi, a number
// beyond the 32-bit range saturates instead of being undefined.
int32_t ParseDecimal(std::string_view text);
