#include "player/OutputRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace player {

namespace {

std::int16_t SaturatingAdd(std::int16_t a, std::int16_t b) {
    const int sum = a + b;
    return static_cast<std::int16_t>(std::clamp(sum, -32768, 32767));
}

const std::vector<std::int16_t> kNoSound;

} // namespace

OutputRenderer::OutputRenderer(ChunkRing& ring, PlaybackShared& shared,
                               const std::vector<std::int16_t>& click,
                               const std::vector<std::int16_t>& tick, const OutputTiming& timing)
    : m_ring(ring), m_shared(shared), m_timing(timing),
      m_outputClock(timing.sampleRate, timing.clockMemoryNs), m_click{click, false}, m_tick{tick,
                                                                                            true} {}

OutputRenderer::OutputRenderer(ChunkRing& ring, PlaybackShared& shared,
                               const std::vector<std::int16_t>& click, const OutputTiming& timing)
    : OutputRenderer(ring, shared, click, kNoSound, timing) {}

void OutputRenderer::Render(std::int16_t* out, int frames, std::int64_t nowNs,
                            std::int64_t latencyNs) noexcept {
    if (frames <= 0) {
        return;
    }
    UpdateTiming(frames, nowNs + latencyNs);
    const std::uint32_t generation = m_shared.generation.load(std::memory_order_acquire);
    const bool newSegment = generation != m_generation;
    if (newSegment) {
        m_generation = generation;
        m_clock = ClockSnapshot{};
        m_clock.generation = generation;
    }
    m_pieceCount = 0;
    const int songFrames = RenderSong(out, frames, generation);
    const auto channels = static_cast<std::size_t>(m_timing.channels);
    std::fill(out + static_cast<std::size_t>(songFrames) * channels,
              out + static_cast<std::size_t>(frames) * channels, std::int16_t{0});
    if (newSegment || m_pieceCount > 0) {
        PublishClock(generation);
    }
    RenderVoice(m_click, m_shared.clicks, out, frames, generation);
    RenderVoice(m_tick, m_shared.ticks, out, frames, generation);
}

// The device consumes buffers back to back, so buffer k+1 is heard exactly
// one buffer after buffer k; each callback's own figure only estimates
// that, with jitter, and the clock's line through all of them places the
// buffer.
void OutputRenderer::UpdateTiming(int frames, std::int64_t heardAtNs) noexcept {
    m_outputClock.Report(m_outputFrame, frames, heardAtNs);
    m_bufferStartNs = m_outputClock.HeardAtNs(m_outputFrame);
    m_nsPerFrame = m_outputClock.NsPerFrame();
    m_outputFrame += frames;
}

std::int64_t OutputRenderer::HeardAtNs(int offset) const noexcept {
    return std::llround(m_bufferStartNs + offset * m_nsPerFrame);
}

int OutputRenderer::RenderSong(std::int16_t* out, int frames, std::uint32_t generation) noexcept {
    const auto channels = static_cast<std::size_t>(m_timing.channels);
    bool consumed = false;
    int offset = 0;
    while (offset < frames) {
        const ChunkRing::Chunk* chunk = m_ring.Front();
        if (chunk == nullptr) {
            break; // not playing, or the feeder is late
        }
        const auto age = static_cast<std::int32_t>(chunk->generation - generation);
        if (age > 0) {
            break; // a segment this callback has not been told about yet
        }
        if (age < 0) {
            m_ring.Pop();
            m_chunkOffset = 0;
            consumed = true;
            continue;
        }
        const int count = std::min(chunk->frames - m_chunkOffset, frames - offset);
        std::memcpy(out + static_cast<std::size_t>(offset) * channels,
                    m_ring.FrontSamples() + static_cast<std::size_t>(m_chunkOffset) * channels,
                    static_cast<std::size_t>(count) * channels * sizeof(std::int16_t));
        if (count > 0) {
            AddPiece(offset, count, chunk->startFrame + m_chunkOffset * chunk->songFramesPerFrame,
                     chunk->songFramesPerFrame);
        }
        offset += count;
        m_chunkOffset += count;
        if (m_chunkOffset == chunk->frames) {
            if (chunk->last) {
                m_shared.endHeardAtNs.store(HeardAtNs(offset), std::memory_order_relaxed);
                m_shared.endGeneration.store(generation, std::memory_order_release);
            }
            m_ring.Pop();
            m_chunkOffset = 0;
            consumed = true;
        }
    }
    if (consumed) {
        m_shared.WakeFeeder();
    }
    return offset;
}

