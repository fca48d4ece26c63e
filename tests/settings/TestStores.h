// A scratch folder per test and the two testable backends, so that the same
// cases run against the memory store and the file store.
#pragma once

#include "platform/Platform.h"
#include "settings/FileStore.h"
#include "settings/MemoryStore.h"

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

struct FileBackend {
    static std::unique_ptr<ISettingsStore> Make(const std::string& base) {
        return std::make_unique<CFileStore>(base);
    }
};

class BackendNames {
public:
    template <class T> static std::string GetName(int) {
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "File";
    }
};

using Backends = ::testing::Types<MemoryBackend, FileBackend>;

template <class Backend> class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }

    CTempDir m_dir;
    std::unique_ptr<ISettingsStore> m_store = Backend::Make(m_dir.Path());
};
