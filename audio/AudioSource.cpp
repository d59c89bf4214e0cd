#include "audio/AudioSource.h"

#include "audio/FlacDecoder.h"
#include "audio/FormatLimits.h"
#include "audio/OpusDecoder.h"

#include <algorithm>
#include <cstring>
#include <sys/types.h>
#include <utility>

namespace audio {

namespace {

// 8-bit WAV samples are unsigned with 128 as silence: (s - 128) * 256 keeps
// the full 16-bit range. Runs backwards because the samples grow in place.
void Widen8BitSamples(std::uint8_t* bytes, std::size_t samples) {
    for (std::size_t i = samples; i-- > 0;) {
        const int value = (bytes[i] - 128) * 256;
        const auto word = static_cast<std::uint16_t>(value);
        bytes[2 * i] = static_cast<std::uint8_t>(word & 0xFFU);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

// Keeps the two most significant bytes of each little-endian sample.
void NarrowSamplesTo16Bit(std::uint8_t* bytes, std::size_t samples, std::size_t sampleBytes) {
    for (std::size_t i = 0; i < samples; ++i) {
        bytes[2 * i] = bytes[sampleBytes * i + sampleBytes - 2];
        bytes[2 * i + 1] = bytes[sampleBytes * i + sampleBytes - 1];
    }
}

std::uint64_t Percent(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0 : std::min<std::uint64_t>(part, whole) * 100 / whole;
}

} // namespace

CAudioSource::CAudioSource() = default;

CAudioSource::~CAudioSource() {
    Close();
}

void CAudioSource::Close() {
    m_wavReader.reset();
    m_pcm.reset();
    if (m_ogg) {
        OggStream::Park(std::move(m_ogg));
    }
    m_mp3Image = {};
    m_type = SongType::kNone;
    m_bitsPerSample = m_sampleRate = m_channels = 0;
    m_progressPercent = m_chunkBytes = 0;
}

Result<void> CAudioSource::Open(const std::string& path) {
    Close();
    switch (const SongType type = SongTypeOf(path)) {
    case SongType::kMp3:
        return OpenMp3(path);
    case SongType::kWav:
        return OpenWav(path);
    case SongType::kOgg:
        return OpenOgg(path);
    case SongType::kFlac:
    case SongType::kOpus:
        return OpenPcm(path, type);
    case SongType::kNone:
        break;
    }
    return AudioError{AudioErrorKind::kUnknownType, UnknownTypeMessage(path)};
}

Result<void> CAudioSource::OpenMp3(const std::string& path) {
    {
        UniqueFile file = OpenForReading(path);
        if (!file || fseeko(file.get(), 0, SEEK_END) != 0) {
            return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
        }
        const off_t size = ftello(file.get());
        if (size < 0 || fseeko(file.get(), 0, SEEK_SET) != 0) {
            return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
        }
        if (static_cast<std::uint64_t>(size) > kMaxMp3Bytes) {
            return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
        }
        m_mp3Image.resize(static_cast<std::size_t>(size));
        m_mp3Image.resize(std::fread(m_mp3Image.data(), 1, m_mp3Image.size(), file.get()));
    }
    m_mp3ReadPosition = 0;
    m_mp3BytesRemaining = m_mp3Image.size();
    m_mp3Ended = false;
    m_mp3Decoder = MpegDecoder();

    // Two searches, each decoding and dropping one frame: the first chunk
    // is the third frame of the stream. The second search starts right after
    // the first frame, so junk in front of it is never searched twice.
    if (!FindFirstFrame()) {
        m_mp3Image = {};
        return AudioError{AudioErrorKind::kNotThisFormat, CorruptMp3Message(path)};
    }
    if (!FindFirstFrame()) {
        m_mp3Image = {};
        return AudioError{AudioErrorKind::kDamaged, CorruptMp3Message(path)};
    }
    m_bitsPerSample = m_mp3Format.bitsPerSample;
    m_sampleRate = m_mp3Format.sampleRate;
    m_channels = m_mp3Format.channels;
    m_type = SongType::kMp3;
    return {};
}

bool CAudioSource::FindFirstFrame() {
    while (m_mp3BytesRemaining > 0) {
        const std::uint8_t* at = m_mp3Image.data() + m_mp3ReadPosition;
        const HeaderSearch search = FindFrameHeader(at, m_mp3BytesRemaining);
        if (!search.headerStartFound) {
            return false;
        }
        if (search.frameBytes > 0 && m_mp3Decoder.Prepare(search.info)) {
            m_mp3Format = m_mp3Decoder.OutputFormat();
            // The chunk buffer serves as scratch: nothing has been handed out yet.
            const FrameDecode decoded = m_mp3Decoder.DecodeFrame(
                at + search.skippedBytes, m_mp3BytesRemaining - search.skippedBytes, m_chunk.data(),
                m_chunk.size());
            if (decoded.consumedBytes > 0) {
                const std::size_t advance = search.skippedBytes + decoded.consumedBytes;
                m_mp3ReadPosition += advance;
                m_mp3BytesRemaining -= advance;
                return true;
            }
        }
        const std::size_t advance = search.skippedBytes + 1;
        m_mp3ReadPosition += advance;
        m_mp3BytesRemaining -= advance;
    }
    return false;
}

Result<void> CAudioSource::OpenWav(const std::string& path) {
    Result<CWavReader> reader = CWavReader::Open(path);
    if (!reader) {
        return reader.error();
    }
    const int bits = reader.value().GetNumBits();
    const int channels = reader.value().GetNumChannels();
    const std::uint32_t rate = reader.value().GetSampleRate();
    const bool knownWidth = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!knownWidth || !IsSupportedFormat(rate, channels)) {
        return AudioError{AudioErrorKind::kUnsupported,
                          UnsupportedSampleFormatMessage(path, bits, channels, long{rate})};
    }
    const std::size_t frameBytes = static_cast<std::size_t>(bits / 8 * channels);
    m_wavReader.emplace(std::move(reader.value()));
    m_wavFrameBytes = frameBytes;
    m_wavBytesDelivered = 0;
    m_wavReadBytes = kMaxReadBytes / frameBytes * frameBytes;
    m_bitsPerSample = bits;
    m_sampleRate = static_cast<int>(rate);
    m_channels = channels;
    m_type = SongType::kWav;
    return {};
}

Result<void> CAudioSource::OpenOgg(const std::string& path) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    OggStream::ClearParked();
    Result<std::unique_ptr<OggStream>> stream = OggStream::Open(std::move(file), path);
    if (!stream) {
        return stream.error();
    }
    m_ogg = std::move(stream.value());
    m_bitsPerSample = 16;
    m_sampleRate = m_ogg->SampleRate();
    m_channels = m_ogg->Channels();
    m_type = SongType::kOgg;
    return {};
}

Result<void> CAudioSource::OpenPcm(const std::string& path, SongType type) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    Result<std::unique_ptr<PcmDecoder>> decoder =
        type == SongType::kFlac ? OpenFlac(std::move(file), path) : OpenOpus(std::move(file), path);
    if (!decoder) {
        return decoder.error();
    }
    m_pcm = std::move(decoder.value());
    m_bitsPerSample = 16;
    m_sampleRate = m_pcm->SampleRate();
    m_channels = m_pcm->Channels();
    m_type = type;
    return {};
}

