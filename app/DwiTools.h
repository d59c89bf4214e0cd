#pragma once

#include "chart/Song.h"
#include "dwi/DwiSong.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The windowless .dwi tools of the command line.
namespace app {

// One line of JSON describing the song read from path.
std::string DwiInfoJson(const std::string& path, const chart::Song& song);

// One line of JSON describing a .dwi, .sm or .ssc song: DwiInfoJson's keys
// in its order, with "delays" ([beat, ms], as "stops") and "warps" ([beat,
// length in beats]) after "stops". bpm and gap_ms are the song's values as
// .dwi counts them (gap_ms is beat 0's time, -#OFFSET * 1000), floats given
// by their shortest decimal. Charts of the dance layouts come first, "style"
// SINGLE/DOUBLE/COUPLE/SOLO, then those of other steps types with their
// steps type as "style". Each chart counts its notes by kind after "holds":
// "taps" (single-row normal notes), "holds", "rolls", "mines", "lifts",
// "fakes" (a roll is not in "holds", a lift not in "taps"; keysound-only
// notes are in none); "jumps" are rows where two or more steps (taps,
// holds, rolls, lifts) start. A chart with its own timing ends with its
// own "bpm", "gap_ms", "changes", "stops", "delays" and "warps", and its
// times follow that timing.
std::string InfoJson(const std::string& path, const chart::Song& song);

// Reads a song of any of the formats; error set when it cannot.
using ReadFn = std::function<dwi::SongFile(const std::string& path)>;
// --info: one InfoJson line per song read on out, the message of each
// that cannot be on err. True when every file was read.
bool PrintInfo(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err, ReadFn read);

// --dwi-info: one JSON line per readable file on out, a message naming each
// unreadable one on err. True when every file was read.
bool PrintDwiInfo(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err);

// --find-timing: one JSON line per song on out, in argument order, with
// --dwi-info's timing keys (file, bpm, gap_ms, changes, stops) and the
// map's confidence: the timing map when the song needs one, else the best
// constant tempo; bpm null when no beat was found. A song that cannot be
// read puts its message on err. `workers` songs at once. True when every
// song was read.
bool PrintTimingMaps(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                     unsigned workers);

// --dwi-copy: reads in and saves it to out as "Save" would, with no edit.
bool CopyDwi(const std::string& in, const std::string& out, std::FILE* err);

} // namespace app
