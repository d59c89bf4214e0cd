#pragma once

#include "chart/StepChart.h"

#include <cstdint>
#include <optional>
#include <string>

// Writing .dwi files: eight records with CR LF line ends, one #SINGLE chart.
namespace dwi {

// The song data a save writes, as the window reads it from its controls.
struct DwiSong {
    std::string title;      // UTF-8, written byte for byte
    std::string artist;     // UTF-8, written byte for byte
    std::string difficulty; // "BASIC" ... "HEAVY"
    std::uint32_t footRating = 1;
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    float sampleStartSeconds = 0.0f;
    float sampleEndSeconds = 5.0f;
};

// The eight records of a .dwi file, byte for byte.
std::string FormatDwi(const std::string& title, const std::string& artist, float bpm,
                      float gapSeconds, float sampleStartSeconds, float sampleLengthSeconds,
                      const std::string& difficulty, std::uint32_t footRating,
                      const chart::StepChart& steps);

// Preview length: end - start, or 5 s when the end lies before the start.
float SampleLengthSeconds(float sampleStartSeconds, float sampleEndSeconds);

// The foot rating list's text as a number (the C library's strtoul rule).
std::uint32_t FootRatingFromText(const std::string& text);

// Pads the chart with "0" so that it covers the song plus two slots; never
// shortens it. A BPM that gives no beat grid (<= 0, NaN, infinite) or a song
// longer than the largest chart leaves the length unchanged.
void ExtendChartToCoverSong(chart::StepChart& steps, double songLengthSeconds, float bpm,
                            float gapSeconds);

// Extends the chart to cover the song, then writes the file atomically.
// Returns the reason on failure; the old file is then intact and only the
// chart's "0" extension has changed in memory.
[[nodiscard]] std::optional<std::string> SaveDwi(const std::string& path, const DwiSong& song,
                                                 double songLengthSeconds, chart::StepChart& steps);

} // namespace dwi
