#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Songs with a known tempo and first beat for the tempo analysis tests and
// benchmark: kick, snare, hi-hats, bass and a pad, with timbres drawn from
// the seed, and a little noise. Deterministic for a recipe.
namespace testsignals {

// kFourOnTheFloor: kick on every beat, snare on 2 and 4, open hat on the
// off-beats. kBackbeat: kick on 1 and 3, snare on 2 and 4, hats on the
// eighths. kHalfTime: kick on 1, snare on 3, hats on the eighths. kDotted:
// kicks a dotted quarter apart (beats 1, 2.5, 4), snare on 3.
// kOffBeatAccents: soft kick on the beats, loud stabs on every off-beat.
// kWaltz: 3/4, kick on 1, snare on 2 and 3. kHouse: kick on every beat,
// clap on 2 and 4, loud open hats on every off-beat, off-beat bass.
// kHipHop: kicks on 1 and 3 with sixteenth pickups (the "a" of 2, the "and"
// of 4), snare on 2 and 4, sixteenth hats. kSkank: kick on the beats, a
// loud bright chord stab and a hat on every off-beat, soft snare on 2 and 4.
enum class Groove {
    kFourOnTheFloor,
    kBackbeat,
    kHalfTime,
    kDotted,
    kOffBeatAccents,
    kWaltz,
    kHouse,
    kHipHop,
    kSkank
};

struct SongRecipe {
    std::string name;
    // firstBeatSeconds: song time where the first kick's attack starts.
    // Drums play from here; before it only the pad and noise (a beatless
    // intro when it is long).
    double bpm = 128, firstBeatSeconds = 0.2, seconds = 180;
    Groove groove = Groove::kFourOnTheFloor;
    // Off-beat eighths are late by this share of a beat (1/6: triplet swing).
    double swing = 0;
    unsigned seed = 1;
    int sampleRate = 44100, channels = 2;

    // The first beat at or after song time 0 on the recipe's grid.
    double ExpectedGap() const;
};

// Interleaved signed 16-bit samples of the recipe's song.
std::vector<std::int16_t> SynthesizeSong(const SongRecipe& recipe);

// The held-out style of set: 87-256 BPM, swing, 3/4, half-time, dotted
// rhythms, a beatless intro, a tempo off the hundredths grid, off-beat
// accents. `seconds` is each song's length.
std::vector<SongRecipe> VarietySongs(double seconds);

// Beat times of a song whose tempo moves: from firstBeatSeconds, each beat
// k lasts interval(k) seconds (a stop adds its length to its beat's), up to
// `seconds`.
std::vector<double> BeatTimes(double firstBeatSeconds, double seconds,
                              const std::function<double(int)>& interval);

// The recipe's groove (its bpm and firstBeatSeconds unused) played on the
// given beat times; from beat `grooveChangeBeat` on, `grooveAfter` (a meter
// change when one of them is the waltz).
std::vector<std::int16_t> SynthesizeBeats(const SongRecipe& recipe,
                                          const std::vector<double>& beatSeconds,
                                          std::size_t grooveChangeBeat = SIZE_MAX,
                                          Groove grooveAfter = Groove::kFourOnTheFloor);

// The classes that took the wrong level: house at 128 (came out 256),
// hip-hop at 87 (174), off-beat stabs at 116 (232).
std::vector<SongRecipe> LevelSongs(double seconds);

// Sound without a steady beat, mono: silence, ambient pads (chords that
// swell in and change at irregular times), speech (voiced syllables and
// consonant bursts at an irregular rate, pauses between phrases) and white
// noise.
enum class Beatless { kSilence, kPads, kSpeech, kNoise };
std::vector<std::int16_t> SynthesizeBeatless(Beatless kind, double seconds, unsigned seed,
                                             int sampleRate = 44100);

} // namespace testsignals
