#pragma once

#include "audio/AudioError.h"
#include "audio/MpegDecoder.h"
#include "audio/MpegHeader.h"
#include "audio/OggStream.h"
#include "audio/PcmDecoder.h"
#include "audio/SongType.h"
#include "audio/WavReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio {

// Turns a song file (MP3, WAV, Ogg Vorbis, FLAC, Opus) into chunks of interleaved signed
// 16-bit little-endian PCM for the tempo estimation run: Open, then
// DecodeNextChunk until it returns 0 or less. One source serves one run and
// is used by one thread at a time.
//
// An MP3 file is read into memory whole and decoded a frame per chunk. WAV
// and Ogg chunks hold at most kMaxReadBytes of file audio, in whole sample
// frames; FLAC and Opus chunks as much 16-bit audio. WAV samples of other widths than 16 bits are
// converted to 16 bits in place, and GetChunkBytes() keeps the count of the file's bytes, so frames
// = chunk bytes / (bits per sample / 8 × channels) for every format.
class CAudioSource {
public:
    static constexpr std::size_t kChunkBufferBytes = 36864;
    static constexpr std::size_t kMaxReadBytes = 5512;
    // Files larger than this are not read into memory.
    static constexpr std::size_t kMaxMp3Bytes = std::size_t{1} << 30;

    CAudioSource();
    ~CAudioSource();
    CAudioSource(const CAudioSource&) = delete;
    CAudioSource& operator=(const CAudioSource&) = delete;

    // The format is chosen as SongTypeOf chooses it. On failure the source stays
    // closed and DecodeNextChunk returns 0.
    Result<void> Open(const std::string& path);

    // Bytes now in the chunk buffer; 0 or less: no more audio follows.
    int DecodeNextChunk();
    const std::uint8_t* GetChunkBuffer() const { return m_chunk.data(); }
    int GetChunkBytes() const { return m_chunkBytes; }

    // Unset (0) until Open succeeds.
    int BitsPerSample() const { return m_bitsPerSample; }
    int SampleRate() const { return m_sampleRate; }
    int Channels() const { return m_channels; }
    SongType Type() const { return m_type; }
    // 0..100, never going back: how much of the file the chunks so far have
    // covered.
    int ProgressPercent() const { return m_progressPercent; }

private:
    void Close();
    Result<void> OpenMp3(const std::string& path);
    Result<void> OpenWav(const std::string& path);
    Result<void> OpenOgg(const std::string& path);
    Result<void> OpenPcm(const std::string& path, SongType type);
    bool FindFirstFrame();
    int DecodeMp3Chunk();
    int ReadWavChunk();
    int ReadOggChunk();
    int ReadPcmChunk();

    int m_bitsPerSample = 0;
    int m_sampleRate = 0;
    int m_channels = 0;
    SongType m_type = SongType::kNone;
    int m_progressPercent = 0;
    int m_chunkBytes = 0;

    std::optional<CWavReader> m_wavReader;
    std::uint64_t m_wavBytesDelivered = 0;
    std::size_t m_wavReadBytes = 0; // whole sample frames, at most kMaxReadBytes
    std::size_t m_wavFrameBytes = 1;

    std::unique_ptr<OggStream> m_ogg;

    std::unique_ptr<PcmDecoder> m_pcm; // FLAC and Opus
    std::array<std::int16_t, kMaxReadBytes / 2> m_pcmBlock{};

    std::vector<std::uint8_t> m_mp3Image;
    std::size_t m_mp3ReadPosition = 0;
    std::size_t m_mp3BytesRemaining = 0;
    bool m_mp3Ended = false;
    MpegDecoder m_mp3Decoder;
    MpegOutputFormat m_mp3Format;

    std::array<std::uint8_t, kChunkBufferBytes> m_chunk{};
};

} // namespace audio
