#include "TestStores.h"

#include <windows.h>

CScratchRegistryStore::~CScratchRegistryStore() {
    if (!m_name.empty()) {
        const std::wstring key = L"Software\\" + std::wstring(m_name.begin(), m_name.end()); // ASCII
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
}
