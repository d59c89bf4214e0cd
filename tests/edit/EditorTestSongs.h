#pragma once

#include "chart/Song.h"
#include "chart/UserPrompt.h"
#include "edit/NoteEdits.h"

#include <optional>

// Songs, charts and answers for the editing tests.
namespace edit_test {

inline const chart::AskYesNo kYes = [](std::string_view, std::string_view) { return true; };

// A single chart of these notes (in order) and length.
inline chart::SongChart ChartOf(std::initializer_list<chart::Note> notes, std::int32_t lengthRows) {
    chart::SongChart chart;
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
    chart::Song song;
    song.title = "Song";
    song.artist = "Artist";
    song.bpm = 150.0f;
    song.gapSeconds = 0.25f;
    song.changes = {{16.0, 75.0}};
    song.stops = {{8.0, 250.0}};
    chart::SongChart single = ChartOf({{0, 0, 0},
                                       {24, 1, 0},
                                       {24, 2, 0},
                                       {48, 3, 96},
                                       {60, 0, 0},
                                       {96, 1, 0},
                                       {192, 2, 48},
                                       {240, 0, 0},
                                       {264, 1, 0},
                                       {300, 3, 0}},
                                      384);
    single.difficulty = "MANIAC";
    single.rating = 7;
    single.sourceId = 3;
    chart::SongChart doubles;
    doubles.style = chart::ChartStyle::Double;
    doubles.difficulty = "BASIC";
    doubles.rating = 3;
    doubles.sourceId = 4;
    doubles.notes = chart::NoteData(8);
    for (const chart::Note& note : std::initializer_list<chart::Note>{
             {0, 0, 0}, {0, 7, 0}, {48, 4, 48}, {144, 2, 0}, {144, 5, 0}, {144, 6, 0}}) {
        doubles.notes.AppendSorted(note);
    }
    doubles.lengthRows = 192;
    song.charts = {single, doubles};
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
