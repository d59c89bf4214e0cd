#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The windowless tools that take any of the three chart formats.
namespace app {

// --convert: reads in and writes it to out in the format out's extension
// names. The same format is a copy as Save writes it (byte for byte for a
// file read whole); another names on err, one line, what it cannot hold.
// False, and out untouched, when in cannot be read, out's extension names no
// format, or the write fails.
bool ConvertSongFile(const std::string& in, const std::string& out, std::FILE* err);

} // namespace app
