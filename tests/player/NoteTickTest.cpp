// The note tick: ticks for a chart's rows through the engine's feeder and
// audio callback on a made-up clock, handed over by the tick schedule as
// the window's worker hands them, beside the metronome click.
#include "ServerTimingProbe.h"
#include "player/ClickSamples.h"
#include "player/OutputRenderer.h"
#include "player/StreamFeeder.h"
#include "player/TickSchedule.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace player::test {
namespace {

constexpr int kRate = 44100;
constexpr int kBuffer = 512;
constexpr double kLatencySeconds = 0.03;

// 120 BPM from 0.25 s, 240 BPM from beat 4, a 250 ms stop at beat 6. Notes
// on beats 0 (a jump: one tick), 1, 3.5, 4, 5, 6, 7 and a 192nd after 7;
// their times by hand: 0.25 + b / 2 before the change, 2.25 + (b - 4) / 4
// after it, and the stop delays beat 7 by 0.25 s.
const std::vector<double> kTickSeconds = {0.25, 0.75, 2.0, 2.25, 2.5, 2.75, 3.25, 3.25 + 0.25 / 48};
std::vector<double> ChartTicks() {
    chart::NoteData notes(4);
    const std::int32_t rows[] = {0, 0, 48, 168, 192, 240, 288, 336, 337};
    for (std::size_t i = 0; i < std::size(rows); ++i)
        notes.Set({rows[i], std::uint8_t(i % 4), 0});
    const chart::BpmChange changes[] = {{4.0, 240.0}};
    const chart::Stop stops[] = {{6.0, 250.0}};
    return NoteTickTimes(notes, chart::TimingMap(120.0f, 0.25f, changes, stops));
}

// Output frame n carries song frame n * rate (the feeder labels its chunks
// so), and is heard kLatencySeconds after its buffer's callback. The worker
// runs once a buffer, handing ticks the engine's lead ahead (the latency and
// a buffer and a half, at the rate) as the window's worker does; the click
// at 2.25 s is asked for early, on the same instant as that row's tick.
// The last two ticks are 2.6 to 10.4 ms apart: the second cuts the first
// and sounds whole.
TEST(NoteTick, EachRowTicksOnItsFrameAtEverySpeedBesideAClick) {
    const std::vector<std::int16_t> click = ConvertClick(BuiltInClick(), kRate, 2);
    const std::vector<std::int16_t> tick = ConvertClick(BuiltInTick(kRate), kRate, 2);
    for (const double rate : {0.5, 1.0, 2.0}) {
        SCOPED_TRACE(rate);
        const SongPcm song{std::vector<std::int16_t>(std::size_t(3.5 * kRate) * 2), kRate, 2};
        ChunkRing ring;
        ring.Reset(2);
        PlaybackShared shared;
        StreamFeeder feeder(song, ring);
        OutputRenderer renderer(ring, shared, click, tick,
                                {kRate, 2, std::llround(kLatencySeconds * 1e9)});
        const FeedCommand command{shared.generation.load() + 1, true, 0.0, rate};
        shared.generation.store(command.generation);
        feeder.Fill(command);
        ASSERT_TRUE(shared.clicks.Request(2.25 * kRate, command.generation));
        TickSchedule schedule;
        std::vector<double> times = ChartTicks();
        schedule.SwapTimes(times);
        std::vector<std::int16_t> output;
        for (int k = 0; k < int(3.5 / rate * kRate / kBuffer) + 4; ++k) {
            const double nowSeconds = double(k) * kBuffer / kRate;
            const double position = std::max(0.0, (nowSeconds - kLatencySeconds) * rate);
            const double lead = (kLatencySeconds + 1.5 * kBuffer / kRate) * rate;
            schedule.Pass({position, nowSeconds, rate, lead, 0.02 * rate}, [&](double at) {
                EXPECT_TRUE(shared.ticks.Request(at * kRate, command.generation));
            });
            output.resize(output.size() + kBuffer * 2);
            renderer.Render(&output[output.size() - kBuffer * 2], kBuffer,
                            std::llround(nowSeconds * 1e9));
            feeder.Fill(command);
        }
        // Silence between ticks lasts 100 ms at least; 100 frames of it
        // part two sounds, a zero inside the noise never lasts that long.
        const std::vector<std::int64_t> onsets = FindOnsets(output, 0, 100);
        const auto frameOf = [rate](double seconds) { // the first at or after it
            return std::int64_t(std::ceil(seconds * kRate / rate - 1e-9));
        };
        ASSERT_EQ(onsets.size(), kTickSeconds.size() - 1);
        for (std::size_t i = 0; i < onsets.size(); ++i)
            EXPECT_EQ(onsets[i], frameOf(kTickSeconds[i])) << kTickSeconds[i];
        const auto last = output.begin() + frameOf(kTickSeconds.back()) * 2;
        EXPECT_TRUE(std::equal(tick.begin(), tick.end(), last)) << "the close tick, whole";
        const std::size_t at = std::size_t(onsets[3]) * 2; // the click's instant: both sound
        for (std::size_t i = 0; i < click.size(); ++i) {
            const int both = click[i] + (i < tick.size() ? tick[i] : 0);
            ASSERT_EQ(output[at + i], std::clamp(both, -32768, 32767)) << i;
        }
    }
}

// One schedule through a song's life at 100 %: ticks 150 ms ahead, 20 ms
// late at most. A seek forward skips what it jumped over (no burst); a seek
// back and a restart after a pause search again from the position; times
// swapped in by an edit hand a new tick ahead but none twice nor a removed
// one; a position held still (a seek's target not heard yet) hands nothing.
TEST(TickSchedule, HandsEachTickOnceAheadAndSearchesAgainAfterASeek) {
    const std::vector<double> edited = {1.0, 1.1, 1.2, 1.3, 1.35, 2.5, 3.0};
    struct Step {
        const char* what;
        double position, steady;
        std::vector<double> handed;
        const std::vector<double>* swapBefore = nullptr;
        bool restartBefore = false;
    };
    const Step steps[] = {{"playing", 0.9, 0.0, {1.0}},
                          {"on", 0.96, 0.06, {1.1}},
                          {"seek forward", 1.25, 0.07, {1.3}},
                          {"a note added", 1.26, 0.08, {1.35}, &edited},
                          {"a note removed", 1.9, 0.72, {}},
                          {"seek back", 1.0, 0.73, {1.0, 1.1}},
                          {"paused, played", 1.0, 5.0, {1.0, 1.1}, nullptr, true},
                          {"held", 1.0, 5.1, {}}};
    TickSchedule schedule;
    std::vector<double> times = {1.0, 1.1, 1.2, 1.3, 2.0, 2.5, 3.0};
    schedule.SwapTimes(times);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.swapBefore != nullptr) {
            times = *step.swapBefore;
            schedule.SwapTimes(times);
        }
        if (step.restartBefore)
            schedule.Restart();
        std::vector<double> handed;
        schedule.Pass({step.position, step.steady, 1.0, 0.15, 0.02},
                      [&](double at) { handed.push_back(at); });
        EXPECT_EQ(handed, step.handed);
    }
}

} // namespace
} // namespace player::test
