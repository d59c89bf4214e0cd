#include "app/DwiTools.h"

#include "audio/TimingMapFinder.h"
#include "chart/ChartStats.h"
#include "dwi/DwiSong.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace app {

namespace {

using json = nlohmann::ordered_json;

// Counts as a game reads the chart: every note is a tap or a hold; a jump is
// a row where two or more arrows start. "jumps" predates chart::ChartStats
// and keeps its meaning here (a hand row is a jump too); "hands" and
// "peak_nps" are the window's figures.
json ChartJson(const chart::SongChart& songChart, const chart::TimingMap& timing) {
    std::size_t taps = 0;
    std::size_t holds = 0;
    std::size_t jumps = 0;
    std::int32_t lastRow = -1;
    std::int32_t rowStart = -1;
    int arrowsOnRow = 0;
    for (const chart::Note& note : songChart.notes.Notes()) {
        (note.IsHold() ? holds : taps) += 1;
        if (note.row != rowStart) {
            rowStart = note.row;
            arrowsOnRow = 0;
        }
        if (++arrowsOnRow == 2) {
            ++jumps;
        }
        lastRow = std::max(lastRow, note.EndRow());
    }
    json chart = {
        {"style", std::string(chart::StyleName(songChart.style))},
        {"difficulty", songChart.difficulty},
        {"rating", songChart.rating},
        {"taps", taps},
        {"holds", holds},
        {"jumps", jumps},
    };
    const chart::ChartStats stats = chart::StatsOf(songChart, timing);
    chart["hands"] = stats.hands;
    if (lastRow >= 0) {
        const double lastBeat = static_cast<double>(lastRow) / chart::kRowsPerBeat;
        chart["last_beat"] = lastBeat;
        chart["last_note_seconds"] = timing.SecondsAt(lastBeat);
    } else {
        chart["last_beat"] = nullptr;
        chart["last_note_seconds"] = nullptr;
    }
    chart["peak_nps"] = stats.peakNps;
    return chart;
}

// A number JSON can carry; null for NaN and infinities.
json Number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

} // namespace

std::string DwiInfoJson(const std::string& path, const chart::Song& song) {
    const chart::TimingMap timing = song.Timing();
    json changes = json::array();
    for (const chart::BpmChange& change : song.changes) {
        changes.push_back({change.beat, Number(change.bpm)});
    }
    json stops = json::array();
    for (const chart::Stop& stop : song.stops) {
        stops.push_back({stop.beat, Number(stop.durationMs)});
    }
    json charts = json::array();
    for (const chart::SongChart& songChart : song.charts) {
        charts.push_back(ChartJson(songChart, timing));
    }
    const std::optional<double> bpm = dwi::RecordNumber(song, "BPM");
    const std::optional<double> gapMs = dwi::RecordNumber(song, "GAP");
    const json info = {
        {"file", path},
        {"title", song.title},
        {"artist", song.artist},
        {"bpm", Number(bpm ? *bpm : static_cast<double>(song.bpm))},
        {"gap_ms", Number(gapMs ? *gapMs : static_cast<double>(song.gapSeconds) * 1000.0)},
        {"changes", changes},
        {"stops", stops},
        {"charts", charts},
    };
    // Titles from old files may hold bytes that are not UTF-8 even after
    // reading; replace rather than fail.
    return info.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool PrintDwiInfo(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err) {
    bool allRead = true;
    for (const std::string& path : paths) {
        const dwi::SongFile file = dwi::ReadSongFile(path);
        if (!file.error.empty()) {
            std::fprintf(err, "%s\n", file.error.c_str());
            allRead = false;
            continue;
        }
        std::fprintf(out, "%s\n", DwiInfoJson(path, file.song).c_str());
    }
    return allRead;
}

bool PrintTimingMaps(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                     unsigned workers) {
    bool allRead = true;
    const auto results = audio::FindTimingInFiles(paths, workers);
    for (std::size_t file = 0; file < paths.size(); ++file) {
        const auto& result = results[file];
        if (!result) {
            std::fprintf(err, "%s\n", result.error().message.c_str());
            allRead = false;
            continue;
        }
        json info = {{"file", paths[file]}};
        json changes = json::array();
        json stops = json::array();
        const std::optional<audio::TimingMapFit>& map = result.value().map;
        const bool mapped = map && map->needed && map->bpm > 0;
        if (!mapped && result.value().candidates.empty()) {
            // As --find-tempo says it: the other files are still reported.
            std::fprintf(err, "%s: No steady beat found\n", paths[file].c_str());
            allRead = false;
            continue;
        }
        if (mapped) {
            info["bpm"] = Number(map->bpm);
            info["gap_ms"] = Number(1000.0 * map->gapSeconds);
            for (const chart::BpmChange& change : map->changes) {
                changes.push_back({change.beat, Number(change.bpm)});
            }
            for (const chart::Stop& stop : map->stops) {
                stops.push_back({stop.beat, Number(stop.durationMs)});
            }
        } else {
            const audio::TempoCandidate& best = result.value().candidates.front();
            info["bpm"] = Number(best.bpm);
            info["gap_ms"] = Number(1000.0 * best.gapSeconds);
        }
        info["changes"] = changes;
        info["stops"] = stops;
        info["confidence"] = map ? Number(map->confidence) : json(0.0);
        std::fprintf(out, "%s\n",
                     info.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    }
    return allRead;
}

bool CopyDwi(const std::string& in, const std::string& out, std::FILE* err) {
    const dwi::SongFile file = dwi::ReadSongFile(in);
    if (!file.error.empty()) {
        std::fprintf(err, "%s\n", file.error.c_str());
        return false;
    }
    if (const auto error = dwi::SaveSong(out, file.song)) {
        std::fprintf(err, "Could not save \"%s\": %s\n", out.c_str(), error->c_str());
        return false;
    }
    return true;
}

} // namespace app
