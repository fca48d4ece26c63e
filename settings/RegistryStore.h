// The settings store on Windows: the registry of the current user
// (HKEY_CURRENT_USER). Names and strings are UTF-8 here and UTF-16 in the
// registry.
#pragma once

#ifdef _WIN32

#include "settings/SettingsStore.h"

class CRegistryStore : public ISettingsStore {
public:
    bool KeyExists(const std::string& path) override;
    bool ReadString(const std::string& path, const std::string& name, std::string& value) override;
    bool ReadDword(const std::string& path, const std::string& name, uint32_t& value) override;
    bool WriteString(const std::string& path, const std::string& name, const std::string& value) override;
    bool WriteDword(const std::string& path, const std::string& name, uint32_t value) override;
    bool EnumSubKey(const std::string& path, size_t index, std::string& name) override;
    bool DeleteKey(const std::string& path) override;
};

#endif
