// The recent-file list: order, exact comparison, compaction.
#include "TestStores.h"

#include "settings/RecentFiles.h"

#include <array>
#include <vector>

namespace {

const std::string kList = "Software\\Quorvane\\KVX3\\Recent File List";

using List = std::array<std::string, kRecentFileCount>;

} // namespace

template <class Backend> class RecentFilesTest : public StoreFixture<Backend> {
protected:
    void SetList(const std::vector<std::string>& entries) {
        for (size_t i = 0; i < entries.size(); ++i) {
            ASSERT_TRUE(
                this->m_store->WriteString(kList, RecentFileEntryName(static_cast<int>(i) + 1), entries[i]));
        }
    }
    List Read() const { return ReadRecentFiles(m_profile); }

    CProfile m_profile{*this->m_store, kCompanyKey, "KVX3"};
};
TYPED_TEST_SUITE(RecentFilesTest, Backends, BackendNames);

TYPED_TEST(RecentFilesTest, AddingMovesAKnownPathToTheTopAndPushesTheFourthOut) {
    this->SetList({"B", "A", "C"});
    AddRecentFile(this->m_profile, "A");
    EXPECT_EQ(this->Read(), (List{"A", "B", "C", ""}));

    this->SetList({"P", "Q", "R", "S"});
    AddRecentFile(this->m_profile, "E");
    EXPECT_EQ(this->Read(), (List{"E", "P", "Q", "R"}));
    AddRecentFile(this->m_profile, "R");
    EXPECT_EQ(this->Read(), (List{"R", "E", "P", "Q"}));
    AddRecentFile(this->m_profile, "R");
    EXPECT_EQ(this->Read(), (List{"R", "E", "P", "Q"}));
}

TYPED_TEST(RecentFilesTest, ListGrowsFromEmpty) {
    AddRecentFile(this->m_profile, "/hex/one.hex");
    EXPECT_EQ(this->Read(), (List{"/hex/one.hex", "", "", ""}));
    AddRecentFile(this->m_profile, "/hex/two.hex");
    EXPECT_EQ(this->Read(), (List{"/hex/two.hex", "/hex/one.hex", "", ""}));
    std::string value;
    EXPECT_FALSE(this->m_store->ReadString(kList, "File3", value));
}

TYPED_TEST(RecentFilesTest, PathsDifferingInCaseAreDifferentEntries) {
    this->SetList({"C:\\HEX\\a.hex", "C:\\hex\\A.hex"});
    AddRecentFile(this->m_profile, "C:\\hex\\a.hex");
    EXPECT_EQ(this->Read(), (List{"C:\\hex\\a.hex", "C:\\HEX\\a.hex", "C:\\hex\\A.hex", ""}));
    RemoveRecentFile(this->m_profile, "C:\\HEX\\A.HEX");
    EXPECT_EQ(this->Read(), (List{"C:\\hex\\a.hex", "C:\\HEX\\a.hex", "C:\\hex\\A.hex", ""}));
}

TYPED_TEST(RecentFilesTest, AnEmptyPathLeavesTheListAsItWas) {
    this->SetList({"A", "B"});
    AddRecentFile(this->m_profile, "");
    EXPECT_EQ(this->Read(), (List{"A", "B", "", ""}));
}

TYPED_TEST(RecentFilesTest, RemovingRenumbersTheRestAndLeavesNoStaleEntry) {
    this->SetList({"A", "B", "C"});
    RemoveRecentFile(this->m_profile, "B");
    EXPECT_EQ(this->Read(), (List{"A", "C", "", ""}));
    std::string value;
    EXPECT_FALSE(this->m_store->ReadString(kList, "File3", value));

    // Every copy goes, and whatever else was under the key goes with it.
    this->SetList({"A", "X", "A", "Y"});
    ASSERT_TRUE(this->m_store->WriteString(kList + "\\Junk", "z", "z"));
    ASSERT_TRUE(this->m_store->WriteString(kList, "Stray", "s"));
    RemoveRecentFile(this->m_profile, "A");
    EXPECT_EQ(this->Read(), (List{"X", "Y", "", ""}));
    EXPECT_FALSE(this->m_store->KeyExists(kList + "\\Junk"));
    EXPECT_FALSE(this->m_store->ReadString(kList, "Stray", value));

    RemoveRecentFile(this->m_profile, "X");
    RemoveRecentFile(this->m_profile, "Y");
    EXPECT_EQ(this->Read(), (List{"", "", "", ""}));
    EXPECT_FALSE(this->m_store->KeyExists(kList));
}

TYPED_TEST(RecentFilesTest, ReaderGivesEmptyTextForMissingWrongTypeAndOutOfRange) {
    this->SetList({"A"});
    ASSERT_TRUE(this->m_store->WriteDword(kList, "File2", 7));
    EXPECT_EQ(GetRecentFile(this->m_profile, 1), "A");
    EXPECT_EQ(GetRecentFile(this->m_profile, 2), "");
    EXPECT_EQ(GetRecentFile(this->m_profile, 0), "");
    EXPECT_EQ(GetRecentFile(this->m_profile, 5), "");
}
