// Start-up load, exit save and the exit deletion of the main window's options.
#include "TestStores.h"

#include "settings/AppOptions.h"
#include "settings/KeyTreeOps.h"
#include "settings/RecentFiles.h"

#include <vector>

namespace {

const std::string kBit = "Software\\Quorvane\\KVX3\\Settings\\Bit";
const std::string kDevice = "Software\\Quorvane\\KVX3\\Settings\\Device";
const std::vector<std::string> kFlagNames = {"DisProtect", "ViewProtect", "Complate", "UserId",
                                             "SumId",      "DevId",       "HexCheck"};

bool HasDword(ISettingsStore& store, const std::string& path, const std::string& name, uint32_t& value) {
    return store.ReadDword(path, name, value);
}

} // namespace

template <class Backend> class AppOptionsTest : public StoreFixture<Backend> {
protected:
    CProfile m_profile{*this->m_store, kCompanyKey, "KVX3"};
};
TYPED_TEST_SUITE(AppOptionsTest, Backends, BackendNames);

TYPED_TEST(AppOptionsTest, FirstRunGivesTheDefaultsAndExitCreatesDeviceAndSevenFlags) {
    ISettingsStore& store = *this->m_store;
    const CAppOptions options = LoadAppOptions(this->m_profile);
    EXPECT_EQ(options.m_strDevice, "PIC16F873A");
    EXPECT_FALSE(options.m_bDisProtect);
    EXPECT_TRUE(options.m_bViewProtect);
    EXPECT_FALSE(options.m_bComplate);
    EXPECT_FALSE(options.m_bUserId);
    EXPECT_FALSE(options.m_bSumId);
    EXPECT_TRUE(options.m_bDevId);
    EXPECT_FALSE(options.m_bHexCheck);
    EXPECT_EQ(options.m_nUserIdNo, 0);
    EXPECT_FALSE(options.m_bDeleteRegistry);
    for (const std::string& file : ReadRecentFiles(this->m_profile)) {
        EXPECT_EQ(file, "");
    }
    // Loading alone writes nothing.
    EXPECT_FALSE(store.KeyExists("Software\\Quorvane"));

    ExitSave(this->m_profile, options);
    std::string device;
    EXPECT_TRUE(store.ReadString(kDevice, "PIC", device));
    EXPECT_EQ(device, "PIC16F873A");
    const std::vector<uint32_t> expected = {0, 1, 0, 0, 0, 1, 0};
    for (size_t i = 0; i < kFlagNames.size(); ++i) {
        uint32_t value = 99;
        EXPECT_TRUE(HasDword(store, kBit, kFlagNames[i], value)) << kFlagNames[i];
        EXPECT_EQ(value, expected[i]) << kFlagNames[i];
    }
    uint32_t userIdNo = 0;
    EXPECT_FALSE(HasDword(store, kBit, "UserIdNo", userIdNo));
}

TYPED_TEST(AppOptionsTest, SavedOptionsComeBackOnTheNextRun) {
    CAppOptions options;
    options.m_strDevice = "PIC18F4550";
    options.m_bDisProtect = true;
    options.m_bViewProtect = false;
    options.m_bComplate = true;
    options.m_bSumId = true;
    options.m_bDevId = false;
    options.m_bHexCheck = true;
    ExitSave(this->m_profile, options);
    const CAppOptions back = LoadAppOptions(this->m_profile);
    EXPECT_EQ(back.m_strDevice, "PIC18F4550");
    EXPECT_TRUE(back.m_bDisProtect);
    EXPECT_FALSE(back.m_bViewProtect);
    EXPECT_TRUE(back.m_bComplate);
    EXPECT_FALSE(back.m_bUserId);
    EXPECT_TRUE(back.m_bSumId);
    EXPECT_FALSE(back.m_bDevId);
    EXPECT_TRUE(back.m_bHexCheck);
}

