#pragma once

#include "TestSignals.h"
#include "player/MediaPlayer.h"
#include "player/SongPcm.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

// Songs synthesized for the engine, output drivers and the events a player
// raises, shared by the player's tests.
namespace player::test {

inline constexpr int kRate = 44100;

// A fresh empty folder under the build tree for one test's files.
inline std::string ScratchDir(const std::string& testName) {
    const auto dir = std::filesystem::path(BEATWRIGHT_TEST_TMP) / "player" / testName;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

// Stereo song of `seconds`; `sample(frame, channel)` gives each sample.
inline SongPcm MakeSong(double seconds,
                        const std::function<std::int16_t(std::size_t, int)>& sample) {
    SongPcm song{std::vector<std::int16_t>(static_cast<std::size_t>(seconds * kRate) * 2), kRate,
                 2};
    for (std::size_t i = 0; i < song.samples.size(); ++i) {
        song.samples[i] = sample(i / 2, static_cast<int>(i % 2));
    }
    return song;
}

// A sine of `hz` at half scale on both channels.
inline SongPcm SineSong(double seconds, double hz) {
    return MakeSong(seconds, [hz](std::size_t frame, int) {
        return static_cast<std::int16_t>(
            std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * hz * double(frame) / kRate)));
    });
}

// Samples that name their own frame: left holds (frame + 1)'s low 15 bits,
// right the next 15, so any output sample says which song frame it is.
inline SongPcm IndexedSong(double seconds) {
    return MakeSong(seconds, [](std::size_t frame, int channel) {
        return static_cast<std::int16_t>(((frame + 1) >> (15 * channel)) & 0x7FFF);
    });
}
inline std::int64_t IndexedFrame(const std::int16_t* stereoFrame) { // -1 for silence
    return (std::int64_t{stereoFrame[0]} | (std::int64_t{stereoFrame[1]} << 15)) - 1;
}

// Silence with a one-sample pulse on the left channel at each of
// `markerFrames`; the click is told apart on the right channel.
inline SongPcm MarkerSong(double seconds, const std::vector<std::int64_t>& markerFrames) {
    return MakeSong(seconds, [&](std::size_t frame, int channel) {
        const bool marker = std::ranges::count(markerFrames, std::int64_t(frame)) > 0;
        return static_cast<std::int16_t>(marker && channel == 0 ? 30000 : 0);
    });
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    testsignals::WriteFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// Routes SDL's output for engines created from now on in this process to a
// raw PCM file (the disk driver); msPerBuffer paces it (0 = flat out).
inline void UseDiskOutput(const std::string& path, int msPerBuffer) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(msPerBuffer).c_str(), 1);
}
inline void UseDummyOutput() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
inline std::vector<std::int16_t> ReadRawPcm(const std::string& path) {
    const std::vector<std::uint8_t> bytes = testsignals::ReadFile(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The first frame at or after `from` whose sample on `channel` exceeds
// `threshold` in magnitude; -1 if none.
inline std::int64_t FirstAbove(const std::vector<std::int16_t>& samples, int channels, int channel,
                               int threshold, std::int64_t from = 0) {
    for (auto i = std::max<std::int64_t>(from, 0); i < std::ssize(samples) / channels; ++i) {
        if (std::abs(samples[static_cast<std::size_t>(i * channels + channel)]) > threshold) {
            return i;
        }
    }
    return -1;
}

inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The events a player raises on its dispatcher thread, as {kind, from, to}
// with kind "state", "position" or "end".
class EventLog {
public:
    struct Event {
        std::string kind;
        double from = 0.0;
        double to = 0.0;
    };

    PlayerEvents Handlers() {
        PlayerEvents events;
        events.endOfPlayback = [this] { Add({"end"}); };
        events.playStateChange = [this](PlayState from, PlayState to) {
            Add({"state", static_cast<double>(from), static_cast<double>(to)});
        };
        events.positionChange = [this](double from, double to) { Add({"position", from, to}); };
        return events;
    }
    std::vector<Event> Events() {
        const std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::size_t Count(const std::string& kind) {
        const std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(
            std::ranges::count_if(m_events, [&](const Event& e) { return e.kind == kind; }));
    }

private:
    void Add(Event event) {
        const std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    std::mutex m_mutex;
    std::vector<Event> m_events;
};

} // namespace player::test
