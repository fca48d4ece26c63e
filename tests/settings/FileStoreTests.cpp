// The file backend: where the files are, how they are replaced, and what a
// damaged file reads as.
#include "TestStores.h"

#include "platform/Platform.h"
#include "settings/AppOptions.h"
#include "settings/KeyTreeOps.h"
#include "settings/RecentFiles.h"
#include "settings/UserStore.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kBit = "Software\\Quorvane\\KVX3\\Settings\\Bit";
const std::string kList = "Software\\Quorvane\\KVX3\\Recent File List";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }
    fs::path Company() const { return fs::path(m_dir.Path()) / "Quorvane"; }
    fs::path AppFile() const { return Company() / "KVX3.conf"; }

    CTempDir m_dir;
    CFileStore m_store{m_dir.Path()};
    CProfile m_profile{m_store, kCompanyKey, "KVX3"};
};

// Sets an environment variable for one scope and puts the old value back.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~CScopedEnv() {
        if (m_had) {
            ::setenv(m_name, m_old.c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

} // namespace

TEST_F(FileStoreTest, OneFilePerApplicationInTheCompanyFolder) {
    ExitSave(m_profile, CAppOptions());
    ASSERT_TRUE(m_store.WriteString("Software\\Quorvane\\KVX\\Settings\\Device", "PIC", "PIC16F84A"));
    EXPECT_EQ(FolderEntries(m_dir.Path()), std::vector<std::string>{"Quorvane"});
    EXPECT_EQ(FolderEntries(Company()), (std::vector<std::string>{"KVX.conf", "KVX3.conf"}));
    const std::string text = ReadText(AppFile());
    EXPECT_EQ(text.rfind("; HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\n", 0), 0U);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\n"
                        "\"DisProtect\"=dword:00000000\n\"ViewProtect\"=dword:00000001\n"),
              std::string::npos);

    std::string name;
    EXPECT_TRUE(m_store.EnumSubKey("Software\\Quorvane", 0, name));
    EXPECT_EQ(name, "KVX");
    EXPECT_TRUE(m_store.EnumSubKey("Software\\Quorvane", 1, name));
    EXPECT_EQ(name, "KVX3");
    EXPECT_FALSE(m_store.EnumSubKey("Software\\Quorvane", 2, name));
}

TEST_F(FileStoreTest, AwkwardStringsAndIntegersSurviveTheFile) {
    std::string allBytes;
    for (int c = 1; c < 256; ++c) {
        allBytes += static_cast<char>(c);
    }
    const std::vector<std::string> texts = {
        "line1\nline2\r\nline3",
        "a=b",
        "[Settings\\Bit]",
        "C:\\dir\\file.hex",
        "\"quoted\"",
        "\x90\xdd\x92\xe8\x83\x74\x83\x40\x83\x43\x83\x8b",
        "設定ファイル.hex",
        "",
        std::string(200000, 'L'),
        allBytes,
        std::string("nul\0inside", 10),
        "; not a comment",
        " leading and trailing ",
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(m_store.WriteString(kList, "Text" + std::to_string(i), texts[i]));
    }
    const std::vector<uint32_t> numbers = {0, 1, 0x7FFFFFFFU, 0x80000000U, 0xFFFFFFFFU, 0xFFFFFFFEU};
    for (size_t i = 0; i < numbers.size(); ++i) {
        ASSERT_TRUE(m_store.WriteDword(kBit, "Number" + std::to_string(i), numbers[i]));
    }
    // Awkward names too.
    ASSERT_TRUE(m_store.WriteString(kList, "=[]\"\\ \n", "odd name"));
    ASSERT_TRUE(m_store.WriteString(kList, "", "default value"));

    CFileStore fresh(m_dir.Path());
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string back;
        EXPECT_TRUE(fresh.ReadString(kList, "Text" + std::to_string(i), back)) << i;
        EXPECT_EQ(back, texts[i]) << i;
    }
    for (size_t i = 0; i < numbers.size(); ++i) {
        uint32_t back = 12345;
        EXPECT_TRUE(fresh.ReadDword(kBit, "Number" + std::to_string(i), back)) << i;
        EXPECT_EQ(back, numbers[i]) << i;
    }
    std::string back;
    EXPECT_TRUE(fresh.ReadString(kList, "=[]\"\\ \n", back));
    EXPECT_EQ(back, "odd name");
    EXPECT_TRUE(fresh.ReadString(kList, "", back));
    EXPECT_EQ(back, "default value");
}

