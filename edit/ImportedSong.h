#pragma once

#include "chart/Song.h"
#include "chart/StepChart.h"

#include <cstdint>
#include <optional>
#include <string>

// The song document behind the window's one-chart editor. After an import
// the window shows one #SINGLE chart of the file as half-beat slots; a save
// must still write every other chart, the tempo changes, the stops and
// every record the window does not show. So the window's values are put
// into the document only where they changed since the import.
namespace edit {

// What the window holds and shows.
struct WindowValues {
    std::string title;
    std::string artist;
    std::string difficulty;
    std::uint32_t rating = 1;
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    float sampleStartSeconds = 0.0f;
    float sampleEndSeconds = 5.0f;
    chart::StepChart steps;

    friend bool operator==(const WindowValues&, const WindowValues&) = default;
};

class ImportedSong {
public:
    // No document: saves write the window's values alone.
    bool Active() const { return m_active; }
    void Reset();

    // After an import: the song read, which of its charts the window shows
    // (none when the user took none), and the window's values right after.
    void Start(chart::Song song, std::optional<std::size_t> shownChart,
               const WindowValues& baseline);

    // The document to write: the one read, with every window value that
    // changed since the import (or the last save) put in. A changed step
    // chart replaces the shown chart's notes; with no shown chart it is added
    // as a new single chart.
    chart::Song SongToSave(const WindowValues& now) const;

    // After a successful save of SongToSave(now): the file now holds it.
    void Saved(chart::Song written, const WindowValues& now);

    const chart::Song& Song() const { return m_song; }
    std::optional<std::size_t> ShownChart() const { return m_shownChart; }

private:
    bool m_active = false;
    chart::Song m_song;
    std::optional<std::size_t> m_shownChart;
    WindowValues m_baseline;
};

// The index of the single chart that the importer's k-th question offered
// (0-based), matched on difficulty and rating when the order disagrees.
std::optional<std::size_t> FindOfferedChart(const chart::Song& song, std::size_t ordinal,
                                            const std::string& difficulty, std::uint32_t rating);

// The half-beat slots as notes: slot k at row 24 k.
chart::SongChart ChartFromSteps(const chart::StepChart& steps);

// True when two slot charts hold the same arrows (trailing empty slots and
// bytes that are no step code count as empty).
bool SameSteps(const chart::StepChart& a, const chart::StepChart& b);

} // namespace edit
