#pragma once

#include "audio/OnsetEnvelope.h"

#include <vector>

namespace audio {

// One reading of a song's tempo: a BPM, the song time of its first beat at
// or after 0 (the Gap), and how much of the evidence favours it (0..1; the
// candidates of one song add up to 1).
struct TempoCandidate {
    double bpm = 0;
    double gapSeconds = 0;
    double confidence = 0;
};

// The tempo range searched, in BPM.
inline constexpr double kMinSearchBpm = 60.0;
inline constexpr double kMaxSearchBpm = 300.0;
// Where dance-game charts mostly lie: levels outside it are ranked down.
inline constexpr double kChartRangeLowBpm = 90.0;
inline constexpr double kChartRangeHighBpm = 260.0;

// Up to 5 candidates, best first; none when the envelopes show no beat
// (silence) or the song is shorter than 3 s. After the best come its half
// and double tempo, its 3:2 or 2:3 relative, and either the best BPM with
// the beat moved by half a beat (when the off-beats are nearly as strong as
// the beats) or the other of 3:2 and 2:3.
//
// The tempo level is chosen for how charts are made: among the metrical
// levels of the song's periodicity, the one whose beats fall on the loud
// attacks (kicks and snares, not hats or a bass note's soft start) and
// take in most of them, in or near the chart range; a level whose every
// other beat carries only hats (no kick, no snare) yields to its half. The beat's phase
// follows the kick (the low band) where loud accents make the off-beat
// nearly as strong. BPM and phase are fitted over the whole song, and the
// first beat is placed on the start of the attack, read from the fine
// energy envelope.
std::vector<TempoCandidate> FitTempo(const OnsetEnvelopes& envelopes);

// A steady beat shows as a grid of onsets that stands out of the rest: the
// beat contrast is the mean onset strength (whole band, local mean taken
// off) at the best level's strongest phase, over the song's mean onset
// strength. Music with a beat reads 9 or more (the fixtures); pads and
// speech, whose onsets fall anywhere, 1.4-1.6 over 3 minutes and up to
// about 4 over 30 s (fewer beats, more chance). Below kMinBeatContrast no
// candidate is given: "No steady beat found".
inline constexpr double kMinBeatContrast = 6.0;

struct TempoFitResult {
    std::vector<TempoCandidate> candidates; // as FitTempo's
    double beatContrast = 0;                // 0 when no level was scored
};
// minBeatContrast 0 gives candidates however weak the beat: a song whose
// tempo moves smears any one period's fold, and a timing map starts from
// them.
TempoFitResult FitTempoMeasured(const OnsetEnvelopes& envelopes,
                                double minBeatContrast = kMinBeatContrast);

} // namespace audio
