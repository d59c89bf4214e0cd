// The engine through SDL's dummy and disk drivers: what a listener would
// hear (the disk driver's output) against what the engine reports.
#include "player/PlaybackEngine.h"

#include "PlayerTestSupport.h"
#include "TestSignals.h"
#include "player/ClickSamples.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace player::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The disk driver paced like a device: one 1024-frame buffer per 23 ms.
constexpr int kRealTimeMs = 23;
constexpr int kBufferFrames = 1024;

void UseDummyOutput() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

TEST(PlaybackEngine, EventsComeInOrderForOpenPlaySeekPauseAndHalt) {
    UseDummyOutput();
    EventLog log; // outlives the engine, whose thread calls it
    PlaybackEngine engine;
    engine.SetEvents(log.Handlers());
    engine.OpenDecoded(SineSong(2.0, 440.0), "song.wav");
    EXPECT_EQ(engine.FileName(), "song.wav");
    EXPECT_DOUBLE_EQ(engine.DurationSeconds(), 2.0);

    engine.SetPositionSeconds(0.5);
    EXPECT_EQ(engine.PositionSeconds(), 0.5) << "a seek lands exactly";
    engine.Play();
    engine.Play(); // already playing: nothing
    engine.Pause();
    engine.SetPositionSeconds(1.25);
    engine.Play();
    engine.Halt();
    engine.Halt(); // already stopped at 0: nothing
    EXPECT_EQ(engine.PositionSeconds(), 0.0);
    engine.SetPositionSeconds(0.25);
    engine.Play();
    EXPECT_TRUE(engine.Open(ScratchDir("EventsOrder") + "/missing.mp3"));
    engine.Play(); // nothing loaded: nothing

    ASSERT_TRUE(WaitUntil([&] { return log.Events().size() >= 11; }));
    std::this_thread::sleep_for(100ms); // time for a stray extra event to show
    const std::vector<LoggedEvent> events = log.Events();
    ASSERT_EQ(events.size(), 11U);
    const std::vector<std::pair<std::string, double>> expected = {
        {"position", 0.5}, {"state", 2}, {"state", 1},    {"position", 1.25},
        {"state", 2},      {"state", 0}, {"position", 0}, {"position", 0.25},
        {"state", 2},      {"state", 0}, {"position", 0}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].kind, expected[i].first) << i;
        EXPECT_EQ(events[i].to, expected[i].second) << i;
    }
    EXPECT_EQ(events[2].from, 2) << "pause comes from playing";
    EXPECT_EQ(events[4].from, 1) << "play resumes from paused";
    EXPECT_GE(events[6].from, 1.25) << "halt reports where it stopped";
    EXPECT_GE(events[10].from, 0.25);
    EXPECT_EQ(engine.FileName(), "");
    EXPECT_EQ(engine.DurationSeconds(), 0.0);
    EXPECT_EQ(engine.State(), PlayState::kStopped);
}

TEST(PlaybackEngine, WithoutADeviceItPlaysSilentlyAndRaisesTheEndOnce) {
    UseDummyOutput();
    EventLog log; // outlives the engine, whose thread calls it
    PlaybackEngine engine;
    EXPECT_TRUE(engine.PlaysSilently());
    EXPECT_EQ(engine.OutputDriver(), "dummy");
    engine.SetEvents(log.Handlers());
    engine.OpenDecoded(SineSong(0.3, 440.0), "short");
    engine.Play();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("end") == 1; }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(log.Count("end"), 1U);
    EXPECT_EQ(engine.State(), PlayState::kStopped);
    EXPECT_DOUBLE_EQ(engine.PositionSeconds(), 0.3) << "stays at the end";
    const std::vector<LoggedEvent> events = log.Events();
    ASSERT_GE(events.size(), 3U);
    EXPECT_EQ(events[1].kind, "state");
    EXPECT_EQ(events[1].to, 0) << "stopped, then the end event";
    EXPECT_EQ(events[2].kind, "end");
    // What the window does at the end: back to 0 and play again.
    engine.SetPositionSeconds(0.0);
    engine.Play();
    EXPECT_TRUE(WaitUntil([&] { return log.Count("end") == 2; }));
}

