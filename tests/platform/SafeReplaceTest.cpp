// The one way files are replaced: what lands where, what is kept, what is
// refused, and that every failure leaves the old file and no temporary file.
#include "platform/Platform.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestLinks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string kOld = "old contents\n";
const std::string kNew = "new contents, longer than the old ones\n";

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    EXPECT_TRUE(ListFolder(Utf8Text(folder), names));
    return names;
}

fs::perms Permissions(const std::string& path) {
    return fs::status(Utf8Path(path)).permissions() & fs::perms::mask;
}

// The bits as the system keeps them: Windows has only a read-only attribute,
// so a file reads as writable by all or by none.
fs::perms AsKept(fs::perms mode) {
#ifdef _WIN32
    const fs::perms read = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (mode & fs::perms::owner_write) != fs::perms::none ? read | write : read;
#else
    return mode;
#endif
}

class SafeReplace : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }
    CTempDir m_dir;
};

} // namespace

TEST_F(SafeReplace, WritesANewFileAndReplacesAnOldOneWhole) {
    const std::string path = m_dir.File("out.hex");
    EXPECT_EQ(ReplaceFileSafely(path, kOld), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), kNew);
    EXPECT_EQ(ReplaceFileSafely(path, ""), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), "");

    // Every byte of a large file, including NULs, past any single write.
    std::string big(5 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 131 % 251);
    }
    EXPECT_EQ(ReplaceFileSafely(path, big), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), big);
    EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>{"out.hex"});
}

TEST_F(SafeReplace, NamesAtTheLengthLimitAndOutsideAsciiWork) {
    // 255 bytes is the longest name a folder takes; the temporary name
    // beside it must still fit.
    const std::string longName(251, 'n');
    const std::string path = m_dir.File(longName + ".hex");
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), kNew);

    const std::string japanese = m_dir.File("書き込み済み.hex");
    EXPECT_EQ(ReplaceFileSafely(japanese, kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(japanese), kNew);
    EXPECT_EQ(Entries(m_dir.Path()).size(), 2U);
}

#ifdef _WIN32
// Windows keeps attributes rather than permission bits; the replacement has
// the old file's.
TEST_F(SafeReplace, KeepsTheTargetsAttributes) {
    const std::string path = m_dir.Write("hidden.hex", kOld);
    const std::wstring wide = Utf8Path(path).wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), kNew);
    EXPECT_NE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0U);
}
#else
TEST_F(SafeReplace, KeepsTheTargetsPermissions) {
    const std::string path = m_dir.Write("tool.sh", kOld);
    for (fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                           fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec,
                           fs::perms::owner_read | fs::perms::owner_write}) {
        fs::permissions(path, mode);
        ASSERT_EQ(Permissions(path), mode);
        EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
        EXPECT_EQ(Permissions(path), mode);
        EXPECT_EQ(ReadWholeFile(path), kNew);
    }
}

TEST_F(SafeReplace, ANewFileGetsTheUsualPermissions) {
    const mode_t old = ::umask(022);
    EXPECT_EQ(ReplaceFileSafely(m_dir.File("new.hex"), kNew), EReplaceResult::Replaced);
    ::umask(old);
    EXPECT_EQ(GetFileStatus(m_dir.File("new.hex")).Attributes, 0644U);
}

TEST_F(SafeReplace, RootKeepsTheOwnerOfAnotherUsersFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another user";
    }
    const std::string path = m_dir.Write("theirs.hex", kOld);
    ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
    ASSERT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321U);
    EXPECT_EQ(st.st_gid, 8765U);
}
#endif

