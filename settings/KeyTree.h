// An in-memory key tree: the data of the memory backend, and what the file
// backend reads from and writes to one application's file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EValueType { String, Dword };

struct CRegValue {
    std::string Name;
    EValueType Type = EValueType::String;
    std::string Text;    // when Type is String
    uint32_t Number = 0; // when Type is Dword
};

// One key. Subkeys and values keep the order in which they were created, so a
// saved file reads in the order the program wrote it.
class CKeyNode {
public:
    std::string Name;
    std::vector<CRegValue> Values;
    std::vector<CKeyNode> SubKeys;

    CKeyNode* FindSubKey(const std::string& name);
    const CKeyNode* FindSubKey(const std::string& name) const;
    CKeyNode& EnsureSubKey(const std::string& name);

    // Walks down a list of names; nullptr when one is missing.
    CKeyNode* Find(const std::vector<std::string>& names, size_t first = 0);
    // Walks down, creating what is missing.
    CKeyNode& Ensure(const std::vector<std::string>& names, size_t first = 0);

    const CRegValue* FindValue(const std::string& name) const;
    void SetString(const std::string& name, const std::string& text);
    void SetDword(const std::string& name, uint32_t number);

    // Removes the subkey when it exists and has no subkeys of its own.
    bool RemoveLeafSubKey(const std::string& name);

private:
    CRegValue& EnsureValue(const std::string& name);
};
