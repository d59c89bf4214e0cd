#pragma once

#include "audio/AudioError.h"
#include "audio/UniqueFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct OggVorbis_File;

namespace audio {

// Sole owner of one libvorbisfile stream and the file under it (ov_clear
// closes the file). Not movable: libvorbisfile keeps pointers into the
// struct, so it lives on the heap behind this object.
class OggStream {
public:
    // Takes the file whatever the outcome: on failure it is closed. The
    // format is the first link's; outside FormatLimits.h it is unsupported.
    static Result<std::unique_ptr<OggStream>> Open(UniqueFile file, const std::string& name);

    ~OggStream();
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;

    int SampleRate() const { return m_sampleRate; }
    int Channels() const { return m_channels; }

    // Up to maxBytes of interleaved signed 16-bit little-endian PCM, whole
    // sample frames only; 0 at the end, negative on a read or decode error.
    // A hole (lost or damaged pages) is stepped over: decoding resumes at
    // the next good page. A chained stream ends where the sample rate or
    // channel count changes.
    long Read(std::uint8_t* buffer, std::size_t maxBytes);

    // Sample frames in all links together, as the granule positions say;
    // negative when unknown (a stream that cannot seek).
    std::int64_t TotalFrames();

    // Position in the stream as a percentage of its length, 0 to 100 (0 when
    // unknown).
    int ProgressPercent();

    // The stream of the last finished estimation run stays open until the
    // next Ogg stream opens, in any thread, or the program exits. Parking a
    // stream clears the one parked before.
    static void Park(std::unique_ptr<OggStream> stream);
    static void ClearParked();

private:
    OggStream();

    std::unique_ptr<OggVorbis_File> m_file;
    int m_sampleRate = 0;
    int m_channels = 0;
    int m_link = 0;
};

} // namespace audio
