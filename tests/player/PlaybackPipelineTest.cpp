// The feeder and the audio callback's renderer driven by hand, on a made-up
// clock: what the engine plays, where it says it is, where clicks land.
#include "PlayerTestSupport.h"
#include "player/ClickSamples.h"
#include "player/OutputRenderer.h"
#include "player/StreamFeeder.h"

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

    // Callback k at k buffers plus `jitterNs`; the feeder then tops the
    // ring up again unless starved. Appends the buffer to `output`.
    void Callback(int k, double jitterNs = 0.0, bool starveFeeder = false) {
        output.resize(output.size() + kBuffer * 2);
        renderer->Render(&output[output.size() - kBuffer * 2], kBuffer,
                         At(k * kBufferNs + jitterNs));
        if (!starveFeeder) {
            feeder->Fill(command);
        }
    }
    void Callbacks(int from, int to) {
        for (int k = from; k < to; ++k) {
            Callback(k);
        }
    }

    static std::int64_t At(double ns) { return std::llround(ns); }
    std::optional<double> FrameAt(double ns) const { return shared.clock.Load().FrameAt(At(ns)); }

    // Onsets of clicks (the right channel carries only the click).
    std::vector<std::int64_t> ClickOnsets() const {
        std::vector<std::int64_t> onsets;
        for (std::int64_t at = FirstAbove(output, 2, 1, 0); at >= 0;
             at = FirstAbove(output, 2, 1, 0, at + std::ssize(click) / 2)) {
            onsets.push_back(at);
        }
        return onsets;
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

TEST(PlaybackPipeline, RateOneCopiesTheSongUntouchedFromTheStartFrame) {
    Pipeline p(IndexedSong(0.5));
    p.Start(1000.0, 1.0);
    p.Callbacks(0, 8);
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
            p.Callback(k, jitterNs[k % 8]);
            // Readers between this callback and the next.
            for (double t = k * kBufferNs; t < (k + 1) * kBufferNs; t += 1e6) {
                const std::optional<double> frame = p.FrameAt(t);
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
    p.Callbacks(0, 4);
    // The feeder stalls: the ring's 4096 frames last four more buffers.
    for (int k = 4; k < 12; ++k) {
        p.Callback(k, 0.0, true);
    }
    const double heldFrame = *p.FrameAt(12 * kBufferNs);
    EXPECT_EQ(heldFrame, 8 * kBuffer) << "held at the last frame played";
    p.feeder->Fill(p.command);
    p.Callback(12);
    EXPECT_EQ(*p.FrameAt(12 * kBufferNs), heldFrame);
    EXPECT_GT(*p.FrameAt(12.5 * kBufferNs), heldFrame);
}

// Output frame n plays song frame n * rate: a click asked for ahead starts
// on the first frame at or after its beat (the built-in click rises within
// a few samples).
TEST(PlaybackPipeline, ClickRequestedAheadStartsOnItsSongFrameAtEveryRate) {
    const double beatFrame = 12345.0;
    for (const double rate : {1.0, 0.5, 1.5}) {
        SCOPED_TRACE(rate);
        Pipeline p(MarkerSong(2.0, {}));
        p.Start(0.0, rate);
        ASSERT_TRUE(p.shared.clicks.Request(beatFrame, p.command.generation));
        p.Callbacks(0, 40);
        const auto expected = static_cast<std::int64_t>(std::ceil(beatFrame / rate));
        const std::vector<std::int64_t> onsets = p.ClickOnsets();
        ASSERT_EQ(onsets.size(), 1U);
        EXPECT_GE(onsets[0], expected);
        EXPECT_LE(onsets[0] - expected, 5);
    }
}

TEST(PlaybackPipeline, ClickDueWhileAnotherSoundsIsDroppedAndStaleClicksAreForgotten) {
    Pipeline p(MarkerSong(3.0, {}));
    p.Start(0.0, 1.0);
    const auto clickFrames = static_cast<double>(p.click.size() / 2);
    for (const double at : {5000.0, 5000.0 + clickFrames / 2, 5000.0 + clickFrames + 100}) {
        ASSERT_TRUE(p.shared.clicks.Request(at, p.command.generation));
    }
    p.Callbacks(0, 20);
    // A click waiting for a frame of a segment that was then left (a seek)
    // never sounds.
    ASSERT_TRUE(p.shared.clicks.Request(60000.0, p.command.generation));
    p.Callback(20);
    p.Start(50000.0, 1.0);
    p.Callbacks(21, 40);
    EXPECT_EQ(p.ClickOnsets(),
              (std::vector<std::int64_t>{5000 + 1, 5000 + std::llround(clickFrames) + 100 + 1}));
}

// Half speed through the time-stretcher, switched to ten buffers into the
// song: song time carries on from the next frame due without a gap, the
// rest of the 2 s song takes twice as long, and a 440 Hz tone stays 440 Hz.
TEST(PlaybackPipeline, HalfRateCarriesOnFromTheNextFrameAtTheSamePitchTakingTwiceAsLong) {
    Pipeline p(SineSong(2.0, 440.0), 0);
    p.Start(0.0, 1.0);
    p.Callbacks(0, 10);
    p.command.rate = 0.5;
    p.feeder->Fill(p.command);
    double previousEnd = -1.0;
    for (int k = 10; k < 200; ++k) {
        p.Callback(k);
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
        }
    }
    // The ring's 4096 frames, rendered ahead at rate 1, play out first; the
    // stretch starts half a sequence (20 ms at this rate) early, and its
    // crossfades may leave a few exact zeros at the end: 50 ms of slack.
    std::int64_t lastSound = std::ssize(p.output) / 2 - 1;
    while (lastSound > 0 && p.output[static_cast<std::size_t>(2 * lastSound)] == 0) {
        --lastSound;
    }
    constexpr int kAtRateOne = 14 * kBuffer;
    EXPECT_NEAR(static_cast<double>(lastSound), kAtRateOne + 2.0 * (2 * kRate - kAtRateOne),
                0.05 * kRate);
    // Its end is heard after exactly those frames, and reported once heard.
    EXPECT_EQ(p.shared.endGeneration.load(), p.command.generation);
    EXPECT_NEAR(static_cast<double>(p.shared.endHeardAtNs.load()) * kRate / 1e9,
                kAtRateOne + 2 * (2 * kRate - kAtRateOne), 1.0);
    // Zero crossings over one second of the stretched part: 880 for 440 Hz.
    // Each 80 ms sequence splice can add or lose a crossing.
    int crossings = 0;
    for (std::size_t f = kRate; f < 2 * kRate; ++f) {
        crossings += (p.output[2 * f] < 0) != (p.output[2 * f + 2] < 0) ? 1 : 0;
    }
    EXPECT_NEAR(crossings, 880, 14);
}

} // namespace
} // namespace player::test
