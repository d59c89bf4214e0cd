#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace audio {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Sole owner of a C stream; closes it when dropped.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Binary read; null when the file cannot be opened.
inline UniqueFile OpenForReading(const std::string& path) {
    return UniqueFile(std::fopen(path.c_str(), "rb"));
}

} // namespace audio
