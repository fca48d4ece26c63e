// A private folder below the system's temporary directory, removed with
// everything in it when the test ends.
//
// Paths are UTF-8 strings here as everywhere in the system. A path made of a
// std::string directly would be read in the ANSI code page on Windows, so
// names go through Utf8Path and Utf8Text.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <fstream>
#include <string>

inline std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class CTempDir {
public:
    CTempDir() {
        std::error_code ec;
        const std::string folder =
            MakeUniqueFolder(Utf8Text(std::filesystem::temp_directory_path(ec)), "kvx3-test-");
        if (!folder.empty()) {
            m_path = Utf8Path(folder);
        }
    }
    ~CTempDir() {
        std::error_code ec;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ec);
        }
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return Utf8Text(m_path / Utf8Path(name)); }

    // Writes the bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path / Utf8Path(name), std::ios::binary | std::ios::trunc) << bytes;
        return File(name);
    }

private:
    std::filesystem::path m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