TEST_F(FileStoreTest, MissingEmptyOrDamagedFilesReadAsDefaultsAndALaterSaveWorks) {
    CAppOptions saved;
    saved.m_strDevice = "PIC18F2550";
    saved.m_bDevId = false;
    ExitSave(m_profile, saved);
    AddRecentFile(m_profile, "/hex/a.hex");
    const std::string good = ReadText(AppFile());

    // Each damaged file with the device and DevId it must read as.
    struct Case {
        std::string Text;
        const char* Device;
        bool DevId;
    };
    const size_t bitSection = good.find("[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]");
    ASSERT_NE(bitSection, std::string::npos);
    const std::vector<Case> cases = {
        {"", "PIC16F873A", true},
        {good.substr(0, bitSection), "PIC18F2550", true},
        {good.substr(0, bitSection - 3), "PIC16F873A", true},
        {std::string("\0\0\0\xff\xfe garbage [[[ \"\"\" \\\\\\", 20), "PIC16F873A", true},
        {std::string(3000, '['), "PIC16F873A", true},
        {"[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\n\"DevId\"=dword:0000", "PIC16F873A",
         true},
        {"[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\n\"DevId\"=dword:00000000",
         "PIC16F873A", false},
    };
    for (const Case& damaged : cases) {
        WriteText(AppFile(), damaged.Text);
        const CAppOptions options = LoadAppOptions(m_profile);
        EXPECT_EQ(options.m_strDevice, damaged.Device) << damaged.Text;
        EXPECT_EQ(options.m_bDevId, damaged.DevId) << damaged.Text;
        EXPECT_TRUE(m_store.KeyExists(m_profile.AppKeyPath()));

        ExitSave(m_profile, saved);
        AddRecentFile(m_profile, "/hex/a.hex");
        const CAppOptions back = LoadAppOptions(m_profile);
        EXPECT_EQ(back.m_strDevice, "PIC18F2550");
        EXPECT_FALSE(back.m_bDevId);
        EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/a.hex");
    }

    fs::remove(AppFile());
    EXPECT_EQ(LoadAppOptions(m_profile).m_strDevice, "PIC16F873A");
    EXPECT_FALSE(m_store.KeyExists(m_profile.AppKeyPath()));
}

TEST_F(FileStoreTest, AnOversizedFileIsNotReadButIsReplacedBySaving) {
    WriteText(AppFile(),
              "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\n\"DevId\"=dword:00000000\n" +
                  std::string(kMaxSettingsFileSize, ';'));
    EXPECT_TRUE(LoadAppOptions(m_profile).m_bDevId);
    ASSERT_TRUE(m_store.WriteDword(kBit, "DevId", 0));
    EXPECT_LT(fs::file_size(AppFile()), 4096U);
    EXPECT_FALSE(LoadAppOptions(m_profile).m_bDevId);
}

TEST_F(FileStoreTest, SavesReplaceTheFileWholeAndLeaveNoTemporaryFile) {
    ExitSave(m_profile, CAppOptions());
    const std::string before = ReadText(AppFile());
    ASSERT_TRUE(m_store.WriteString(kList, "File1", "/hex/new.hex"));
    EXPECT_EQ(FolderEntries(Company()), std::vector<std::string>{"KVX3.conf"});
    EXPECT_NE(ReadText(AppFile()), before);

    // A save that dies halfway leaves its temporary file, and the settings
    // file as it was before that save.
    const std::string complete = ReadText(AppFile());
    m_store.InterruptNextSave(complete.size() / 2);
    EXPECT_FALSE(m_store.WriteString(kList, "File1", "/hex/lost.hex"));
    EXPECT_EQ(ReadText(AppFile()), complete);
    EXPECT_EQ(FolderEntries(Company()).size(), 2U);
    EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/new.hex");

    // The leftover is no application key, and the next save goes through.
    std::string name;
    EXPECT_TRUE(m_store.EnumSubKey("Software\\Quorvane", 0, name));
    EXPECT_EQ(name, "KVX3");
    EXPECT_FALSE(m_store.EnumSubKey("Software\\Quorvane", 1, name));
    EXPECT_TRUE(m_store.WriteString(kList, "File1", "/hex/kept.hex"));
    EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/kept.hex");
}

