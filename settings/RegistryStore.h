// The settings store on Windows: the registry of the current user
// (HKEY_CURRENT_USER). Names and strings are UTF-8 here and UTF-16 in the
// registry.
#pragma once

#ifdef _WIN32

#include "settings/SettingsStore.h"

class CRegistryStore : public ISettingsStore {
public:
    // The store of HKEY_CURRENT_USER itself.
    CRegistryStore() = default;
    // A store whose root is the key `root` below HKEY_CURRENT_USER (created
    // when missing), so that a test keeps to a scratch key of its own. When
    // the key cannot be had, every read and write fails.
    explicit CRegistryStore(const std::string& root);
    ~CRegistryStore() override;
    CRegistryStore(const CRegistryStore&) = delete;
    CRegistryStore& operator=(const CRegistryStore&) = delete;

    bool KeyExists(const std::string& path) override;
    bool ReadString(const std::string& path, const std::string& name, std::string& value) override;
    bool ReadDword(const std::string& path, const std::string& name, uint32_t& value) override;
    bool WriteString(const std::string& path, const std::string& name, const std::string& value) override;
    bool WriteDword(const std::string& path, const std::string& name, uint32_t value) override;
    bool EnumSubKey(const std::string& path, size_t index, std::string& name) override;
    bool DeleteKey(const std::string& path) override;

private:
    void* Root() const; // the HKEY every path starts from; null when there is none

    void* m_root = nullptr; // an HKEY opened by this store; null for HKEY_CURRENT_USER
    bool m_failed = false;  // the scratch root could not be had
};

#endif
