#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the window asks of the media player (control 1001): transport,
// position and three events. The window holds it through this interface so
// that tests can drive a scripted player instead of real audio.
namespace player {

enum class PlayState : std::int32_t {
    kStopped = 0,
    kPaused = 1,
    kPlaying = 2,
};

// Event handlers. The player calls them on a thread of its own or on the
// caller's thread, never on the audio callback; a window must post them to
// its own thread.
struct PlayerEvents {
    std::function<void()> endOfPlayback;
    std::function<void(PlayState oldState, PlayState newState)> playStateChange;
    // Raised on every seek, whoever asked for it, with song times in seconds.
    std::function<void(double oldPositionSeconds, double newPositionSeconds)> positionChange;
};

class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    // Song time of the sample the listener hears now, in seconds, independent
    // of the rate. Any thread; never blocks the audio.
    virtual double PositionSeconds() const = 0;
    // The position heard at an earlier moment of the steady clock
    // (std::chrono::steady_clock, in ns), for input read later than it was
    // made. A player without a history answers with the position now.
    virtual double PositionSecondsAt(std::int64_t /*steadyNs*/) const { return PositionSeconds(); }
    virtual void SetPositionSeconds(double seconds) = 0;
    virtual double DurationSeconds() const = 0;
    // Empty while no song is loaded.
    virtual std::string FileName() const = 0;
    // Playback speed factor, 1.0 = normal; pitch is preserved.
    virtual void SetRate(double rate) = 0;
    // Stored only; the window loops the song itself.
    virtual void SetRepeat(std::int32_t count) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    // Stops playback and returns to the start.
    virtual void Halt() = 0;
    virtual PlayState State() const = 0;
    // Loads a song for playback. On failure the file name is empty and the
    // result holds a message for the user.
    [[nodiscard]] virtual std::optional<std::string> Open(const std::string& path) = 0;
    // Open in two steps, so that its slow part (decoding a whole song can
    // take seconds) runs off the window thread. PrepareOpen may be called on
    // any thread, alongside every other call, and changes nothing the player
    // shows or plays. The commit it returns does the rest of Open(path) and
    // returns what Open would; call it once, on a thread that may make
    // control calls. A player with nothing slow to do defers it all.
    using OpenCommit = std::function<std::optional<std::string>()>;
    [[nodiscard]] virtual OpenCommit PrepareOpen(const std::string& path) {
        return [this, path] { return Open(path); };
    }
    // A silent stand-in for a missing song, `seconds` long: the position
    // moves and seeks as with a song, FileName() stays empty and Play does
    // nothing. A player without one keeps what it had.
    virtual void OpenSilent(double seconds) { static_cast<void>(seconds); }
    // True while there is a song or a stand-in to move through.
    virtual bool HasTimeline() const { return !FileName().empty(); }
    virtual void SetEvents(PlayerEvents events) = 0;
    // True when no audio device could be opened and playback runs silently
    // (its clock still advances), so the window can say so once.
    virtual bool PlaysSilently() const { return false; }
};

// Plays the metronome click and the note tick, mixed into the song's
// output. They sound independently of each other. A click requested while
// an earlier click still sounds is dropped, not queued; a tick requested
// while an earlier tick sounds cuts it and starts again.
class ClickSound {
public:
    virtual ~ClickSound() = default;
    // Click now.
    virtual void PlayClick() = 0;
    // Click when the listener hears song time songSeconds (at the current
    // rate), so the click is on the beat rather than one output latency late.
    // A time already heard plays at once.
    virtual void PlayClickAt(double songSeconds) = 0;
    // How far ahead of the position, in song seconds at the current rate,
    // PlayClickAt must be called to land exactly on its time.
    virtual double ClickLeadSeconds() const { return 0.0; }
    // The note tick when the listener hears song time songSeconds, placed
    // as PlayClickAt places the click (the same lead). Only while playing:
    // otherwise nothing sounds. A player without a tick plays none.
    virtual void PlayTickAt(double songSeconds) { static_cast<void>(songSeconds); }
};

} // namespace player
