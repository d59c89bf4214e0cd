#pragma once

#include "chart/Song.h"
#include "chart/StepChart.h"

#include <optional>
#include <string>

// Opening a chart file with its song. Game song folders hold the music, the
// .dwi and the pictures; the .dwi's #FILE record was usually written on
// Windows, relative to the game's folder or to the chart's own.
namespace edit {

struct SongSearch {
    std::optional<std::string> songPath; // found
    std::string folder;                  // where to ask the user otherwise
};

// The song of a chart file: the #FILE record's file if it exists (relative
// to the chart's folder, "\" read as a folder separator, every part matched
// without regard to case; failing that, its file name in the chart's
// folder), otherwise the one music file (MP3, Ogg, WAV, FLAC, Opus) in that folder.
SongSearch FindSongForChart(const std::string& chartPath,
                            const std::optional<std::string>& fileRecord);

// What "Save As" proposes: the chart's own file; else, in the song's
// folder, the title (characters a file name cannot hold replaced by "_") or
// failing that the song's name, with ".dwi". Empty when there is nothing to
// go by.
std::string ProposedChartPath(const std::string& chartPath, const std::string& title,
                              const std::string& songPath);

// "The song 'X' named by the chart was not found in FOLDER..." for a chart
// whose song is missing; fileRecord is its #FILE value, if any.
std::string MissingSongMessage(const std::optional<std::string>& fileRecord,
                               const std::string& folder);

// How long a silent stand-in for a chart's missing song runs: past the end
// of its longest chart and of its last note, with room to write on.
double StandInSeconds(const chart::Song& song);

// The chart as the window's half-beat slots: notes on 8ths, at most two
// arrows a slot. lossy is set when the chart holds more (holds, finer notes,
// three arrows on a row), which the slots cannot show.
chart::StepChart SlotsOfChart(const chart::SongChart& chart, bool& lossy);

} // namespace edit
