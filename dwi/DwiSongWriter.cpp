#include "dwi/AtomicFile.h"
#include "dwi/DwiNumbers.h"
#include "dwi/DwiSong.h"
#include "dwi/DwiSongRecords.h"
#include "dwi/DwiSteps.h"

#include <array>
#include <charconv>
#include <map>
#include <set>

namespace dwi {

using chart::Song;
using chart::SongChart;
using chart::SourceRecord;
using detail::ApplyRecord;
using detail::ChartOfRecord;

namespace {

constexpr float kDefaultBpm = 0.01f;
constexpr float kDefaultSampleLengthSeconds = 5.0f;

std::string Shortest(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

template <typename Item, typename Value>
std::string BeatList(const std::vector<Item>& items, Value value) {
    std::string text;
    for (const Item& item : items) {
        if (!text.empty()) {
            text += ',';
        }
        text += Shortest(item.beat * 4.0) + "=" + Shortest(value(item));
    }
    return text;
}

std::string BpmText(float bpm) {
    return FormatFixed(static_cast<double>(bpm), 3, 6);
}
std::string GapText(float gapSeconds) {
    return FormatFixed(static_cast<double>(gapSeconds) * 1000.0, 5, 3);
}
std::string SecondsText(float seconds) {
    return FormatFixed(static_cast<double>(seconds), 3, 5);
}

// The value text of an interpreted scalar record for the song as it is now;
// none when the song no longer has anything to say there.
std::optional<std::string> ScalarValue(std::string_view key, const Song& song) {
    if (key == "TITLE") {
        return song.title;
    }
    if (key == "ARTIST") {
        return song.artist;
    }
    if (key == "BPM") {
        return BpmText(song.bpm);
    }
    if (key == "GAP") {
        return GapText(song.gapSeconds);
    }
    if (key == "SAMPLESTART") {
        return SecondsText(song.sampleStartSeconds);
    }
    if (key == "SAMPLELENGTH") {
        return SecondsText(song.sampleLengthSeconds);
    }
    if (key == "CHANGEBPM") {
        if (song.changes.empty()) {
            return std::nullopt;
        }
        return BeatList(song.changes, [](const chart::BpmChange& c) { return c.bpm; });
    }
    if (key == "FREEZE") {
        if (song.stops.empty()) {
            return std::nullopt;
        }
        return BeatList(song.stops, [](const chart::Stop& s) { return s.durationMs; });
    }
    return std::nullopt;
}

// True when the record still says what the song holds for its key.
bool ScalarUnchanged(const SourceRecord& record, const Song& song) {
    const std::vector<Record> split = SplitRecords(record.text);
    if (split.empty()) {
        return false;
    }
    // Start from the song's values so that only the record's own field can
    // differ, then compare.
    Song probe;
    probe.title = song.title;
    probe.artist = song.artist;
    probe.bpm = song.bpm;
    probe.gapSeconds = song.gapSeconds;
    probe.sampleStartSeconds = song.sampleStartSeconds;
    probe.sampleLengthSeconds = song.sampleLengthSeconds;
    probe.changes = song.changes;
    probe.stops = song.stops;
    if (record.key == "TITLE") {
        probe.title.clear();
    } else if (record.key == "ARTIST") {
        probe.artist.clear();
    } else if (record.key == "CHANGEBPM") {
        probe.changes.clear();
    } else if (record.key == "FREEZE") {
        probe.stops.clear();
    }
    if (!ApplyRecord(split.front(), probe)) {
        return false;
    }
    return probe.title == song.title && probe.artist == song.artist && probe.bpm == song.bpm &&
           probe.gapSeconds == song.gapSeconds &&
           probe.sampleStartSeconds == song.sampleStartSeconds &&
           probe.sampleLengthSeconds == song.sampleLengthSeconds && probe.changes == song.changes &&
           probe.stops == song.stops;
}

std::string ChartText(const SongChart& chart, std::string_view lineEnd, bool ownLayout) {
    std::string head = "#" + std::string(chart::StyleName(chart.style)) + ":" + chart.difficulty +
                       ":" + std::to_string(chart.rating) + ":";
    if (ownLayout && IsPlainEighths(chart)) {
        return head + PlainEighths(chart) + ";";
    }
    head += lineEnd;
    head += WritePadSteps(chart, 0, lineEnd);
    if (chart::ColumnsOf(chart.style) == 8) {
        head += ":";
        head += lineEnd;
        head += WritePadSteps(chart, 4, lineEnd);
    }
    return head + ";";
}

// Scalar records in the order they are added to a file that lacks them,
// with the value a file without the record reads as.
bool DiffersFromAbsent(std::string_view key, const Song& song) {
    if (key == "TITLE") {
        return !song.title.empty();
    }
    if (key == "ARTIST") {
        return !song.artist.empty();
    }
    if (key == "BPM") {
        return song.bpm != kDefaultBpm;
    }
    if (key == "GAP") {
        return song.gapSeconds != 0.0f;
    }
    if (key == "SAMPLESTART") {
        return song.sampleStartSeconds != 0.0f;
    }
    if (key == "SAMPLELENGTH") {
        return song.sampleLengthSeconds != kDefaultSampleLengthSeconds;
    }
    if (key == "CHANGEBPM") {
        return !song.changes.empty();
    }
    return key == "FREEZE" && !song.stops.empty();
}

constexpr std::array<std::string_view, 8> kScalarKeys{
    "TITLE", "ARTIST", "BPM", "GAP", "CHANGEBPM", "FREEZE", "SAMPLESTART", "SAMPLELENGTH"};

std::string WriteOwnLayout(const Song& song) {
    const std::string_view end = "\r\n";
    std::string out = "#STATUS:NEW\r\n";
    out += "#TITLE:" + song.title + ";\r\n";
    out += "#ARTIST:" + song.artist + ";\r\n";
    out += "#BPM:" + BpmText(song.bpm) + ";\r\n";
    out += "#GAP:" + GapText(song.gapSeconds) + ";\r\n\r\n";
    for (std::string_view key : {"CHANGEBPM", "FREEZE"}) {
        if (const auto value = ScalarValue(key, song)) {
            out += "#" + std::string(key) + ":" + *value + ";\r\n";
        }
    }
    out += "#SAMPLESTART:" + SecondsText(song.sampleStartSeconds) + ";\r\n";
    out += "#SAMPLELENGTH:" + SecondsText(song.sampleLengthSeconds) + ";\r\n";
    // Tags the song keeps as text (a converted song's #FILE, #GENRE...);
    // "#STATUS" is written above.
    for (const SourceRecord& record : song.records) {
        if (!record.interpreted && record.key != "STATUS") {
            out += record.text + record.trailing;
        }
    }
    if (out.back() != '\n') {
        out += end;
    }
    for (const SongChart& chart : song.charts) {
        out += ChartText(chart, end, true);
        out += end;
    }
    return out;
}

} // namespace

std::string WriteSong(const Song& song) {
    if (!song.WasRead()) {
        return WriteOwnLayout(song);
    }
    const std::string& end = song.lineEnd;
    // The record that holds each scalar: the last one read (it won).
    std::map<std::string, std::size_t, std::less<>> owner;
    std::size_t firstChart = song.records.size();
    std::size_t lastChart = song.records.size();
    for (std::size_t i = 0; i < song.records.size(); ++i) {
        const SourceRecord& record = song.records[i];
        if (!record.interpreted) {
            continue;
        }
        if (record.chartId != 0) {
            firstChart = std::min(firstChart, i);
            lastChart = i;
        } else {
            owner[record.key] = i;
        }
    }
    std::map<std::uint32_t, const SongChart*> chartsById;
    for (const SongChart& chart : song.charts) {
        if (chart.sourceId != 0) {
            chartsById.emplace(chart.sourceId, &chart);
        }
    }

    std::string out = song.leadingText;
    const auto ensureLineStart = [&out, &end]() {
        if (!out.empty() && out.back() != '\n') {
            out += end;
        }
    };
    const auto addMissingScalars = [&]() {
        for (std::string_view key : kScalarKeys) {
            if (owner.find(key) == owner.end() && DiffersFromAbsent(key, song)) {
                if (const auto value = ScalarValue(key, song)) {
                    ensureLineStart();
                    out += "#" + std::string(key) + ":" + *value + ";" + end;
                }
            }
        }
    };
    std::set<std::uint32_t> readIds;
    for (const SourceRecord& record : song.records) {
        if (record.chartId != 0) {
            readIds.insert(record.chartId);
        }
    }
    const auto addNewCharts = [&]() {
        for (const SongChart& chart : song.charts) {
            // A copy of a read chart (same id) is new too.
            const auto found = chartsById.find(chart.sourceId);
            if (readIds.count(chart.sourceId) == 0 || found == chartsById.end() ||
                found->second != &chart) {
                ensureLineStart();
                out += ChartText(chart, end, false) + end;
            }
        }
    };

    for (std::size_t i = 0; i < song.records.size(); ++i) {
        const SourceRecord& record = song.records[i];
        if (i == firstChart) {
            addMissingScalars();
        }
        if (!record.interpreted) {
            out += record.text + record.trailing;
        } else if (record.chartId != 0) {
            const auto found = chartsById.find(record.chartId);
            if (found == chartsById.end()) {
                // The chart was deleted: its record goes, with its line.
            } else {
                const std::vector<Record> split = SplitRecords(record.text);
                const auto before = split.empty() ? std::nullopt : ChartOfRecord(split.front());
                out += before && before->SameContent(*found->second)
                           ? record.text
                           : ChartText(*found->second, end, false);
                out += record.trailing;
            }
        } else if (owner[record.key] != i || ScalarUnchanged(record, song)) {
            out += record.text + record.trailing;
        } else if (const auto value = ScalarValue(record.key, song)) {
            out += "#" + record.key + ":" + *value + ";" + record.trailing;
        }
        if (i == lastChart) {
            addNewCharts();
        }
    }
    if (firstChart == song.records.size()) {
        addMissingScalars();
        addNewCharts();
    }
    return out;
}

std::optional<std::string> SaveSong(const std::string& path, const Song& song) {
    return WriteFileAtomically(path, WriteSong(song));
}

} // namespace dwi
