#include "edit/ChartSong.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

namespace edit {

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// The entry of folder whose name equals name without regard to case; an
// exact match wins.
std::optional<fs::path> EntryIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code error;
    if (fs::exists(folder / name, error)) {
        return folder / name;
    }
    const std::string wanted = Lower(name);
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (Lower(entry.path().filename().string()) == wanted) {
            return entry.path();
        }
    }
    return std::nullopt;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::optional<fs::path> ResolveFileRecord(const fs::path& folder, std::string record) {
    std::replace(record.begin(), record.end(), '\\', '/');
    const auto first = record.find_first_not_of(" \t\r\n");
    const auto last = record.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    record = record.substr(first, last - first + 1);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= record.size()) {
        const std::size_t slash = std::min(record.find('/', start), record.size());
        const std::string part = record.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    // Relative to the chart's folder, part by part.
    fs::path walked = folder;
    bool found = true;
    for (const std::string& part : parts) {
        if (part == "..") {
            walked = walked.parent_path();
            continue;
        }
        const auto entry = EntryIgnoringCase(walked, part);
        if (!entry) {
            found = false;
            break;
        }
        walked = *entry;
    }
    if (found && IsRegularFile(walked)) {
        return walked;
    }
    // Relative to the game's folder: the file name alone, beside the chart.
    const auto beside = EntryIgnoringCase(folder, parts.back());
    if (beside && IsRegularFile(*beside)) {
        return beside;
    }
    return std::nullopt;
}

bool IsMusicFile(const fs::path& path) {
    const std::string extension = Lower(path.extension().string());
    return extension == ".mp3" || extension == ".ogg" || extension == ".wav" ||
           extension == ".flac" || extension == ".opus" || extension == ".oga";
}

} // namespace

SongSearch FindSongForChart(const std::string& chartPath,
                            const std::optional<std::string>& fileRecord) {
    const fs::path folder = fs::absolute(fs::path(chartPath)).parent_path();
    SongSearch search;
    search.folder = folder.string();
    if (fileRecord) {
        if (const auto path = ResolveFileRecord(folder, *fileRecord)) {
            search.songPath = path->string();
            return search;
        }
    }
    std::vector<fs::path> music;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (IsMusicFile(entry.path()) && IsRegularFile(entry.path())) {
            music.push_back(entry.path());
        }
    }
    if (music.size() == 1) {
        search.songPath = music.front().string();
    }
    return search;
}

chart::StepChart SlotsOfChart(const chart::SongChart& songChart, bool& lossy) {
    lossy = songChart.style != chart::ChartStyle::Single;
    static constexpr chart::ArrowSet kArrowOfColumn[] = {chart::kArrowLeft, chart::kArrowDown,
                                                         chart::kArrowUp, chart::kArrowRight};
    std::vector<chart::ArrowSet> slots(static_cast<std::size_t>(
        (std::max(songChart.lengthRows, songChart.notes.EndRow()) + 23) / 24));
    for (const chart::Note& note : songChart.notes.Notes()) {
        if (note.row % 24 != 0 || note.IsHold() || note.column >= 4) {
            lossy = true;
        }
        if (note.column < 4) {
            slots[static_cast<std::size_t>(note.row / 24)] |= kArrowOfColumn[note.column];
        }
    }
    chart::StepChart steps(slots.size(), chart::kEmptyStep);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const char code = chart::CodeOfArrows(slots[i]);
        if (code == '\0') {
            lossy = true; // three or four arrows: the slots keep none of them
        } else {
            steps[i] = code;
        }
    }
    return steps;
}

std::string ProposedChartPath(const std::string& chartPath, const std::string& title,
                              const std::string& songPath) {
    if (!chartPath.empty()) {
        return chartPath;
    }
    if (songPath.empty() && title.empty()) {
        return {};
    }
    const fs::path song(songPath);
    std::string name = song.stem().string();
    if (title.find_first_not_of(" .") != std::string::npos) {
        name = title;
        // Not only '/': the file may be copied to a FAT stick or a Windows
        // machine with the song.
        for (char& c : name) {
            if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos ||
                static_cast<unsigned char>(c) < 0x20) {
                c = '_';
            }
        }
    }
    return (song.parent_path() / (name + ".dwi")).string();
}

std::string MissingSongMessage(const std::optional<std::string>& fileRecord,
                               const std::string& folder) {
    const std::string where = folder.empty() ? std::string("its folder") : folder;
    std::string named;
    if (fileRecord) {
        named = *fileRecord;
        std::replace(named.begin(), named.end(), '\\', '/');
        named = fs::path(named).filename().string();
    }
    const std::string missing =
        !named.empty()
            ? "The song '" + named + "' named by the chart was not found in " + where + "."
            : "The chart names no song, and no single song was found in " + where + ".";
    return missing + " Choose it, or Cancel to edit the chart without sound.";
}

double StandInSeconds(const chart::Song& song) {
    constexpr double kRoomBeats = 32.0;
    constexpr double kLeastSeconds = 30.0;
    std::int32_t lastRow = 0;
    for (const chart::SongChart& chart : song.charts) {
        lastRow = std::max({lastRow, chart.lengthRows, chart.notes.EndRow()});
    }
    const double beats = static_cast<double>(lastRow) / chart::kRowsPerBeat + kRoomBeats;
    const double seconds = song.Timing().SecondsAt(beats);
    return std::isfinite(seconds) ? std::max(seconds, kLeastSeconds) : kLeastSeconds;
}

} // namespace edit
