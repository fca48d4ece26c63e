#include "settings/Profile.h"

#include "platform/Platform.h"

std::string AppNameFromPath(const std::string& executablePath) {
    const size_t slash = executablePath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return IsValidKeyName(name) ? name : std::string(kDefaultAppName);
}

std::string CurrentAppName() {
    return AppNameFromPath(ExecutablePath());
}

CProfile::CProfile(ISettingsStore& store, std::string company, std::string appName)
    : m_store(store), m_company(std::move(company)), m_appName(std::move(appName)) {}

std::string CProfile::AppKeyPath() const {
    return "Software\\" + m_company + '\\' + m_appName;
}

std::string CProfile::SectionPath(const std::string& section) const {
    return JoinKeyPath(AppKeyPath(), section);
}

std::string CProfile::GetProfileString(const std::string& section, const std::string& entry,
                                       const std::string& fallback) const {
    std::string value;
    return m_store.ReadString(SectionPath(section), entry, value) ? value : fallback;
}

uint32_t CProfile::GetProfileInt(const std::string& section, const std::string& entry,
                                 uint32_t fallback) const {
    uint32_t value = 0;
    return m_store.ReadDword(SectionPath(section), entry, value) ? value : fallback;
}

bool CProfile::WriteProfileString(const std::string& section, const std::string& entry,
                                  const std::string& value) {
    return m_store.WriteString(SectionPath(section), entry, value);
}

bool CProfile::WriteProfileInt(const std::string& section, const std::string& entry, uint32_t value) {
    return m_store.WriteDword(SectionPath(section), entry, value);
}
