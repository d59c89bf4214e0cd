#pragma once

#include "audio/AudioError.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace audio {

// A song file (MP3, WAV, Ogg Vorbis, FLAC, Opus; see SongTypeOf) read block by
// block as interleaved signed 16-bit samples on the player's time line:
// sample 0 is song time 0, the first sample the format's decoder puts out,
// and nothing is trimmed (see DecodeWholeFile for the MP3 rules). Rate and
// channel count are those of the first frame; the stream ends where they
// change. Memory stays flat: a decoder's own state (a FLAC frame at most),
// or one WAV chunk. One thread at a time.
class SongStream {
public:
    // Fails when the file cannot be read or yields no first block.
    static Result<std::unique_ptr<SongStream>> Open(const std::string& path);

    virtual ~SongStream() = default;
    SongStream(const SongStream&) = delete;
    SongStream& operator=(const SongStream&) = delete;

    int SampleRate() const { return m_sampleRate; }
    int Channels() const { return m_channels; }
    // Sample frames the file announces; 0 when it does not say. A damaged
    // header can announce any number: use it for progress and sizing hints.
    std::int64_t ExpectedFrames() const { return m_expectedFrames; }

    // The next block, whole sample frames; empty at the end of the audio.
    // Valid until the next call.
    virtual std::span<const std::int16_t> Next() = 0;

    // 0..100: how much of the file the blocks so far have covered.
    virtual int ProgressPercent() = 0;

protected:
    SongStream() = default;

    int m_sampleRate = 0;
    int m_channels = 0;
    std::int64_t m_expectedFrames = 0;
};

} // namespace audio
