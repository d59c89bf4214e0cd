#include "edit/ChangeTiming.h"

namespace edit {

SongTimingValues SongTimingValues::Of(const chart::Song& song) {
    return {song.bpm,     song.gapSeconds, song.sampleStartSeconds, song.sampleLengthSeconds,
            song.changes, song.stops};
}

void SongTimingValues::ApplyTo(chart::Song& song) const {
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    song.sampleStartSeconds = sampleStartSeconds;
    song.sampleLengthSeconds = sampleLengthSeconds;
    song.changes = changes;
    song.stops = stops;
}

void ChangeTiming::Swap(chart::Song& song) {
    SongTimingValues current = SongTimingValues::Of(song);
    m_other.ApplyTo(song);
    m_other = std::move(current);
}

} // namespace edit