TYPED_TEST(AppOptionsTest, TheSnapshotOptionIsRememberedApartAndDeletedWithTheRest) {
    ISettingsStore& store = *this->m_store;
    EXPECT_FALSE(LoadSafetyOptions(this->m_profile).m_bSnapshot);
    // The window's own save leaves the safety section alone.
    ExitSave(this->m_profile, CAppOptions{});
    EXPECT_FALSE(store.KeyExists("Software\\Quorvane\\KVX3\\Settings\\Safety"));

    SaveSafetyOptions(this->m_profile, CSafetyOptions{true});
    uint32_t value = 0;
    EXPECT_TRUE(HasDword(store, "Software\\Quorvane\\KVX3\\Settings\\Safety", "Snapshot", value));
    EXPECT_EQ(value, 1U);
    EXPECT_TRUE(LoadSafetyOptions(this->m_profile).m_bSnapshot);
    this->m_profile.WriteProfileInt(kSafetySection, "Snapshot", 7U);
    EXPECT_TRUE(LoadSafetyOptions(this->m_profile).m_bSnapshot) << "any non-zero value is on";
    SaveSafetyOptions(this->m_profile, CSafetyOptions{false});
    EXPECT_FALSE(LoadSafetyOptions(this->m_profile).m_bSnapshot);

    SaveSafetyOptions(this->m_profile, CSafetyOptions{true});
    CAppOptions deleting;
    deleting.m_bDeleteRegistry = true;
    ExitSave(this->m_profile, deleting);
    EXPECT_FALSE(LoadSafetyOptions(this->m_profile).m_bSnapshot);
}

TYPED_TEST(AppOptionsTest, UserIdNoIsWrittenBackOnlyWhileUserIdIsSet) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kBit, "UserId", 1));
    ASSERT_TRUE(store.WriteDword(kBit, "UserIdNo", 0x80000000U));
    CAppOptions options = LoadAppOptions(this->m_profile);
    EXPECT_TRUE(options.m_bUserId);
    // Hand-made value changed behind the program's back: what was read is
    // what goes out, so the exit really writes it.
    ASSERT_TRUE(store.WriteDword(kBit, "UserIdNo", 5));
    ExitSave(this->m_profile, options);
    uint32_t value = 0;
    EXPECT_TRUE(store.ReadDword(kBit, "UserIdNo", value));
    EXPECT_EQ(value, 0x80000000U);
    EXPECT_TRUE(store.ReadDword(kBit, "UserId", value));
    EXPECT_EQ(value, 1U);

    ASSERT_TRUE(store.WriteDword(kBit, "UserId", 0));
    ASSERT_TRUE(store.WriteDword(kBit, "UserIdNo", 1234));
    options = LoadAppOptions(this->m_profile);
    EXPECT_FALSE(options.m_bUserId);
    EXPECT_EQ(options.m_nUserIdNo, 1234);
    options.m_nUserIdNo = 42; // not written while UserId is off
    ExitSave(this->m_profile, options);
    EXPECT_TRUE(store.ReadDword(kBit, "UserIdNo", value));
    EXPECT_EQ(value, 1234U);
}

TYPED_TEST(AppOptionsTest, NonZeroFlagsReadTrueAndGoBackAsOne) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kBit, "DisProtect", 5));
    ASSERT_TRUE(store.WriteDword(kBit, "ViewProtect", 0));
    ASSERT_TRUE(store.WriteDword(kBit, "HexCheck", 0xFFFFFFFFU));
    // A flag of the wrong type reads as missing: DevId keeps its default.
    ASSERT_TRUE(store.WriteString(kBit, "DevId", "0"));
    const CAppOptions options = LoadAppOptions(this->m_profile);
    EXPECT_TRUE(options.m_bDisProtect);
    EXPECT_FALSE(options.m_bViewProtect);
    EXPECT_TRUE(options.m_bHexCheck);
    EXPECT_TRUE(options.m_bDevId);
    ExitSave(this->m_profile, options);
    uint32_t value = 0;
    EXPECT_TRUE(store.ReadDword(kBit, "DisProtect", value));
    EXPECT_EQ(value, 1U);
    EXPECT_TRUE(store.ReadDword(kBit, "HexCheck", value));
    EXPECT_EQ(value, 1U);
    EXPECT_TRUE(store.ReadDword(kBit, "DevId", value));
    EXPECT_EQ(value, 1U);
}

