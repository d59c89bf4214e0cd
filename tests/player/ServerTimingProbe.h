#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// The real output path measured from outside: what the sound server plays,
// recorded from the default sink's monitor, set against what the engine
// says. The recorder and the onset finder serve any measurement of clicks.
namespace player::test {

inline constexpr int kProbeRate = 44100; // the recording: stereo, 16-bit

// Onsets of bursts on the left channel of interleaved stereo: the first
// sample above `threshold` after `quietFrames` at or below it.
inline std::vector<std::int64_t> FindOnsets(const std::vector<std::int16_t>& stereo, int threshold,
                                            int quietFrames) {
    std::vector<std::int64_t> onsets;
    std::int64_t quiet = quietFrames;
    for (std::int64_t i = 0; i < std::ssize(stereo) / 2; ++i) {
        const bool loud = std::abs(int{stereo[static_cast<std::size_t>(2 * i)]}) > threshold;
        if (loud && quiet >= quietFrames)
            onsets.push_back(i);
        quiet = loud ? 0 : quiet + 1;
    }
    return onsets;
}

// What the default sink's monitor recorded, with the server's timing
// reports to place recorded frames on the steady clock.
struct MonitorRecording {
    std::string error; // empty when the recording worked
    std::vector<std::int16_t> samples;
    struct Mark {
        double frame;      // a recorded frame
        double capturedNs; // when it was heard (steady clock)
        double delayNs;    // from heard to the server's report of it
    };
    std::vector<Mark> marks;
};

// Records the default sink's monitor while `play` runs (called once the
// recording has started; it may fail it with an error), and 300 ms more,
// the time for the last sound to leave the sink. Room is made for
// `seconds`.
MonitorRecording RecordMonitor(double seconds, const std::function<std::string()>& play);

// A click track played through the sound server, as the server's side sees
// it against the engine's own idea of when each click is heard.
struct ServerTimingFigures {
    std::string error; // empty when the run worked
    std::string driver;
    int clicksPlayed = 0, clicksRecorded = 0;
    int underflows = 0; // gaps the server reported in the engine's output
    // Spacing of the recorded clicks against the song's, in ms.
    double jitterMaxMs = 0.0, jitterRmsMs = 0.0;
    // The engine's position against the server's sample clock: how far it
    // wanders off in a minute; the same from the clicks alone (fewer points,
    // but a gap in the output does not upset it); and the mean and largest
    // difference at the clicks.
    double driftMsPerMinute = 0.0, clickDriftMsPerMinute = 0.0;
    double positionErrorMeanMs = 0.0, positionErrorMaxMs = 0.0;
    // Output latency: the mean the server reported to the engine for the
    // buffers that carried the clicks, against the mean measured from the
    // recording.
    double reportedLatencyMs = 0.0, measuredLatencyMs = 0.0;
    // The server's sample clock against the steady clock (positive: its
    // frames take longer than nominal).
    double serverClockPpm = 0.0;
    // The recording's own delay, heard to recorded (median; negative: a
    // monitor sees what the sink renders before the sink plays it). Taken
    // off the measurements above.
    double captureDelayMs = 0.0;
    // A check of the reference: the server's clock from the times it asked
    // the engine for audio, against the recording's, in ms a minute.
    double requestsAgainstRecordingMsPerMinute = 0.0;
};

// Plays `seconds` of clicks at `bpm` through the running sound server
// (SDL_AUDIODRIVER is set to "pulseaudio" for this) and records the
// default sink's monitor meanwhile.
ServerTimingFigures MeasureServerTiming(double seconds, double bpm);

} // namespace player::test
