// The text of one application's settings file.
//
// The file holds the key HKEY_CURRENT_USER\Software\<company>\<application>
// and everything below it, in the manner of a registry export:
//
//   ; HKEY_CURRENT_USER\Software\Quorvane\KVX3
//   ; Strings are "quoted" with \\ \" \n \r \t and \xHH escapes; integers are dword:<8 hex digits>.
//
//   [HKEY_CURRENT_USER\Software\Quorvane\KVX3\Settings\Device]
//   "PIC"="PIC16F873A"
//
//   [HKEY_CURRENT_USER\Software\Quorvane\KVX3\Settings\Bit]
//   "DisProtect"=dword:00000000
//
// A section line names a key by its full path; the value lines below it are
// "name"="text" or "name"=dword:XXXXXXXX. A key that has subkeys but no values
// gets no section of its own (its subkeys' sections imply it). Strings keep
// every byte: backslash, quote and control bytes are escaped, well-formed
// UTF-8 is written as it is, and any other byte (Shift-JIS text, for one) as
// \xHH. Key names cannot hold a backslash or a control byte, so section lines
// need no escapes.
//
// Reading is forgiving: a line that does not parse (a cut-off string, an
// integer with too few digits, a section of another key) is skipped together
// with the values under a bad section, so a damaged file loses only what is
// damaged and never yields a value it did not hold.
#pragma once

#include "settings/KeyTree.h"

#include <string>
#include <string_view>

// `appKey.Name` is the application name; its subkeys and values are written.
std::string FormatKeyFile(const CKeyNode& appKey, const std::string& company);

// Fills `appKey` (whose Name the caller has set from the file name) from the
// text. Never fails; what cannot be read is left out.
void ParseKeyFile(std::string_view text, const std::string& company, CKeyNode& appKey);

// The quoted form of a string, quotes included.
std::string QuoteText(const std::string& text);

// Reads a quoted string starting at text[pos] (the opening quote). On success
// `pos` is just past the closing quote.
bool UnquoteText(std::string_view text, size_t& pos, std::string& out);