TYPED_TEST(AppOptionsTest, LeavingBlankAreasUnwrittenIsOffUntilChosenAndRemembered) {
    ISettingsStore& store = *this->m_store;
    CAppOptions options = LoadAppOptions(this->m_profile);
    EXPECT_FALSE(options.m_bSkipBlank);
    ExitSave(this->m_profile, options);
    uint32_t value = 99;
    EXPECT_TRUE(store.ReadDword(kBit, "SkipBlank", value));
    EXPECT_EQ(value, 0U);

    ASSERT_TRUE(store.WriteDword(kBit, "SkipBlank", 7));
    options = LoadAppOptions(this->m_profile);
    EXPECT_TRUE(options.m_bSkipBlank);
    ExitSave(this->m_profile, options);
    EXPECT_TRUE(store.ReadDword(kBit, "SkipBlank", value));
    EXPECT_EQ(value, 1U);
    EXPECT_TRUE(LoadAppOptions(this->m_profile).m_bSkipBlank);
}

TYPED_TEST(AppOptionsTest, NegativeUserIdNoSurvivesTheRoundTrip) {
    CAppOptions options;
    options.m_bUserId = true;
    options.m_nUserIdNo = -2;
    ExitSave(this->m_profile, options);
    EXPECT_EQ(LoadAppOptions(this->m_profile).m_nUserIdNo, -2);
    uint32_t value = 0;
    EXPECT_TRUE(this->m_store->ReadDword(kBit, "UserIdNo", value));
    EXPECT_EQ(value, 0xFFFFFFFEU);
}

TYPED_TEST(AppOptionsTest, DeletionAtExitRemovesProgramCompanyAndOldProgramKeys) {
    ISettingsStore& store = *this->m_store;
    AddRecentFile(this->m_profile, "/work/a.hex");
    ASSERT_TRUE(store.WriteDword("Software\\Quorvane\\KVX\\Settings\\Bit", "DevId", 0));
    CAppOptions options = LoadAppOptions(this->m_profile);
    options.m_bDeleteRegistry = true;
    ExitSave(this->m_profile, options);
    EXPECT_FALSE(ProgramKeyExists(store, "Quorvane", "KVX3"));
    EXPECT_FALSE(ProgramKeyExists(store, "Quorvane", "KVX"));
    EXPECT_FALSE(store.KeyExists("Software\\Quorvane"));
    // The next run starts from the first-run values again.
    EXPECT_EQ(LoadAppOptions(this->m_profile).m_strDevice, "PIC16F873A");
}

TYPED_TEST(AppOptionsTest, DeletionKeepsTheCompanyKeyWhileAnotherProgramKeyRemains) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteString("Software\\Quorvane\\Other\\Settings", "x", "y"));
    CAppOptions options;
    options.m_bDeleteRegistry = true;
    ExitSave(this->m_profile, options);
    EXPECT_FALSE(ProgramKeyExists(store, "Quorvane", "KVX3"));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "Other"));
    std::string text;
    EXPECT_TRUE(store.ReadString("Software\\Quorvane\\Other\\Settings", "x", text));
}

TYPED_TEST(AppOptionsTest, WithoutTheDeleteOptionTheOldProgramKeyIsLeftAlone) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword("Software\\Quorvane\\KVX\\Settings\\Bit", "DevId", 0));
    ExitSave(this->m_profile, LoadAppOptions(this->m_profile));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX"));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX3"));
}

TEST(AppName, IsTheExecutableBaseNameWithoutExtension) {
    EXPECT_EQ(AppNameFromPath("/usr/local/bin/KVX3"), "KVX3");
    EXPECT_EQ(AppNameFromPath("C:\\Program Files\\Quorvane\\KVX3.exe"), "KVX3");
    EXPECT_EQ(AppNameFromPath("/opt/kvx3.v2/kvx3"), "kvx3");
    EXPECT_EQ(AppNameFromPath("tools/kvx3.tar.gz"), "kvx3.tar");
    EXPECT_EQ(AppNameFromPath("/home/u/.kvx3"), ".kvx3");
    EXPECT_EQ(AppNameFromPath("KVX3"), "KVX3");
    // Nothing usable as a key name falls back to the shipped name.
    EXPECT_EQ(AppNameFromPath(""), "KVX3");
    EXPECT_EQ(AppNameFromPath("/usr/bin/"), "KVX3");
    EXPECT_EQ(AppNameFromPath("/usr/bin/.."), "KVX3");
    EXPECT_EQ(AppNameFromPath("/tmp/bad\tname"), "KVX3");
    EXPECT_EQ(CurrentAppName(), "settings_tests");
}
