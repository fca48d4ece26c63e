// The bounded whole-file reader: only plain files, never past the limit.
#include "platform/Platform.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

TEST(BoundedRead, AFileWithinTheLimitIsReadWhole) {
    CTempDir dir;
    const std::string bytes = std::string("line one\r\n") + '\0' + "\xFF after a NUL";
    const std::string path = dir.Write("a.hex", bytes);
    std::string got = "old";
    EXPECT_EQ(ReadFileLimited(path, bytes.size(), got), EReadResult::Read);
    EXPECT_EQ(got, bytes);

    const std::string empty = dir.Write("empty.hex", "");
    EXPECT_EQ(ReadFileLimited(empty, 0, got), EReadResult::Read);
    EXPECT_TRUE(got.empty());

    // Larger than one read chunk, exactly at the limit.
    const std::string big(200 * 1024 + 7, 'x');
    EXPECT_EQ(ReadFileLimited(dir.Write("big.txt", big), big.size(), got), EReadResult::Read);
    EXPECT_EQ(got.size(), big.size());
}

TEST(BoundedRead, OneByteOverTheLimitIsRefusedAndNothingIsKept) {
    CTempDir dir;
    const std::string path = dir.Write("a.txt", std::string(100 * 1024 + 1, 'y'));
    std::string got = "old";
    EXPECT_EQ(ReadFileLimited(path, 100 * 1024, got), EReadResult::TooLarge);
    EXPECT_TRUE(got.empty());
}

TEST(BoundedRead, MissingFilesFoldersDevicesAndPipesAreRefused) {
    CTempDir dir;
    std::string got = "old";
    EXPECT_EQ(ReadFileLimited(dir.File("missing"), 10, got), EReadResult::Missing);
    EXPECT_EQ(ReadFileLimited("", 10, got), EReadResult::Missing);
    EXPECT_EQ(ReadFileLimited(dir.Path().string(), 10, got), EReadResult::NotAFile);
    EXPECT_TRUE(got.empty());
#ifndef _WIN32
    // A device without end and one without end or repetition: refused before
    // a byte is read, whatever the limit.
    EXPECT_EQ(ReadFileLimited("/dev/zero", SIZE_MAX - 1, got), EReadResult::NotAFile);
    EXPECT_EQ(ReadFileLimited("/dev/urandom", SIZE_MAX - 1, got), EReadResult::NotAFile);
    // A pipe would block the open until someone writes to it.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadFileLimited(fifo, 10, got), EReadResult::NotAFile);
    // A link is followed to what it names.
    const std::string link = dir.File("zero-link");
    std::filesystem::create_symlink("/dev/zero", link);
    EXPECT_EQ(ReadFileLimited(link, 10, got), EReadResult::NotAFile);
#endif
}
