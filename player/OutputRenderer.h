#pragma once

#include "player/ChunkRing.h"
#include "player/OutputClock.h"
#include "player/PlaybackShared.h"

#include <array>
#include <cstdint>
#include <vector>

namespace player {

// Where the output device stands.
struct OutputTiming {
    int sampleRate = 44100;
    int channels = 2;
    // How long after the callback starts filling a buffer its first frame
    // reaches the listener, when the device does not say per buffer.
    std::int64_t latencyNs = 0;
    // How far back the device's timing reports count (see OutputClock).
    double clockMemoryNs = OutputClock::kCallbackMemoryNs;
};

// The audio callback's work: plays the chunks of the current segment, mixes
// in the click and the note tick, and publishes which song frame is heard
// when.
//
// Rules of the callback (it runs on the device's thread): no locks, no
// allocation, no file I/O, no logging, no calls into the window. All it
// shares goes through ChunkRing and PlaybackShared.
//
// Clicks land on their song frame: a click requested for song frame F
// starts on the first output frame whose song frame is F or later, so it is
// heard exactly when F is, provided the request came before the callback
// rendered F (see PlaybackEngine::ClickLeadSeconds). A request for a frame
// already rendered, or for "now", starts at the next buffer. A waiting
// sound whose segment has ended (seek, pause, halt, end of song) is
// forgotten.
//
// The click and the tick are two voices, each with its own requests, so
// neither ever silences the other. A click due while another still sounds
// is dropped (a metronome beat never comes that soon). A tick due while
// another sounds cuts it and starts again from its first sample: ticks of
// close notes (25 ms apart at 300 %) each keep their sharp onset, and
// never pile up into one loud smear.
class OutputRenderer {
public:
    // The samples are in the device format and must outlive this.
    OutputRenderer(ChunkRing& ring, PlaybackShared& shared, const std::vector<std::int16_t>& click,
                   const std::vector<std::int16_t>& tick, const OutputTiming& timing);
    // Without a tick sound.
    OutputRenderer(ChunkRing& ring, PlaybackShared& shared, const std::vector<std::int16_t>& click,
                   const OutputTiming& timing);

    // Audio callback only: fills `frames` interleaved frames; nowNs is the
    // steady clock when the callback started, latencyNs how long after that
    // the buffer's first frame is heard (the device's figure of the moment).
    void Render(std::int16_t* out, int frames, std::int64_t nowNs, std::int64_t latencyNs) noexcept;
    // The same with the latency fixed when the renderer was made.
    void Render(std::int16_t* out, int frames, std::int64_t nowNs) noexcept {
        Render(out, frames, nowNs, m_timing.latencyNs);
    }

private:
    // A run of song frames within the buffer being rendered.
    struct BufferPiece {
        int offset = 0;
        int frames = 0;
        double startFrame = 0.0;
        double songFramesPerFrame = 1.0;
    };
    static constexpr int kMaxBufferPieces = 8;

    void UpdateTiming(int frames, std::int64_t heardAtNs) noexcept;
    int RenderSong(std::int16_t* out, int frames, std::uint32_t generation) noexcept;
    void AddPiece(int offset, int frames, double startFrame, double songFramesPerFrame) noexcept;
    void PublishClock(std::uint32_t generation) noexcept;
    struct WaitingSound {
        double songFrame = 0.0;
        std::uint32_t generation = 0;
    };
    static constexpr int kMaxWaiting = 32;
    // One sound and the requests for it that wait for their frame.
    struct Voice {
        const std::vector<std::int16_t>& samples;
        bool restartWhileSounding = false;
        std::array<WaitingSound, kMaxWaiting> waiting{};
        int waitingCount = 0;
        bool sounding = false;
        std::size_t played = 0; // samples already mixed
    };

    template <typename Requests>
    void RenderVoice(Voice& voice, Requests& requests, std::int16_t* out, int frames,
                     std::uint32_t generation) noexcept;
    void MixVoice(Voice& voice, std::int16_t* out, int from, int to) noexcept;
    int ClickStartOffset(double targetFrame) const noexcept;
    std::int64_t HeardAtNs(int offset) const noexcept;

    ChunkRing& m_ring;
    PlaybackShared& m_shared;
    const OutputTiming m_timing;

    // Everything below belongs to the audio callback thread.
    int m_chunkOffset = 0; // frames of the front chunk already played

    // Output frames rendered so far, and when each is heard. The current
    // buffer's first frame is heard at m_bufferStartNs, its frames go by at
    // m_nsPerFrame, both from the clock's fitted line.
    std::int64_t m_outputFrame = 0;
    OutputClock m_outputClock;
    double m_bufferStartNs = 0.0;
    double m_nsPerFrame = 0.0;

    std::uint32_t m_generation = 0;
    ClockSnapshot m_clock;
    std::array<BufferPiece, kMaxBufferPieces> m_pieces{};
    int m_pieceCount = 0;

    Voice m_click;
    Voice m_tick;
};

} // namespace player
