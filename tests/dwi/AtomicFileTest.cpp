#include "dwi/AtomicFile.h"

#include "DwiTestFiles.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteFileAtomically, ReplacesTheFileKeepingItsPermissionsAndFollowingLinks) {
    const fs::path folder = dwi_test::FreshFolder("atomic_replace");
    const std::string path = (folder / "a.dwi").string();
    ASSERT_FALSE(dwi::WriteFileAtomically(path, "#TITLE:one;"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_FALSE(dwi::WriteFileAtomically(path, "#TITLE:two;"));
    EXPECT_EQ(dwi_test::ReadAll(path), "#TITLE:two;");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("a.dwi", folder / "link.dwi");
    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "link.dwi").string(), "#TITLE:three;"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.dwi"));
    EXPECT_EQ(dwi_test::ReadAll(path), "#TITLE:three;");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.dwi", "link.dwi"}));
}

TEST(WriteFileAtomically, FailureKeepsWhatWasThereAndSaysWhy) {
    const fs::path folder = dwi_test::FreshFolder("atomic_fail");
    EXPECT_EQ(dwi::WriteFileAtomically((folder / "no/such/x.dwi").string(), "x"),
              "No such file or directory");
    fs::create_directory(folder / "taken.dwi");
    EXPECT_EQ(dwi::WriteFileAtomically((folder / "taken.dwi").string(), "x"), "Is a directory");
    // Fixed fault: a save to /dev/null renamed a file over the device node.
    ASSERT_EQ(::mkfifo((folder / "pipe.dwi").c_str(), 0600), 0);
    EXPECT_EQ(dwi::WriteFileAtomically((folder / "pipe.dwi").string(), "x"), "not a regular file");
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.dwi"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"pipe.dwi", "taken.dwi"}));
}

// A save holds a lock on its temporary file until the rename; the kernel
// drops it when the process dies. An unlocked marked file is what a killed
// save left behind; a locked one belongs to a save in progress and stays.
TEST(WriteFileAtomically, RemovesWhatAKilledSaveLeftButNotASaveInProgress) {
    const fs::path folder = dwi_test::FreshFolder("atomic_leftover");
    const std::string marker(dwi::kSaveTemporaryMarker);
    std::ofstream(folder / (".a.dwi" + marker + "123")) << "#TITLE:half";
    std::ofstream(folder / (".other.dwi" + marker + "9")) << "#TITLE:half";
    std::ofstream(folder / "notes.tmp123") << "not ours";
    const fs::path busy = folder / (".b.dwi" + marker + "7");
    const int fd = ::open(busy.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "a.dwi").string(), "#TITLE:whole;"));
    EXPECT_EQ(Names(folder),
              (std::vector<std::string>{".b.dwi" + marker + "7", "a.dwi", "notes.tmp123"}));
    EXPECT_EQ(dwi_test::ReadAll(folder / "a.dwi"), "#TITLE:whole;");
    ::close(fd);
    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "a.dwi").string(), "y"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.dwi", "notes.tmp123"}));
}

} // namespace
