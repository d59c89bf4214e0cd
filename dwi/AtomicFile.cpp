#include "dwi/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

namespace dwi {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

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

// Creates a new file next to the target; "x" refuses to reuse an existing one.
FileHandle CreateTemporary(const fs::path& target, fs::path& temporary, int& error) {
    std::random_device seed;
    std::mt19937 generator(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = target;
        temporary += ".tmp" + std::to_string(generator() % 1000000u);
        errno = 0;
        FileHandle file(std::fopen(temporary.c_str(), "wbx"));
        if (file) {
            return file;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    return nullptr;
}

} // namespace

std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const fs::path target = ResolveTarget(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        return Reason(EISDIR);
    }

    fs::path temporary;
    int error = 0;
    FileHandle file = CreateTemporary(target, temporary, error);
    if (!file) {
        return Reason(error);
    }

    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                         std::fflush(file.get()) == 0;
    error = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!closed && error == 0) {
        error = errno;
    }
    if (!written || !closed) {
        fs::remove(temporary, ec);
        return Reason(error != 0 ? error : EIO);
    }

    const auto status = fs::status(target, ec);
    if (!ec && fs::exists(status)) {
        fs::permissions(temporary, status.permissions(), ec);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        fs::remove(temporary, ec);
        return Reason(error);
    }
    return std::nullopt;
}

} // namespace dwi