void OutputRenderer::AddPiece(int offset, int frames, double startFrame,
                              double songFramesPerFrame) noexcept {
    if (m_pieceCount > 0) {
        BufferPiece& previous = m_pieces[static_cast<std::size_t>(m_pieceCount - 1)];
        const double previousEnd =
            previous.startFrame + previous.frames * previous.songFramesPerFrame;
        if (previous.offset + previous.frames == offset &&
            previous.songFramesPerFrame == songFramesPerFrame &&
            std::abs(previousEnd - startFrame) < 1e-6) {
            previous.frames += frames;
            return;
        }
    }
    if (m_pieceCount == kMaxBufferPieces) {
        return; // a buffer of many tiny discontinuities: keep the first ones
    }
    m_pieces[static_cast<std::size_t>(m_pieceCount++)] =
        BufferPiece{offset, frames, startFrame, songFramesPerFrame};
}

void OutputRenderer::PublishClock(std::uint32_t generation) noexcept {
    for (int i = 0; i < m_pieceCount; ++i) {
        const BufferPiece& piece = m_pieces[static_cast<std::size_t>(i)];
        m_clock.Append(ClockPiece{HeardAtNs(piece.offset), piece.startFrame,
                                  piece.startFrame + piece.frames * piece.songFramesPerFrame,
                                  piece.songFramesPerFrame / m_nsPerFrame});
    }
    m_clock.generation = generation;
    m_shared.clock.Store(m_clock);
}

// The offset in this buffer where a click for targetFrame starts; -1 when
// that frame has not been rendered yet.
int OutputRenderer::ClickStartOffset(double targetFrame) const noexcept {
    if (targetFrame == ClickRequests::kNow) {
        return 0;
    }
    if (m_pieceCount == 0) {
        return -1;
    }
    const BufferPiece& first = m_pieces[0];
    if (targetFrame <= first.startFrame) {
        return first.offset; // already heard or due right now
    }
    for (int i = 0; i < m_pieceCount; ++i) {
        const BufferPiece& piece = m_pieces[static_cast<std::size_t>(i)];
        const double end = piece.startFrame + piece.frames * piece.songFramesPerFrame;
        if (targetFrame < end) {
            const double into =
                std::ceil((targetFrame - piece.startFrame) / piece.songFramesPerFrame);
            return piece.offset + std::min(static_cast<int>(into), piece.frames - 1);
        }
    }
    return -1;
}

// Mixes the sounding voice into output frames [from, to); it stops sounding
// when its last sample is in.
void OutputRenderer::MixVoice(Voice& voice, std::int16_t* out, int from, int to) noexcept {
    const auto channels = static_cast<std::size_t>(m_timing.channels);
    std::int16_t* dest = out + static_cast<std::size_t>(from) * channels;
    const std::size_t room = static_cast<std::size_t>(to - from) * channels;
    const std::size_t count = std::min(room, voice.samples.size() - voice.played);
    for (std::size_t i = 0; i < count; ++i) {
        dest[i] = SaturatingAdd(dest[i], voice.samples[voice.played + i]);
    }
    voice.played += count;
    voice.sounding = voice.played < voice.samples.size();
}

template <typename Requests>
void OutputRenderer::RenderVoice(Voice& voice, Requests& requests, std::int16_t* out, int frames,
                                 std::uint32_t generation) noexcept {
    requests.TakeAll([&voice](double songFrame, std::uint32_t requestGeneration) {
        if (voice.waitingCount < kMaxWaiting) {
            voice.waiting[static_cast<std::size_t>(voice.waitingCount++)] =
                WaitingSound{songFrame, requestGeneration};
        }
    });
    // Start the sounds due in this buffer, earliest first; keep the rest.
    // The sounding one is mixed up to each start, so a restart cuts it there.
    int mixedTo = 0;
    for (;;) {
        int earliest = -1;
        int earliestOffset = frames;
        int kept = 0;
        for (int i = 0; i < voice.waitingCount; ++i) {
            const WaitingSound sound = voice.waiting[static_cast<std::size_t>(i)];
            if (sound.songFrame != ClickRequests::kNow && sound.generation != generation) {
                continue; // the song moved since the request: forget it
            }
            voice.waiting[static_cast<std::size_t>(kept)] = sound;
            const int offset = ClickStartOffset(sound.songFrame);
            if (offset >= 0 && offset < earliestOffset) {
                earliest = kept;
                earliestOffset = offset;
            }
            ++kept;
        }
        voice.waitingCount = kept;
        if (earliest < 0) {
            break;
        }
        for (int i = earliest + 1; i < voice.waitingCount; ++i) {
            voice.waiting[static_cast<std::size_t>(i - 1)] =
                voice.waiting[static_cast<std::size_t>(i)];
        }
        --voice.waitingCount;
        if (voice.sounding) {
            MixVoice(voice, out, mixedTo, earliestOffset);
        }
        mixedTo = earliestOffset;
        if (voice.sounding && !voice.restartWhileSounding) {
            continue; // an earlier click still sounds: drop this one
        }
        voice.sounding = !voice.samples.empty();
        voice.played = 0;
    }
    if (voice.sounding) {
        MixVoice(voice, out, mixedTo, frames);
    }
}

} // namespace player
