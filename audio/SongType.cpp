#include "audio/SongType.h"

#include "audio/MpegHeader.h"
#include "audio/UniqueFile.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>

namespace audio {

namespace {

bool EqualsIgnoringCase(const std::string& text, const char* upper) {
    std::size_t i = 0;
    for (; i < text.size() && upper[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) {
            return false;
        }
    }
    return i == text.size() && upper[i] == '\0';
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* text) {
    const std::size_t length = std::strlen(text);
    return size >= length && std::memcmp(data, text, length) == 0;
}

// Ogg page header: "OggS", version, flags, granule (8), serial (4), page
// number (4), CRC (4), segment count at 26, then the segment table; the
// first packet follows the table.
constexpr std::size_t kOggSegmentCount = 26;
constexpr std::size_t kOggSegmentTable = 27;

} // namespace

SongType SongTypeFromPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) {
        return SongType::kNone;
    }
    const std::string extension = path.substr(dot);
    struct Named {
        const char* extension;
        SongType type;
    };
    static constexpr Named kNamed[] = {{".MP3", SongType::kMp3},   {".WAV", SongType::kWav},
                                       {".OGG", SongType::kOgg},   {".OGA", SongType::kOgg},
                                       {".FLAC", SongType::kFlac}, {".OPUS", SongType::kOpus}};
    for (const Named& named : kNamed) {
        if (EqualsIgnoringCase(extension, named.extension)) {
            return named.type;
        }
    }
    return SongType::kNone;
}

SongType SongTypeFromContent(const std::uint8_t* head, std::size_t size) {
    if (StartsWith(head, size, "fLaC")) {
        return SongType::kFlac;
    }
    if (!StartsWith(head, size, "OggS") || size <= kOggSegmentTable) {
        return SongType::kNone;
    }
    const std::size_t packet = kOggSegmentTable + head[kOggSegmentCount];
    if (packet >= size) {
        return SongType::kNone;
    }
    if (StartsWith(head + packet, size - packet,
                   "\x7F"
                   "FLAC")) {
        return SongType::kFlac;
    }
    if (StartsWith(head + packet, size - packet, "OpusHead")) {
        return SongType::kOpus;
    }
    return SongType::kNone;
}

std::vector<std::uint8_t> ReadHead(std::FILE* file) {
    std::vector<std::uint8_t> head(10);
    head.resize(std::fread(head.data(), 1, head.size(), file));
    const std::size_t tag = Id3v2TagBytes(head.data(), head.size());
    head.assign(kHeadBytes, 0);
    if (tag > static_cast<std::size_t>(std::numeric_limits<long>::max()) ||
        std::fseek(file, static_cast<long>(tag), SEEK_SET) != 0) {
        head.clear();
    } else {
        head.resize(std::fread(head.data(), 1, head.size(), file));
    }
    std::rewind(file);
    return head;
}

SongType SongTypeOf(const std::string& path) {
    if (UniqueFile file = OpenForReading(path)) {
        const std::vector<std::uint8_t> head = ReadHead(file.get());
        const SongType content = SongTypeFromContent(head.data(), head.size());
        if (content != SongType::kNone) {
            return content;
        }
    }
    return SongTypeFromPath(path);
}

} // namespace audio