TEST_F(SafeReplace, FollowsLinksAndKeepsThem) {
    const fs::path elsewhere = m_dir.Path() / "elsewhere";
    fs::create_directory(elsewhere);
    const std::string real = Utf8Text(elsewhere / "real.hex");
    m_dir.Write("elsewhere/real.hex", kOld);

    // A relative link into another folder, and a link to that link.
    const fs::path link = m_dir.Path() / "link.hex";
    const fs::path second = m_dir.Path() / "second.hex";
    if (!MakeSymlink(fs::path("elsewhere") / "real.hex", link)) {
        GTEST_SKIP() << "this system makes no symbolic links";
    }
    ASSERT_TRUE(MakeSymlink(link, second));
    EXPECT_EQ(ReplaceFileSafely(Utf8Text(link), kNew), EReplaceResult::Replaced);
    EXPECT_TRUE(IsSymlink(link));
    EXPECT_EQ(ReadWholeFile(real), kNew);
    EXPECT_EQ(ReplaceFileSafely(Utf8Text(second), kOld), EReplaceResult::Replaced);
    EXPECT_TRUE(IsSymlink(second));
    EXPECT_TRUE(IsSymlink(link));
    EXPECT_EQ(ReadWholeFile(real), kOld);
    // The temporary file was made beside the real file, not beside the link.
    EXPECT_EQ(Entries(elsewhere), std::vector<std::string>{"real.hex"});
    EXPECT_EQ(Entries(m_dir.Path()), (std::vector<std::string>{"elsewhere", "link.hex", "second.hex"}));

    // A link to a file not yet there creates that file (Windows: refused,
    // since the end of such a link cannot be asked for).
    const fs::path dangling = m_dir.Path() / "dangling.hex";
    ASSERT_TRUE(MakeSymlink(elsewhere / "later.hex", dangling));
#ifdef _WIN32
    EXPECT_EQ(ReplaceFileSafely(Utf8Text(dangling), kNew), EReplaceResult::CreateFailed);
    EXPECT_FALSE(IsRegularFile(Utf8Text(elsewhere / "later.hex")));
#else
    EXPECT_EQ(ReplaceFileSafely(Utf8Text(dangling), kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(Utf8Text(elsewhere / "later.hex")), kNew);
#endif
    EXPECT_TRUE(IsSymlink(dangling));

    // A loop has no file at its end.
    const fs::path a = m_dir.Path() / "a.hex";
    const fs::path b = m_dir.Path() / "b.hex";
    ASSERT_TRUE(MakeSymlink(b, a));
    ASSERT_TRUE(MakeSymlink(a, b));
    EXPECT_EQ(ReplaceFileSafely(Utf8Text(a), kNew), EReplaceResult::CreateFailed);
    EXPECT_TRUE(IsSymlink(a));
    EXPECT_TRUE(IsSymlink(b));
}

TEST_F(SafeReplace, RefusesReadOnlyFilesFoldersAndMissingFolders) {
    const std::string path = m_dir.Write("locked.hex", kOld);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::ReadOnly);
    EXPECT_EQ(ReadWholeFile(path), kOld);
    EXPECT_EQ(Permissions(path), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    // Through a link, the file it names decides.
    const fs::path link = m_dir.Path() / "link.hex";
    const bool linked = MakeSymlink("locked.hex", link);
    if (linked) {
        EXPECT_EQ(ReplaceFileSafely(Utf8Text(link), kNew), EReplaceResult::ReadOnly);
        EXPECT_EQ(ReadWholeFile(path), kOld);
    }

    fs::create_directory(m_dir.Path() / "folder");
    EXPECT_EQ(ReplaceFileSafely(m_dir.File("folder"), kNew), EReplaceResult::NotAFile);
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "folder"));
    EXPECT_EQ(ReplaceFileSafely(m_dir.File("missing/out.hex"), kNew), EReplaceResult::CreateFailed);
    EXPECT_EQ(ReplaceFileSafely("", kNew), EReplaceResult::CreateFailed);
#ifndef _WIN32
    EXPECT_EQ(ReplaceFileSafely("/dev/null", kNew), EReplaceResult::NotAFile);
#endif
    EXPECT_EQ(Entries(m_dir.Path()), linked ? (std::vector<std::string>{"folder", "link.hex", "locked.hex"})
                                            : (std::vector<std::string>{"folder", "locked.hex"}));
    EXPECT_TRUE(Entries(m_dir.Path() / "folder").empty());
}

TEST_F(SafeReplace, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
    const std::string path = m_dir.Write("out.hex", kOld);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const struct {
        EReplaceStep Step;
        size_t Bytes;
        EReplaceResult Expected;
    } cases[] = {
        {EReplaceStep::Create, 0, EReplaceResult::CreateFailed},
        {EReplaceStep::Write, 0, EReplaceResult::WriteFailed},
        {EReplaceStep::Write, 7, EReplaceResult::WriteFailed},
        {EReplaceStep::Sync, 0, EReplaceResult::SyncFailed},
        {EReplaceStep::Rename, 0, EReplaceResult::RenameFailed},
    };
    for (const auto& c : cases) {
        CReplaceFault fault;
        fault.Step = c.Step;
        fault.BytesBeforeFailure = c.Bytes;
        const CReplaceFaultScope scope(fault);
        EXPECT_EQ(ReplaceFileSafely(path, kNew), c.Expected) << static_cast<int>(c.Step);
        EXPECT_TRUE(scope.Fired());
        EXPECT_EQ(ReadWholeFile(path), kOld);
        EXPECT_EQ(Permissions(path), AsKept(fs::perms::owner_read | fs::perms::owner_write));
        EXPECT_EQ(Entries(m_dir.Path()), std::vector<std::string>{"out.hex"}) << static_cast<int>(c.Step);

        // The fault fires once; the next replace in its scope goes through.
        EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
        EXPECT_EQ(ReadWholeFile(path), kNew);
        ASSERT_EQ(ReplaceFileSafely(path, kOld), EReplaceResult::Replaced);
    }

    // A fault at a step the replace never reaches does not fire.
    CReplaceFault late;
    late.Step = EReplaceStep::Rename;
    const CReplaceFaultScope scope(late);
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::ReadOnly);
    EXPECT_FALSE(scope.Fired());
}

TEST_F(SafeReplace, AProcessKilledMidWriteLeavesTheOldFileAndItsTemporaryFile) {
    const std::string path = m_dir.Write("out.hex", kOld);
    CReplaceFault crash;
    crash.Step = EReplaceStep::Write;
    crash.BytesBeforeFailure = 5;
    crash.Abandon = true;
    {
        const CReplaceFaultScope scope(crash);
        EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::WriteFailed);
    }
    EXPECT_EQ(ReadWholeFile(path), kOld);
    const std::vector<std::string> entries = Entries(m_dir.Path());
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0], "out.hex");
    EXPECT_EQ(entries[1].rfind("out.hex.kvx3-tmp-", 0), 0U) << entries[1];
    EXPECT_EQ(ReadWholeFile(m_dir.File(entries[1])), kNew.substr(0, 5));

    // The leftover is in nobody's way.
    EXPECT_EQ(ReplaceFileSafely(path, kNew), EReplaceResult::Replaced);
    EXPECT_EQ(ReadWholeFile(path), kNew);
    EXPECT_EQ(Entries(m_dir.Path()).size(), 2U);
}
