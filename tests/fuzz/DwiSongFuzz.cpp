// libFuzzer harness for the song document reader and writer. Besides not
// crashing, every input must keep the two round-trip promises: a file read
// and written with no edit comes back byte for byte, and an edited document
// written and read again means the same.
#include "dwi/DwiSong.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    chart::Song song = dwi::ReadSong(bytes);
    if (dwi::WriteSong(song) != bytes) {
        __builtin_trap();
    }
    // One edit of each kind the writer treats apart.
    song.title += "x";
    song.changes.push_back({1.5, 150.0});
    if (!song.charts.empty()) {
        chart::SongChart& chart = song.charts.front();
        chart.notes.Set({48, 0, 24});
        chart.lengthRows = std::max(chart.lengthRows, chart.notes.EndRow());
    }
    const chart::Song again = dwi::ReadSong(dwi::WriteSong(song));
    if (!chart::SameContent(song, again)) {
        __builtin_trap();
    }
    return 0;
}
