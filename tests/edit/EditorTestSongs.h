#pragma once

#include "chart/Song.h"

// Songs for the editing tests.
namespace edit_test {

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
    chart::SongChart single;
    single.difficulty = "MANIAC";
    single.rating = 7;
    single.sourceId = 3;
    for (const chart::Note& note : std::initializer_list<chart::Note>{{0, 0, 0},
                                                                      {24, 1, 0},
                                                                      {24, 2, 0},
                                                                      {48, 3, 96},
                                                                      {60, 0, 0},
                                                                      {96, 1, 0},
                                                                      {192, 2, 48},
                                                                      {240, 0, 0},
                                                                      {264, 1, 0},
                                                                      {300, 3, 0}}) {
        single.notes.AppendSorted(note);
    }
    single.lengthRows = 384;
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
