// The feeder and the audio callback's renderer driven by hand, on a made-up
// clock: what the engine plays, where it says it is, where clicks land.
#include "PlayerTestSupport.h"
#include "player/ClickSamples.h"
#include "player/OutputRenderer.h"
#include "player/StreamFeeder.h"

#include <cmath>
#include <gtest/gtest.h>

namespace player::test {
namespace {

constexpr int kBuffer = 1024;
constexpr double kBufferNs = kBuffer * 1e9 / kRate;
constexpr std::int64_t kLatencyNs = 20'000'000;

// The feeder, the ring and the renderer as the engine wires them, with the
// callback called by the test at the times it chooses.
struct Pipeline {
    explicit Pipeline(SongPcm songPcm, std::int64_t latencyNs = kLatencyNs,
                      double clockMemoryNs = OutputClock::kCallbackMemoryNs)
        : song(std::move(songPcm)), click(ConvertClick(BuiltInClick(), kRate, 2)) {
        ring.Reset(2);
        feeder = std::make_unique<StreamFeeder>(song, ring);
        renderer = std::make_unique<OutputRenderer>(
            ring, shared, click, OutputTiming{kRate, 2, latencyNs, clockMemoryNs});
    }

    void Start(double startFrame, double rate) {
        command = FeedCommand{shared.generation.load() + 1, true, startFrame, rate};
        shared.generation.store(command.generation);
        feeder->Fill(command);
    }

    // One callback at nowNs; the feeder then tops the ring up again unless
    // starved. Appends the buffer to `output`.
    void Callback(std::int64_t nowNs, bool starveFeeder = false) {
        std::vector<std::int16_t> buffer(kBuffer * 2);
        renderer->Render(buffer.data(), kBuffer, nowNs);
        output.insert(output.end(), buffer.begin(), buffer.end());
        if (!starveFeeder) {
            feeder->Fill(command);
        }
    }

    std::optional<double> FrameAt(std::int64_t nowNs) const {
        return shared.clock.Load().FrameAt(nowNs);
    }