int CAudioSource::DecodeNextChunk() {
    m_chunkBytes = 0;
    switch (m_type) {
    case SongType::kMp3:
        m_chunkBytes = DecodeMp3Chunk();
        break;
    case SongType::kWav:
        m_chunkBytes = ReadWavChunk();
        break;
    case SongType::kOgg:
        m_chunkBytes = ReadOggChunk();
        break;
    case SongType::kFlac:
    case SongType::kOpus:
        m_chunkBytes = ReadPcmChunk();
        break;
    case SongType::kNone:
        break;
    }
    return m_chunkBytes;
}

int CAudioSource::DecodeMp3Chunk() {
    // A frame that does not decode ends the audio; so does a last frame cut
    // short. Frames without output (the bit reservoir still filling) are
    // passed over rather than taken for the end.
    while (!m_mp3Ended && m_mp3BytesRemaining > 0) {
        const FrameDecode decoded =
            m_mp3Decoder.DecodeFrame(m_mp3Image.data() + m_mp3ReadPosition, m_mp3BytesRemaining,
                                     m_chunk.data(), m_chunk.size());
        if (decoded.consumedBytes == 0) {
            m_mp3Ended = true;
            break;
        }
        m_mp3ReadPosition += decoded.consumedBytes;
        m_mp3BytesRemaining -= decoded.consumedBytes;
        m_progressPercent = 100 - static_cast<int>(Percent(m_mp3BytesRemaining, m_mp3Image.size()));
        if (decoded.pcmBytes > 0) {
            return static_cast<int>(decoded.pcmBytes);
        }
    }
    return 0;
}

int CAudioSource::ReadWavChunk() {
    // Reads are whole frames long, so only the data's end can be cut short:
    // the partial frame there is dropped.
    const std::size_t got =
        m_wavReader->ReadBytes(m_chunk.data(), m_wavReadBytes) / m_wavFrameBytes * m_wavFrameBytes;
    m_wavBytesDelivered += got;
    m_progressPercent =
        static_cast<int>(Percent(m_wavBytesDelivered, m_wavReader->GetDataSizeInBytes()));
    const auto sampleBytes = static_cast<std::size_t>(m_bitsPerSample / 8);
    if (m_bitsPerSample == 8) {
        Widen8BitSamples(m_chunk.data(), got);
    } else if (m_bitsPerSample > 16) {
        NarrowSamplesTo16Bit(m_chunk.data(), got / sampleBytes, sampleBytes);
    }
    return static_cast<int>(got);
}

int CAudioSource::ReadOggChunk() {
    const long got = m_ogg->Read(m_chunk.data(), kMaxReadBytes);
    m_progressPercent = std::max(m_progressPercent, m_ogg->ProgressPercent());
    return static_cast<int>(got);
}

int CAudioSource::ReadPcmChunk() {
    const auto channels = static_cast<std::size_t>(m_channels);
    const std::size_t frames = m_pcm->Read(m_pcmBlock.data(), m_pcmBlock.size() / channels);
    m_progressPercent = std::max(m_progressPercent, m_pcm->ProgressPercent());
    const std::size_t bytes = frames * channels * sizeof(std::int16_t);
    std::memcpy(m_chunk.data(), m_pcmBlock.data(), bytes);
    return static_cast<int>(bytes);
}

} // namespace audio
