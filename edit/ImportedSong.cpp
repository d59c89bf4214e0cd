#include "edit/ImportedSong.h"

#include "dwi/DwiWriter.h"

#include <algorithm>

namespace edit {

namespace {

constexpr std::int32_t kRowsPerSlot = chart::kRowsPerBeat / 2;

// Single-pad columns: Left, Down, Up, Right.
constexpr std::uint8_t ColumnOfArrow(int bit) {
    switch (bit) {
    case chart::kArrowLeft:
        return 0;
    case chart::kArrowDown:
        return 1;
    case chart::kArrowUp:
        return 2;
    default:
        return 3;
    }
}

} // namespace

void ImportedSong::Reset() {
    *this = ImportedSong();
}

void ImportedSong::Start(chart::Song song, std::optional<std::size_t> shownChart,
                         const WindowValues& baseline) {
    m_active = true;
    m_song = std::move(song);
    m_shownChart = shownChart;
    m_baseline = baseline;
}

chart::SongChart ChartFromSteps(const chart::StepChart& steps) {
    chart::SongChart chart;
    for (std::size_t slot = 0; slot < steps.size(); ++slot) {
        const chart::ArrowSet arrows = chart::ArrowsOfCode(steps[slot]);
        for (int bit :
             {chart::kArrowLeft, chart::kArrowDown, chart::kArrowUp, chart::kArrowRight}) {
            if (arrows & bit) {
                chart.notes.AppendSorted(
                    {static_cast<std::int32_t>(slot) * kRowsPerSlot, ColumnOfArrow(bit), 0});
            }
        }
    }
    chart.lengthRows = static_cast<std::int32_t>(steps.size()) * kRowsPerSlot;
    return chart;
}

bool SameSteps(const chart::StepChart& a, const chart::StepChart& b) {
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = i < a.size() ? a[i] : chart::kEmptyStep;
        const char y = i < b.size() ? b[i] : chart::kEmptyStep;
        if (chart::ArrowsOfCode(x) != chart::ArrowsOfCode(y)) {
            return false;
        }
    }
    return true;
}

chart::Song ImportedSong::SongToSave(const WindowValues& now) const {
    chart::Song song = m_song;
    const WindowValues& was = m_baseline;
    if (now.title != was.title) {
        song.title = now.title;
    }
    if (now.artist != was.artist) {
        song.artist = now.artist;
    }
    if (now.bpm != was.bpm) {
        song.bpm = now.bpm;
    }
    if (now.gapSeconds != was.gapSeconds) {
        song.gapSeconds = now.gapSeconds;
    }
    if (now.sampleStartSeconds != was.sampleStartSeconds ||
        now.sampleEndSeconds != was.sampleEndSeconds) {
        song.sampleStartSeconds = now.sampleStartSeconds;
        song.sampleLengthSeconds =
            dwi::SampleLengthSeconds(now.sampleStartSeconds, now.sampleEndSeconds);
    }
    const bool stepsChanged = !SameSteps(now.steps, was.steps);
    if (m_shownChart && *m_shownChart < song.charts.size()) {
        chart::SongChart& shown = song.charts[*m_shownChart];
        if (now.difficulty != was.difficulty) {
            shown.difficulty = now.difficulty;
        }
        if (now.rating != was.rating) {
            shown.rating = now.rating;
        }
        if (stepsChanged) {
            chart::SongChart edited = ChartFromSteps(now.steps);
            shown.notes = std::move(edited.notes);
            shown.lengthRows = edited.lengthRows;
        }
    } else if (!SameSteps(now.steps, {})) {
        // The window's own chart, which the file did not have.
        chart::SongChart added = ChartFromSteps(now.steps);
        added.difficulty = now.difficulty;
        added.rating = now.rating;
        song.charts.push_back(std::move(added));
    }
    return song;
}

void ImportedSong::Saved(chart::Song written, const WindowValues& now) {
    const bool added = !(m_shownChart && *m_shownChart < m_song.charts.size()) &&
                       written.charts.size() > m_song.charts.size();
    if (added) {
        m_shownChart = written.charts.size() - 1;
    }
    m_song = std::move(written);
    m_baseline = now;
}

std::optional<std::size_t> FindOfferedChart(const chart::Song& song, std::size_t ordinal,
                                            const std::string& difficulty, std::uint32_t rating) {
    std::size_t seen = 0;
    std::optional<std::size_t> firstMatch;
    for (std::size_t i = 0; i < song.charts.size(); ++i) {
        const chart::SongChart& chart = song.charts[i];
        if (chart.style != chart::ChartStyle::Single) {
            continue;
        }
        const bool matches = chart.difficulty == difficulty && chart.rating == rating;
        if (seen++ == ordinal && matches) {
            return i;
        }
        if (matches && !firstMatch) {
            firstMatch = i;
        }
    }
    return firstMatch;
}

} // namespace edit
