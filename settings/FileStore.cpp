#include "settings/FileStore.h"

#include "platform/Platform.h"
#include "settings/KeyFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr size_t kSoftwareDepth = 1;
constexpr size_t kCompanyDepth = 2;
constexpr size_t kAppDepth = 3;

// Company and application names become folder and file names.
bool IsFileName(const std::string& name) {
    return name.find('/') == std::string::npos;
}

// The application name a folder entry stands for, or empty.
std::string AppNameOf(const fs::path& path) {
    if (path.extension() != kSettingsFileExtension || !IsRegularFile(path.string())) {
        return {};
    }
    std::string stem = path.stem().string();
    return IsValidKeyName(stem) && IsFileName(stem) ? stem : std::string();
}

// The application files of a company folder, sorted so that enumeration by
// index is stable.
std::vector<std::string> AppNamesIn(const std::string& folder) {
    std::vector<std::string> entries;
    std::vector<std::string> names;
    ListFolder(folder, entries);
    for (const std::string& entry : entries) {
        std::string name = AppNameOf(fs::path(folder) / entry);
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::string DefaultConfigBase() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

CFileStore::CFileStore(std::string base) : m_base(std::move(base)) {}

std::string CFileStore::CompanyFolder(const std::string& company, bool& exists) const {
    const fs::path exact = fs::path(m_base) / company;
    exists = IsFolder(exact.string());
    if (exists) {
        return exact.string();
    }
    std::vector<std::string> entries;
    ListFolder(m_base, entries);
    for (const std::string& entry : entries) {
        if (!SameName(entry, company)) {
            continue;
        }
        std::string folder = (fs::path(m_base) / entry).string();
        if (IsFolder(folder)) {
            exists = true;
            return folder;
        }
    }
    return exact.string();
}

std::string CFileStore::FindAppFile(const std::string& company, const std::string& application) const {
    bool exists = false;
    const std::string folder = CompanyFolder(company, exists);
    if (!exists) {
        return {};
    }
    const fs::path exact = fs::path(folder) / (application + kSettingsFileExtension);
    if (IsRegularFile(exact.string())) {
        return exact.string();
    }
    for (const std::string& name : AppNamesIn(folder)) {
        if (SameName(name, application)) {
            return (fs::path(folder) / (name + kSettingsFileExtension)).string();
        }
    }
    return {};
}

bool CFileStore::Resolve(const std::string& path, std::vector<std::string>& names, CAppFile& file) {
    if (m_base.empty() || !SplitKeyPath(path, names)) {
        return false;
    }
    if (names.size() >= kSoftwareDepth && !SameName(names[0], "Software")) {
        return false;
    }
    if (names.size() >= kCompanyDepth && !IsFileName(names[1])) {
        return false;
    }
    if (names.size() < kAppDepth) {
        return true;
    }
    if (!IsFileName(names[2])) {
        return false;
    }
    file.Path = FindAppFile(names[1], names[2]);
    file.Exists = !file.Path.empty();
    if (!file.Exists) {
        bool folderExists = false;
        file.Path =
            (fs::path(CompanyFolder(names[1], folderExists)) / (names[2] + kSettingsFileExtension)).string();
        m_parsed = CParsedFile{};
        m_parsed.Key.Name = names[2];
        file.Key = &m_parsed.Key;
        return true;
    }
    const fs::path found(file.Path);
    // Only a plain file of a sane size is read; anything else reads as a key
    // without values, and is replaced by the next save.
    std::string text;
    const bool read = ReadFileLimited(file.Path, kMaxSettingsFileSize, text) == EReadResult::Read;
    const std::string name = found.stem().string();
    if (!m_parsed.Valid || m_parsed.Path != file.Path || m_parsed.Key.Name != name ||
        m_parsed.Bytes != text) {
        m_parsed = CParsedFile{};
        m_parsed.Key.Name = name;
        if (read) {
            ParseKeyFile(text, found.parent_path().filename().string(), m_parsed.Key);
            ++m_parseCount;
        }
        m_parsed.Path = file.Path;
        m_parsed.Bytes = std::move(text);
        m_parsed.Valid = true;
    }
    file.Key = &m_parsed.Key;
    return true;
}

bool CFileStore::Save(const CAppFile& file) {
    const fs::path target(file.Path);
    MakeFolders(target.parent_path().string());
    std::string text = FormatKeyFile(*file.Key, target.parent_path().filename().string());
    // Whatever happens, the tree in hand is no longer known to be the file's
    // until the file holds it.
    m_parsed.Valid = false;
    if (m_interruptAfter >= text.size()) {
        if (ReplaceFileSafely(file.Path, text) != EReplaceResult::Replaced) {
            return false;
        }
        m_parsed.Path = file.Path;
        m_parsed.Bytes = std::move(text);
        m_parsed.Valid = true;
        return true;
    }
    CReplaceFault crash;
    crash.Step = EReplaceStep::Write;
    crash.BytesBeforeFailure = m_interruptAfter;
    crash.Abandon = true;
    const CReplaceFaultScope fault(crash);
    m_interruptAfter = std::numeric_limits<size_t>::max();
    ReplaceFileSafely(file.Path, text);
    return false;
}

bool CFileStore::KeyExists(const std::string& path) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file)) {
        return false;
    }
    if (names.size() < kCompanyDepth) {
        return true;
    }
    if (names.size() == kCompanyDepth) {
        bool exists = false;
        CompanyFolder(names[1], exists);
        return exists;
    }
    return file.Exists && file.Key->Find(names, kAppDepth) != nullptr;
}