// Every buffer the engine hands the device, with the time the callback ran:
// with the dummy driver, that is when the buffer starts to "play".
struct Delivered {
    struct Buffer {
        std::int64_t atNs = 0;
        std::int64_t firstFrame = -1; // song frame at the buffer's start; -1: silence
    };
    std::vector<Buffer> buffers;

    static void Observe(void* context, const std::int16_t* samples, int /*frames*/,
                        int /*channels*/, std::int64_t callbackNs) {
        static_cast<Delivered*>(context)->buffers.push_back({callbackNs, IndexedFrame(samples)});
    }
};

TEST(PlaybackEngine, PositionIsTheFrameBeingDeliveredAndASeekLandsExactly) {
    UseDummyOutput();
    Delivered delivered;
    delivered.buffers.reserve(10000);
    struct Reading {
        std::int64_t atNs;
        double seconds;
    };
    std::vector<Reading> readings;
    std::int64_t seekNs = 0;
    {
        PlaybackEngine engine(
            PlaybackEngine::Options{"PLINK.WAV", &Delivered::Observe, &delivered});
        engine.OpenDecoded(IndexedSong(2.0), "indexed");
        engine.Play();
        const auto start = Clock::now();
        while (engine.State() == PlayState::kPlaying && Clock::now() - start < 10s) {
            if (seekNs == 0 && engine.PositionSeconds() > 1.2) {
                seekNs = NowNs();
                engine.SetPositionSeconds(0.5);
                EXPECT_EQ(engine.PositionSeconds(), 0.5) << "a seek lands exactly";
            }
            const std::int64_t at = NowNs();
            readings.push_back({at, engine.PositionSeconds()});
            std::this_thread::sleep_for(2ms);
        }
    } // the audio thread has ended: `delivered` is ours to read
    ASSERT_NE(seekNs, 0);

    // After the seek (back from past 1.2 s) the first buffer of the new
    // segment starts exactly on frame 0.5 s.
    const auto landed = std::find_if(
        delivered.buffers.begin(), delivered.buffers.end(), [&](const Delivered::Buffer& b) {
            return b.atNs > seekNs && b.firstFrame >= 0 && b.firstFrame < kRate * 6 / 5;
        });
    ASSERT_NE(landed, delivered.buffers.end());
    EXPECT_EQ(landed->firstFrame, kRate / 2);
    const std::int64_t seekHeardNs = landed->atNs;

    // The truth at time t: the last buffer delivered before t, advanced by
    // the time since.
    std::vector<double> errorsMs;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const Reading& reading = readings[i];
        if (i > 0 && (readings[i - 1].atNs >= seekNs) == (reading.atNs >= seekNs)) {
            ASSERT_GE(reading.seconds, readings[i - 1].seconds) << "ran backwards";
        }
        if (reading.atNs >= seekNs && reading.atNs < seekHeardNs) {
            EXPECT_EQ(reading.seconds, 0.5) << "holds the target until it is heard";
            continue;
        }
        const auto next = std::upper_bound(
            delivered.buffers.begin(), delivered.buffers.end(), reading.atNs,
            [](std::int64_t at, const Delivered::Buffer& b) { return at < b.atNs; });
        if (next == delivered.buffers.begin() || std::prev(next)->firstFrame < 0) {
            continue;
        }
        const Delivered::Buffer& last = *std::prev(next);
        const double sinceMs = static_cast<double>(reading.atNs - last.atNs) / 1e6;
        const double truthMs = static_cast<double>(last.firstFrame) * 1000.0 / kRate +
                               std::min(sinceMs, kBufferFrames * 1000.0 / kRate);
        errorsMs.push_back(std::abs(reading.seconds * 1000.0 - truthMs));
    }
    ASSERT_GT(errorsMs.size(), 300U);
    std::sort(errorsMs.begin(), errorsMs.end());
    const double median = errorsMs[errorsMs.size() / 2];
    const double p90 = errorsMs[errorsMs.size() * 9 / 10];
    // The dummy driver paces buffers with a sleep that wobbles by a
    // millisecond or so, which the engine smooths out and the truth here
    // does not; and this process shares the machine with builds. The median
    // shows the engine's accuracy; the 90th percentile catches a latency or
    // rate fault (tens of milliseconds).
    EXPECT_LT(median, 1.0);
    EXPECT_LT(p90, 4.0);
}

