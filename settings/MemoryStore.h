// A settings store that lives in memory only: for tests, and for a run that
// must leave no trace.
#pragma once

#include "settings/KeyTree.h"
#include "settings/SettingsStore.h"

class CMemoryStore : public ISettingsStore {
public:
    bool KeyExists(const std::string& path) override;
    bool ReadString(const std::string& path, const std::string& name, std::string& value) override;
    bool ReadDword(const std::string& path, const std::string& name, uint32_t& value) override;
    bool WriteString(const std::string& path, const std::string& name, const std::string& value) override;
    bool WriteDword(const std::string& path, const std::string& name, uint32_t value) override;
    bool EnumSubKey(const std::string& path, size_t index, std::string& name) override;
    bool DeleteKey(const std::string& path) override;

private:
    CKeyNode* FindKey(const std::string& path);
    CKeyNode m_root; // stands for HKEY_CURRENT_USER
};
