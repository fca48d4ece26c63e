#include "settings/MemoryStore.h"

CKeyNode* CMemoryStore::FindKey(const std::string& path) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, names)) {
        return nullptr;
    }
    return m_root.Find(names);
}

bool CMemoryStore::KeyExists(const std::string& path) {
    return FindKey(path) != nullptr;
}

bool CMemoryStore::ReadString(const std::string& path, const std::string& name, std::string& value) {
    const CKeyNode* key = FindKey(path);
    const CRegValue* found = key != nullptr ? key->FindValue(name) : nullptr;
    if (found == nullptr || found->Type != EValueType::String) {
        return false;
    }
    value = found->Text;
    return true;
}

bool CMemoryStore::ReadDword(const std::string& path, const std::string& name, uint32_t& value) {
    const CKeyNode* key = FindKey(path);
    const CRegValue* found = key != nullptr ? key->FindValue(name) : nullptr;
    if (found == nullptr || found->Type != EValueType::Dword) {
        return false;
    }
    value = found->Number;
    return true;
}

bool CMemoryStore::WriteString(const std::string& path, const std::string& name, const std::string& value) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, names)) {
        return false;
    }
    m_root.Ensure(names).SetString(name, value);
    return true;
}

bool CMemoryStore::WriteDword(const std::string& path, const std::string& name, uint32_t value) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, names)) {
        return false;
    }
    m_root.Ensure(names).SetDword(name, value);
    return true;
}

bool CMemoryStore::EnumSubKey(const std::string& path, size_t index, std::string& name) {
    const CKeyNode* key = FindKey(path);
    if (key == nullptr || index >= key->SubKeys.size()) {
        return false;
    }
    name = key->SubKeys[index].Name;
    return true;
}

bool CMemoryStore::DeleteKey(const std::string& path) {
    std::vector<std::string> names;
    if (!SplitKeyPath(path, names) || names.empty()) {
        return false;
    }
    const std::string last = names.back();
    names.pop_back();
    CKeyNode* parent = m_root.Find(names);
    return parent != nullptr && parent->RemoveLeafSubKey(last);
}