TEST(PlaybackEngine, HalfRateThroughTheDeviceTakesTwiceAsLongAtTheSamePitch) {
    const std::string dir = ScratchDir("HalfRate");
    UseDiskOutput(dir + "/out.pcm", 2);
    {
        PlaybackEngine engine;
        engine.OpenDecoded(SineSong(10.0, 440.0), "sine");
        engine.SetRate(0.5);
        engine.Play();
        ASSERT_TRUE(WaitUntil([&] { return engine.State() == PlayState::kStopped; }, 60s));
        EXPECT_DOUBLE_EQ(engine.PositionSeconds(), 10.0);
    }
    const std::vector<std::int16_t> out = ReadRawPcm(dir + "/out.pcm");
    // Song frames heard: every output frame outside runs of silence (the
    // device's idle buffers, and any underrun when this machine is busy).
    constexpr std::size_t kSilentRun = 32;
    std::vector<std::int16_t> heard; // left channel, silent runs left out
    std::size_t zeros = 0;
    for (std::size_t f = 0; f < out.size() / 2; ++f) {
        if (out[2 * f] == 0 && out[2 * f + 1] == 0) {
            ++zeros;
            continue;
        }
        if (!heard.empty() && zeros < kSilentRun) {
            heard.insert(heard.end(), zeros, std::int16_t{0});
        }
        heard.push_back(out[2 * f]);
        zeros = 0;
    }
    // About 20 s: the stretch starts half a sequence (20 ms at this rate)
    // before the song, in silence, and its crossfades may leave a few exact
    // zeros; 50 ms of slack covers both.
    EXPECT_NEAR(static_cast<double>(heard.size()), 20.0 * kRate, 0.05 * kRate);
    // Zero crossings over one second of the middle: 880 for 440 Hz. Counted
    // over what was heard, so an underrun's gap does not count as silence.
    ASSERT_GT(heard.size(), std::size_t{6 * kRate + 1});
    int crossings = 0;
    for (std::size_t f = 5 * kRate; f < 6 * kRate; ++f) {
        crossings += (heard[f] < 0) != (heard[f + 1] < 0) ? 1 : 0;
    }
    // Each 80 ms sequence splice can add or lose a crossing.
    EXPECT_NEAR(crossings, 880, 14);
}

TEST(PlaybackEngine, ClickAskedForABeatAheadOfTimeSoundsOnThatBeat) {
    const std::string dir = ScratchDir("ClickOnBeat");
    UseDiskOutput(dir + "/out.pcm", kRealTimeMs);
    const std::vector<std::int64_t> beats = {13230, 35280, 57330, 79380}; // 0.3 s + k * 0.5 s
    {
        PlaybackEngine engine(PlaybackEngine::Options{dir + "/no-PLINK.WAV"});
        engine.OpenDecoded(MarkerSong(2.2, beats), "beats");
        engine.Play();
        // The metronome's way: poll the position, ask for each beat a lead
        // ahead.
        std::size_t next = 0;
        while (engine.State() == PlayState::kPlaying && next < beats.size()) {
            const double beatSeconds = static_cast<double>(beats[next]) / kRate;
            if (beatSeconds < engine.PositionSeconds() + engine.ClickLeadSeconds()) {
                engine.PlayClickAt(beatSeconds);
                ++next;
            }
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_TRUE(WaitUntil([&] { return engine.State() == PlayState::kStopped; }));
    }
    const std::vector<std::int16_t> out = ReadRawPcm(dir + "/out.pcm");
    std::int64_t from = 0;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const std::int64_t marker = FirstAbove(out, 2, 0, 20000, from);
        ASSERT_GE(marker, 0) << "beat " << i;
        const std::int64_t click = FirstAbove(out, 2, 1, 0, marker - kRate / 10);
        ASSERT_GE(click, 0) << "no click for beat " << i;
        EXPECT_LE(std::abs(click - marker), kRate * 5 / 1000) << "beat " << i;
        from = marker + 1;
    }
}

