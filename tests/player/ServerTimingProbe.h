#pragma once

#include <string>

namespace player::test {

// What a click track played through the sound server looks like on the
// server's side: the engine plays a song that clicks on every beat while a
// recording of the default sink's monitor runs, and the clicks found in the
// recording are set against the engine's own idea of when each is heard.
struct ServerTimingFigures {
    std::string error; // empty when the run worked
    std::string driver;
    int clicksPlayed = 0;
    int clicksRecorded = 0;
    int underflows = 0; // gaps the server reported in the engine's output
    // Spacing of the recorded clicks against the song's, in ms.
    double jitterMaxMs = 0.0;
    double jitterRmsMs = 0.0;
    // The engine's position (when it says each click is heard) against the
    // server's sample clock: how far it wanders off in a minute; and
    // against the recording placed on the steady clock, the mean and
    // largest difference.
    double driftMsPerMinute = 0.0;
    // The same from the clicks alone: the slope of the difference between
    // when the engine says each click is heard and when the recording has
    // it. Fewer points, but a gap in the output does not upset it.
    double clickDriftMsPerMinute = 0.0;
    double positionErrorMeanMs = 0.0;
    double positionErrorMaxMs = 0.0;
    // Output latency: the mean the server reported to the engine for the
    // buffers that carried the clicks, against the mean measured from the
    // recording (the capture delay below taken off).
    double reportedLatencyMs = 0.0;
    double measuredLatencyMs = 0.0;
    // The server's sample clock against the steady clock, in parts per
    // million (its frames take this much longer than nominal; negative:
    // it runs fast), from the recording's timing reports.
    double serverClockPpm = 0.0;
    // The recording's own delay: from a frame being heard to the server
    // reporting it recorded (median while the song played). Negative: a
    // monitor sees what the sink renders before the sink plays it.
    double captureDelayMs = 0.0;
    // A check of the reference the drift is measured against (the server's
    // sample clock as the recording's timing reports show it): the same
    // clock from the times the server asked the engine for audio, how far
    // apart the two go in a minute.
    double requestsAgainstRecordingMsPerMinute = 0.0;
};

// Plays `seconds` of clicks at `bpm` through the running sound server
// (SDL_AUDIODRIVER is set to "pulseaudio" for this) and records the
// default sink's monitor meanwhile.
ServerTimingFigures MeasureServerTiming(double seconds, double bpm);

} // namespace player::test
