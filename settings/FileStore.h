// The settings store of systems without a registry: one text file per
// application.
//
// Key HKEY_CURRENT_USER\Software\<company>\<application> and everything below
// it live in the file <base>/<company>/<application>.conf (the format is
// described in KeyFile.h). The company key is the folder: it exists while the
// folder exists, its subkeys are the .conf files in it, and deleting it
// removes the folder once no application file is left. `base` is the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config), so KVX3 keeps its
// settings in ~/.config/Quorvane/KVX3.conf. Names are matched without regard
// to ASCII case here as well, so "kvx3" finds KVX3.conf.
//
// Only the tree below Software\<company>\<application> holds values. The root
// and "Software" always exist and can be neither enumerated nor deleted: the
// store never walks or removes anything of the configuration folder other
// than company folders and their .conf files.
//
// Every call reads the file afresh and every change writes it at once
// through ReplaceFileSafely, so a crash during a save leaves either the old
// or the new settings, never a part; a settings file made read-only is not
// written, and one kept elsewhere behind a link stays there. A missing,
// unreadable or damaged file reads as a key without values (or no key at all
// when the file is missing). Reading the file is cheap (a few hundred
// bytes); parsing it is not repeated while its bytes stay the same as at
// the last parse or save, so another program's change is still seen at once.
#pragma once

#include "settings/KeyTree.h"
#include "settings/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

constexpr const char* kSettingsFileExtension = ".conf";
// A settings file larger than this is not read (it reads as empty); real ones
// are a few hundred bytes.
constexpr size_t kMaxSettingsFileSize = 16 * 1024 * 1024;

// $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config
// (the home folder taken from the password database when HOME is unset);
// empty when none is known.
std::string DefaultConfigBase();

class CFileStore : public ISettingsStore {
public:
    // `base` holds the company folders; it is created when first needed. An
    // empty base gives a store in which every read and write fails.
    explicit CFileStore(std::string base);

    bool KeyExists(const std::string& path) override;
    bool ReadString(const std::string& path, const std::string& name, std::string& value) override;
    bool ReadDword(const std::string& path, const std::string& name, uint32_t& value) override;
    bool WriteString(const std::string& path, const std::string& name, const std::string& value) override;
    bool WriteDword(const std::string& path, const std::string& name, uint32_t value) override;
    bool EnumSubKey(const std::string& path, size_t index, std::string& name) override;
    bool DeleteKey(const std::string& path) override;

    // The file that holds Software\<company>\<application>, found without
    // regard to case; empty when there is none.
    std::string FindAppFile(const std::string& company, const std::string& application) const;

    // Crash drill: the next save stops after writing `bytes` bytes of the
    // temporary file and gives up there, leaving the temporary file behind
    // and the settings file untouched, as a process killed mid-save would.
    void InterruptNextSave(size_t bytes) { m_interruptAfter = bytes; }

    // How often a file's text has been parsed (for tests).
    uint64_t ParseCount() const { return m_parseCount; }

private:
    struct CAppFile {
        std::string Path; // the .conf file, existing or to be created
        bool Exists = false;
        CKeyNode* Key = nullptr; // the application key with everything below it (m_parsed's)
    };
    // The application file last read or saved: its path, its bytes and
    // their tree. Valid only while the tree is what those bytes say.
    struct CParsedFile {
        std::string Path;
        std::string Bytes;
        bool Valid = false;
        CKeyNode Key;
    };

    // Splits `path` and, for a path at or below an application key, finds
    // and reads its file. False for an invalid path or one that is not below
    // "Software".
    bool Resolve(const std::string& path, std::vector<std::string>& names, CAppFile& file);
    bool WriteValue(const std::string& path, const CRegValue& value);
    bool Save(const CAppFile& file);

    std::string CompanyFolder(const std::string& company, bool& exists) const;

    std::string m_base;
    size_t m_interruptAfter = std::numeric_limits<size_t>::max();
    CParsedFile m_parsed;
    uint64_t m_parseCount = 0;
};
