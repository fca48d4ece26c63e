#include "settings/Profile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

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
    std::string module;
#ifdef _WIN32
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            module.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), module.data(), size, nullptr,
                                nullptr);
        }
    }
#else
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n > 0) {
        module.assign(buffer, static_cast<size_t>(n));
    }
#endif
    return AppNameFromPath(module);
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
