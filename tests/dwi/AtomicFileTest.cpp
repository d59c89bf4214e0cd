#include "dwi/AtomicFile.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path FreshFolder(const char* name) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A save killed half-way: a child process creates and locks a temporary
// file the way a save does, writes part of it and is killed.
void KilledSave(const fs::path& temporary) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(fd, "#TITLE:half", 11) == 11) {
            std::raise(SIGKILL);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

TEST(WriteFileAtomically, RemovesWhatAKilledSaveLeftBehind) {
    const fs::path folder = FreshFolder("atomic_leftover");
    const std::string marker(dwi::kSaveTemporaryMarker);
    KilledSave(folder / (".a.dwi" + marker + "123"));
    KilledSave(folder / (".other.dwi" + marker + "9"));
    std::ofstream(folder / "notes.tmp123") << "not ours";
    ASSERT_EQ(Names(folder).size(), 3u);

    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "a.dwi").string(), "#TITLE:whole;"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.dwi", "notes.tmp123"}));
    EXPECT_EQ(ReadAll(folder / "a.dwi"), "#TITLE:whole;");
}

// A temporary file that is still locked belongs to a save in progress.
TEST(WriteFileAtomically, LeavesASaveInProgressAlone) {
    const fs::path folder = FreshFolder("atomic_in_progress");
    const fs::path busy = folder / (".b.dwi" + std::string(dwi::kSaveTemporaryMarker) + "7");
    const int fd = ::open(busy.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "a.dwi").string(), "x"));
    EXPECT_TRUE(fs::exists(busy));
    ::close(fd);
    ASSERT_FALSE(dwi::WriteFileAtomically((folder / "a.dwi").string(), "y"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"a.dwi"}));
}

} // namespace
