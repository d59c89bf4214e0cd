#pragma once

#include <span>
#include <vector>

// Song time against beats for a song with tempo changes and stops. Built
// once from the song's timing, then only read: lookups are binary searches.
//
// A stop at beat b holds the beat still for its duration after the beat is
// reached, so SecondsAt(b) is the time the stop starts and BeatAt gives b
// for every time inside it. A delay at b holds it still before: SecondsAt(b)
// is the time the delay ends. A warp from b skips its beats in no time, so
// every beat inside it has the time of b. Away from these the two are
// inverses.
//
// Hostile values stay bounded: a tempo that is not finite and positive
// (0, negative, NaN, infinite) makes its stretch take no time; a stop that
// is not finite and positive takes none either; changes and stops at
// positions that are not finite are ignored, those before beat 0 take effect
// at beat 0.
namespace chart {

struct BpmChange {
    double beat = 0.0;
    double bpm = 0.0;
    friend bool operator==(const BpmChange&, const BpmChange&) = default;
};

struct Stop {
    double beat = 0.0;
    double durationMs = 0.0;
    friend bool operator==(const Stop&, const Stop&) = default;
};

struct Delay {
    double beat = 0.0;
    double durationMs = 0.0;
    friend bool operator==(const Delay&, const Delay&) = default;
};

struct Warp {
    double beat = 0.0;
    double lengthBeats = 0.0;
    friend bool operator==(const Warp&, const Warp&) = default;
};

class TimingMap {
public:
    // With no changes and no stops, beat k/2 lies at exactly
    // gap + k * 30 / bpm, the constant-tempo slot time.
    TimingMap(float bpm, float gapSeconds, std::span<const BpmChange> changes = {},
              std::span<const Stop> stops = {}, std::span<const Delay> delays = {},
              std::span<const Warp> warps = {});

    // Song time at which the beat is reached (before a stop at that beat).
    double SecondsAt(double beat) const;
    // The beat playing at a song time; +infinity past a final stretch whose
    // tempo takes no time.
    double BeatAt(double seconds) const;

    // True when every stretch of the song has a finite positive tempo.
    bool HasUsableTempo() const { return m_usable; }

    // The tempo in force at a beat (after a change at that beat).
    double BpmAt(double beat) const;

private:
    struct Segment {
        double beat = 0.0;
        double reachSeconds = 0.0;   // when the beat comes up, before a delay
        double arriveSeconds = 0.0;  // when its notes sound, after a delay
        double departSeconds = 0.0;  // after a stop at the beat
        double secondsPerBeat = 0.0; // 0 inside a warp
        double bpm = 0.0;
    };
    const Segment& SegmentAtBeat(double beat) const;

    std::vector<Segment> m_segments; // never empty; the first is at beat 0
    double m_secondsPerBeatBeforeZero = 0.0;
    bool m_usable = true;
};

} // namespace chart
