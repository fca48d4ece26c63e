#ifdef _WIN32

#include "settings/RegistryStore.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    }
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length) {
    if (length == 0) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr,
                            nullptr);
    }
    return narrow;
}

// Opens a key of a valid path below `root`; the root itself is never handed
// out, so that every key opened here can be closed.
HKEY OpenKey(HKEY root, const std::string& path, REGSAM access) {
    std::vector<std::string> names;
    if (root == nullptr || !SplitKeyPath(path, names) || names.empty()) {
        return nullptr;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, Widen(path).c_str(), 0, access, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

HKEY CreateKey(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    if (root == nullptr || !SplitKeyPath(path, names) || names.empty()) {
        return nullptr;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

CRegistryStore::CRegistryStore(const std::string& root) {
    HKEY key = nullptr;
    std::vector<std::string> names;
    if (SplitKeyPath(root, names) && !names.empty() &&
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(root).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        m_root = key;
    } else {
        m_failed = true;
    }
}

CRegistryStore::~CRegistryStore() {
    if (m_root != nullptr) {
        RegCloseKey(static_cast<HKEY>(m_root));
    }
}

void* CRegistryStore::Root() const {
    if (m_failed) {
        return nullptr;
    }
    return m_root != nullptr ? m_root : static_cast<void*>(HKEY_CURRENT_USER);
}

bool CRegistryStore::KeyExists(const std::string& path) {
    if (path.empty()) {
        return Root() != nullptr;
    }
    HKEY key = OpenKey(static_cast<HKEY>(Root()), path, KEY_READ);
    if (key == nullptr) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool CRegistryStore::ReadString(const std::string& path, const std::string& name, std::string& value) {
    HKEY key = OpenKey(static_cast<HKEY>(Root()), path, KEY_READ);
    if (key == nullptr) {
        return false;
    }
    const std::wstring wideName = Widen(name);
    DWORD type = 0;
    DWORD bytes = 0;
    bool ok = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
              type == REG_SZ;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (ok) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        ok = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                              &size) == ERROR_SUCCESS &&
             type == REG_SZ;
        if (ok) {
            // The stored size may or may not count a terminating NUL.
            size_t length = std::min<size_t>(size / sizeof(wchar_t), buffer.size());
            while (length > 0 && buffer[length - 1] == L'\0') {
                --length;
            }
            value = Narrow(buffer.data(), length);
        }
    }
    RegCloseKey(key);
    return ok;
}

bool CRegistryStore::ReadDword(const std::string& path, const std::string& name, uint32_t& value) {
    HKEY key = OpenKey(static_cast<HKEY>(Root()), path, KEY_READ);
    if (key == nullptr) {
        return false;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const bool ok = RegQueryValueExW(key, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_DWORD && size == sizeof data;
    RegCloseKey(key);
    if (ok) {
        value = data;
    }
    return ok;
}

bool CRegistryStore::WriteString(const std::string& path, const std::string& name, const std::string& value) {
    HKEY key = CreateKey(static_cast<HKEY>(Root()), path);
    if (key == nullptr) {
        return false;
    }
    const std::wstring wide = Widen(value);
    const DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    const bool ok = RegSetValueExW(key, Widen(name).c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool CRegistryStore::WriteDword(const std::string& path, const std::string& name, uint32_t value) {
    HKEY key = CreateKey(static_cast<HKEY>(Root()), path);
    if (key == nullptr) {
        return false;
    }
    const DWORD data = value;
    const bool ok = RegSetValueExW(key, Widen(name).c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool CRegistryStore::EnumSubKey(const std::string& path, size_t index, std::string& name) {
    const HKEY root = static_cast<HKEY>(Root());
    HKEY key = path.empty() ? root : OpenKey(root, path, KEY_READ);
    if (key == nullptr) {
        return false;
    }
    wchar_t buffer[kEnumNameBufferLength];
    DWORD length = kEnumNameBufferLength;
    const bool ok = RegEnumKeyExW(key, static_cast<DWORD>(index), buffer, &length, nullptr, nullptr, nullptr,
                                  nullptr) == ERROR_SUCCESS;
    if (key != root) {
        RegCloseKey(key);
    }
    if (ok) {
        name = Narrow(buffer, length);
    }
    return ok;
}

bool CRegistryStore::DeleteKey(const std::string& path) {
    std::vector<std::string> names;
    const HKEY root = static_cast<HKEY>(Root());
    if (root == nullptr || !SplitKeyPath(path, names) || names.empty()) {
        return false;
    }
    return RegDeleteKeyW(root, Widen(path).c_str()) == ERROR_SUCCESS;
}

#endif