// PLINK.WAV is played when usable, else the built-in click; a request
// while a click sounds is dropped, not queued, and does not cut the first.
TEST(PlaybackEngine, PlaysPlinkWavOrTheBuiltInClickAndDropsAClickWhileOneSounds) {
    // A 40 ms 8-bit mono ramp at 22050 Hz.
    ClickPcm file{{}, 22050, 1};
    for (int i = 0; i < 882; ++i) {
        file.samples.push_back(static_cast<std::int16_t>((i % 100 + 1) * 256));
    }
    for (const std::string which : {"usable", "missing", "broken"}) {
        SCOPED_TRACE(which);
        const std::string dir = ScratchDir("ClickFile_" + which);
        const std::string plink = dir + "/PLINK.WAV";
        if (which == "usable") {
            testsignals::WriteWav(plink, {.channels = 1, .sampleRate = 22050, .bitsPerSample = 8},
                                  file.samples);
        } else if (which == "broken") {
            WriteBytes(plink, std::string("RIFF\x20\0\0\0WAVEfmt \x10\0\0\0\x07\0", 22));
        }
        UseDiskOutput(dir + "/out.pcm", kRealTimeMs);
        {
            PlaybackEngine engine(PlaybackEngine::Options{plink});
            engine.PlayClick();
            engine.PlayClick(); // the first still sounds: dropped
            std::this_thread::sleep_for(200ms);
            engine.PlayClick();
            std::this_thread::sleep_for(150ms);
        }
        const std::vector<std::int16_t> expected =
            ConvertClick(which == "usable" ? file : BuiltInClick(), kRate, 2);
        const auto clickFrames = static_cast<std::int64_t>(expected.size() / 2);
        const std::int64_t lead = FirstAbove(expected, 2, 0, 0); // the click may start at 0
        const std::vector<std::int16_t> out = ReadRawPcm(dir + "/out.pcm");
        std::vector<std::int64_t> onsets;
        for (std::int64_t at = FirstAbove(out, 2, 0, 0); at >= 0;
             at = FirstAbove(out, 2, 0, 0, at - lead + clickFrames)) {
            const std::int64_t start = at - lead;
            onsets.push_back(start);
            ASSERT_LE(static_cast<std::size_t>(2 * (start + clickFrames)), out.size());
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + 2 * start))
                << "the output is the click, sample for sample";
        }
        EXPECT_EQ(onsets.size(), 2U) << "the second request was dropped, the third played";
    }
}

TEST(PlaybackEngine, DamagedFileFailsToOpenCleanlyAndUnloadsTheSong) {
    const std::string dir = ScratchDir("Damaged");
    std::string noise;
    for (std::uint32_t x = 12345; noise.size() < 20000;) {
        x = x * 1103515245U + 12345U;
        noise.push_back(static_cast<char>(x >> 24));
    }
    const std::pair<const char*, std::string> files[] = {
        {"empty.mp3", ""},
        {"noise.mp3", noise},
        {"missing.mp3", ""}, // not written
        {"text.ogg", "not a vorbis stream"},
        {"cut.wav", std::string("RIFF\x24\0\0\0WAV", 11)},
        {"song.xyz", "whatever"}};
    UseDummyOutput();
    PlaybackEngine engine;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        if (std::string(name) != "missing.mp3") {
            WriteBytes(path, bytes);
        }
        engine.OpenDecoded(SineSong(1.0, 440.0), "previous");
        const std::optional<std::string> error = engine.Open(path);
        ASSERT_TRUE(error);
        EXPECT_FALSE(error->empty());
        EXPECT_EQ(engine.FileName(), "");
        EXPECT_EQ(engine.DurationSeconds(), 0.0);
        engine.Play();
        EXPECT_EQ(engine.State(), PlayState::kStopped);
    }
}

} // namespace
} // namespace player::test

