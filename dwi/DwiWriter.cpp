#include "dwi/DwiWriter.h"

#include "chart/SongTiming.h"
#include "dwi/AtomicFile.h"
#include "dwi/DwiNumbers.h"

namespace dwi {

namespace {

constexpr float kDefaultSampleLengthSeconds = 5.0f;
constexpr std::int32_t kSlotsPastTheSong = 3;

} // namespace

std::string FormatDwi(const std::string& title, const std::string& artist, float bpm,
                      float gapSeconds, float sampleStartSeconds, float sampleLengthSeconds,
                      const std::string& difficulty, std::uint32_t footRating,
                      const chart::StepChart& steps) {
    std::string out;
    out.reserve(160 + title.size() + artist.size() + difficulty.size() + steps.size());
    out += "#STATUS:NEW\r\n";
    out += "#TITLE:" + title + ";\r\n";
    out += "#ARTIST:" + artist + ";\r\n";
    out += "#BPM:" + FormatFixed(static_cast<double>(bpm), 3, 6) + ";\r\n";
    out += "#GAP:" + FormatFixed(static_cast<double>(gapSeconds) * 1000.0, 5, 3) + ";\r\n\r\n";
    out += "#SAMPLESTART:" + FormatFixed(static_cast<double>(sampleStartSeconds), 3, 5) + ";\r\n";
    out += "#SAMPLELENGTH:" + FormatFixed(static_cast<double>(sampleLengthSeconds), 3, 5) + ";\r\n";
    out += "#SINGLE:" + difficulty + ":" + std::to_string(footRating) + ":" + steps + ";\r\n";
    return out;
}

float SampleLengthSeconds(float sampleStartSeconds, float sampleEndSeconds) {
    const float length = sampleEndSeconds - sampleStartSeconds;
    return length < 0.0f ? kDefaultSampleLengthSeconds : length;
}

std::uint32_t FootRatingFromText(const std::string& text) {
    return ParseUnsigned(text);
}

void ExtendChartToCoverSong(chart::StepChart& steps, double songLengthSeconds, float bpm,
                            float gapSeconds) {
    if (!chart::HasUsableTempo(bpm)) {
        return;
    }
    const double h = chart::HalfBeatSeconds(bpm);
    double x = songLengthSeconds - static_cast<double>(gapSeconds);
    const std::optional<std::int32_t> n = chart::SubtractWhileAbove(x, h);
    if (!n || *n >= chart::kMaxChartSlots - kSlotsPastTheSong) {
        return;
    }
    chart::EnsureChartLength(steps, *n + kSlotsPastTheSong - 1);
}

std::optional<std::string> SaveDwi(const std::string& path, const DwiSong& song,
                                   double songLengthSeconds, chart::StepChart& steps) {
    ExtendChartToCoverSong(steps, songLengthSeconds, song.bpm, song.gapSeconds);
    const std::string text =
        FormatDwi(song.title, song.artist, song.bpm, song.gapSeconds, song.sampleStartSeconds,
                  SampleLengthSeconds(song.sampleStartSeconds, song.sampleEndSeconds),
                  song.difficulty, song.footRating, steps);
    return WriteFileAtomically(path, text);
}

} // namespace dwi
