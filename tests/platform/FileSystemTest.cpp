// The platform layer's view of files, folders and the running program.
#include "platform/Platform.h"
#include "platform/Process.h"
#include "tests/common/TempDir.h"
#include "tests/common/TestLinks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(Platform, TheExecutableIsFoundWithItsFolder) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).stem().string(), "platform_tests");
    EXPECT_TRUE(IsRegularFile(path));
    const std::string folder = ExecutableFolder();
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(fs::equivalent(fs::path(folder) / fs::path(path).filename(), path));
}

TEST(Platform, FileStatusSeesSizeTimeKindAndPermissions) {
    CTempDir dir;
    EXPECT_EQ(GetFileStatus(dir.File("missing.hex")), CFileStatus());
    EXPECT_EQ(GetFileStatus(""), CFileStatus());

    const std::string path = dir.Write("a.hex", "12345");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(path, when);
    const CFileStatus status = GetFileStatus(path);
    EXPECT_EQ(status.Size, 5U);
    EXPECT_TRUE(status.IsRegular);
    EXPECT_NE(status.ModifiedNs, 0);
#ifndef _WIN32
    EXPECT_EQ(status.Attributes, 0600U);
#endif

    // A rewrite of the same size within the same second still shows in the
    // nanoseconds; a change of permissions or size shows too.
    fs::last_write_time(path, when + std::chrono::microseconds(1));
    const CFileStatus touched = GetFileStatus(path);
#ifndef _WIN32
    EXPECT_EQ(touched.ModifiedNs - status.ModifiedNs, 1000);
#endif
    fs::permissions(path, fs::perms::owner_read);
    EXPECT_NE(GetFileStatus(path), touched);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    dir.Write("a.hex", "123456");
    EXPECT_EQ(GetFileStatus(path).Size, 6U);

    const CFileStatus folder = GetFileStatus(dir.Path().string());
    EXPECT_FALSE(folder.IsRegular);
    EXPECT_NE(folder.ModifiedNs, 0);
    EXPECT_FALSE(IsRegularFile(dir.Path().string()));
    EXPECT_TRUE(IsFolder(dir.Path().string()));
    EXPECT_FALSE(IsFolder(path));
    EXPECT_FALSE(IsRegularFile(dir.File("missing.hex")));

    // Through a link: the status of the file it names.
    if (MakeSymlink("a.hex", dir.Path() / "link.hex")) {
        EXPECT_EQ(GetFileStatus(dir.File("link.hex")), GetFileStatus(path));
        ASSERT_TRUE(MakeSymlink(dir.Path(), dir.Path() / "folder-link"));
        EXPECT_TRUE(IsFolder(dir.File("folder-link")));
        EXPECT_FALSE(IsRegularFile(dir.File("folder-link")));
        ASSERT_TRUE(MakeSymlink("nowhere.hex", dir.Path() / "dangling.hex"));
        EXPECT_EQ(GetFileStatus(dir.File("dangling.hex")), CFileStatus())
            << "a link to nothing leads nowhere";
    }
}

TEST(Platform, FilesAreReadByTheirUtf8Names) {
    CTempDir dir;
    // Outside every Western code page, and outside Shift-JIS too.
    for (const std::string name : {"plain.hex", "書き込み済み.hex", "Ελληνικά – ✓.hex"}) {
        const std::string path = dir.Write(name, "contents of " + name);
        EXPECT_TRUE(CanOpenForReading(path)) << name;
        std::string text;
        ASSERT_EQ(ReadFileLimited(path, 1000, text), EReadResult::Read) << name;
        EXPECT_EQ(text, "contents of " + name);
        EXPECT_TRUE(IsRegularFile(path)) << name;
        EXPECT_EQ(GetFileStatus(path).Size, text.size()) << name;
    }
    // Binary: no line end is changed on the way in.
    const std::string binary = dir.Write("binary.bin", std::string("a\r\nb\n\x1A\0c", 8));
    std::string bytes;
    ASSERT_EQ(ReadFileLimited(binary, 8, bytes), EReadResult::Read);
    EXPECT_EQ(bytes, std::string("a\r\nb\n\x1A\0c", 8));
    EXPECT_FALSE(CanOpenForReading(dir.File("missing.hex")));
    EXPECT_FALSE(CanOpenForReading(""));
    EXPECT_FALSE(CanOpenForReading(dir.Path().string())) << "a folder";
}

