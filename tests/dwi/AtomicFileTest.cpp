#include "dwi/AtomicFile.h"

#include "DwiTestFiles.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// The names in the folder, sorted, and the text of a.dwi.
std::pair<Strings, std::string> Folder(const fs::path& folder) {
    Strings names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::ostringstream text;
    text << std::ifstream(folder / "a.dwi", std::ios::binary).rdbuf();
    return {names, text.str()};
}

// The file is replaced with its permissions kept and a link followed. A
// save holds a lock on its temporary file until the rename; the kernel
// drops it when the process dies. An unlocked marked file is what a killed
// save left behind; a locked one belongs to a save in progress and stays.
TEST(WriteFileAtomically, ReplacesTheFileAndRemovesWhatAKilledSaveLeft) {
    const fs::path folder = dwi_test::FreshFolder("atomic_replace");
    const std::string path = (folder / "a.dwi").string();
    ASSERT_FALSE(dwi::WriteFileAtomically(path, "#TITLE:one;"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("a.dwi", folder / "link.dwi");
    const std::string marker(dwi::kSaveTemporaryMarker);
    std::ofstream(folder / (".a.dwi" + marker + "123")) << "#TITLE:half";
    std::ofstream(folder / "notes.tmp123") << "not ours";
    const fs::path busy = folder / (".b.dwi" + marker + "7");
    const int fd = ::open(busy.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "link.dwi").string(), "#TITLE:two;"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.dwi"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Folder(folder),
              std::pair(Strings{busy.filename(), "a.dwi", "link.dwi", "notes.tmp123"},
                        std::string("#TITLE:two;")));
    ::close(fd);
    ASSERT_FALSE(dwi::WriteFileAtomically(path, "y"));
    EXPECT_EQ(Folder(folder),
              std::pair(Strings{"a.dwi", "link.dwi", "notes.tmp123"}, std::string("y")));
}

// Fixed fault: a save to /dev/null renamed a file over the device node; a
// pipe or a device is refused now.
TEST(WriteFileAtomically, FailureKeepsWhatWasThereAndSaysWhy) {
    const fs::path folder = dwi_test::FreshFolder("atomic_fail");
    fs::create_directory(folder / "taken.dwi");
    ASSERT_EQ(::mkfifo((folder / "pipe.dwi").c_str(), 0600), 0);
    for (const auto& [name, reason] : {std::pair{"no/such/x.dwi", "No such file or directory"},
                                       {"taken.dwi", "Is a directory"},
                                       {"pipe.dwi", "not a regular file"}}) {
        EXPECT_EQ(dwi::WriteFileAtomically((folder / name).string(), "x"), reason);
    }
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.dwi"));
    EXPECT_EQ(Folder(folder).first, (Strings{"pipe.dwi", "taken.dwi"}));
}

} // namespace
