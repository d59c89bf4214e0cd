#pragma once

#include "player/ChunkRing.h"
#include "player/SongPcm.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace player {

// What the feeder thread is asked to render.
struct FeedCommand {
    std::uint32_t generation = 0;
    bool playing = false;
    double startFrame = 0.0; // where the segment starts, in song frames
    double rate = 1.0;       // exactly 1.0: the song's own samples, untouched
};

// Renders the song into the chunk ring for the audio callback: the song's
// samples as they are at rate 1.0, a SoundTouch tempo change (pitch kept)
// at any other rate. Runs on the feeder thread, where it may allocate.
//
// Time-stretched chunks are labelled with song frames along a straight line
// (output frame n of a segment is song frame start + n * rate). SoundTouch
// plays its input at the original speed in sequences of 30-90 ms, so what is
// heard wanders around that line by up to half a sequence times |1 - rate|.
// Left alone it would also sit off the line on average, ahead of it by half
// an output sequence times (1 - rate) (20 ms at rate 0.5; behind it for
// rates above 1), so the feeder starts SoundTouch's input that much earlier
// (later). What remains, measured with short tone bursts: under 1 ms from
// rate 0.5 to 1, up to 3 ms at 1.5, 4 ms at 2 and 7 ms at 3.
class StreamFeeder {
public:
    // The song and the ring must outlive the feeder.
    StreamFeeder(const SongPcm& song, ChunkRing& ring);
    ~StreamFeeder();
    StreamFeeder(const StreamFeeder&) = delete;
    StreamFeeder& operator=(const StreamFeeder&) = delete;

    // Feeder thread only: renders chunks for `command` until the ring is
    // full or the segment has reached the song's end. A new generation
    // starts over at command.startFrame; a new rate within a generation
    // carries on from the next song frame due. Returns the chunks pushed.
    int Fill(const FeedCommand& command);

private:
    void Restart(std::uint32_t generation, double startFrame, double rate);
    void ProduceCopy(ChunkRing::Chunk& chunk, std::int16_t* samples);
    void ProduceStretched(ChunkRing::Chunk& chunk, std::int16_t* samples);
    void FeedStretcher();
    double NextFrame() const;

    const SongPcm& m_song;
    ChunkRing& m_ring;
    std::unique_ptr<soundtouch::SoundTouch> m_stretcher;
    std::vector<float> m_stretchIn;
    std::vector<float> m_stretchOut;

    std::uint32_t m_generation = 0;
    bool m_active = false;
    bool m_finished = false;
    double m_rate = 1.0;
    // Rate 1.0: the next song frame to copy.
    std::int64_t m_nextFrame = 0;
    // Other rates: song frame of output frame 0, output frames so far, the
    // next input frame for SoundTouch (outside the song: silence) and the
    // output length that covers the song's remaining frames.
    double m_origin = 0.0;
    std::int64_t m_outFrames = 0;
    std::int64_t m_inputFrame = 0;
    std::int64_t m_endOutFrames = 0;
};

} // namespace player