bool CFileStore::ReadString(const std::string& path, const std::string& name, std::string& value) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file) || names.size() < kAppDepth) {
        return false;
    }
    const CKeyNode* key = file.Key->Find(names, kAppDepth);
    const CRegValue* found = key != nullptr ? key->FindValue(name) : nullptr;
    if (found == nullptr || found->Type != EValueType::String) {
        return false;
    }
    value = found->Text;
    return true;
}

bool CFileStore::ReadDword(const std::string& path, const std::string& name, uint32_t& value) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file) || names.size() < kAppDepth) {
        return false;
    }
    const CKeyNode* key = file.Key->Find(names, kAppDepth);
    const CRegValue* found = key != nullptr ? key->FindValue(name) : nullptr;
    if (found == nullptr || found->Type != EValueType::Dword) {
        return false;
    }
    value = found->Number;
    return true;
}

bool CFileStore::WriteValue(const std::string& path, const CRegValue& value) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file) || names.size() < kAppDepth) {
        return false;
    }
    CKeyNode& key = file.Key->Ensure(names, kAppDepth);
    if (value.Type == EValueType::Dword) {
        key.SetDword(value.Name, value.Number);
    } else {
        key.SetString(value.Name, value.Text);
    }
    return Save(file);
}

bool CFileStore::WriteString(const std::string& path, const std::string& name, const std::string& value) {
    CRegValue item;
    item.Name = name;
    item.Type = EValueType::String;
    item.Text = value;
    return WriteValue(path, item);
}

bool CFileStore::WriteDword(const std::string& path, const std::string& name, uint32_t value) {
    CRegValue item;
    item.Name = name;
    item.Type = EValueType::Dword;
    item.Number = value;
    return WriteValue(path, item);
}

bool CFileStore::EnumSubKey(const std::string& path, size_t index, std::string& name) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file) || names.size() < kCompanyDepth) {
        return false;
    }
    if (names.size() == kCompanyDepth) {
        bool exists = false;
        const std::string folder = CompanyFolder(names[1], exists);
        const std::vector<std::string> apps = exists ? AppNamesIn(folder) : std::vector<std::string>();
        if (index >= apps.size()) {
            return false;
        }
        name = apps[index];
        return true;
    }
    const CKeyNode* key = file.Exists ? file.Key->Find(names, kAppDepth) : nullptr;
    if (key == nullptr || index >= key->SubKeys.size()) {
        return false;
    }
    name = key->SubKeys[index].Name;
    return true;
}

bool CFileStore::DeleteKey(const std::string& path) {
    std::vector<std::string> names;
    CAppFile file;
    if (!Resolve(path, names, file) || names.size() < kCompanyDepth) {
        return false;
    }
    if (names.size() == kCompanyDepth) {
        bool exists = false;
        const std::string folder = CompanyFolder(names[1], exists);
        // RemovePath takes only an empty folder, so anything else a user keeps
        // there survives and the company key with it.
        return exists && AppNamesIn(folder).empty() && RemovePath(folder);
    }
    if (!file.Exists) {
        return false;
    }
    if (names.size() == kAppDepth) {
        m_parsed.Valid = false;
        return file.Key->SubKeys.empty() && RemovePath(file.Path);
    }
    const std::string last = names.back();
    names.pop_back();
    CKeyNode* parent = file.Key->Find(names, kAppDepth);
    return parent != nullptr && parent->RemoveLeafSubKey(last) && Save(file);
}
