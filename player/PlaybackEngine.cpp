#include "player/PlaybackEngine.h"

#include "audio/DecodeWholeFile.h"
#include "audio/FormatLimits.h"
#include "audio/Resample.h"
#include "player/AudioOutput.h"
#include "player/OutputRenderer.h"
#include "player/RealtimePriority.h"
#include "player/StreamFeeder.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <exception>
#include <new>

namespace player {

namespace {

constexpr double kMinRate = 0.01;
constexpr double kMaxRate = 3.0;
// The window computes rates as percent * 0.01f, and 100 * 0.01f is
// 1 - 2.2e-8: that must still mean "untouched", not a time stretch nobody
// could hear.
constexpr double kUnitRateTolerance = 1e-6;
// The output format while no song is loaded (clicks only).
constexpr AudioOutput::Format kIdleFormat{44100, 2};

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

PlaybackEngine::PlaybackEngine() : PlaybackEngine(Options{}) {}

PlaybackEngine::PlaybackEngine(Options options)
    : m_options(std::move(options)),
      m_events([this](std::uint32_t generation) { FinishPlayback(generation); }) {
    const std::lock_guard lock(m_controlMutex);
    m_clickSource = LoadClickOrBuiltIn(m_options.clickFile);
    Publish();
    StartDevice();
}

PlaybackEngine::~PlaybackEngine() {
    m_events.Stop();
    const std::lock_guard lock(m_controlMutex);
    StopFeeder();
    StopDevice();
}

void PlaybackEngine::RenderThunk(void* context, std::int16_t* out, int frames,
                                 std::int64_t latencyNs) {
    auto* engine = static_cast<PlaybackEngine*>(context);
    const std::int64_t nowNs = SteadyNs();
    engine->m_outputLatencyNs.store(latencyNs, std::memory_order_relaxed);
    engine->m_renderer->Render(out, frames, nowNs, latencyNs);
    if (engine->m_options.observer != nullptr) {
        engine->m_options.observer(engine->m_options.observerContext, out, frames,
                                   engine->m_outputChannels, nowNs);
    }
}

// Control mutex held. Makes the control state visible to the lock-free
// readers, the feeder and the audio callback.
void PlaybackEngine::Publish() {
    ControlSnapshot snapshot;
    snapshot.generation = m_generation;
    snapshot.state = m_state;
    snapshot.heldFrame = m_heldFrame;
    snapshot.rate = m_rate;
    snapshot.sampleRate = m_song ? m_song->sampleRate : kIdleFormat.sampleRate;
    snapshot.durationFrames = m_song ? static_cast<double>(m_song->Frames()) : 0.0;
    m_control.Store(snapshot);
    m_shared.generation.store(m_generation, std::memory_order_release);
    m_shared.WakeFeeder();
}

double PlaybackEngine::PositionFrames(const ControlSnapshot& control) const {
    return PositionFramesAt(control, SteadyNs());
}

double PlaybackEngine::PositionFramesAt(const ControlSnapshot& control,
                                        std::int64_t steadyNs) const {
    if (control.state != PlayState::kPlaying) {
        return control.heldFrame;
    }
    const ClockSnapshot clock = m_shared.clock.Load();
    if (clock.generation != control.generation) {
        return control.heldFrame; // the callback has not started this segment
    }
    const std::optional<double> frame = clock.FrameAt(steadyNs);
    if (!frame) {
        return control.heldFrame; // not heard yet
    }
    return std::clamp(*frame, control.heldFrame, control.durationFrames);
}

double PlaybackEngine::PositionSeconds() const {
    const ControlSnapshot control = m_control.Load();
    return PositionFrames(control) / control.sampleRate;
}

double PlaybackEngine::PositionSecondsAt(std::int64_t steadyNs) const {
    const ControlSnapshot control = m_control.Load();
    return PositionFramesAt(control, std::min(steadyNs, SteadyNs())) / control.sampleRate;
}

std::int64_t PlaybackEngine::OutputLatencyNs() const {
    return m_outputLatencyNs.load(std::memory_order_relaxed);
}

int PlaybackEngine::OutputUnderflows() const {
    const std::lock_guard lock(m_controlMutex);
    return m_output ? m_output->Underflows() : 0;
}

double PlaybackEngine::DurationSeconds() const {
    const ControlSnapshot control = m_control.Load();
    return control.durationFrames / control.sampleRate;
}

PlayState PlaybackEngine::State() const {
    return m_control.Load().state;
}

std::string PlaybackEngine::FileName() const {
    const std::lock_guard lock(m_controlMutex);
    return m_fileName;
}

bool PlaybackEngine::PlaysSilently() const {
    return m_silent.load(std::memory_order_relaxed);
}

std::string PlaybackEngine::OutputDriver() const {
    const std::lock_guard lock(m_controlMutex);
    return m_driver;
}

void PlaybackEngine::SetEvents(PlayerEvents events) {
    m_events.SetHandlers(std::move(events));
}

void PlaybackEngine::SetRepeat(std::int32_t count) {
    const std::lock_guard lock(m_controlMutex);
    m_repeat = count; // stored only: the window loops the song itself
}

void PlaybackEngine::SetRate(double rate) {
    if (std::isnan(rate)) {
        return;
    }
    rate = std::clamp(rate, kMinRate, kMaxRate);
    if (std::abs(rate - 1.0) < kUnitRateTolerance) {
        rate = 1.0;
    }
    const std::lock_guard lock(m_controlMutex);
    m_rate = rate;
    Publish();
}

void PlaybackEngine::Play() {
    const std::lock_guard lock(m_controlMutex);
    // A stand-in for a missing song has no name and does not play.
    if (!m_song || m_fileName.empty() || m_state == PlayState::kPlaying) {
        return;
    }
    const PlayState old = m_state;
    m_state = PlayState::kPlaying;
    ++m_generation;
    Publish();
    m_events.PostPlayStateChange(old, PlayState::kPlaying);
}

void PlaybackEngine::Pause() {
    const std::lock_guard lock(m_controlMutex);
    if (m_state != PlayState::kPlaying) {
        return;
    }
    m_heldFrame = PositionFrames(m_control.Load());
    m_state = PlayState::kPaused;
    ++m_generation;
    Publish();
    m_events.PostPlayStateChange(PlayState::kPlaying, PlayState::kPaused);
}

void PlaybackEngine::Halt() {
    const std::lock_guard lock(m_controlMutex);
    const ControlSnapshot control = m_control.Load();
    const double oldSeconds = PositionFrames(control) / control.sampleRate;
    const PlayState old = m_state;
    m_state = PlayState::kStopped;
    m_heldFrame = 0.0;
    ++m_generation;
    Publish();
    if (old != PlayState::kStopped) {
        m_events.PostPlayStateChange(old, PlayState::kStopped);
    }
    if (oldSeconds != 0.0) {
        m_events.PostPositionChange(oldSeconds, 0.0);
    }
}

void PlaybackEngine::SetPositionSeconds(double seconds) {
    const std::lock_guard lock(m_controlMutex);
    if (!m_song) {
        return;
    }
    const ControlSnapshot control = m_control.Load();
    const double oldSeconds = PositionFrames(control) / control.sampleRate;
    const double target = std::isnan(seconds) ? 0.0 : seconds * control.sampleRate;
    m_heldFrame = std::clamp(target, 0.0, control.durationFrames);
    ++m_generation;
    Publish();
    m_events.PostPositionChange(oldSeconds, m_heldFrame / control.sampleRate);
}

std::optional<std::string> PlaybackEngine::Open(const std::string& path) {
    return PrepareOpen(path)();
}

MediaPlayer::OpenCommit PlaybackEngine::PrepareOpen(const std::string& path) {
    // Nothing may escape into the caller's thread (a worker or the window's
    // slot): allocation failures and refusals become the message.
    struct Prepared {
        std::unique_ptr<SongPcm> pcm;
        std::optional<std::string> error;
    };
    // Shared: the commit is a std::function, which must be copyable.
    auto prepared = std::make_shared<Prepared>();
    try {
        audio::Result<audio::DecodedSong> decoded = audio::DecodeWholeFile(path);
        if (!decoded) {
            prepared->error = decoded.error().message;
        } else {
            audio::DecodedSong& song = decoded.value();
            // Above the time-stretcher's limit the song plays resampled.
            const int playbackRate = audio::PlaybackRateFor(song.sampleRate);
            if (playbackRate != song.sampleRate && !audio::ResampleSong(song, playbackRate)) {
                prepared->error =
                    audio::UnsupportedSampleFormatMessage(path, 16, song.channels, song.sampleRate);
            } else {
                prepared->pcm = std::make_unique<SongPcm>(
                    SongPcm{std::move(song.samples), song.sampleRate, song.channels});
            }
        }
    } catch (const std::bad_alloc&) {
        prepared->pcm.reset();
        prepared->error = audio::TooLargeMessage(path);
    }
    return [this, prepared, path] {
        std::optional<std::string> error = prepared->error;
        if (!error) {
            error = Load(std::move(prepared->pcm), path);
        }
        if (error) {
            Load(nullptr, {});
        }
        return error;
    };
}

void PlaybackEngine::OpenSilent(double seconds) {
    // The lowest rate any song may have keeps the stand-in small: 16 KB a
    // second, and never more than twenty minutes of it.
    constexpr double kMaxSeconds = 20.0 * 60.0;
    const double length = std::clamp(std::isnan(seconds) ? 0.0 : seconds, 1.0, kMaxSeconds);
    const auto frames = static_cast<std::size_t>(length * audio::kMinSampleRate);
    auto silence = std::make_unique<SongPcm>(
        SongPcm{std::vector<std::int16_t>(frames, 0), static_cast<int>(audio::kMinSampleRate), 1});
    if (Load(std::move(silence), {})) {
        Load(nullptr, {});
    }
}

bool PlaybackEngine::HasTimeline() const {
    const std::lock_guard lock(m_controlMutex);
    return m_song != nullptr;
}

std::optional<std::string> PlaybackEngine::OpenDecoded(SongPcm song, std::string fileName) {
    return Load(std::make_unique<SongPcm>(std::move(song)), std::move(fileName));
}

std::optional<std::string> PlaybackEngine::Load(std::unique_ptr<SongPcm> song,
                                                std::string fileName) {
    // Everything that can refuse the song runs before the engine lets go of
    // the one it has: a refused song leaves it as it was.
    std::unique_ptr<StreamFeeder> feeder;
    if (song) {
        const bool playable = song->channels >= 1 && song->channels <= audio::kMaxChannels &&
                              song->sampleRate >= audio::kMinSampleRate &&
                              song->sampleRate <= audio::kMaxStretchRate &&
                              song->samples.size() % static_cast<std::size_t>(song->channels) == 0;
        if (!playable) {
            return audio::UnsupportedSampleFormatMessage(fileName, 16, song->channels,
                                                         song->sampleRate);
        }
        try {
            feeder = std::make_unique<StreamFeeder>(*song, m_ring);
        } catch (const std::exception&) {
            // SoundTouch refuses formats by throwing.
            return audio::UnsupportedSampleFormatMessage(fileName, 16, song->channels,
                                                         song->sampleRate);
        }
    }
    const std::lock_guard lock(m_controlMutex);
    const ControlSnapshot control = m_control.Load();
    const double oldSeconds = PositionFrames(control) / control.sampleRate;
    const PlayState old = m_state;
    // The callback never touches the song itself, only rendered chunks, so
    // a song of the same format is swapped under a running device (closing
    // and reopening one takes tens of milliseconds).
    const AudioOutput::Format format = OutputFormatFor(song.get());
    const bool keepDevice = m_output && m_output->SampleRate() == format.sampleRate &&
                            m_output->Channels() == format.channels;
    StopFeeder();
    if (!keepDevice) {
        StopDevice();
    }
    m_song = std::move(song);
    m_fileName = m_song ? std::move(fileName) : std::string();
    m_state = PlayState::kStopped;
    m_heldFrame = 0.0;
    ++m_generation;
    Publish();
    if (!keepDevice) {
        StartDevice();
    }
    m_feeder = std::move(feeder);
    StartFeeder();
    if (old != PlayState::kStopped) {
        m_events.PostPlayStateChange(old, PlayState::kStopped);
    }
    if (oldSeconds != 0.0) {
        m_events.PostPositionChange(oldSeconds, 0.0);
    }
    return std::nullopt;
}

AudioOutput::Format PlaybackEngine::OutputFormatFor(const SongPcm* song) {
    return song ? AudioOutput::Format{song->sampleRate, song->channels} : kIdleFormat;
}

// Control mutex held, device closed.
void PlaybackEngine::StartDevice() {
    const AudioOutput::Format format = OutputFormatFor(m_song.get());
    m_ring.Reset(format.channels);
    m_outputChannels = format.channels;
    m_shared.clicks.Clear();
    m_shared.ticks.Clear();
    m_click = ConvertClick(m_clickSource, format.sampleRate, format.channels);
    m_tick = ConvertClick(BuiltInTick(format.sampleRate), format.sampleRate, format.channels);
    m_output = AudioOutput::Open(format, &PlaybackEngine::RenderThunk, this);
    m_silent.store(!m_output || !m_output->Audible(), std::memory_order_relaxed);
    m_outputLatencyNs.store(m_output ? m_output->LatencyNs() : 0, std::memory_order_relaxed);
    m_driver = m_output ? m_output->DriverName() : std::string();
    if (!m_output) {
        return;
    }
    const OutputTiming timing{format.sampleRate, format.channels, m_output->LatencyNs(),
                              m_output->ReportsServerTiming() ? OutputClock::kServerMemoryNs
                                                              : OutputClock::kCallbackMemoryNs};
    m_renderer = std::make_unique<OutputRenderer>(m_ring, m_shared, m_click, m_tick, timing);
    const std::int64_t bufferNs =
        static_cast<std::int64_t>(m_output->BufferFrames()) * 1'000'000'000 / format.sampleRate;
    m_clickLeadNs.store(m_output->LatencyNs() + bufferNs * 3 / 2, std::memory_order_relaxed);
    m_output->Start();
}

// Control mutex held. Afterwards the audio callback does not run.
void PlaybackEngine::StopDevice() {
    m_output.reset();
    m_renderer.reset();
}

// Control mutex held, feeder stopped, m_feeder made for m_song.
void PlaybackEngine::StartFeeder() {
    if (!m_song || !m_feeder) {
        return;
    }
    m_stopFeeder.store(false, std::memory_order_relaxed);
    m_feederThread = std::thread([this] { FeederLoop(); });
}

// Control mutex held. Afterwards the feeder thread does not run.
void PlaybackEngine::StopFeeder() {
    if (m_feederThread.joinable()) {
        m_stopFeeder.store(true, std::memory_order_release);
        m_shared.WakeFeeder();
        m_feederThread.join();
    }
    m_feeder.reset();
}

void PlaybackEngine::FeederLoop() {
    // The ring holds about 90 ms: on a machine busy with other work the
    // feeder must not wait behind ordinary threads, or the listener hears a
    // gap. Just below the audio output's own priority, where allowed.
    constexpr int kFeederPriority = 4;
    RequestRealtimePriority(kFeederPriority);
    std::uint32_t reportedEnd = 0;
    for (;;) {
        const std::int32_t wake = m_shared.feederWake.load(std::memory_order_acquire);
        if (m_stopFeeder.load(std::memory_order_acquire)) {
            return;
        }
        const ControlSnapshot control = m_control.Load();
        try {
            m_feeder->Fill(FeedCommand{control.generation, control.state == PlayState::kPlaying,
                                       control.heldFrame, control.rate});
        } catch (const std::exception&) {
            // SoundTouch allocates as it stretches. Out of memory, the feeder
            // stops: the output runs dry and holds its position, and no
            // exception ends the program from this thread.
            return;
        }
        const std::uint32_t ended = m_shared.endGeneration.load(std::memory_order_acquire);
        if (ended != reportedEnd && ended == control.generation) {
            reportedEnd = ended;
            m_events.ScheduleEnd(ended, m_shared.endHeardAtNs.load(std::memory_order_relaxed));
        }
        m_shared.feederWake.wait(wake, std::memory_order_acquire);
    }
}

// Dispatcher thread: the last frame of segment `generation` is being heard.
void PlaybackEngine::FinishPlayback(std::uint32_t generation) {
    assert(m_events.OnDispatcherThread());
    const std::lock_guard lock(m_controlMutex);
    if (generation != m_generation || m_state != PlayState::kPlaying || !m_song) {
        return; // a seek, pause or halt came first
    }
    m_state = PlayState::kStopped;
    m_heldFrame = static_cast<double>(m_song->Frames());
    ++m_generation;
    Publish();
    m_events.PostPlayStateChange(PlayState::kPlaying, PlayState::kStopped);
    m_events.PostEndOfPlayback();
}

void PlaybackEngine::PlayClick() {
    m_shared.clicks.Request(ClickRequests::kNow, 0);
}

void PlaybackEngine::PlayClickAt(double songSeconds) {
    const ControlSnapshot control = m_control.Load();
    if (control.state != PlayState::kPlaying || std::isnan(songSeconds)) {
        PlayClick();
        return;
    }
    m_shared.clicks.Request(songSeconds * control.sampleRate, control.generation);
}

void PlaybackEngine::PlayTickAt(double songSeconds) {
    const ControlSnapshot control = m_control.Load();
    if (control.state != PlayState::kPlaying || std::isnan(songSeconds)) {
        return;
    }
    m_shared.ticks.Request(songSeconds * control.sampleRate, control.generation);
}

double PlaybackEngine::ClickLeadSeconds() const {
    const double rate = m_control.Load().rate;
    return static_cast<double>(m_clickLeadNs.load(std::memory_order_relaxed)) * 1e-9 * rate;
}

} // namespace player