namespace player::test {
namespace {

// 352.8 and 384 kHz are above the time-stretcher's limit: the song plays
// resampled to half the rate, at its own length, also time-stretched.
// Above eight channels (SDL once got 514 narrowed to 8 bits) and outside
// 8-384 kHz the file is refused with the unsupported-format message.
TEST(PlaybackEngine, HighRatesPlayResampledAndTooManyChannelsAreRefused) {
    const std::string dir = ScratchDir("Formats");
    UseDummyOutput();
    PlaybackEngine engine;
    for (const int rate : {352800, 384000}) {
        SCOPED_TRACE(rate);
        const std::string path = dir + "/high.wav";
        testsignals::WriteWav(path, {.channels = 2, .sampleRate = static_cast<std::uint32_t>(rate)},
                              testsignals::SynthesizeMusic(120.0, 0.5, rate, 2));
        const std::optional<std::string> error = engine.Open(path);
        ASSERT_FALSE(error) << *error;
        EXPECT_EQ(engine.FileName(), path);
        // Resampling keeps the length to a few output frames.
        EXPECT_NEAR(engine.DurationSeconds(), 0.5, 1e-4);
        engine.SetRate(0.5);
        engine.Play();
        EXPECT_EQ(engine.State(), PlayState::kPlaying);
        engine.Halt();
        engine.SetRate(1.0);
    }
    for (const auto& [channels, rate] : {std::pair{17, 44100}, {9, 44100}, {2, 2147483647}}) {
        const std::string path = dir + "/refused.wav";
        testsignals::WriteWav(path,
                              {.channels = static_cast<std::uint16_t>(channels),
                               .sampleRate = static_cast<std::uint32_t>(rate)},
                              std::vector<std::int16_t>(static_cast<std::size_t>(channels) * 100));
        const std::optional<std::string> error = engine.Open(path);
        ASSERT_TRUE(error) << channels;
        EXPECT_EQ(*error, "File \"" + path + "\" uses an unsupported sample format (16 bits, " +
                              std::to_string(channels) + " channels, " + std::to_string(rate) +
                              " Hz).");
    }
}

// The slow half of an open runs on another thread and leaves the engine as
// it is (the old song goes on playing); the commit swaps the new one in, or
// unloads and reports the failure as Open does.
TEST(PlaybackEngine, PreparedOpenChangesNothingUntilItsCommit) {
    const std::string dir = ScratchDir("Prepared");
    const std::string path = dir + "/mono.wav";
    testsignals::WriteWav(path, {.channels = 1, .sampleRate = 22050},
                          testsignals::SynthesizeMusic(120.0, 2.0, 22050, 1));
    UseDummyOutput();
    PlaybackEngine engine;
    ASSERT_FALSE(engine.OpenDecoded(SineSong(1.0, 440.0), "previous"));
    engine.Play();

    MediaPlayer::OpenCommit commit;
    std::thread([&] { commit = engine.PrepareOpen(path); }).join();
    EXPECT_EQ(engine.FileName(), "previous");
    EXPECT_DOUBLE_EQ(engine.DurationSeconds(), 1.0);
    EXPECT_EQ(engine.State(), PlayState::kPlaying);
    ASSERT_FALSE(commit());
    EXPECT_EQ(engine.FileName(), path);
    EXPECT_DOUBLE_EQ(engine.DurationSeconds(), 2.0);
    EXPECT_EQ(engine.State(), PlayState::kStopped);
    engine.Play();
    EXPECT_TRUE(WaitUntil([&] { return engine.PositionSeconds() > 0.05; })) << "the new song plays";

    const std::string missing = dir + "/missing.wav";
    std::thread([&] { commit = engine.PrepareOpen(missing); }).join();
    EXPECT_EQ(engine.FileName(), path);
    const std::optional<std::string> error = commit();
    ASSERT_TRUE(error);
    EXPECT_EQ(error, engine.Open(missing)) << "the message Open gives";
    EXPECT_EQ(engine.FileName(), "");
    EXPECT_EQ(engine.DurationSeconds(), 0.0);
}

// A song the time-stretcher would throw on is refused before the engine
// lets go of the one it has, so it never sits half-loaded.
TEST(PlaybackEngine, RefusedSongLeavesTheLoadedOneInPlace) {
    UseDummyOutput();
    PlaybackEngine engine;
    ASSERT_FALSE(engine.OpenDecoded(SineSong(1.0, 440.0), "previous"));
    const SongPcm refused[] = {{std::vector<std::int16_t>(400), 384000, 2},
                               {std::vector<std::int16_t>(1700), 44100, 17},
                               {std::vector<std::int16_t>(401), 44100, 2},
                               {std::vector<std::int16_t>(400), 4000, 1}};
    for (const SongPcm& song : refused) {
        const std::optional<std::string> error = engine.OpenDecoded(song, "refused");
        ASSERT_TRUE(error) << song.channels << " " << song.sampleRate;
        EXPECT_EQ(engine.FileName(), "previous");
        EXPECT_DOUBLE_EQ(engine.DurationSeconds(), 1.0);
    }
    engine.Play();
    EXPECT_TRUE(WaitUntil([&] { return engine.PositionSeconds() > 0.05; }))
        << "the previous song still plays";
}

} // namespace
} // namespace player::test
