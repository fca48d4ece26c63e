// The key store's contract, run against every backend that can be tested here.
#include "TestStores.h"

#include "settings/KeyTreeOps.h"

#include <vector>

namespace {

const std::string kApp = "Software\\Quorvane\\KVX3";

std::vector<std::string> SubKeys(ISettingsStore& store, const std::string& path) {
    std::vector<std::string> names;
    std::string name;
    while (store.EnumSubKey(path, names.size(), name)) {
        names.push_back(name);
    }
    return names;
}

} // namespace

template <class Backend> class StoreTest : public StoreFixture<Backend> {};
TYPED_TEST_SUITE(StoreTest, Backends, BackendNames);

TYPED_TEST(StoreTest, ValuesKeepTheirTypeAndAWriteCreatesEveryKeyAbove) {
    ISettingsStore& store = *this->m_store;
    EXPECT_FALSE(store.KeyExists(kApp));
    ASSERT_TRUE(store.WriteString(kApp + "\\Settings\\Device", "PIC", "PIC18F452"));
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "DevId", 0xFFFFFFFFU));
    EXPECT_TRUE(store.KeyExists("Software\\Quorvane"));
    EXPECT_TRUE(store.KeyExists(kApp));
    EXPECT_TRUE(store.KeyExists(kApp + "\\Settings"));

    std::string text = "untouched";
    uint32_t number = 7;
    EXPECT_TRUE(store.ReadString(kApp + "\\Settings\\Device", "PIC", text));
    EXPECT_EQ(text, "PIC18F452");
    EXPECT_TRUE(store.ReadDword(kApp + "\\Settings\\Bit", "DevId", number));
    EXPECT_EQ(number, 0xFFFFFFFFU);

    // The other type, another name or another key is no value at all.
    text = "untouched";
    number = 7;
    EXPECT_FALSE(store.ReadDword(kApp + "\\Settings\\Device", "PIC", number));
    EXPECT_FALSE(store.ReadString(kApp + "\\Settings\\Bit", "DevId", text));
    EXPECT_FALSE(store.ReadString(kApp + "\\Settings\\Bit", "Missing", text));
    EXPECT_FALSE(store.ReadDword(kApp + "\\Settings\\Other", "DevId", number));
    EXPECT_EQ(text, "untouched");
    EXPECT_EQ(number, 7U);

    // A write of the other type replaces the value.
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Device", "PIC", 3));
    EXPECT_FALSE(store.ReadString(kApp + "\\Settings\\Device", "PIC", text));
    EXPECT_TRUE(store.ReadDword(kApp + "\\Settings\\Device", "PIC", number));
    EXPECT_EQ(number, 3U);
}

TYPED_TEST(StoreTest, NamesIgnoreLetterCaseButKeepTheirFirstSpelling) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "HexCheck", 1));
    ASSERT_TRUE(store.WriteDword("SOFTWARE\\quorvane\\kvx3\\SETTINGS\\bit", "HEXCHECK", 0));
    uint32_t number = 9;
    EXPECT_TRUE(store.ReadDword(kApp + "\\Settings\\Bit", "hexcheck", number));
    EXPECT_EQ(number, 0U);
    EXPECT_EQ(SubKeys(store, kApp), std::vector<std::string>{"Settings"});
    EXPECT_EQ(SubKeys(store, kApp + "\\Settings"), std::vector<std::string>{"Bit"});
}

TYPED_TEST(StoreTest, StringValuesAreBytesAndCompareExactly) {
    ISettingsStore& store = *this->m_store;
    const std::string section = kApp + "\\Recent File List";
    ASSERT_TRUE(store.WriteString(section, "File1", "C:\\Hex\\A.hex"));
    ASSERT_TRUE(store.WriteString(section, "File2", "C:\\Hex\\a.hex"));
    ASSERT_TRUE(store.WriteString(section, "Empty", ""));
    std::string text;
    EXPECT_TRUE(store.ReadString(section, "File1", text));
    EXPECT_EQ(text, "C:\\Hex\\A.hex");
    EXPECT_TRUE(store.ReadString(section, "File2", text));
    EXPECT_EQ(text, "C:\\Hex\\a.hex");
    EXPECT_TRUE(store.ReadString(section, "Empty", text));
    EXPECT_EQ(text, "");
}

