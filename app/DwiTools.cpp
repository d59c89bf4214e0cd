#include "app/DwiTools.h"

#include "audio/TimingMapFinder.h"
#include "chart/ChartStats.h"
#include "dwi/DwiSong.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace app {

namespace {

using json = nlohmann::ordered_json;

// Counts as a game reads the chart. Without kinds (DwiInfoJson, whose
// output predates them) every note is a tap or a hold; a jump is a row where
// two or more arrows start. "jumps" predates chart::ChartStats and keeps its
// meaning here (a hand row is a jump too); "hands" and "peak_nps" are the
// window's figures.
json ChartJson(const chart::SongChart& songChart, const chart::TimingMap& timing,
               bool withKinds = false) {
    std::size_t taps = 0;
    std::size_t holds = 0;
    std::size_t jumps = 0;
    std::map<chart::NoteKind, std::size_t> kinds;
    std::int32_t lastRow = -1;
    std::int32_t rowStart = -1;
    int arrowsOnRow = 0;
    for (const chart::Note& note : songChart.notes.Notes()) {
        if (!withKinds) {
            (note.IsHold() ? holds : taps) += 1;
        } else if (note.kind == chart::NoteKind::Normal) {
            (note.IsHold() ? holds : taps) += 1;
        } else {
            ++kinds[note.kind];
        }
        lastRow = std::max(lastRow, note.EndRow());
        if (withKinds && !note.IsStep()) {
            continue;
        }
        if (note.row != rowStart) {
            rowStart = note.row;
            arrowsOnRow = 0;
        }
        if (++arrowsOnRow == 2) {
            ++jumps;
        }
    }
    json chart = {
        {"style", std::string(chart::StyleName(songChart.style))},
        {"difficulty", songChart.difficulty},
        {"rating", songChart.rating},
        {"taps", taps},
        {"holds", holds},
    };
    if (withKinds) {
        chart["rolls"] = kinds[chart::NoteKind::Roll];
        chart["mines"] = kinds[chart::NoteKind::Mine];
        chart["lifts"] = kinds[chart::NoteKind::Lift];
        chart["fakes"] = kinds[chart::NoteKind::Fake];
    }
    chart["jumps"] = jumps;
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

// A float as the decimal it was read from ("128.3", not 128.30000305...),
// times 10^exponent, worked on the text so that no digit is invented.
json FloatNumber(float value, int exponent = 0) {
    std::array<char, 48> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size() - 8, value);
    const std::string text =
        std::string(buffer.data(), result.ptr) + "e" + std::to_string(exponent);
    double scaled = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), scaled);
    // + 0.0: an #OFFSET of 0 is a Gap of 0, not -0.
    return Number(std::isfinite(value) ? scaled + 0.0 : static_cast<double>(value));
}

// "changes", "stops" (ms), "delays" (seconds, as the formats write them) and
// "warps" (beats) of a timing.
template <typename Timing> void PutTimingLists(json& into, const Timing& timing) {
    json changes = json::array();
    for (const chart::BpmChange& change : timing.changes) {
        changes.push_back({change.beat, Number(change.bpm)});
    }
    json stops = json::array();
    for (const chart::Stop& stop : timing.stops) {
        stops.push_back({stop.beat, Number(stop.durationMs)});
    }
    json delays = json::array();
    for (const chart::Delay& delay : timing.delays) {
        delays.push_back({delay.beat, Number(delay.durationMs / 1000.0)});
    }
    json warps = json::array();
    for (const chart::Warp& warp : timing.warps) {
        warps.push_back({warp.beat, Number(warp.lengthBeats)});
    }
    into["changes"] = changes;
    into["stops"] = stops;
    into["delays"] = delays;
    into["warps"] = warps;
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

std::string InfoJson(const std::string& path, const chart::Song& song) {
    json info = {{"file", path}, {"title", song.title}, {"artist", song.artist}};
    if (song.format == chart::SongFormat::Dwi) {
        // As DwiInfoJson: the numbers as the file writes them.
        const std::optional<double> bpm = dwi::RecordNumber(song, "BPM");
        const std::optional<double> gapMs = dwi::RecordNumber(song, "GAP");
        info["bpm"] = bpm ? Number(*bpm) : FloatNumber(song.bpm);
        info["gap_ms"] = gapMs ? Number(*gapMs) : FloatNumber(song.gapSeconds, 3);
    } else {
        info["bpm"] = FloatNumber(song.bpm);
        info["gap_ms"] = FloatNumber(song.gapSeconds, 3);
    }
    PutTimingLists(info, song);
    json charts = json::array();
    for (const chart::SongChart& songChart : song.charts) {
        json chart = ChartJson(songChart, song.TimingOf(songChart), true);
        if (songChart.timing) {
            chart["bpm"] = FloatNumber(songChart.timing->bpm);
            chart["gap_ms"] = FloatNumber(songChart.timing->gapSeconds, 3);
            PutTimingLists(chart, *songChart.timing);
        }
        charts.push_back(std::move(chart));
    }
    for (const chart::SongChart& other : song.otherCharts) {
        json chart = ChartJson(other, song.TimingOf(other), true);
        chart["style"] = other.stepsType;
        if (other.timing) {
            chart["bpm"] = FloatNumber(other.timing->bpm);
            chart["gap_ms"] = FloatNumber(other.timing->gapSeconds, 3);
            PutTimingLists(chart, *other.timing);
        }
        charts.push_back(std::move(chart));
    }
    info["charts"] = charts;
    return info.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool PrintInfo(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err, ReadFn read) {
    bool allRead = true;
    for (const std::string& path : paths) {
        const dwi::SongFile file = read(path);
        if (!file.error.empty()) {
            std::fprintf(err, "%s\n", file.error.c_str());
            allRead = false;
            continue;
        }
        std::fprintf(out, "%s\n", InfoJson(path, file.song).c_str());
    }
    return allRead;
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
