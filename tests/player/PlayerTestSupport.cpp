#include "PlayerTestSupport.h"

#include "TestSignals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>

namespace player::test {

std::string ScratchDir(const std::string& testName) {
    const std::filesystem::path dir =
        std::filesystem::path(BEATWRIGHT_TEST_TMP) / "player" / testName;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

namespace {

SongPcm SilentSong(double seconds) {
    return {std::vector<std::int16_t>(static_cast<std::size_t>(seconds * kRate) * 2), kRate, 2};
}

} // namespace

SongPcm SineSong(double seconds, double hz) {
    SongPcm song = SilentSong(seconds);
    for (std::size_t i = 0; i < song.samples.size() / 2; ++i) {
        const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
        song.samples[2 * i] = song.samples[2 * i + 1] =
            static_cast<std::int16_t>(std::lround(16384.0 * std::sin(phase)));
    }
    return song;
}

SongPcm IndexedSong(double seconds) {
    SongPcm song = SilentSong(seconds);
    for (std::size_t i = 0; i < song.samples.size() / 2; ++i) {
        const std::size_t tag = i + 1;
        song.samples[2 * i] = static_cast<std::int16_t>(tag & 0x7FFF);
        song.samples[2 * i + 1] = static_cast<std::int16_t>((tag >> 15) & 0x7FFF);
    }
    return song;
}

std::int64_t IndexedFrame(const std::int16_t* stereoFrame) {
    const std::int64_t tag = std::int64_t{stereoFrame[0]} | (std::int64_t{stereoFrame[1]} << 15);
    return tag - 1;
}

SongPcm MarkerSong(double seconds, const std::vector<std::int64_t>& markerFrames) {
    SongPcm song = SilentSong(seconds);
    for (const std::int64_t frame : markerFrames) {
        song.samples[static_cast<std::size_t>(frame) * 2] = 30000;
    }
    return song;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    testsignals::WriteFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<std::int16_t> ReadRawPcm(const std::string& path) {
    const std::vector<std::uint8_t> bytes = testsignals::ReadFile(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

void UseDiskOutput(const std::string& path, int msPerBuffer) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(msPerBuffer).c_str(), 1);
}

std::int64_t FirstAbove(const std::vector<std::int16_t>& samples, int channels, int channel,
                        int threshold, std::int64_t from) {
    const auto frames = static_cast<std::int64_t>(samples.size()) / channels;
    for (std::int64_t i = from; i < frames; ++i) {
        if (std::abs(samples[static_cast<std::size_t>(i * channels + channel)]) > threshold) {
            return i;
        }
    }
    return -1;
}

PlayerEvents EventLog::Handlers() {
    PlayerEvents events;
    events.endOfPlayback = [this] { Add({"end"}); };
    events.playStateChange = [this](PlayState from, PlayState to) {
        Add({"state", static_cast<double>(from), static_cast<double>(to)});
    };
    events.positionChange = [this](double from, double to) { Add({"position", from, to}); };
    return events;
}

void EventLog::Add(LoggedEvent event) {
    const std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

std::vector<LoggedEvent> EventLog::Events() {
    const std::lock_guard lock(m_mutex);
    return m_events;
}

std::size_t EventLog::Count(const std::string& kind) {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(
        m_events.begin(), m_events.end(), [&](const LoggedEvent& e) { return e.kind == kind; }));
}

} // namespace player::test