TYPED_TEST(StoreTest, InvalidPathsAreRefusedAndCreateNothing) {
    ISettingsStore& store = *this->m_store;
    const std::vector<std::string> bad = {
        "Software\\\\Quorvane\\KVX3",
        "\\Software\\Quorvane\\KVX3",
        "Software\\Quorvane\\KVX3\\",
        "Software\\..\\KVX3\\Bit",
        "Software\\Quorvane\\.",
        "Software\\Quorvane\\KV\nX3",
        kApp + "\\" + std::string(kMaxKeyNameLength + 1, 'k'),
    };
    for (const std::string& path : bad) {
        EXPECT_FALSE(store.WriteDword(path, "x", 1)) << path;
        EXPECT_FALSE(store.KeyExists(path)) << path;
        EXPECT_FALSE(store.DeleteKey(path)) << path;
    }
    std::string deep = kApp;
    for (size_t i = 0; i < kMaxKeyDepth; ++i) {
        deep += "\\k";
    }
    EXPECT_FALSE(store.WriteDword(deep, "x", 1));
    EXPECT_FALSE(store.KeyExists("Software\\Quorvane"));

    // The longest name the registry allows is fine.
    EXPECT_TRUE(store.WriteDword(kApp + "\\" + std::string(kMaxKeyNameLength, 'k'), "x", 1));
}

TYPED_TEST(StoreTest, DeleteKeyRefusesAKeyWithSubkeys) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "SumId", 1));
    EXPECT_FALSE(store.DeleteKey(kApp + "\\Settings"));
    EXPECT_FALSE(store.DeleteKey(kApp));
    EXPECT_TRUE(store.KeyExists(kApp + "\\Settings\\Bit"));
    EXPECT_TRUE(store.DeleteKey(kApp + "\\Settings\\Bit"));
    EXPECT_FALSE(store.KeyExists(kApp + "\\Settings\\Bit"));
    EXPECT_FALSE(store.DeleteKey(kApp + "\\Settings\\Bit"));
    EXPECT_TRUE(store.KeyExists(kApp + "\\Settings"));
    EXPECT_FALSE(store.DeleteKey(""));
}

TYPED_TEST(StoreTest, DeleteRegKeyTreeTakesTheWholeTreeAndNothingBeside) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "SumId", 1));
    ASSERT_TRUE(store.WriteString(kApp + "\\Settings\\Device", "PIC", "PIC16F84A"));
    ASSERT_TRUE(store.WriteString(kApp + "\\Settings\\Device\\Deeper\\Still", "x", "y"));
    ASSERT_TRUE(store.WriteString(kApp + "\\Recent File List", "File1", "/a.hex"));

    EXPECT_TRUE(DeleteRegKeyTree(store, kApp, "Settings"));
    EXPECT_FALSE(store.KeyExists(kApp + "\\Settings"));
    EXPECT_EQ(SubKeys(store, kApp), std::vector<std::string>{"Recent File List"});
    std::string text;
    EXPECT_TRUE(store.ReadString(kApp + "\\Recent File List", "File1", text));

    EXPECT_FALSE(DeleteRegKeyTree(store, kApp, "Settings"));
    EXPECT_FALSE(DeleteRegKeyTree(store, kApp, ""));
    EXPECT_TRUE(store.KeyExists(kApp));
}

TYPED_TEST(StoreTest, DeleteProgramKeyRemovesTheCompanyKeyOnlyWhenItIsLeftEmpty) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "DevId", 1));
    ASSERT_TRUE(store.WriteDword("Software\\Quorvane\\KVX\\Settings\\Bit", "DevId", 1));

    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX3"));
    EXPECT_TRUE(DeleteProgramKey(store, "Quorvane", "KVX3"));
    EXPECT_FALSE(ProgramKeyExists(store, "Quorvane", "KVX3"));
    EXPECT_TRUE(store.KeyExists("Software\\Quorvane"));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX"));

    // A second deletion cannot open the key and leaves the company alone.
    EXPECT_FALSE(DeleteProgramKey(store, "Quorvane", "KVX3"));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX"));

    EXPECT_TRUE(DeleteProgramKey(store, "Quorvane", "KVX"));
    EXPECT_FALSE(store.KeyExists("Software\\Quorvane"));
    EXPECT_TRUE(store.KeyExists("Software"));
}

TYPED_TEST(StoreTest, DeleteProgramKeyRefusesNamesThatWouldReachOtherKeys) {
    ISettingsStore& store = *this->m_store;
    ASSERT_TRUE(store.WriteDword(kApp + "\\Settings\\Bit", "DevId", 1));
    EXPECT_FALSE(DeleteProgramKey(store, "Quorvane", ""));
    EXPECT_FALSE(DeleteProgramKey(store, "", "Quorvane"));
    EXPECT_FALSE(DeleteProgramKey(store, "Quorvane\\KVX3", "Settings"));
    EXPECT_FALSE(ProgramKeyExists(store, "Quorvane", ""));
    EXPECT_TRUE(ProgramKeyExists(store, "Quorvane", "KVX3"));
    EXPECT_TRUE(store.KeyExists(kApp + "\\Settings\\Bit"));
}
