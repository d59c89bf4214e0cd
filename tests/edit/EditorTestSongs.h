#pragma once

#include "chart/Song.h"
#include "chart/UserPrompt.h"
#include "dwi/DwiSong.h"
#include "edit/NoteEdits.h"

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
inline chart::SongChart Applied(chart::SongChart chart, const std::optional<edit::NoteEdit>& edit) {
    if (edit) {
        edit::ApplyNoteDiff(chart.notes, edit->diff.removed, edit->diff.added);
        chart.lengthRows = edit->lengthAfter;
    }
    return chart;
}

// Two charts read from a file (a SINGLE with taps, a jump, 16ths and holds,
// a DOUBLE with notes on both pads), a tempo change and a stop.
inline chart::Song RichSong() {
    return dwi::ReadSong("#TITLE:Song;#ARTIST:Artist;#BPM:150;#GAP:250;#CHANGEBPM:64=75;"
                         "#FREEZE:32=250;\n#SINGLE:MANIAC:7:4A(6!64)020608!8072(06)000;\n"
                         "#DOUBLE:BASIC:3:40000080:604!4040A0;\n");
}

// Equal in content, chart identities included.
inline bool SameSong(const chart::Song& a, const chart::Song& b) {
    bool same = chart::SameContent(a, b);
    for (std::size_t i = 0; same && i < a.charts.size(); ++i) {
        same = a.charts[i].sourceId == b.charts[i].sourceId;
    }
    return same;
}

} // namespace edit_test
