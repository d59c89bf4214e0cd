#pragma once

#include "chart/Song.h"

#include <cstdio>
#include <string>
#include <vector>

// The windowless .dwi tools of the command line.
namespace app {

// One line of JSON describing the song read from path.
std::string DwiInfoJson(const std::string& path, const chart::Song& song);

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
