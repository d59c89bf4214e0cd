#include "dwi/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dwi {

namespace fs = std::filesystem;

namespace {

// Sole owner of a POSIX file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // 0, or the errno of a failed close.
    int Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

std::string Reason(int error) {
    return std::strerror(error);
}

fs::path ResolveTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) {
            return resolved;
        }
    }
    return path;
}

fs::path FolderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// A save holds an exclusive lock on its temporary file until the rename, and
// the kernel drops the lock when the process dies. A marked file whose lock
// can be taken is therefore the remains of a killed save; one whose lock
// cannot is being written right now, by this or another process, and stays.
void RemoveLeftovers(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find(kSaveTemporaryMarker) == std::string::npos || !it->is_regular_file(ec)) {
            continue;
        }
        const Descriptor fd(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

// Creates a new file next to the target, locked; O_EXCL refuses to reuse an
// existing one. Same permissions as fopen would give, less the umask.
Descriptor CreateTemporary(const fs::path& target, fs::path& temporary, int& error) {
    std::random_device seed;
    std::mt19937 generator(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = FolderOf(target) /
                    ("." + target.filename().string() + std::string(kSaveTemporaryMarker) +
                     std::to_string(generator() % 1000000u));
        Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd) {
            ::flock(fd.get(), LOCK_EX);
            return fd;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    return Descriptor();
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

// Makes the folder's entries (the rename) durable. Some file systems refuse
// fsync on a folder (EINVAL); the data is then as safe as they allow.
int SyncFolder(const fs::path& folder) {
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return errno;
    }
    return ::fsync(fd.get()) != 0 && errno != EINVAL ? errno : 0;
}

} // namespace

std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const fs::path target = ResolveTarget(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        return Reason(EISDIR);
    }
    // A rename would replace a device or a pipe (a save to /dev/null took
    // the device node away) and the leftover sweep would reach into /dev.
    if (const auto kind = fs::status(target, ec).type();
        !ec && kind != fs::file_type::regular && kind != fs::file_type::not_found) {
        return std::string("not a regular file");
    }
    RemoveLeftovers(FolderOf(target));

    fs::path temporary;
    int error = 0;
    Descriptor file = CreateTemporary(target, temporary, error);
    if (!file) {
        return Reason(error);
    }
    auto fail = [&](int reason) {
        file.Close();
        fs::remove(temporary, ec);
        return Reason(reason != 0 ? reason : EIO);
    };
    if (!WriteAll(file.get(), bytes) || ::fsync(file.get()) != 0) {
        return fail(errno);
    }
    const auto status = fs::status(target, ec);
    if (!ec && fs::exists(status)) {
        ::fchmod(file.get(), static_cast<mode_t>(status.permissions() & fs::perms::mask));
    }
    // Renamed while still open, so the lock covers the file until it has
    // its final name and no later save takes it for a leftover.
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    if (const int closed = file.Close(); closed != 0) {
        return Reason(closed);
    }
    if (const int synced = SyncFolder(FolderOf(target)); synced != 0) {
        return Reason(synced);
    }
    return std::nullopt;
}

} // namespace dwi
