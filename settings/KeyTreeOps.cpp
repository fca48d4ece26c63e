#include "settings/KeyTreeOps.h"

#include <vector>

bool DeleteRegKeyTree(ISettingsStore& store, const std::string& parent, const std::string& subkey) {
    if (subkey.empty()) {
        return false;
    }
    const std::string path = JoinKeyPath(parent, subkey);
    if (!store.KeyExists(path)) {
        return false;
    }
    std::vector<std::string> children;
    std::string name;
    while (store.EnumSubKey(path, children.size(), name)) {
        // RegEnumKeyEx fails on a name longer than its buffer, which ends the
        // enumeration; the key names of all backends stay well below it.
        if (name.size() >= kEnumNameBufferLength) {
            break;
        }
        children.push_back(name);
    }
    for (const std::string& child : children) {
        DeleteRegKeyTree(store, path, child);
    }
    store.DeleteKey(path);
    return true;
}

std::string ProgramKeyPath(const std::string& company, const std::string& name) {
    if (!IsValidKeyName(company) || !IsValidKeyName(name)) {
        return {};
    }
    return "Software\\" + company + '\\' + name;
}

bool DeleteProgramKey(ISettingsStore& store, const std::string& company, const std::string& name) {
    const std::string path = ProgramKeyPath(company, name);
    if (path.empty() || !DeleteRegKeyTree(store, "", path)) {
        return false;
    }
    const std::string companyPath = "Software\\" + company;
    std::string first;
    if (store.KeyExists(companyPath) && !store.EnumSubKey(companyPath, 0, first)) {
        store.DeleteKey(companyPath);
    }
    return true;
}

bool ProgramKeyExists(ISettingsStore& store, const std::string& company, const std::string& name) {
    const std::string path = ProgramKeyPath(company, name);
    return !path.empty() && store.KeyExists(path);
}