TEST_F(FileStoreTest, ALinkedFileStaysLinkedAndAReadOnlyOneIsNotWritten) {
    // Settings kept in a dotfiles folder and linked into place.
    const fs::path kept = fs::path(m_dir.Path()) / "dotfiles" / "KVX3.conf";
    WriteText(kept, "");
    fs::create_directories(Company());
    fs::create_symlink(kept, AppFile());
    ASSERT_TRUE(m_store.WriteString(kList, "File1", "/hex/a.hex"));
    EXPECT_TRUE(fs::is_symlink(AppFile()));
    EXPECT_NE(ReadText(kept).find("/hex/a.hex"), std::string::npos);
    EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/a.hex");

    // A settings file the user made read-only keeps what it holds.
    const std::string locked = ReadText(kept);
    fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(m_store.WriteString(kList, "File1", "/hex/b.hex"));
    EXPECT_EQ(ReadText(kept), locked);
    EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/a.hex");
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::group_read);
}

TEST_F(FileStoreTest, ASaveThatCannotReachTheDiskKeepsTheOldSettings) {
    ExitSave(m_profile, CAppOptions());
    ASSERT_TRUE(m_store.WriteString(kList, "File1", "/hex/new.hex"));
    const std::string before = ReadText(AppFile());
    for (EReplaceStep step :
         {EReplaceStep::Create, EReplaceStep::Write, EReplaceStep::Sync, EReplaceStep::Rename}) {
        CReplaceFault fault;
        fault.Step = step;
        fault.BytesBeforeFailure = before.size() / 3;
        const CReplaceFaultScope scope(fault);
        EXPECT_FALSE(m_store.WriteString(kList, "File1", "/hex/lost.hex")) << static_cast<int>(step);
        EXPECT_TRUE(scope.Fired());
        EXPECT_EQ(ReadText(AppFile()), before);
        EXPECT_EQ(FolderEntries(Company()), std::vector<std::string>{"KVX3.conf"});
    }
    EXPECT_EQ(GetRecentFile(m_profile, 1), "/hex/new.hex");
}

TEST_F(FileStoreTest, CompanyFolderGoesOnlyWhenNothingElseIsInIt) {
    ExitSave(m_profile, CAppOptions());
    WriteText(Company() / "notes.txt", "mine");
    EXPECT_TRUE(DeleteProgramKey(m_store, "Quorvane", "KVX3"));
    EXPECT_FALSE(fs::exists(AppFile()));
    // The company key has no subkeys left, but the folder is not ours to
    // empty: it stays with the user's file.
    EXPECT_TRUE(fs::exists(Company() / "notes.txt"));

    fs::remove(Company() / "notes.txt");
    ExitSave(m_profile, CAppOptions());
    EXPECT_TRUE(DeleteProgramKey(m_store, "Quorvane", "KVX3"));
    EXPECT_FALSE(fs::exists(Company()));
    EXPECT_TRUE(fs::exists(m_dir.Path()));
}

TEST_F(FileStoreTest, RootAndSoftwareAreNeverEnumeratedOrDeleted) {
    WriteText(fs::path(m_dir.Path()) / "other-program" / "KVX3.conf", "keep");
    ExitSave(m_profile, CAppOptions());
    EXPECT_TRUE(m_store.KeyExists(""));
    EXPECT_TRUE(m_store.KeyExists("Software"));
    EXPECT_FALSE(m_store.KeyExists("Environment"));
    std::string name;
    EXPECT_FALSE(m_store.EnumSubKey("Software", 0, name));
    EXPECT_FALSE(m_store.DeleteKey("Software"));
    EXPECT_TRUE(DeleteRegKeyTree(m_store, "", "Software"));
    EXPECT_EQ(ReadText(fs::path(m_dir.Path()) / "other-program" / "KVX3.conf"), "keep");
    EXPECT_TRUE(fs::exists(AppFile()));
    // Names that would leave the company folder are refused.
    EXPECT_FALSE(m_store.WriteDword("Software\\other-program/..\\KVX3", "x", 1));
    EXPECT_FALSE(m_store.WriteDword("Software\\Quorvane\\../KVX3", "x", 1));
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"Quorvane", "other-program"}));
}

TEST_F(FileStoreTest, FileAndFolderNamesMatchWithoutRegardToCase) {
    WriteText(fs::path(m_dir.Path()) / "quorvane" / "kvx3.conf",
              "[HKEY_CURRENT_USER\\Software\\quorvane\\kvx3\\Settings\\Device]\n\"PIC\"=\"PIC12F675\"\n");
    EXPECT_EQ(LoadAppOptions(m_profile).m_strDevice, "PIC12F675");
    ExitSave(m_profile, LoadAppOptions(m_profile));
    EXPECT_EQ(FolderEntries(m_dir.Path()), std::vector<std::string>{"quorvane"});
    EXPECT_EQ(FolderEntries(fs::path(m_dir.Path()) / "quorvane"), std::vector<std::string>{"kvx3.conf"});
    EXPECT_TRUE(ProgramKeyExists(m_store, "Quorvane", "KVX3"));
    EXPECT_TRUE(DeleteProgramKey(m_store, "QUORVANE", "Kvx3"));
    EXPECT_FALSE(fs::exists(fs::path(m_dir.Path()) / "quorvane"));
}

