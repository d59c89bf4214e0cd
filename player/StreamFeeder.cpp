#include "player/StreamFeeder.h"

#include <algorithm>
#include <cmath>
#include <soundtouch/SoundTouch.h>

namespace player {

namespace {

// Input handed to SoundTouch per call: small enough to keep the output in
// step with the ring, large enough to keep calls cheap.
constexpr int kFeedFrames = 512;
constexpr float kSampleScale = 32768.0f;

} // namespace

StreamFeeder::StreamFeeder(const SongPcm& song, ChunkRing& ring)
    : m_song(song), m_ring(ring), m_stretcher(std::make_unique<soundtouch::SoundTouch>()) {
    m_stretcher->setChannels(static_cast<unsigned>(song.channels));
    m_stretcher->setSampleRate(static_cast<unsigned>(song.sampleRate));
    m_stretchIn.resize(static_cast<std::size_t>(kFeedFrames * song.channels));
    m_stretchOut.resize(static_cast<std::size_t>(ChunkRing::kChunkFrames * song.channels));
}

StreamFeeder::~StreamFeeder() = default;

int StreamFeeder::Fill(const FeedCommand& command) {
    if (!command.playing) {
        m_generation = command.generation;
        m_active = false;
        return 0;
    }
    if (!m_active || command.generation != m_generation) {
        Restart(command.generation, command.startFrame, command.rate);
    } else if (command.rate != m_rate && !m_finished) {
        Restart(command.generation, NextFrame(), command.rate);
    }
    int pushed = 0;
    while (!m_finished && !m_ring.Full()) {
        ChunkRing::Chunk& chunk = m_ring.Back();
        if (m_rate == 1.0) {
            ProduceCopy(chunk, m_ring.BackSamples());
        } else {
            ProduceStretched(chunk, m_ring.BackSamples());
        }
        chunk.generation = m_generation;
        m_finished = chunk.last;
        m_ring.Push();
        ++pushed;
    }
    return pushed;
}

double StreamFeeder::NextFrame() const {
    if (m_rate == 1.0) {
        return static_cast<double>(m_nextFrame);
    }
    return m_origin + static_cast<double>(m_outFrames) * m_rate;
}

void StreamFeeder::Restart(std::uint32_t generation, double startFrame, double rate) {
    const auto songFrames = static_cast<double>(m_song.Frames());
    startFrame = std::clamp(startFrame, 0.0, songFrames);
    m_generation = generation;
    m_active = true;
    m_finished = false;
    m_rate = rate;
    if (rate == 1.0) {
        m_nextFrame = std::llround(startFrame);
        return;
    }
    m_stretcher->clear();
    m_stretcher->setTempo(rate);
    const double sequenceOut = m_stretcher->getSetting(SETTING_NOMINAL_OUTPUT_SEQUENCE);
    m_origin = startFrame;
    m_outFrames = 0;
    m_inputFrame = std::llround(startFrame + (rate - 1.0) * sequenceOut / 2.0);
    m_endOutFrames = static_cast<std::int64_t>(std::ceil((songFrames - startFrame) / rate));
}

void StreamFeeder::ProduceCopy(ChunkRing::Chunk& chunk, std::int16_t* samples) {
    const std::int64_t frames =
        std::clamp<std::int64_t>(m_song.Frames() - m_nextFrame, 0, ChunkRing::kChunkFrames);
    const auto channels = static_cast<std::size_t>(m_song.channels);
    const auto first =
        m_song.samples.begin() +
        static_cast<std::ptrdiff_t>(static_cast<std::size_t>(m_nextFrame) * channels);
    std::copy(first,
              first + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(frames) * channels),
              samples);
    chunk.frames = static_cast<int>(frames);
    chunk.startFrame = static_cast<double>(m_nextFrame);
    chunk.songFramesPerFrame = 1.0;
    m_nextFrame += frames;
    chunk.last = m_nextFrame >= m_song.Frames();
}

// Hands SoundTouch the next kFeedFrames song frames; frames before the song
// (a segment that starts early, see the class comment) and after it (to
// flush SoundTouch's tail) are silence.
void StreamFeeder::FeedStretcher() {
    const auto channels = static_cast<std::size_t>(m_song.channels);
    const std::int64_t songFrames = m_song.Frames();
    for (std::size_t i = 0; i < static_cast<std::size_t>(kFeedFrames); ++i) {
        const std::int64_t frame = m_inputFrame + static_cast<std::int64_t>(i);
        float* dest = m_stretchIn.data() + i * channels;
        if (frame < 0 || frame >= songFrames) {
            std::fill(dest, dest + channels, 0.0f);
            continue;
        }
        const std::int16_t* source =
            m_song.samples.data() + static_cast<std::size_t>(frame) * channels;
        for (std::size_t c = 0; c < channels; ++c) {
            dest[c] = static_cast<float>(source[c]) / kSampleScale;
        }
    }
    m_stretcher->putSamples(m_stretchIn.data(), static_cast<unsigned>(kFeedFrames));
    m_inputFrame += kFeedFrames;
}

void StreamFeeder::ProduceStretched(ChunkRing::Chunk& chunk, std::int16_t* samples) {
    const auto wanted = static_cast<unsigned>(
        std::clamp<std::int64_t>(m_endOutFrames - m_outFrames, 0, ChunkRing::kChunkFrames));
    while (m_stretcher->numSamples() < wanted) {
        FeedStretcher();
    }
    const unsigned got = wanted == 0 ? 0 : m_stretcher->receiveSamples(m_stretchOut.data(), wanted);
    const std::size_t count =
        static_cast<std::size_t>(got) * static_cast<std::size_t>(m_song.channels);
    for (std::size_t i = 0; i < count; ++i) {
        const float scaled = std::round(m_stretchOut[i] * kSampleScale);
        samples[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    chunk.frames = static_cast<int>(got);
    chunk.startFrame = m_origin + static_cast<double>(m_outFrames) * m_rate;
    chunk.songFramesPerFrame = m_rate;
    m_outFrames += got;
    chunk.last = m_outFrames >= m_endOutFrames;
}

} // namespace player
