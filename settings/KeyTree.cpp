#include "settings/KeyTree.h"

#include "settings/SettingsStore.h"

CKeyNode* CKeyNode::FindSubKey(const std::string& name) {
    for (CKeyNode& sub : SubKeys) {
        if (SameName(sub.Name, name)) {
            return &sub;
        }
    }
    return nullptr;
}

const CKeyNode* CKeyNode::FindSubKey(const std::string& name) const {
    for (const CKeyNode& sub : SubKeys) {
        if (SameName(sub.Name, name)) {
            return &sub;
        }
    }
    return nullptr;
}

CKeyNode& CKeyNode::EnsureSubKey(const std::string& name) {
    if (CKeyNode* found = FindSubKey(name)) {
        return *found;
    }
    SubKeys.emplace_back();
    SubKeys.back().Name = name;
    return SubKeys.back();
}

CKeyNode* CKeyNode::Find(const std::vector<std::string>& names, size_t first) {
    CKeyNode* node = this;
    for (size_t i = first; i < names.size() && node != nullptr; ++i) {
        node = node->FindSubKey(names[i]);
    }
    return node;
}

CKeyNode& CKeyNode::Ensure(const std::vector<std::string>& names, size_t first) {
    CKeyNode* node = this;
    for (size_t i = first; i < names.size(); ++i) {
        node = &node->EnsureSubKey(names[i]);
    }
    return *node;
}

const CRegValue* CKeyNode::FindValue(const std::string& name) const {
    for (const CRegValue& value : Values) {
        if (SameName(value.Name, name)) {
            return &value;
        }
    }
    return nullptr;
}

CRegValue& CKeyNode::EnsureValue(const std::string& name) {
    for (CRegValue& value : Values) {
        if (SameName(value.Name, name)) {
            return value;
        }
    }
    Values.emplace_back();
    Values.back().Name = name;
    return Values.back();
}

void CKeyNode::SetString(const std::string& name, const std::string& text) {
    CRegValue& value = EnsureValue(name);
    value.Type = EValueType::String;
    value.Text = text;
    value.Number = 0;
}

void CKeyNode::SetDword(const std::string& name, uint32_t number) {
    CRegValue& value = EnsureValue(name);
    value.Type = EValueType::Dword;
    value.Text.clear();
    value.Number = number;
}

bool CKeyNode::RemoveLeafSubKey(const std::string& name) {
    for (auto it = SubKeys.begin(); it != SubKeys.end(); ++it) {
        if (SameName(it->Name, name)) {
            if (!it->SubKeys.empty()) {
                return false;
            }
            SubKeys.erase(it);
            return true;
        }
    }
    return false;
}
