#pragma once

#include "player/AudioOutput.h"
#include "player/ChunkRing.h"
#include "player/ClickSamples.h"
#include "player/EventDispatcher.h"
#include "player/MediaPlayer.h"
#include "player/PlaybackShared.h"
#include "player/SeqLock.h"
#include "player/SongPcm.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace player {

class OutputRenderer;
class StreamFeeder;

// The media player: plays a whole decoded song through SDL audio at 1 % to
// 300 % speed with the pitch kept, and the metronome click mixed into the
// same output, and the note tick beside it.
//
// Threads. Control calls (Open, Play, seek, ...) may come from any thread;
// they serialize on a mutex that the audio callback never touches.
// PositionSeconds, State and DurationSeconds are lock-free. Three
// threads of the engine's own: SDL's audio callback (see OutputRenderer for
// its rules), the feeder that renders the song ahead of it (StreamFeeder),
// and the dispatcher that delivers events (EventDispatcher).
//
// Position: the song time of the sample the listener hears now. The
// callback publishes, per buffer, when its frames will be heard (the output
// latency added, callback jitter smoothed); readers extrapolate along that
// with the steady clock. It never runs backwards while playing; right after
// a seek or play it holds the target until the new audio is heard.
//
// Clicks on the beat: a metronome calls PlayClickAt(beat) early, as soon as
// PositionSeconds() + ClickLeadSeconds() passes the beat. The request goes
// through a lock-free slot to the audio callback, which mixes the click in
// from the very output frame that carries the beat's song frame; that frame
// reaches the listener one output latency later, and the click with it. A
// request that comes too late sounds at once, like PlayClick.
//
// Events, in this order:
// - Open (success or failure): play state old -> stopped if it was not
//   stopped, then position old -> 0 if it was not 0.
// - Play: stopped/paused -> playing. Pause: playing -> paused.
// - Halt: old -> stopped if not stopped, then position old -> 0 if not 0.
// - SetPositionSeconds (with a song loaded): position old -> new, always.
// - End of the song heard: playing -> stopped, then end of playback; the
//   position stays at the end.
class PlaybackEngine final : public MediaPlayer, public ClickSound {
public:
    // Sees every buffer the engine delivers to the device, with the steady
    // clock at which the callback started; for measuring the engine (tests,
    // benchmarks). Runs in the audio callback and must obey its rules.
    using OutputObserver = void (*)(void* context, const std::int16_t* samples, int frames,
                                    int channels, std::int64_t callbackSteadyNs);

    struct Options {
        // The click sound, read once when the engine starts (relative to the
        // current directory); the built-in click when it is missing or is
        // not a readable PCM WAV.
        std::string clickFile = "PLINK.WAV";
        OutputObserver observer = nullptr;
        void* observerContext = nullptr;
    };

    PlaybackEngine();
    explicit PlaybackEngine(Options options);
    ~PlaybackEngine() override;
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    double PositionSeconds() const override;
    // From the clock pieces of the current segment: exact for the last
    // 150 ms or more of playing; before the segment was heard, its start.
    double PositionSecondsAt(std::int64_t steadyNs) const override;
    void SetPositionSeconds(double seconds) override;
    double DurationSeconds() const override;
    std::string FileName() const override;
    // Clamped to 0.01..3.0; within a millionth of 1.0 counts as exactly 1.0
    // (the song's own samples), so 100 % is untouched however it was
    // computed.
    void SetRate(double rate) override;
    void SetRepeat(std::int32_t count) override;
    void Play() override;
    void Pause() override;
    void Halt() override;
    PlayState State() const override;
    [[nodiscard]] std::optional<std::string> Open(const std::string& path) override;
    // Decodes (and resamples) the song on the calling thread without taking
    // the control mutex; the commit swaps it in as OpenDecoded does, or
    // unloads and reports the failure as Open does. The engine must outlive
    // the commit.
    [[nodiscard]] OpenCommit PrepareOpen(const std::string& path) override;
    void OpenSilent(double seconds) override;
    bool HasTimeline() const override;
    void SetEvents(PlayerEvents events) override;
    bool PlaysSilently() const override;

