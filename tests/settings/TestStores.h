// A scratch folder per test and the two testable backends, so that the same
// cases run against the memory store and the system's own store (the file
// store; the registry on Windows).
#pragma once

#include "platform/Platform.h"
#include "settings/MemoryStore.h"
#ifdef _WIN32
#include "settings/RegistryStore.h"
#else
#include "settings/FileStore.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

class CTempDir {
public:
    CTempDir() {
        std::error_code error;
        m_path = MakeUniqueFolder(std::filesystem::temp_directory_path(error).string(), "kvx3-settings-");
    }
    ~CTempDir() {
        std::error_code error;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, error);
        }
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

struct MemoryBackend {
    static std::unique_ptr<ISettingsStore> Make(const std::string&) {
        return std::make_unique<CMemoryStore>();
    }
};

#ifdef _WIN32
// The registry of the current user, below a scratch key of the test's own
// (Software\<name of its scratch folder>), which goes with everything in it.
class CScratchRegistryStore : public CRegistryStore {
public:
    explicit CScratchRegistryStore(const std::string& name)
        : CRegistryStore(name.empty() ? std::string() : "Software\\" + name), m_name(name) {}
    // Deletes the scratch key with everything in it (ScratchRegistry.cpp,
    // which keeps <windows.h> and its macros out of the tests).
    ~CScratchRegistryStore() override;

private:
    std::string m_name;
};

struct RegistryBackend {
    static std::unique_ptr<ISettingsStore> Make(const std::string& base) {
        const size_t slash = base.find_last_of("/\\");
        return std::make_unique<CScratchRegistryStore>(slash == std::string::npos ? base
                                                                                  : base.substr(slash + 1));
    }
};
using SystemBackend = RegistryBackend;
#else
struct FileBackend {
    static std::unique_ptr<ISettingsStore> Make(const std::string& base) {
        return std::make_unique<CFileStore>(base);
    }
};
using SystemBackend = FileBackend;
#endif

class BackendNames {
public:
    template <class T> static std::string GetName(int) {
#ifdef _WIN32
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "Registry";
#else
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "File";
#endif
    }
};

using Backends = ::testing::Types<MemoryBackend, SystemBackend>;

template <class Backend> class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }

    CTempDir m_dir;
    std::unique_ptr<ISettingsStore> m_store = Backend::Make(m_dir.Path());
};
