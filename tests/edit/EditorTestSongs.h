#pragma once

#include "chart/Song.h"
#include "chart/UserPrompt.h"
#include "edit/NoteEdits.h"

#include <optional>
#include <vector>

// Songs, charts and answers for the editing tests.
namespace edit_test {

inline const chart::AskYesNo kYes = [](std::string_view, std::string_view) { return true; };

// A chart of these notes (in order) and length.
inline chart::SongChart ChartOf(const std::vector<chart::Note>& notes, std::int32_t lengthRows,
                                chart::ChartStyle style = chart::ChartStyle::Single) {
    chart::SongChart chart;
    chart.style = style;
    chart.notes = chart::NoteData(chart::ColumnsOf(style));
    for (const chart::Note& note : notes) {
        chart.notes.AppendSorted(note);
    }
    chart.lengthRows = lengthRows;
    return chart;
}

// The chart after an edit worked out on it (none: unchanged).
inline chart::SongChart Applied(const chart::SongChart& chart,
                                const std::optional<edit::NoteEdit>& edit) {
    chart::SongChart out = chart;
    if (edit) {
        edit::ApplyNoteDiff(out.notes, edit->diff.removed, edit->diff.added);
        out.lengthRows = edit->lengthAfter;
    }
    return out;
}

// Two charts (a SINGLE with taps, a jump and holds, a DOUBLE with notes on
// both pads), a tempo change and a stop; charts read from records 3 and 4.
inline chart::Song RichSong() {
    const std::vector<chart::Note> single = {{0, 0, 0},   {24, 1, 0}, {24, 2, 0},   {48, 3, 96},
                                             {60, 0, 0},  {96, 1, 0}, {192, 2, 48}, {240, 0, 0},
                                             {264, 1, 0}, {300, 3, 0}};
    const std::vector<chart::Note> doubles = {{0, 0, 0},   {0, 7, 0},   {48, 4, 48},
                                              {144, 2, 0}, {144, 5, 0}, {144, 6, 0}};
    chart::Song song;
    song.title = "Song";
    song.artist = "Artist";
    song.bpm = 150.0f;
    song.gapSeconds = 0.25f;
    song.changes = {{16.0, 75.0}};
    song.stops = {{8.0, 250.0}};
    song.charts = {ChartOf(single, 384), ChartOf(doubles, 192, chart::ChartStyle::Double)};
    song.charts[0].difficulty = "MANIAC";
    song.charts[0].rating = 7;
    song.charts[0].sourceId = 3;
    song.charts[1].rating = 3;
    song.charts[1].sourceId = 4;
    return song;
}

// Equal in content, chart identities included.
inline bool SameSong(const chart::Song& a, const chart::Song& b) {
    if (!chart::SameContent(a, b) || a.charts.size() != b.charts.size() ||
        a.sampleStartSeconds != b.sampleStartSeconds ||
        a.sampleLengthSeconds != b.sampleLengthSeconds) {
        return false;
    }
    for (std::size_t i = 0; i < a.charts.size(); ++i) {
        if (a.charts[i].sourceId != b.charts[i].sourceId) {
            return false;
        }
    }
    return true;
}

} // namespace edit_test
