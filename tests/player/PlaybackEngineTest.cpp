// The player: the engine as the window and a listener see it, through
// SDL's dummy driver (no device; the engine plays silently, its clock
// running as if it played) and through the real sound server; and the
// pieces under it driven by hand on a made-up clock: the feeder and the
// audio callback's renderer (what the engine plays, where clicks land) and
// the click samples.
#include "player/PlaybackEngine.h"

#include "ServerTimingProbe.h"
#include "TestSignals.h"
#include "player/ClickSamples.h"
#include "player/EventDispatcher.h"
#include "player/KeyPressTime.h"
#include "player/OutputRenderer.h"
#include "player/PlaybackShared.h"
#include "player/StreamFeeder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <numbers>
#include <sstream>
#include <thread>

namespace player::test {
namespace {

using namespace std::literals;

constexpr int kRate = 44100;

// A path in this program's scratch folder under the build tree.
std::string Scratch(const std::string& name) {
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP "/player");
    return BEATWRIGHT_TEST_TMP "/player/" + name;
}

// Stereo song of `seconds`; `sample(frame, channel)` gives each sample.
SongPcm MakeSong(double seconds, const std::function<long(std::size_t, int)>& sample) {
    SongPcm song{std::vector<std::int16_t>(std::size_t(seconds * kRate) * 2), kRate, 2};
    for (std::size_t i = 0; i < song.samples.size(); ++i)
        song.samples[i] = static_cast<std::int16_t>(sample(i / 2, static_cast<int>(i % 2)));
    return song;
}

// Samples that name their own frame: left holds (frame + 1)'s low 15 bits,
// right the next 15, so any output sample says which song frame it is.
SongPcm IndexedSong(double seconds) {
    return MakeSong(seconds, [](std::size_t frame, int channel) {
        return long((frame + 1) >> (15 * channel)) & 0x7FFF;
    });
}
std::int64_t IndexedFrame(const std::int16_t* stereoFrame) { // -1 for silence
    return (std::int64_t{stereoFrame[0]} | (std::int64_t{stereoFrame[1]} << 15)) - 1;
}

void UseDummyOutput() { // no device: the engine plays silently, its clock running
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// The events a player raises on its dispatcher thread.
struct EventLog {
    struct Event {
        std::string kind; // "state", "position" or "end"
        double from = 0.0, to = 0.0;
    };
    std::mutex mutex;
    std::vector<Event> events;
    void Add(Event event) {
        const std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::vector<Event> Events() {
        const std::lock_guard lock(mutex);
        return events;
    }
    PlayerEvents Handlers() {
        PlayerEvents e;
        e.endOfPlayback = [this] { Add({"end"}); };
        e.playStateChange = [this](auto a, auto b) { Add({"state", double(a), double(b)}); };
        e.positionChange = [this](double a, double b) { Add({"position", a, b}); };
        return e;
    }
};

TEST(PlaybackEngine, EventsComeInOrderForOpenPlaySeekPauseHaltAndTheEnd) {
    UseDummyOutput();
    EventLog log; // outlives the engine, whose thread calls it
    PlaybackEngine engine;
    EXPECT_EQ(std::pair(engine.PlaysSilently(), engine.OutputDriver()), std::pair(true, "dummy"s));
    engine.SetEvents(log.Handlers());
    ASSERT_FALSE(engine.OpenDecoded(IndexedSong(2.0), "song.wav"));
    EXPECT_EQ(std::pair(engine.FileName(), engine.DurationSeconds()), std::pair("song.wav"s, 2.0));
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
    // Played to the end, and again as the window loops a song.
    for (int end = 1; end <= 2; ++end) {
        engine.SetPositionSeconds(1.8);
        engine.Play();
        ASSERT_TRUE(WaitUntil([&] {
            return std::ranges::count(log.Events(), "end"s, &EventLog::Event::kind) == end;
        }));
        EXPECT_EQ(std::pair(engine.State(), engine.PositionSeconds()),
                  std::pair(PlayState::kStopped, 2.0))
            << "stays at the end";
    }
    EXPECT_TRUE(engine.Open(Scratch("missing.mp3")));
    engine.Play(); // nothing loaded: nothing
    EXPECT_EQ(std::pair(engine.FileName(), engine.DurationSeconds()), std::pair(""s, 0.0));
    std::this_thread::sleep_for(100ms); // time for a stray extra event to show
    const std::vector<EventLog::Event> events = log.Events();
    ASSERT_EQ(events.size(), 16U);
    // Where playback was when paused and when halted: at least where it
    // started; "nan" below.
    EXPECT_TRUE(events[3].from >= 0.5 && events[6].from >= 1.25);
    std::ostringstream seen; // play states: 0 stopped, 1 paused, 2 playing
    for (std::size_t i = 0; i < events.size(); ++i)
        seen << events[i].kind << ' ' << (i == 3 || i == 6 ? std::nan("") : events[i].from) << '>'
             << events[i].to << "; ";
    EXPECT_EQ(seen.str(),
              "position 0>0.5; state 0>2; state 2>1; position nan>1.25; state 1>2; state 2>0; "
              "position nan>0; position 0>1.8; state 0>2; state 2>0; end 0>0; "
              "position 2>1.8; state 0>2; state 2>0; end 0>0; position 2>0; ");
}

// A window replaces its handlers with none and is destroyed while one of
// its handlers is still running. SetHandlers must not return before that
// handler has: afterwards the window is gone, and AddressSanitizer reports
// the handler's late touch as a use after free.
TEST(EventDispatcher, ReplacingHandlersWaitsForTheOneRunning) {
    EventDispatcher dispatcher([](std::uint32_t) {});
    auto window = std::make_unique<std::atomic<int>>(0); // what its handler touches
    std::promise<void> entered;
    std::promise<void> release;
    PlayerEvents events;
    events.positionChange = [&, released = release.get_future().share(),
                             target = window.get()](double, double) {
        entered.set_value();
        released.wait();
        ++*target;
    };
    dispatcher.SetHandlers(std::move(events));
    dispatcher.PostPositionChange(0.0, 1.0);
    entered.get_future().wait();
    // Released a little later from elsewhere: without the wait, SetHandlers
    // would return while the handler is still blocked.
    std::thread releaser([&] {
        std::this_thread::sleep_for(50ms);
        release.set_value();
    });
    dispatcher.SetHandlers({});
    EXPECT_EQ(window->load(), 1);
    window.reset();
    dispatcher.PostPositionChange(1.0, 2.0); // no handler: nothing runs
    releaser.join();
    dispatcher.Stop();
}

// A handler may replace the handlers itself without waiting on itself;
// the events after it go to the new ones.
TEST(EventDispatcher, AHandlerMayReplaceTheHandlers) {
    EventDispatcher dispatcher([](std::uint32_t) {});
    std::atomic<int> ends{0};
    std::atomic<int> positions{0};
    PlayerEvents events;
    events.endOfPlayback = [&] {
        ++ends;
        dispatcher.SetHandlers({{}, {}, [&](double, double) { ++positions; }});
    };
    dispatcher.SetHandlers(std::move(events));
    dispatcher.PostEndOfPlayback();
    dispatcher.PostEndOfPlayback();
    dispatcher.PostPositionChange(0.0, 1.0);
    EXPECT_TRUE(WaitUntil([&] { return positions > 0; }));
    dispatcher.Stop();
    EXPECT_EQ(std::pair(ends.load(), positions.load()), std::pair(1, 1));
}

// Every buffer the engine hands the device: when its callback ran (with the
// dummy driver, when the buffer starts to "play") and its first song frame
// (-1: silence).
struct Delivered {
    std::vector<std::pair<std::int64_t, std::int64_t>> buffers;
    static void Observe(void* context, const std::int16_t* samples, int, int, std::int64_t atNs) {
        static_cast<Delivered*>(context)->buffers.emplace_back(atNs, IndexedFrame(samples));
    }
};

// A seek while playing holds its target until the new audio is heard, and
// what is heard then starts exactly on its frame. A key press handled 50 ms
// late finds the position it was made at: between two reads (a busy machine
// may widen the bracket, never break it), to the 2 ms step input must hold;
// paused, the held position. (How far the position is from the real
// output: ServerTiming.)
TEST(PlaybackEngine, ASeekLandsExactlyAndALatePressFindsItsPosition) {
    UseDummyOutput();
    Delivered delivered;
    delivered.buffers.reserve(10000); // the callback must not allocate
    std::int64_t seekNs = 0;
    {
        PlaybackEngine engine({"PLINK.WAV", &Delivered::Observe, &delivered});
        ASSERT_FALSE(engine.OpenDecoded(IndexedSong(2.0), "indexed"));
        engine.Play();
        ASSERT_TRUE(WaitUntil([&] { return engine.PositionSeconds() > 0.3; }));
        const double before = engine.PositionSeconds();
        const std::int64_t pressNs = KeyPressTime::NowNs();
        const double after = engine.PositionSeconds();
        std::this_thread::sleep_for(50ms);
        ASSERT_GT(engine.PositionSeconds() - after, 0.045) << "the song moved on meanwhile";
        const double recalled = engine.PositionSecondsAt(pressNs);
        EXPECT_TRUE(recalled >= before - 0.002 && recalled <= after + 0.002) << recalled;
        seekNs = KeyPressTime::NowNs();
        engine.SetPositionSeconds(1.5);
        EXPECT_EQ(engine.PositionSeconds(), 1.5) << "held until heard";
        ASSERT_TRUE(WaitUntil([&] { return engine.PositionSeconds() > 1.6; }));
        engine.Pause();
        EXPECT_EQ(engine.PositionSecondsAt(pressNs), engine.PositionSeconds());
    } // the audio thread has ended: `delivered` is ours to read
    const auto landed = std::ranges::find_if(delivered.buffers, [&](auto buffer) {
        return buffer.first > seekNs && buffer.second >= kRate;
    });
    ASSERT_NE(landed, delivered.buffers.end());
    EXPECT_EQ(landed->second, kRate * 3 / 2);
}

// A decoded song outside 8-192 kHz, above eight channels (SDL once got 514
// narrowed to 8 bits) or with a partial frame is refused before the engine
// lets go of the one it has (the time-stretcher would throw on it). The
// slow half of an open runs on another thread and changes nothing (the old
// song goes on playing); the commit swaps the new one in, or unloads and
// reports the failure as Open does. 352.8 and 384 kHz are above the
// time-stretcher's limit: such a song plays resampled to half its rate, at
// its own length (to a few output frames), time-stretched too.
TEST(PlaybackEngine, RateRefusedAndPreparedOpensChangeNothingUntilTheyCommit) {
    UseDummyOutput();
    PlaybackEngine engine;
    // The window computes 100 % as 100 * 0.01f = 1 - 2.2e-8: that must play
    // the song's own samples, not a time stretch. The click lead (song
    // seconds at the rate) shows the rate the engine took.
    const double lead = engine.ClickLeadSeconds();
    ASSERT_GT(lead, 0.0);
    const std::pair<double, double> rates[] = {{0.5, 0.5},  {100 * 0.01f, 1.0}, {std::nan(""), 1.0},
                                               {10.0, 3.0}, {0.0, 0.01},        {-1.0, 0.01}};
    for (const auto& [asked, taken] : rates) {
        engine.SetRate(1.0);
        engine.SetRate(asked);
        EXPECT_EQ(engine.ClickLeadSeconds(), lead * taken) << asked;
    }
    ASSERT_FALSE(engine.OpenDecoded(IndexedSong(1.0), "previous"));
    engine.SetRate(0.5);
    engine.Play();
    std::string previous = "previous";
    for (const auto& [samples, rate, channels] :
         {std::tuple{400, 384000, 2}, {900, 44100, 9}, {401, 44100, 2}, {400, 4000, 1}}) {
        EXPECT_EQ(engine.OpenDecoded(
                      {std::vector<std::int16_t>(std::size_t(samples)), rate, channels}, "x.wav"),
                  "File \"x.wav\" uses an unsupported sample format (16 bits, " +
                      std::to_string(channels) + " channels, " + std::to_string(rate) + " Hz).");
        EXPECT_EQ(std::pair(engine.FileName(), engine.State()),
                  std::pair(previous, PlayState::kPlaying));
    }
    const auto prepare = [&](const std::string& path) {
        MediaPlayer::OpenCommit commit;
        std::thread([&] { commit = engine.PrepareOpen(path); }).join();
        EXPECT_EQ(std::pair(engine.FileName(), engine.State()),
                  std::pair(previous, PlayState::kPlaying));
        return commit();
    };
    using Song = std::tuple<std::uint32_t, std::uint16_t, double>; // Hz, channels, seconds
    for (const auto& [rate, channels, seconds] :
         {Song{22050, 1, 2.0}, Song{352800, 2, 0.5}, Song{384000, 2, 0.5}}) {
        const std::string path = Scratch(std::to_string(rate) + ".wav");
        testsignals::WriteWav(path, {.channels = channels, .sampleRate = rate},
                              testsignals::SynthesizeMusic(120.0, seconds, int(rate), channels));
        ASSERT_EQ(prepare(path), std::nullopt);
        EXPECT_EQ(std::pair(engine.FileName(), engine.State()),
                  std::pair(path, PlayState::kStopped));
        EXPECT_NEAR(engine.DurationSeconds(), seconds, 1e-4);
        engine.Play();
        EXPECT_TRUE(WaitUntil([&] { return engine.PositionSeconds() > 0.05; })) << path;
        previous = path;
    }
    const std::string text = Scratch("text.ogg");
    testsignals::WriteFile(text, {'n', 'o', 't', ' ', 'o', 'g', 'g'});
    EXPECT_EQ(prepare(text), "File \"" + text + "\" is corrupt or not an Ogg Vorbis file.");
    EXPECT_EQ(std::tuple(engine.FileName(), engine.DurationSeconds(), engine.State()),
              std::tuple(""s, 0.0, PlayState::kStopped));
}

// A key event's stamp is the 32-bit millisecond counter of the same steady
// clock; one older than a second, from the future or missing (0) is no
// sane stamp, and the press is dated when it is handled.
TEST(KeyPressTime, DatesThePressFromASaneStampOnly) {
    constexpr std::int64_t kMs = 1'000'000;
    constexpr std::int64_t kHandled = 5'000'123'456'789; // 5000 s and a fraction
    constexpr std::int64_t kWrap = 4'294'967'296LL * kMs;
    const std::tuple<const char*, std::uint64_t, std::int64_t, std::int64_t> cases[] = {
        {"50 ms ago", 5'000'073, kHandled, kHandled - 50 * kMs},
        {"this millisecond", 5'000'123, kHandled, kHandled},
        {"synthesized, no stamp", 0, kHandled, kHandled},
        {"from the future", 5'000'200, kHandled, kHandled},
        {"a second ago", 4'999'123, kHandled, kHandled - 1000 * kMs},
        {"older than a second", 4'999'000, kHandled, kHandled},
        {"across the counter's wrap", 0xFFFF'FFF6u, kWrap + 30 * kMs, kWrap - 10 * kMs}};
    for (const auto& [what, eventMs, handledNs, expectedNs] : cases)
        EXPECT_EQ(KeyPressTime::PressedAtNs(eventMs, handledNs), expectedNs) << what;
}

// The real output path: clicks on every beat of a 60 s song through the
// sound server's null sink, recorded from its monitor. scripts/run-tests.sh
// starts the server and sets BEATWRIGHT_SOUND_SERVER.
TEST(ServerTiming, ClicksThroughTheSoundServerLandWhereTheEngineSaysTheyAreHeard) {
    if (std::getenv("BEATWRIGHT_SOUND_SERVER") == nullptr)
        GTEST_SKIP() << "no sound server started for the tests (scripts/run-tests.sh starts one)";
    ServerTimingFigures f = MeasureServerTiming(60.0, 60.0);
    // The server saying our audio came late is, on a machine shared with
    // builds, the scheduler's doing, not the engine's timing. Once more; a
    // second gap fails below.
    if (f.error.empty() && f.underflows > 0)
        f = MeasureServerTiming(60.0, 60.0);
    ASSERT_TRUE(f.error.empty()) << f.error;
    // Faults, not figures (scripts/bench-timing.sh prints those against
    // their targets). Clicks in the song are sample-exact, so any spacing
    // error over 1 ms is a gap in the output. A position that ignored the
    // server's own clock (a null sink's runs about 200 ppm off ours) would
    // drift 12 ms a minute; 5 ms leaves room for a machine busy with other
    // builds (up to 4 ms a minute was seen under the sanitizers while the
    // position followed each latency report; the fitted line now keeps
    // within 0.2 ms in the benchmark). A latency off by one of the SDL
    // path's assumed buffers would be 20 ms out; the issue asks for 5.
    EXPECT_LT(f.jitterMaxMs, 1.0) << f.underflows << " underflows";
    EXPECT_LT(std::abs(f.driftMsPerMinute), 5.0);
    EXPECT_LT(std::abs(f.reportedLatencyMs - f.measuredLatencyMs), 5.0)
        << "reported " << f.reportedLatencyMs << " ms, measured " << f.measuredLatencyMs;
}

constexpr int kBuffer = 1024;
constexpr double kBufferNs = kBuffer * 1e9 / kRate;

// The feeder, the ring and the renderer as the engine wires them; the test
// calls the callback at the times it chooses.
struct Pipeline {
    explicit Pipeline(SongPcm songPcm, std::int64_t latencyNs = 20'000'000)
        : song(std::move(songPcm)), feeder(song, ring),
          renderer(ring, shared, click, {kRate, 2, latencyNs}) {
        ring.Reset(2);
    }

    void Start(double startFrame, double rate) {
        command = {shared.generation.load() + 1, true, startFrame, rate};
        shared.generation.store(command.generation);
        feeder.Fill(command);
    }
    // Callback k at k buffers; the feeder then tops the ring up again.
    void Callback(int k) {
        output.resize(output.size() + kBuffer * 2);
        renderer.Render(&output[output.size() - kBuffer * 2], kBuffer, std::llround(k * kBufferNs));
        feeder.Fill(command);
    }
    void Callbacks(int from, int to) {
        for (int k = from; k < to; ++k)
            Callback(k);
    }
    // Onsets of clicks (the right channel carries only the click).
    std::vector<std::int64_t> ClickOnsets() const {
        std::vector<std::int64_t> onsets;
        for (std::int64_t frame = 0; frame < std::ssize(output) / 2; ++frame) {
            if (output[std::size_t(2 * frame + 1)] != 0 &&
                (onsets.empty() || frame >= onsets.back() + std::ssize(click) / 2))
                onsets.push_back(frame);
        }
        return onsets;
    }

    SongPcm song;
    std::vector<std::int16_t> click = ConvertClick(BuiltInClick(), kRate, 2);
    ChunkRing ring;
    PlaybackShared shared;
    StreamFeeder feeder;
    OutputRenderer renderer;
    FeedCommand command;
    std::vector<std::int16_t> output;
};

// Output frame n plays song frame n * rate: a click asked for ahead starts
// on the first frame at or after its beat (the built-in click rises within
// a few samples); one for now, at the next buffer. A click due while
// another sounds is dropped; one waiting for a frame of a segment that was
// then left (a seek) never sounds.
TEST(PlaybackPipeline, ClicksStartOnTheirSongFrameAndDropWhileOneSoundsOrWhenStale) {
    for (const double rate : {1.0, 0.5, 1.5}) {
        SCOPED_TRACE(rate);
        Pipeline p(MakeSong(3.0, [](std::size_t, int) { return 0L; }));
        p.Start(0.0, rate);
        const auto clickFrames = double(p.click.size() / 2);
        const double dropped = 5000.0 + rate * clickFrames / 2;
        const double last = 5000.0 + rate * (clickFrames + 100);
        for (const double at : {ClickRequests::kNow, 5000.0, dropped, last})
            ASSERT_TRUE(p.shared.clicks.Request(at, p.command.generation));
        p.Callbacks(0, 20);
        ASSERT_TRUE(p.shared.clicks.Request(60000.0, p.command.generation));
        p.Callback(20);
        p.Start(50000.0, rate);
        p.Callbacks(21, 40);
        const std::vector<std::int64_t> onsets = p.ClickOnsets();
        ASSERT_EQ(onsets.size(), 3U);
        for (std::size_t i = 0; i < 3; ++i) {
            const auto expected = static_cast<std::int64_t>(
                std::ceil(std::vector{0.0, 5000.0, last}[i] / rate - 1e-9));
            EXPECT_TRUE(onsets[i] >= expected && onsets[i] - expected <= 5)
                << onsets[i] << " for " << expected;
        }
    }
}

// Half speed through the time-stretcher, switched to ten buffers into the
// song: song time carries on from the next frame due without a gap, the
// rest of the 2 s song takes twice as long, and a 440 Hz tone stays 440 Hz.
TEST(PlaybackPipeline, HalfRateCarriesOnFromTheNextFrameAtTheSamePitchTakingTwiceAsLong) {
    const auto sine = [](std::size_t frame, int) {
        return std::lround(16384.0 *
                           std::sin(2.0 * std::numbers::pi * 440.0 * double(frame) / kRate));
    };
    Pipeline p(MakeSong(2.0, sine), 0);
    p.Start(0.0, 1.0);
    p.Callbacks(0, 10);
    p.command.rate = 0.5;
    p.feeder.Fill(p.command);
    double previousEnd = -1.0;
    for (int k = 10; k < 200; ++k) {
        p.Callback(k);
        const ClockSnapshot clock = p.shared.clock.Load();
        for (int i = 0; i < clock.count; ++i) {
            const ClockPiece& piece = clock.pieces[static_cast<std::size_t>(i)];
            if (piece.startFrame < previousEnd - 1e-6)
                continue; // seen in an earlier snapshot
            ASSERT_TRUE(previousEnd < 0.0 || std::abs(piece.startFrame - previousEnd) < 1e-6)
                << "a gap or jump in song time at " << piece.startFrame;
            previousEnd = piece.endFrame;
        }
    }
    // The ring's 4096 frames, rendered ahead at rate 1, play out first; the
    // stretch starts half a sequence (20 ms at this rate) early, and its
    // crossfades may leave a few exact zeros at the end: 50 ms of slack.
    std::int64_t lastSound = std::ssize(p.output) / 2 - 1;
    while (lastSound > 0 && p.output[static_cast<std::size_t>(2 * lastSound)] == 0)
        --lastSound;
    constexpr double kEndFrame = 14 * kBuffer + 2.0 * (2 * kRate - 14 * kBuffer);
    EXPECT_NEAR(double(lastSound), kEndFrame, 0.05 * kRate);
    // Its end is heard after exactly those frames, and reported once heard.
    EXPECT_EQ(p.shared.endGeneration.load(), p.command.generation);
    EXPECT_NEAR(double(p.shared.endHeardAtNs.load()) * kRate / 1e9, kEndFrame, 1.0);
    // Zero crossings over one second of the stretched part: 880 for 440 Hz.
    // Each 80 ms sequence splice can add or lose a crossing.
    int crossings = 0;
    for (std::size_t f = kRate; f < 2 * kRate; ++f)
        crossings += (p.output[2 * f] < 0) != (p.output[2 * f + 2] < 0) ? 1 : 0;
    EXPECT_NEAR(crossings, 880, 14);
}

// PLINK.WAV is read at any integer PCM width and layout (8-bit keeps only
// the top byte of each sample); the built-in click stands in for a missing
// or broken one: the original's 625 unsigned 8-bit samples at 11127 Hz.
TEST(ClickSamples, ReadsAnyIntegerPcmWavElseTheBuiltInClick) {
    const std::string path = Scratch("PLINK.WAV");
    using Format = std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>; // bits, channels, Hz
    for (const auto& [bits, channels, rate] :
         {Format{8, 1, 11025}, Format{16, 2, 44100}, Format{24, 1, 48000}, Format{32, 2, 22050},
          Format{16, 6, 8000}}) {
        ClickPcm click{{}, int(rate), channels}; // a ramp on every channel, their signs alternating
        for (int i = 0; i < 300 * channels; ++i)
            click.samples.push_back(static_cast<std::int16_t>(
                (i % 2 * 2 - 1) * (i / channels % 120) * (bits == 8 ? 256 : 251)));
        testsignals::WriteWav(
            path, {.channels = channels, .sampleRate = rate, .bitsPerSample = bits}, click.samples);
        const ClickPcm loaded = LoadClickOrBuiltIn(path);
        EXPECT_EQ(std::tuple(loaded.samples, loaded.sampleRate, loaded.channels),
                  std::tuple(click.samples, int(rate), int(channels)))
            << bits;
    }
    const ClickPcm builtIn = BuiltInClick();
    EXPECT_EQ(std::tuple(builtIn.samples.size(), builtIn.sampleRate, builtIn.channels),
              std::tuple(625U, 11127, 1));
    testsignals::WriteFile(path, {'R', 'I', 'F', 'F', 20,  0,  0, 0, 'W', 'A', 'V',
                                  'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,   7,   0});
    EXPECT_EQ(LoadClickOrBuiltIn(path).samples, builtIn.samples) << "a fmt chunk cut short";
}

// Same channel count: kept apart; double rate: every other sample is
// halfway between its neighbours, the last towards silence. Other channel
// counts: mixed to mono, then copied to every channel.
TEST(ClickSamples, ConvertsRateAndChannelsForTheOutput) {
    const ClickPcm stereo{{1000, -1000, 2000, -2000, 3000, -3000, 4000, -4000}, 22050, 2};
    EXPECT_EQ(ConvertClick(stereo, 44100, 2),
              (std::vector<std::int16_t>{1000, -1000, 1500, -1500, 2000, -2000, 2500, -2500, 3000,
                                         -3000, 3500, -3500, 4000, -4000, 2000, -2000}));
    EXPECT_EQ(ConvertClick({{1000, 3000}, 44100, 1}, 44100, 3),
              (std::vector<std::int16_t>{1000, 1000, 1000, 3000, 3000, 3000}));
    EXPECT_EQ(ConvertClick(stereo, 22050, 1), (std::vector<std::int16_t>{0, 0, 0, 0}));
    // The built-in click at 44.1 kHz lasts as long as at 11127 Hz.
    EXPECT_EQ(ConvertClick(BuiltInClick(), 44100, 2).size(), 2U * 2478U);
}

} // namespace
} // namespace player::test
