#pragma once

#include "chart/Song.h"

#include <string>
#include <vector>

// Turning a song of one of the three formats into a song of another, and
// saying what the other cannot hold.
//
// What goes across:
// - Title, artist, BPM, the time of beat 0 (the .dwi Gap is the negated
//   .sm/.ssc OFFSET; both are gapSeconds), tempo changes, stops (.dwi
//   freezes), the preview sample and every dance chart, its notes and
//   holds unchanged (both sides count 48 rows a beat).
// - Difficulties by their names in the target (sm::SmDifficulty,
//   sm::DwiDifficulty). A .dwi difficulty no game knows becomes an Edit
//   chart whose description is the old name, so nothing is lost.
// - Kept tags: .dwi #FILE <-> #MUSIC; #GENRE and #CDTITLE as they are;
//   #DISPLAYBPM "a..b" <-> "a:b" ("*" and one number as they are). Between
//   .sm and .ssc every tag the target knows goes across as it stands. A tag
//   none of the three formats knows goes across as it stands in every
//   direction: the games skip it and every reader keeps it.
//
// What is dropped and reported (ConversionLosses, one item each, in this
// order; a count of one takes the singular):
//   "N mines", "N rolls (written as holds)", "N lifts (written as taps)",
//   "N fakes", "N keysound-only notes", "N keysound indexes",
//   "N delays", "N warps",
//   "N time signature changes", "N tick count changes", "N combo changes",
//   "N speed changes", "N scroll changes", "N fake segments", "N labels",
//   "per-chart timing of 'NAME'" (each chart whose timing differs from the
//   song's; it takes the song's),
//   "Edit chart 'NAME'" (each; .dwi has no Edit difficulty, so the chart is
//   left out rather than passed off as another difficulty),
//   "N chart descriptions" (.dwi charts have none),
//   "N pump-single charts" (each steps type the target's pads do not show,
//   in order of first appearance),
//   "#KEY" (each tag the target has no counterpart for, in file order; also
//   a kept record of a key the song's fields stand for: a value the reader
//   could not use or a later record overrode).
// NAME is the chart's description, or its difficulty when it has none.
// Notes of charts that are left out are not counted again. A segment list
// that holds only the games' default at beat 0 (speed 1, 4/4, ...) says
// nothing and goes quietly, as do #STATUS and #VERSION (who wrote the file)
// and comments. The notes .dwi cannot hold: mines, fakes, keysound-only
// notes and keysound indexes; rolls and lifts lose their kind only. .sm
// cannot hold delays, warps, per-chart timing and the .ssc-only tags.
namespace sm {

// The song as a file of the target format holds it, ready for that format's
// writer: format = target, never read (so the writer uses its own layout),
// the kept records mapped to the target's tags (each "#KEY:value;" followed
// by the line end). A song already of the target format is returned as it is.
chart::Song ConvertSong(const chart::Song& song, chart::SongFormat target);

// What the target cannot hold, each item counted and named, in the order
// above; empty when nothing is lost.
std::vector<std::string> ConversionLosses(const chart::Song& song, chart::SongFormat target);

// The items joined with ", ".
std::string LossList(const std::vector<std::string>& losses);

} // namespace sm