    // Click now, mixed into the output (drops while a click sounds).
    void PlayClick() override;
    // Click on the output frame where song time songSeconds is heard. Exact
    // (to a frame) when called at least ClickLeadSeconds() of song time
    // before songSeconds is heard; later calls click at once. While not
    // playing it clicks at once.
    void PlayClickAt(double songSeconds) override;
    // Song seconds ahead of the heard position a PlayClickAt must come:
    // output latency plus a buffer and a half (the callback renders a
    // buffer at a time; the half covers a caller that polls), at the rate.
    double ClickLeadSeconds() const override;
    // The note tick on the output frame where songSeconds is heard, exact
    // under the same lead as PlayClickAt; a later call ticks at the next
    // buffer. Not playing, or a song time that is not a number: no tick.
    void PlayTickAt(double songSeconds) override;

    // Loads a song decoded elsewhere; FileName() then reports `fileName`.
    // A song the engine cannot play (rate outside 8-192 kHz, channels
    // outside 1-8, a partial frame) is refused with the message and the
    // engine keeps what it had.
    std::optional<std::string> OpenDecoded(SongPcm song, std::string fileName);

    // The audio driver in use: "pulseaudio" for the sound server, else SDL's
    // ("dummy" when there is no device).
    std::string OutputDriver() const;
    // The output latency the device reported for its latest buffer (at
    // open, the expected one). Any thread, the audio callback included.
    std::int64_t OutputLatencyNs() const;
    // Gaps in the output the sound server reported since the device opened.
    int OutputUnderflows() const;

private:
    // What readers and the feeder need to know of the controls, published
    // as one consistent value.
    struct ControlSnapshot {
        std::uint32_t generation = 1;
        PlayState state = PlayState::kStopped;
        // While not playing: the position. While playing: where the segment
        // started.
        double heldFrame = 0.0;
        double rate = 1.0;
        double sampleRate = 44100.0;
        double durationFrames = 0.0;
    };

    static void RenderThunk(void* context, std::int16_t* out, int frames, std::int64_t latencyNs);
    double PositionFrames(const ControlSnapshot& control) const;
    double PositionFramesAt(const ControlSnapshot& control, std::int64_t steadyNs) const;
    std::optional<std::string> Load(std::unique_ptr<SongPcm> song, std::string fileName);
    void Publish();
    static AudioOutput::Format OutputFormatFor(const SongPcm* song);
    void StartDevice();
    void StopDevice();
    void StartFeeder();
    void StopFeeder();
    void FeederLoop();
    void FinishPlayback(std::uint32_t generation);

    Options m_options;

    // Guards the control state below and the output's life. Never taken by
    // the audio callback.
    mutable std::mutex m_controlMutex;
    std::unique_ptr<SongPcm> m_song;
    std::string m_fileName;
    PlayState m_state = PlayState::kStopped;
    double m_heldFrame = 0.0;
    double m_rate = 1.0;
    std::int32_t m_repeat = 0;
    std::uint32_t m_generation = 1;

    SeqLock<ControlSnapshot> m_control;
    PlaybackShared m_shared;
    ChunkRing m_ring;
    ClickPcm m_clickSource;
    std::vector<std::int16_t> m_click; // in the output format
    std::vector<std::int16_t> m_tick;  // in the output format
    int m_outputChannels = 2;
    std::unique_ptr<StreamFeeder> m_feeder;
    std::unique_ptr<OutputRenderer> m_renderer;
    std::unique_ptr<AudioOutput> m_output;
    std::thread m_feederThread;
    std::atomic<bool> m_stopFeeder{false};
    std::atomic<bool> m_silent{true};
    std::atomic<std::int64_t> m_clickLeadNs{0};
    std::atomic<std::int64_t> m_outputLatencyNs{0};
    std::string m_driver;

    EventDispatcher m_events; // last: its thread calls back into the engine
};

} // namespace player
