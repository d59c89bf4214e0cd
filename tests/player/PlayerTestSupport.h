#pragma once

#include "player/MediaPlayer.h"
#include "player/SongPcm.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace player::test {

inline constexpr int kRate = 44100;

// A fresh empty folder under the build tree for one test's files.
std::string ScratchDir(const std::string& testName);

// Stereo song of `seconds`: a sine of `hz` at half scale on both channels.
SongPcm SineSong(double seconds, double hz);

// Stereo song whose samples name their own frame: left holds (frame + 1)'s
// low 15 bits, right the next 15, so any output sample says which song frame
// it is (0 in both: silence).
SongPcm IndexedSong(double seconds);
std::int64_t IndexedFrame(const std::int16_t* stereoFrame); // -1 for silence

// Silent stereo song with a one-sample pulse on the left channel at each of
// `markerFrames`; the click is told apart on the right channel.
SongPcm MarkerSong(double seconds, const std::vector<std::int64_t>& markerFrames);

void WriteBytes(const std::string& path, const std::string& bytes);
std::vector<std::int16_t> ReadRawPcm(const std::string& path);

// Routes SDL's output for engines created from now on in this process to a
// raw PCM file (the disk driver); msPerBuffer paces it (0 = flat out).
void UseDiskOutput(const std::string& path, int msPerBuffer);

// Frames of the interleaved buffer whose channel `channel` first exceeds
// `threshold` in magnitude at or after frame `from`; -1 if none.
std::int64_t FirstAbove(const std::vector<std::int16_t>& samples, int channels, int channel,
                        int threshold, std::int64_t from = 0);

// One event as a player raised it.
struct LoggedEvent {
    std::string kind; // "state", "position" or "end"
    double from = 0.0;
    double to = 0.0;
};

// Collects the events a player raises on its dispatcher thread.
class EventLog {
public:
    PlayerEvents Handlers();
    std::vector<LoggedEvent> Events();
    std::size_t Count(const std::string& kind);

private:
    void Add(LoggedEvent event);
    std::mutex m_mutex;
    std::vector<LoggedEvent> m_events;
};

} // namespace player::test