TEST_F(FileStoreTest, HandEditedFileIsHonoured) {
    WriteText(AppFile(), "; edited by hand\r\n"
                         "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\r\n"
                         "\"DisProtect\"=dword:00000005\r\n"
                         "\"UserId\"=dword:00000001\r\n"
                         "\"UserIdNo\"=dword:0000002a\r\n");
    const CAppOptions options = LoadAppOptions(m_profile);
    EXPECT_TRUE(options.m_bDisProtect);
    EXPECT_EQ(options.m_nUserIdNo, 42);
    ExitSave(m_profile, options);
    const std::string text = ReadText(AppFile());
    EXPECT_NE(text.find("\"DisProtect\"=dword:00000001\n"), std::string::npos);
    EXPECT_NE(text.find("\"UserIdNo\"=dword:0000002a\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(FileStoreTest, AStoreWithoutABaseFolderReadsDefaultsAndWritesNothing) {
    CFileStore nowhere("");
    CProfile profile(nowhere, kCompanyKey, "KVX3");
    ExitSave(profile, CAppOptions());
    AddRecentFile(profile, "/a.hex");
    EXPECT_EQ(GetRecentFile(profile, 1), "");
    EXPECT_EQ(LoadAppOptions(profile).m_strDevice, "PIC16F873A");
    EXPECT_FALSE(nowhere.KeyExists("Software"));
}

TEST(ConfigBase, FollowsXdgConfigHomeThenHome) {
    CTempDir dir;
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
        EXPECT_EQ(DefaultConfigBase(), dir.Path());
        std::unique_ptr<ISettingsStore> store = OpenUserSettingsStore();
        CProfile profile(*store, kCompanyKey, CurrentAppName());
        ExitSave(profile, CAppOptions());
        EXPECT_TRUE(fs::exists(fs::path(dir.Path()) / "Quorvane" / "settings_tests.conf"));
        CAppOptions options;
        options.m_bDeleteRegistry = true;
        ExitSave(profile, options);
        EXPECT_FALSE(fs::exists(fs::path(dir.Path()) / "Quorvane"));
    }
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
        CScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(DefaultConfigBase(), "/home/someone/.config");
    }
    {
        CScopedEnv xdg("XDG_CONFIG_HOME", "");
        CScopedEnv home("HOME", "/home/other");
        EXPECT_EQ(DefaultConfigBase(), "/home/other/.config");
    }
}

TEST_F(FileStoreTest, TheFileIsParsedOnlyWhenItsBytesChange) {
    ASSERT_TRUE(m_store.WriteDword(kBit, "DisProtect", 1));
    const uint64_t parses = m_store.ParseCount();
    uint32_t value = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(m_store.ReadDword(kBit, "DisProtect", value));
    }
    EXPECT_EQ(value, 1U);
    EXPECT_EQ(m_store.ParseCount(), parses) << "what this store saved is known without a parse";

    // Another program's change, of the same size and within the same clock
    // tick, is still seen at once.
    std::string text = ReadText(AppFile());
    const size_t at = text.find("dword:00000001");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "dword:00000007");
    WriteText(AppFile(), text);
    ASSERT_TRUE(m_store.ReadDword(kBit, "DisProtect", value));
    EXPECT_EQ(value, 7U);
    EXPECT_EQ(m_store.ParseCount(), parses + 1);
    ASSERT_TRUE(m_store.ReadDword(kBit, "DisProtect", value));
    EXPECT_EQ(m_store.ParseCount(), parses + 1);

    // A save that fails leaves no stale tree behind.
    fs::permissions(AppFile(), fs::perms::owner_read);
    EXPECT_FALSE(m_store.WriteDword(kBit, "DisProtect", 9));
    fs::permissions(AppFile(), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(m_store.ReadDword(kBit, "DisProtect", value));
    EXPECT_EQ(value, 7U);
}

TEST_F(FileStoreTest, ADeviceInPlaceOfTheFileReadsAsEmpty) {
    fs::create_directories(Company());
    fs::create_symlink("/dev/zero", AppFile());
    uint32_t value = 0;
    EXPECT_FALSE(m_store.ReadDword(kBit, "DisProtect", value));
    EXPECT_FALSE(m_store.WriteDword(kBit, "DisProtect", 1)) << "a device is not replaced";
}
