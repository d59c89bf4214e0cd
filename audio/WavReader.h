#pragma once

#include "audio/AudioError.h"
#include "audio/UniqueFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

// The format fields of a RIFF/WAVE file, as the file states them.
struct WavFormat {
    std::uint16_t formatTag = 0; // 1 = integer PCM
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// Reads a RIFF/WAVE file's headers up to its sample data, then hands out the
// raw sample bytes in the file's own little-endian layout. Only integer PCM
// opens; the reader converts nothing.
class CWavReader {
public:
    // Opens the file and reads its headers. Error texts name `path` as given.
    static Result<CWavReader> Open(const std::string& path);

    // Reads the headers from `file`, positioned at the start of the RIFF
    // header; `name` stands for the file in error texts.
    static Result<CWavReader> FromStream(UniqueFile file, const std::string& name);

    CWavReader(CWavReader&&) noexcept = default;
    CWavReader& operator=(CWavReader&&) noexcept = default;

    // Up to maxBytes bytes of sample data; fewer at the end of the data chunk
    // or of the file, 0 after that. Never reads past the data length, which
    // is never more than the file holds. Not necessarily whole sample frames.
    std::size_t ReadBytes(std::uint8_t* buffer, std::size_t maxBytes);

    std::uint32_t GetSampleRate() const { return m_format.sampleRate; }
    int GetNumBits() const { return m_format.bitsPerSample; }
    int GetNumChannels() const { return m_format.channels; }
    std::uint32_t GetDataSizeInBytes() const { return m_dataLength; }

    // Closes the file early; later reads return 0.
    void Close() { m_file.reset(); }

private:
    CWavReader(UniqueFile file, const WavFormat& format, std::uint32_t dataLength);

    UniqueFile m_file;
    std::uint32_t m_dataRead = 0;
    WavFormat m_format;
    std::uint32_t m_dataLength = 0;
};

} // namespace audio