    SongPcm song;
    std::vector<std::int16_t> click;
    ChunkRing ring;
    PlaybackShared shared;
    std::unique_ptr<StreamFeeder> feeder;
    std::unique_ptr<OutputRenderer> renderer;
    FeedCommand command;
    std::vector<std::int16_t> output;
};

std::int64_t At(double ns) {
    return static_cast<std::int64_t>(std::llround(ns));
}

TEST(PlaybackPipeline, RateOneCopiesTheSongUntouchedFromTheStartFrame) {
    Pipeline p(IndexedSong(0.5));
    p.Start(1000.0, 1.0);
    for (int i = 0; i < 8; ++i) {
        p.Callback(At(i * kBufferNs));
    }
    for (std::size_t frame = 0; frame < 8 * kBuffer; ++frame) {
        ASSERT_EQ(IndexedFrame(&p.output[2 * frame]), 1000 + static_cast<std::int64_t>(frame));
    }
}

TEST(PlaybackPipeline, PositionIsTheFrameHeardAfterTheLatencyAndNeverRunsBackwards) {
    // The line looking back a few buffers (callback times only) or many (a
    // sound server's reports), and the most of a 2 ms callback error each
    // lets show once settled: a quarter of it, or less than a sixth.
    const std::pair<double, double> cases[] = {{OutputClock::kCallbackMemoryNs, 0.0005},
                                               {OutputClock::kServerMemoryNs, 0.0003}};
    for (const auto& [memoryNs, settledLimit] : cases) {
        SCOPED_TRACE(memoryNs);
        Pipeline p(IndexedSong(2.0), kLatencyNs, memoryNs);
        p.Start(0.0, 1.0);
        // Callbacks come up to 2 ms early or late; the device still plays
        // the buffers back to back, so the heard frame is exact (frame
        // k * 1024 is heard at k * buffer + latency).
        const double jitterNs[] = {0.0, 1.5e6, -2e6, 0.5e6, 2e6, -1e6, 0.0, -1e6};
        double previous = -1.0;
        double worstEarly = 0.0;
        double worstSettled = 0.0;
        for (int k = 0; k < 60; ++k) {
            p.Callback(At(k * kBufferNs + jitterNs[k % 8]));
            // Readers between this callback and the next.
            for (double t = k * kBufferNs; t < (k + 1) * kBufferNs; t += 1e6) {
                const std::optional<double> frame = p.FrameAt(At(t));
                if (!frame) {
                    ASSERT_LT(t, kLatencyNs + 2.1e6)
                        << "nothing heard yet only before the first buffer";
                    continue;
                }
                ASSERT_GE(*frame, previous) << "ran backwards at " << t;
                previous = *frame;
                const double errorSeconds =
                    std::abs(*frame - (t - kLatencyNs) * kRate / 1e9) / kRate;
                double& worst = k < 16 ? worstEarly : worstSettled;
                worst = std::max(worst, errorSeconds);
            }
        }
        // The first buffers have only a few reports to average: no worse
        // than one callback's error.
        EXPECT_LT(worstEarly, 0.002);
        EXPECT_LT(worstSettled, settledLimit);
    }
}

TEST(PlaybackPipeline, UnderrunHoldsThePositionThenCarriesOnWithoutAJumpBack) {
    Pipeline p(IndexedSong(2.0), 0);
    p.Start(0.0, 1.0);
    for (int k = 0; k < 4; ++k) {
        p.Callback(At(k * kBufferNs));
    }
    // The feeder stalls: the ring's 4096 frames last four more buffers.
    for (int k = 4; k < 12; ++k) {
        p.Callback(At(k * kBufferNs), true);
    }
    const double heldFrame = *p.FrameAt(At(12 * kBufferNs));
    EXPECT_EQ(heldFrame, 8 * kBuffer) << "held at the last frame played";
    p.feeder->Fill(p.command);
    p.Callback(At(12 * kBufferNs));
    EXPECT_EQ(*p.FrameAt(At(12 * kBufferNs)), heldFrame);
    EXPECT_GT(*p.FrameAt(At(12.5 * kBufferNs)), heldFrame);
}

// The right channel carries only the click. Output frame n plays song
// frame n * rate: the click starts on the first frame at or after the beat.
TEST(PlaybackPipeline, ClickRequestedAheadStartsOnItsSongFrameAtEveryRate) {
    const double beatFrame = 12345.0;
    for (const double rate : {1.0, 0.5, 1.5}) {
        SCOPED_TRACE(rate);
        Pipeline p(MarkerSong(2.0, {}));
        p.Start(0.0, rate);
        ASSERT_TRUE(p.shared.clicks.Request(beatFrame, p.command.generation));
        for (int k = 0; k < 40; ++k) {
            p.Callback(At(k * kBufferNs));
        }
        const auto expected = static_cast<std::int64_t>(std::ceil(beatFrame / rate));
        const std::int64_t onset = FirstAbove(p.output, 2, 1, 0);
        ASSERT_GE(onset, expected);
        EXPECT_LE(onset - expected, 5) << "the built-in click rises within a few samples";
        EXPECT_EQ(FirstAbove(p.output, 2, 1, 0, onset + static_cast<std::int64_t>(p.click.size())),
                  -1)
            << "exactly one click";
    }
}

TEST(PlaybackPipeline, ClickDueWhileAnotherSoundsIsDroppedAndStaleClicksAreForgotten) {
    Pipeline p(MarkerSong(3.0, {}));
    p.Start(0.0, 1.0);
    const auto clickFrames = static_cast<std::int64_t>(p.click.size() / 2);
    const std::uint32_t generation = p.command.generation;
    ASSERT_TRUE(p.shared.clicks.Request(5000.0, generation));
    ASSERT_TRUE(p.shared.clicks.Request(5000.0 + static_cast<double>(clickFrames) / 2.0,
                                        generation)); // overlaps
    ASSERT_TRUE(
        p.shared.clicks.Request(5000.0 + static_cast<double>(clickFrames) + 100.0, generation));
    for (int k = 0; k < 20; ++k) {
        p.Callback(At(k * kBufferNs));
    }
    // A click waiting for a frame of a segment that was then left (a seek)
    // never sounds.
    ASSERT_TRUE(p.shared.clicks.Request(60000.0, generation));
    p.Callback(At(20 * kBufferNs));
    p.Start(50000.0, 1.0);
    for (int k = 21; k < 40; ++k) {
        p.Callback(At(k * kBufferNs));
    }
    std::vector<std::int64_t> onsets;
    for (std::int64_t at = FirstAbove(p.output, 2, 1, 0); at >= 0;
         at = FirstAbove(p.output, 2, 1, 0, at + clickFrames)) {
        onsets.push_back(at);
    }
    EXPECT_EQ(onsets, (std::vector<std::int64_t>{5000 + 1, 5000 + clickFrames + 100 + 1}));
}

TEST(PlaybackPipeline, RateChangeCarriesOnFromTheNextFrameDue) {
    Pipeline p(SineSong(3.0, 440.0), 0);
    p.Start(0.0, 1.0);
    for (int k = 0; k < 10; ++k) {
        p.Callback(At(k * kBufferNs));
    }
    p.command.rate = 0.75;
    p.feeder->Fill(p.command);
    double previousEnd = -1.0;
    bool sawStretched = false;
    for (int k = 10; k < 40; ++k) {
        p.Callback(At(k * kBufferNs));
        const ClockSnapshot clock = p.shared.clock.Load();
        for (int i = 0; i < clock.count; ++i) {
            const ClockPiece& piece = clock.pieces[static_cast<std::size_t>(i)];
            if (piece.startFrame < previousEnd - 1e-6) {
                continue; // seen in an earlier snapshot
            }
            if (previousEnd >= 0.0) {
                ASSERT_NEAR(piece.startFrame, previousEnd, 1e-6) << "a gap or jump in song time";
            }
            previousEnd = piece.endFrame;
            sawStretched = sawStretched || piece.songFramesPerNs < 0.8 * kRate / 1e9;
        }
    }
    EXPECT_TRUE(sawStretched);
}

} // namespace
} // namespace player::test
