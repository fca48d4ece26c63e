// Profile access below the application key, in the manner of the
// application object's profile functions: a section is a key path below
// HKEY_CURRENT_USER\Software\<company>\<application>, an entry a value name.
#pragma once

#include "settings/SettingsStore.h"

#include <cstdint>
#include <string>

constexpr const char* kCompanyKey = "Quorvane";
// The application name when the executable's own name cannot be had.
constexpr const char* kDefaultAppName = "KVX3";

// The application name: the base name of the executable without folder and
// extension ("C:\\Tools\\KVX3.exe" and "/usr/bin/KVX3" both give "KVX3"; a
// leading dot does not start an extension). Both slash and backslash end a
// folder, since a key name cannot hold a backslash. A name that is empty or
// no valid key name gives kDefaultAppName.
std::string AppNameFromPath(const std::string& executablePath);

// The application name of the running executable (ExecutablePath).
std::string CurrentAppName();

class CProfile {
public:
    CProfile(ISettingsStore& store, std::string company, std::string appName);

    ISettingsStore& Store() const { return m_store; }
    const std::string& Company() const { return m_company; }
    const std::string& AppName() const { return m_appName; }

    // "Software\<company>\<application>"
    std::string AppKeyPath() const;
    // The key path of a section; the empty section is the application key.
    std::string SectionPath(const std::string& section) const;

    // The stored string, or `fallback` when it is missing or no string.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& fallback) const;
    // The stored 32-bit integer, or `fallback` when it is missing or no integer.
    uint32_t GetProfileInt(const std::string& section, const std::string& entry, uint32_t fallback) const;

    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);
    bool WriteProfileInt(const std::string& section, const std::string& entry, uint32_t value);

private:
    ISettingsStore& m_store;
    std::string m_company;
    std::string m_appName;
};
