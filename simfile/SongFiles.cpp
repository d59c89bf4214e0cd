#include "simfile/SongFiles.h"

#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "simfile/SmSong.h"
#include "simfile/StepsTypes.h"

namespace sm {

namespace {

bool HoldsRecordsOfItsFormat(const chart::Song& song) {
    for (const chart::SourceRecord& record : song.records) {
        if (record.interpreted) {
            return true;
        }
    }
    return !song.charts.empty() || !song.otherCharts.empty();
}

} // namespace

dwi::SongFile ReadAnySongFile(const std::string& path) {
    const auto format = FormatOfPath(path);
    if (!format || *format == chart::SongFormat::Dwi) {
        return dwi::ReadSongFile(path);
    }
    dwi::DwiFileBytes bytes = dwi::ReadDwiFile(path);
    if (!bytes.error.empty()) {
        return {{}, std::move(bytes.error), {}};
    }
    dwi::SongFile read;
    read.song = ReadSong(bytes.bytes, *format, &read.leftOut);
    if (!HoldsRecordsOfItsFormat(read.song)) {
        return {{},
                "Could not open \"" + path + "\":\r\nIt is not a " +
                    std::string(ExtensionOf(*format)) +
                    " file; none of its records is one of the format.",
                {}};
    }
    return read;
}

std::string WriteAnySong(const chart::Song& song) {
    return song.format == chart::SongFormat::Dwi ? dwi::WriteSong(song) : WriteSong(song);
}

std::optional<std::string> SaveAnySong(const std::string& path, const chart::Song& song) {
    return dwi::WriteFileAtomically(path, WriteAnySong(song));
}

std::vector<std::string> SaveLosses(const chart::Song& song) {
    if (song.format != chart::SongFormat::Sm || song.warps.empty()) {
        return {};
    }
    const chart::Song back = ReadSong(WriteSong(song), chart::SongFormat::Sm);
    if (back.warps == song.warps) {
        return {};
    }
    const std::size_t count = song.warps.size();
    return {std::to_string(count) + (count == 1 ? " warp" : " warps")};
}

bool HasOwnTempo(const chart::Song& song) {
    if (song.format == chart::SongFormat::Dwi) {
        return dwi::RecordNumber(song, "BPM").has_value();
    }
    for (const chart::SourceRecord& record : song.records) {
        if (record.interpreted && record.chartId == 0 && record.key == "BPMS") {
            return true;
        }
    }
    return false;
}

std::optional<std::string> MusicRecord(const chart::Song& song) {
    return dwi::KeptRecordValue(song, song.format == chart::SongFormat::Dwi ? "FILE" : "MUSIC");
}

} // namespace sm
