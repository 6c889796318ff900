#include "kestrum/posix/PosixFileSystem.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "TempDirectory.hpp"

namespace kestrum {
namespace {

using testing_support::TempDirectory;

class PosixFileSystemTests : public testing::Test {
protected:
    TempDirectory temp;
    PosixFileSystem fileSystem;
};

TEST_F(PosixFileSystemTests, ReadabilityAndExistenceFollowTheFileSystem) {
    ASSERT_FALSE(temp.path().empty());
    const std::string file = temp.write("plain.txt", "x");
    std::filesystem::create_directory(temp / "folder");
    std::filesystem::create_symlink(temp / "missing", temp / "dangling");
    std::filesystem::create_symlink(file, temp / "link");

    EXPECT_TRUE(fileSystem.isReadableFile(file));
    EXPECT_TRUE(fileSystem.isReadableFile(temp / "folder"));  // folders count, as the probe needs
    EXPECT_TRUE(fileSystem.isReadableFile(temp / "link"));
    EXPECT_FALSE(fileSystem.isReadableFile(temp / "missing"));
    EXPECT_FALSE(fileSystem.isReadableFile(temp / "dangling"));
    EXPECT_TRUE(fileSystem.fileExists(temp / "folder"));
    EXPECT_FALSE(fileSystem.fileExists(temp / "dangling"));
    // A NUL byte cannot be part of a name; the text before it must not be looked at instead.
    EXPECT_FALSE(fileSystem.fileExists(file + std::string("\0garbage", 8)));
    EXPECT_FALSE(fileSystem.isReadableFile(file + std::string("\0", 1)));
    EXPECT_FALSE(fileSystem.readFile(file + std::string("\0", 1)).has_value());

    if (::geteuid() != 0) {  // root reads everything
        ::chmod(file.c_str(), 0);
        EXPECT_FALSE(fileSystem.isReadableFile(file));
        EXPECT_TRUE(fileSystem.fileExists(file));
    }
}

TEST_F(PosixFileSystemTests, ListsEveryEntryButDotAndDotDot) {
    temp.write(".hidden", "");
    temp.write("a", "");
    std::filesystem::create_directory(temp / "sub");
    auto names = fileSystem.contentsOfDirectory(temp.path());
    ASSERT_TRUE(names.has_value());
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{".hidden", "a", "sub"}));
    EXPECT_EQ(fileSystem.contentsOfDirectory(temp / "sub"), std::vector<std::string>{});
    EXPECT_FALSE(fileSystem.contentsOfDirectory(temp / "a").has_value());
    EXPECT_FALSE(fileSystem.contentsOfDirectory(temp / "none").has_value());
}

TEST_F(PosixFileSystemTests, ReadsWholeRegularFilesOnly) {
    std::string large(100000, 'k');
    large[5] = '\0';
    large.back() = '\xFF';
    temp.write("large", large);
    EXPECT_EQ(fileSystem.readFile(temp / "large"), large);
    EXPECT_EQ(fileSystem.readFile(temp.write("empty", "")), std::string());
    EXPECT_FALSE(fileSystem.readFile(temp.path()).has_value());
    EXPECT_FALSE(fileSystem.readFile(temp / "none").has_value());
    EXPECT_FALSE(fileSystem.readFile("/dev/zero").has_value());  // endless, and not a regular file
    // A FIFO without a writer would block a reading open(2) for good.
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0644), 0);
    EXPECT_FALSE(fileSystem.readFile(temp / "fifo").has_value());
}

TEST_F(PosixFileSystemTests, OwnershipAndResolvedPathsFollowLinks) {
    struct Row {
        const char* name;
        mode_t mode;
        FileOwnership expected;
    };
    FileOwnership mine;
    mine.ownedByCurrentUser = true;
    mine.ownedByAdministrator = ::geteuid() == 0;
    FileOwnership shared = mine;
    shared.writableByGroup = shared.writableByOthers = true;
    FileOwnership sticky = shared;
    sticky.restrictedDeletion = true;
    FileOwnership groupOnly = mine;
    groupOnly.writableByGroup = true;
    const Row rows[] = {
        {"private", 0700, mine}, {"readable", 0755, mine}, {"shared", 0777, shared},
        {"sticky", 01777, sticky}, {"group", 0770, groupOnly},
    };
    for (const auto& row : rows) {
        const std::string folder = temp / row.name;
        std::filesystem::create_directory(folder);
        ::chmod(folder.c_str(), row.mode);
        EXPECT_EQ(fileSystem.ownership(folder), row.expected) << row.name;
    }
    std::filesystem::create_directory_symlink(temp / "shared", temp / "link");
    EXPECT_EQ(fileSystem.ownership(temp / "link"), shared);  // what the link names
    const std::string real = std::filesystem::canonical(temp.path()).string();
    EXPECT_EQ(fileSystem.resolvedPath(temp / "link/../readable/."), real + "/readable");
    EXPECT_FALSE(fileSystem.resolvedPath(temp / "none").has_value());
    EXPECT_FALSE(fileSystem.ownership(temp / "none").has_value());
}

TEST_F(PosixFileSystemTests, ProcessFacts) {
    EXPECT_EQ(fileSystem.currentDirectoryPath(), std::filesystem::current_path().string());
    EXPECT_EQ(fileSystem.mainBundlePath(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(fileSystem.userName(), entry->pw_name);
}

TEST_F(PosixFileSystemTests, CurrentDirectoryThatWasRemovedFallsBackToRoot) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::create_directory(temp / "gone");
    std::filesystem::current_path(temp / "gone");
    std::filesystem::remove(temp / "gone");
    const std::string answer = fileSystem.currentDirectoryPath();
    std::filesystem::current_path(previous);
    EXPECT_EQ(answer, "/");
}

}  // namespace
}  // namespace kestrum
