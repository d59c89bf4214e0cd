#pragma once

#include <array>
#include <atomic>
#include <cassert>
#include <cstdint>
#include <vector>

namespace player {

// Rendered song audio on its way from the feeder thread to the audio
// callback: a single-producer, single-consumer ring of fixed-size chunks.
// Each chunk says which song frames it holds, so the callback knows what it
// plays without asking anyone.
class ChunkRing {
public:
    static constexpr int kChunkFrames = 256;
    // 16 chunks of 256 frames: about 93 ms at 44.1 kHz, enough to ride out
    // a feeder thread that is scheduled late, small enough that a rate
    // change is heard promptly.
    static constexpr std::uint32_t kChunks = 16;

    struct Chunk {
        std::uint32_t generation = 0; // the playback segment it belongs to
        int frames = 0;               // 0..kChunkFrames
        double startFrame = 0.0;      // song frame heard at the chunk's first frame
        double songFramesPerFrame = 1.0;
        bool last = false; // the song ends after this chunk
    };

    // Not while a producer or consumer uses the ring.
    void Reset(int channels) {
        m_channels = channels;
        m_samples.assign(static_cast<std::size_t>(kChunks) * kChunkFrames *
                             static_cast<std::size_t>(channels),
                         0);
        m_head.store(0, std::memory_order_relaxed);
        m_tail.store(0, std::memory_order_relaxed);
    }

    int Channels() const { return m_channels; }

    // Producer side.
    bool Full() const {
        return m_head.load(std::memory_order_relaxed) - m_tail.load(std::memory_order_acquire) ==
               kChunks;
    }
    Chunk& Back() { return m_chunks[Index(m_head.load(std::memory_order_relaxed))]; }
    std::int16_t* BackSamples() { return SamplesOf(m_head.load(std::memory_order_relaxed)); }
    void Push() {
        assert(!Full());
        m_head.store(m_head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // Consumer side (the audio callback): no locks, no allocation.
    const Chunk* Front() const {
        const std::uint32_t tail = m_tail.load(std::memory_order_relaxed);
        if (m_head.load(std::memory_order_acquire) == tail) {
            return nullptr;
        }
        return &m_chunks[Index(tail)];
    }
    const std::int16_t* FrontSamples() const {
        return SamplesOf(m_tail.load(std::memory_order_relaxed));
    }
    void Pop() {
        m_tail.store(m_tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

private:
    static std::uint32_t Index(std::uint32_t counter) { return counter % kChunks; }
    std::int16_t* SamplesOf(std::uint32_t counter) {
        return m_samples.data() + static_cast<std::size_t>(Index(counter)) * kChunkFrames *
                                      static_cast<std::size_t>(m_channels);
    }
    const std::int16_t* SamplesOf(std::uint32_t counter) const {
        return m_samples.data() + static_cast<std::size_t>(Index(counter)) * kChunkFrames *
                                      static_cast<std::size_t>(m_channels);
    }

    int m_channels = 0;
    std::vector<std::int16_t> m_samples;
    std::array<Chunk, kChunks> m_chunks{};
    // Free-running counters; head is written by the producer only, tail by
    // the consumer only.
    std::atomic<std::uint32_t> m_head{0};
    std::atomic<std::uint32_t> m_tail{0};
};

} // namespace player