TEST(Platform, PathsAreJoinedAndFoundByTheirUtf8Names) {
    CTempDir dir;
    const std::string folder = dir.File("チップ");
    ASSERT_TRUE(MakeFolders(folder));
    const std::string file = PathInFolder(folder, "PIC16F877A.sim");
    EXPECT_EQ(file.substr(0, folder.size()), folder);
    EXPECT_EQ(file.substr(folder.size() + 1), "PIC16F877A.sim");
    EXPECT_FALSE(PathExists(file));
    dir.Write("チップ/PIC16F877A.sim", "x");
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder)) << "a folder is something";
    EXPECT_FALSE(PathExists(""));
}

TEST(Platform, TheProcessSetUpChangesNothingItCannotRestore) {
    {
        const CUtf8ConsoleScope console;
        const CFineTimerScope timer;
#ifdef _WIN32
        EXPECT_TRUE(timer.Active()) << "the system refused a 1 ms tick";
#else
        EXPECT_FALSE(timer.Active()) << "nothing to change here";
#endif
    }
    char program[] = "kvx3-cli";
    char first[] = "-d";
    char second[] = "PIC16F877A";
    char* argv[] = {program, first, second, nullptr};
#ifdef _WIN32
    // The process's own command line, read wide: for plain text the same
    // arguments as the runtime's argv.
    EXPECT_EQ(Utf8Arguments(__argc, __argv), std::vector<std::string>(__argv + 1, __argv + __argc));
#else
    EXPECT_EQ(Utf8Arguments(3, argv), (std::vector<std::string>{"-d", "PIC16F877A"}));
#endif
    EXPECT_TRUE(Utf8Arguments(1, argv).empty());
    EXPECT_TRUE(Utf8Arguments(0, argv).empty());
}

TEST(Platform, FoldersAreMadeListedAndRemovedOneLevelAtATime) {
    CTempDir dir;
    const std::string deep = dir.File("a/b/c");
    EXPECT_TRUE(MakeFolders(deep));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(MakeFolders(deep)) << "an existing folder is fine";
    dir.Write("a/file", "x");
    EXPECT_FALSE(MakeFolders(dir.File("a/file"))) << "a file is no folder";
    EXPECT_FALSE(MakeFolders(dir.File("a/file/below")));
    EXPECT_FALSE(MakeFolders(""));

    dir.Write("a/設定.conf", "y");
    dir.Write("a/Z", "z"); // before "b" bytewise, after it without regard to case
    std::vector<std::string> names;
    ASSERT_TRUE(ListFolder(dir.File("a"), names));
    EXPECT_EQ(names, (std::vector<std::string>{"Z", "b", "file", "設定.conf"}));
    EXPECT_FALSE(ListFolder(dir.File("missing"), names));
    EXPECT_FALSE(ListFolder(dir.File("a/file"), names));

    EXPECT_FALSE(RemovePath(dir.File("a/b"))) << "a folder with something in it stays";
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(RemovePath(deep));
    EXPECT_TRUE(RemovePath(dir.File("a/file")));
    EXPECT_FALSE(RemovePath(dir.File("a/file")));
    EXPECT_FALSE(RemovePath(""));
    ASSERT_TRUE(ListFolder(dir.File("a"), names));
    EXPECT_EQ(names, (std::vector<std::string>{"Z", "b", "設定.conf"}));
}

TEST(Platform, UniqueFoldersAreNewAndPrivate) {
    CTempDir dir;
    const std::string first = MakeUniqueFolder(dir.Path().string(), "run-");
    const std::string second = MakeUniqueFolder(dir.Path().string(), "run-");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsFolder(first));
    EXPECT_EQ(fs::path(first).filename().string().rfind("run-", 0), 0U);
    EXPECT_EQ(fs::path(first).parent_path(), dir.Path());
#ifndef _WIN32
    EXPECT_EQ(GetFileStatus(first).Attributes, 0700U);
#endif
    EXPECT_TRUE(MakeUniqueFolder(dir.File("missing"), "run-").empty());
    EXPECT_TRUE(MakeUniqueFolder("", "run-").empty());
}
