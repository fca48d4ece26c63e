// The settings store: a tree of keys with named values, shaped like the
// Windows registry of the current user.
//
// Every key path is relative to HKEY_CURRENT_USER and uses backslashes between
// its parts, e.g. "Software\\Quorvane\\KVX3\\Settings\\Bit"; the empty path is
// the root itself. Key and value names compare without regard to ASCII letter
// case, as the registry does, and keep the spelling they were created with.
// Values are either strings (any bytes) or 32-bit integers.
//
// Nothing here reports errors beyond a false result: a store that cannot be
// read behaves as an empty one, and a failed write leaves what was there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The registry's own limits, kept by every backend so that whatever works
// with one store works with the others.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;
// RegEnumKeyEx is given a name buffer of this many characters.
constexpr size_t kEnumNameBufferLength = 260;

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // True when the key can be opened for reading.
    virtual bool KeyExists(const std::string& path) = 0;

    // False when the key or the value is missing, or the value has the other
    // type; `value` is then left alone.
    virtual bool ReadString(const std::string& path, const std::string& name, std::string& value) = 0;
    virtual bool ReadDword(const std::string& path, const std::string& name, uint32_t& value) = 0;

    // Creates the key and every missing key above it, then sets the value
    // (replacing one of the same name, whatever its type).
    virtual bool WriteString(const std::string& path, const std::string& name, const std::string& value) = 0;
    virtual bool WriteDword(const std::string& path, const std::string& name, uint32_t value) = 0;

    // The name of the subkey at `index` (from 0) of the key; false past the
    // last one or when the key cannot be opened.
    virtual bool EnumSubKey(const std::string& path, size_t index, std::string& name) = 0;

    // Deletes one key with its values. Like RegDeleteKey it refuses a key
    // that still has subkeys, and it never deletes the root.
    virtual bool DeleteKey(const std::string& path) = 0;
};

// Splits a key path into its names. False for a path with an empty name
// (doubled, leading or trailing backslash), a name longer than
// kMaxKeyNameLength, a name with a control character, the names "." and ".."
// (which would be folder names to the file backend), or more than
// kMaxKeyDepth names. The empty path gives no names.
bool SplitKeyPath(const std::string& path, std::vector<std::string>& names);

// True when `name` may be one name of a key path.
bool IsValidKeyName(const std::string& name);

// Joins two key paths with a backslash; either may be empty.
std::string JoinKeyPath(const std::string& parent, const std::string& child);

// Name comparison of keys and values: ASCII letters without regard to case,
// all other bytes exactly.
bool SameName(const std::string& a, const std::string& b);
