#include "audio/OggStream.h"

#include "audio/FormatLimits.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vorbis/vorbisfile.h>

namespace audio {

namespace {

constexpr int kAllLinks = -1; // ov_pcm_total: the whole chained stream
constexpr int kFirstLink = 0;
constexpr int kLittleEndian = 0;
constexpr int kTwoByteWords = 2;
constexpr int kSigned = 1;

// Where the last run's stream waits. A static with a destructor, so the
// stream is cleared at exit too.
struct ParkingSlot {
    std::mutex mutex;
    std::unique_ptr<OggStream> stream;
};

ParkingSlot& Slot() {
    static ParkingSlot slot;
    return slot;
}

} // namespace

OggStream::OggStream() : m_file(std::make_unique<OggVorbis_File>()) {}

OggStream::~OggStream() {
    if (m_file) {
        ov_clear(m_file.get());
    }
}

Result<std::unique_ptr<OggStream>> OggStream::Open(UniqueFile file, const std::string& name) {
    std::unique_ptr<OggStream> stream(new OggStream());
    const int opened = ov_open(file.get(), stream->m_file.get(), nullptr, 0);
    if (opened != 0) {
        // ov_open leaves the file to us on failure and has already cleared
        // its own state; the stream must not clear it a second time.
        stream->m_file.reset();
        const AudioErrorKind kind =
            opened == OV_ENOTVORBIS ? AudioErrorKind::kNotThisFormat : AudioErrorKind::kDamaged;
        return AudioError{kind, CorruptOggMessage(name)};
    }
    file.release(); // ov_clear closes it from now on
    // Playback starts with the first link, whatever the current link is
    // after libvorbisfile has scanned a chained stream to its end.
    const vorbis_info* info = ov_info(stream->m_file.get(), kFirstLink);
    if (info == nullptr) {
        return AudioError{AudioErrorKind::kDamaged, CorruptOggMessage(name)};
    }
    // The header's rate is a signed 32-bit field read into a long: check it
    // before it is narrowed.
    if (!IsSupportedFormat(info->rate, info->channels)) {
        return AudioError{AudioErrorKind::kUnsupported,
                          UnsupportedSampleFormatMessage(name, 16, info->channels, info->rate)};
    }
    stream->m_sampleRate = static_cast<int>(info->rate);
    stream->m_channels = info->channels;
    return stream;
}

long OggStream::Read(std::uint8_t* buffer, std::size_t maxBytes) {
    // ov_read hands out whole frames when asked for whole frames.
    const auto frameBytes = static_cast<std::size_t>(kTwoByteWords * m_channels);
    const int length =
        static_cast<int>(std::min<std::size_t>(maxBytes, 1U << 30) / frameBytes * frameBytes);
    if (length == 0) {
        return 0;
    }
    for (;;) {
        int link = 0;
        const long got = ov_read(m_file.get(), reinterpret_cast<char*>(buffer), length,
                                 kLittleEndian, kTwoByteWords, kSigned, &link);
        if (got == OV_HOLE) {
            continue;
        }
        if (got > 0 && link != m_link) {
            const vorbis_info* info = ov_info(m_file.get(), link);
            if (info == nullptr || info->channels != m_channels || info->rate != m_sampleRate) {
                return 0;
            }
            m_link = link;
        }
        return got;
    }
}

std::int64_t OggStream::TotalFrames() {
    return ov_pcm_total(m_file.get(), kAllLinks);
}

int OggStream::ProgressPercent() {
    const ogg_int64_t total = ov_pcm_total(m_file.get(), kAllLinks);
    const ogg_int64_t position = ov_pcm_tell(m_file.get());
    if (total <= 0 || position < 0) {
        return 0;
    }
    // Damaged granule positions can put the position past the total.
    return static_cast<int>(std::min(position, total) * 100 / total);
}

void OggStream::Park(std::unique_ptr<OggStream> stream) {
    ParkingSlot& slot = Slot();
    std::unique_ptr<OggStream> previous;
    {
        std::lock_guard lock(slot.mutex);
        previous = std::exchange(slot.stream, std::move(stream));
    }
}

void OggStream::ClearParked() {
    ParkingSlot& slot = Slot();
    std::unique_ptr<OggStream> previous;
    {
        std::lock_guard lock(slot.mutex);
        previous = std::move(slot.stream);
    }
}

} // namespace audio
