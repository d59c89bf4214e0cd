#include "audio/WavReader.h"

#include <array>
#include <cstring>
#include <sys/types.h>
#include <utility>

namespace audio {

namespace {

std::uint16_t Le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool ReadExactly(std::FILE* file, std::uint8_t* buffer, std::size_t bytes) {
    return std::fread(buffer, 1, bytes, file) == bytes;
}

// Chunk labels are printable ASCII up to 'z'; a zero byte ends the label
// early. Bytes of 0x80 and above fail.
bool IsValidLabel(const std::uint8_t* label) {
    for (std::size_t i = 0; i < 4 && label[i] != 0; ++i) {
        if (label[i] < 0x20 || label[i] > 0x7A) {
            return false;
        }
    }
    return true;
}

enum class ChunkStep { kGoOn, kDataReached, kCorrupt };

struct HeaderWalk {
    HeaderWalk(std::FILE* stream, off_t bytes) : file(stream), fileBytes(bytes) {}

    std::FILE* file;
    off_t fileBytes;
    bool haveFormat = false;
    WavFormat format;
    std::uint32_t dataLength = 0;

    // Skips `bytes` plus the pad byte RIFF adds after an odd-length chunk.
    // A seek past the end succeeds on a regular file, so the target is
    // checked against the size: a chunk that claims more bytes than the file
    // holds (lengths near 4 GiB included) is corrupt.
    bool SkipChunkBody(std::uint32_t bytes, bool oddLengthChunk) {
        const off_t skip = static_cast<off_t>(bytes) + (oddLengthChunk ? 1 : 0);
        const off_t here = ftello(file);
        if (here < 0 || skip > fileBytes - here) {
            return false;
        }
        return fseeko(file, skip, SEEK_CUR) == 0;
    }

    ChunkStep ReadChunk() {
        std::array<std::uint8_t, 8> head{};
        if (!ReadExactly(file, head.data(), head.size()) || !IsValidLabel(head.data())) {
            return ChunkStep::kCorrupt;
        }
        const std::uint32_t length = Le32(head.data() + 4);
        const bool odd = (length & 1U) != 0;
        if (std::memcmp(head.data(), "fmt ", 4) == 0) {
            // 16 bytes from format tag to bits per sample; extended headers
            // (18 or 40 bytes) carry more, which we skip.
            std::array<std::uint8_t, 16> fields{};
            const std::uint32_t stored = length < 16 ? length : 16;
            if (!ReadExactly(file, fields.data(), stored)) {
                return ChunkStep::kCorrupt;
            }
            format.formatTag = Le16(&fields[0]);
            format.channels = Le16(&fields[2]);
            format.sampleRate = Le32(&fields[4]);
            format.byteRate = Le32(&fields[8]);
            format.blockAlign = Le16(&fields[12]);
            format.bitsPerSample = Le16(&fields[14]);
            haveFormat = true;
            return SkipChunkBody(length - stored, odd) ? ChunkStep::kGoOn : ChunkStep::kCorrupt;
        }
        if (std::memcmp(head.data(), "data", 4) == 0) {
            // A length beyond the file (streams written before their length
            // was known say 0xFFFFFFFF) stands for the bytes that are there.
            const off_t here = ftello(file);
            const off_t there = here < 0 ? 0 : fileBytes - here;
            dataLength =
                there < static_cast<off_t>(length) ? static_cast<std::uint32_t>(there) : length;
            return ChunkStep::kDataReached;
        }
        return SkipChunkBody(length, odd) ? ChunkStep::kGoOn : ChunkStep::kCorrupt;
    }
};

AudioError Corrupt(AudioErrorKind kind, const std::string& name) {
    return AudioError{kind, CorruptWavMessage(name)};
}

} // namespace

CWavReader::CWavReader(UniqueFile file, const WavFormat& format, std::uint32_t dataLength)
    : m_file(std::move(file)), m_format(format), m_dataLength(dataLength) {}

Result<CWavReader> CWavReader::Open(const std::string& path) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    return FromStream(std::move(file), path);
}

Result<CWavReader> CWavReader::FromStream(UniqueFile file, const std::string& name) {
    std::FILE* stream = file.get();
    const off_t start = ftello(stream);
    if (start < 0 || fseeko(stream, 0, SEEK_END) != 0) {
        return Corrupt(AudioErrorKind::kDamaged, name);
    }
    const off_t end = ftello(stream);
    if (end < start || fseeko(stream, start, SEEK_SET) != 0) {
        return Corrupt(AudioErrorKind::kDamaged, name);
    }

    std::array<std::uint8_t, 12> riff{};
    if (!ReadExactly(stream, riff.data(), riff.size()) || std::memcmp(&riff[0], "RIFF", 4) != 0 ||
        std::memcmp(&riff[8], "WAVE", 4) != 0) {
        return Corrupt(AudioErrorKind::kNotThisFormat, name);
    }

    HeaderWalk walk{stream, end};
    for (;;) {
        const ChunkStep step = walk.ReadChunk();
        if (step == ChunkStep::kCorrupt) {
            return Corrupt(AudioErrorKind::kDamaged, name);
        }
        if (step == ChunkStep::kDataReached) {
            break;
        }
    }
    if (!walk.haveFormat) {
        return Corrupt(AudioErrorKind::kDamaged, name);
    }
    if (walk.format.formatTag != 1) {
        return AudioError{AudioErrorKind::kUnsupported, UnsupportedWavEncodingMessage(name)};
    }
    return CWavReader(std::move(file), walk.format, walk.dataLength);
}

std::size_t CWavReader::ReadBytes(std::uint8_t* buffer, std::size_t maxBytes) {
    if (!m_file) {
        return 0;
    }
    const std::size_t left = m_dataLength - m_dataRead;
    const std::size_t wanted = maxBytes < left ? maxBytes : left;
    const std::size_t got = std::fread(buffer, 1, wanted, m_file.get());
    m_dataRead += static_cast<std::uint32_t>(got);
    return got;
}

} // namespace audio
