#include "simfile/SmNotes.h"
#include "simfile/SmRecords.h"
#include "simfile/SmSong.h"
#include "simfile/SmSongRecords.h"

#include <array>
#include <map>
#include <set>

namespace sm {

using chart::Song;
using chart::SongChart;
using chart::SourceRecord;
using namespace detail;

namespace {

constexpr float kDefaultBpm = 0.01f;
constexpr float kDefaultSampleLengthSeconds = 5.0f;

bool IsSsc(const Song& song) {
    return song.format == chart::SongFormat::Ssc;
}

// The key and values of the record a SourceRecord's text starts with.
struct Parsed {
    std::string key;
    std::vector<std::string> fields;
    bool found = false;
};
Parsed Parse(const SourceRecord& record) {
    Parsed parsed;
    const std::string_view text = record.text;
    const std::size_t begin = NextSmRecordStart(text, 0);
    if (begin < text.size()) {
        std::size_t resume = begin;
        const dwi::RecordSpan span = ScanSmRecord(text, begin, resume);
        parsed = {SmRecordKey(text, span), SmRecordFields(text, span), true};
    }
    return parsed;
}

// The value text of a song tag for the song as it is now.
std::string SongValue(std::string_view slot, const Song& song, double version) {
    if (slot == "TITLE") {
        return EscapeValue(song.title);
    }
    if (slot == "ARTIST") {
        return EscapeValue(song.artist);
    }
    if (slot == "OFFSET") {
        return FloatText(0.0f - song.gapSeconds); // 0, not -0
    }
    if (slot == "BPMS") {
        return BpmsText(song);
    }
    if (slot == "STOPS") {
        return StopsText(song);
    }
    if (slot == "DELAYS") {
        return DelaysText(song);
    }
    if (slot == "WARPS") {
        return WarpsText(song, version);
    }
    if (slot == "SAMPLESTART") {
        return FloatText(song.sampleStartSeconds);
    }
    return FloatText(song.sampleLengthSeconds);
}

bool DiffersFromAbsent(std::string_view slot, const Song& song) {
    if (slot == "TITLE" || slot == "ARTIST") {
        return !(slot == "TITLE" ? song.title : song.artist).empty();
    }
    if (slot == "OFFSET") {
        return song.gapSeconds != 0.0f;
    }
    if (slot == "BPMS") {
        return song.bpm != kDefaultBpm || !song.changes.empty();
    }
    if (slot == "STOPS") {
        return !song.stops.empty();
    }
    if (slot == "DELAYS") {
        return !song.delays.empty();
    }
    if (slot == "WARPS") {
        return !song.warps.empty();
    }
    if (slot == "SAMPLESTART") {
        return song.sampleStartSeconds != 0.0f;
    }
    return song.sampleLengthSeconds != kDefaultSampleLengthSeconds;
}

std::vector<std::string_view> SongSlots(const Song& song) {
    if (IsSsc(song)) {
        return {"TITLE",  "ARTIST", "OFFSET",      "BPMS",        "STOPS",
                "DELAYS", "WARPS",  "SAMPLESTART", "SAMPLELENGTH"};
    }
    return {"TITLE", "ARTIST", "OFFSET", "BPMS", "STOPS", "SAMPLESTART", "SAMPLELENGTH"};
}

// True when the song tag still says what the song holds.
bool SongRecordUnchanged(const SourceRecord& record, const Song& song, double version) {
    const Parsed parsed = Parse(record);
    Song probe;
    probe.format = song.format;
    probe.title = song.title;
    probe.artist = song.artist;
    probe.bpm = song.bpm;
    probe.gapSeconds = song.gapSeconds;
    probe.sampleStartSeconds = song.sampleStartSeconds;
    probe.sampleLengthSeconds = song.sampleLengthSeconds;
    probe.changes = song.changes;
    probe.stops = song.stops;
    probe.delays = song.delays;
    probe.warps = song.warps;
    if (!parsed.found || !ApplySongRecord(parsed.key, parsed.fields, probe, version, nullptr)) {
        return false;
    }
    return probe.title == song.title && probe.artist == song.artist && probe.bpm == song.bpm &&
           probe.gapSeconds == song.gapSeconds &&
           probe.sampleStartSeconds == song.sampleStartSeconds &&
           probe.sampleLengthSeconds == song.sampleLengthSeconds && probe.changes == song.changes &&
           probe.stops == song.stops && probe.delays == song.delays && probe.warps == song.warps;
}

using Owners = std::map<std::string, std::size_t, std::less<>>;

// .sm tempos and stops mean something only together (negative ones make
// warps): true when the records that stand for them, read together, still
// give the song's tempos, stops and warps.
bool SmTimingUnchanged(const Song& song, const Owners& owner) {
    if (song.format != chart::SongFormat::Sm) {
        return false;
    }
    Song probe;
    probe.format = song.format;
    probe.bpm = song.bpm;
    probe.changes = song.changes;
    probe.stops = song.stops;
    bool any = false;
    for (std::string_view slot : {"BPMS", "STOPS"}) {
        const auto found = owner.find(slot);
        if (found == owner.end()) {
            continue;
        }
        const Parsed parsed = Parse(song.records[found->second]);
        if (!parsed.found ||
            !ApplySongRecord(parsed.key, parsed.fields, probe, kCurrentSscVersion, nullptr)) {
            return false;
        }
        any = true;
    }
    ResolveSmWarps(probe);
    return any && probe.bpm == song.bpm && probe.changes == song.changes &&
           probe.stops == song.stops && probe.warps == song.warps;
}

std::string NotesValue(const SongChart& chart, std::string_view lineEnd) {
    const std::string notes = EncodeNotes(chart.notes, chart.lengthRows, lineEnd);
    // No measures: nothing after the ":", or a line end would read as one.
    return notes.empty() ? std::string() : std::string(lineEnd) + notes;
}

std::string SmChartText(const SongChart& chart, bool other, std::string_view end) {
    std::string text = "#NOTES:";
    for (const std::string& value :
         {StepsTypeText(chart, other), chart.description, chart.difficulty,
          std::to_string(chart.rating), chart.radarValues}) {
        text += end;
        text += "     " + EscapeValue(value) + ":";
    }
    return text + NotesValue(chart, end) + ";";
}

std::string Tag(std::string_view key, std::string_view value, std::string_view end) {
    return "#" + std::string(key) + ":" + std::string(value) + ";" + std::string(end);
}

std::string ChartValue(std::string_view key, const SongChart& chart, bool other, double version,
                       std::string_view end) {
    if (key == "STEPSTYPE") {
        return EscapeValue(StepsTypeText(chart, other));
    }
    if (key == "DESCRIPTION") {
        return EscapeValue(chart.description);
    }
    if (key == "DIFFICULTY") {
        return EscapeValue(chart.difficulty);
    }
    if (key == "METER") {
        return std::to_string(chart.rating);
    }
    if (key == "RADARVALUES") {
        return EscapeValue(chart.radarValues);
    }
    if (key == "NOTES" || key == "NOTES2") {
        return NotesValue(chart, end);
    }
    const chart::ChartTiming& timing = *chart.timing;
    if (key == "OFFSET") {
        return FloatText(0.0f - timing.gapSeconds);
    }
    if (key == "BPMS") {
        return BpmsText(timing);
    }
    if (key == "STOPS") {
        return StopsText(timing);
    }
    if (key == "DELAYS") {
        return DelaysText(timing);
    }
    if (key == "WARPS") {
        return WarpsText(timing, version);
    }
    return {};
}

constexpr std::array<std::string_view, 5> kTimingKeys{"OFFSET", "BPMS", "STOPS", "DELAYS", "WARPS"};
constexpr std::array<std::string_view, 5> kHeaderKeys{"STEPSTYPE", "DESCRIPTION", "DIFFICULTY",
                                                      "METER", "RADARVALUES"};

std::string SscChartText(const SongChart& chart, bool other, double version, std::string_view end) {
    std::string text = Tag("NOTEDATA", "", end);
    for (std::string_view key : kHeaderKeys) {
        text += Tag(key, ChartValue(key, chart, other, version, end), end);
    }
    if (chart.timing) {
        for (std::string_view key : kTimingKeys) {
            text += Tag(key, ChartValue(key, chart, other, version, end), end);
        }
    }
    return text + "#NOTES:" + NotesValue(chart, end) + ";";
}

// What a read ".ssc" chart block holds: the keys read, and whether any
// timing tag stands in it (read or not, it gives the chart its own timing).
struct Block {
    std::set<std::string, std::less<>> keys;
    bool timing = false;
};

// Tags a changed chart needs that its block lacks, in the games' order.
std::string MissingChartTags(const SongChart& chart, bool other, const Block& block,
                             const Song& song, double version, std::string_view end) {
    std::string text;
    const auto add = [&](std::string_view key, bool needed) {
        if (needed && block.keys.count(key) == 0) {
            text += Tag(key, ChartValue(key, chart, other, version, end), end);
        }
    };
    add("STEPSTYPE", !chart.stepsType.empty());
    add("DESCRIPTION", !chart.description.empty());
    add("DIFFICULTY", !chart.difficulty.empty());
    add("METER", chart.rating != 1);
    add("RADARVALUES", !chart.radarValues.empty());
    if (chart.timing) {
        const chart::ChartTiming& t = *chart.timing;
        add("OFFSET", !block.timing || t.gapSeconds != song.gapSeconds);
        add("BPMS", !block.timing || t.bpm != song.bpm || t.changes != song.changes);
        add("STOPS", !block.timing || !t.stops.empty());
        add("DELAYS", !block.timing || !t.delays.empty());
        add("WARPS", !block.timing || !t.warps.empty());
    }
    return text;
}

bool ChartRecordUnchanged(const SourceRecord& record, const SongChart& chart, const Song& song,
                          double version) {
    const Parsed parsed = Parse(record);
    if (!parsed.found) {
        return false;
    }
    if (!IsSsc(song)) {
        const auto before = ChartOfSmNotes(parsed.fields);
        return before && before->SameContent(chart);
    }
    SongChart probe = chart;
    return ApplyChartRecord(parsed.key, parsed.fields, probe, song, version, nullptr) &&
           probe.SameContent(chart);
}

std::string WriteOwnLayout(const Song& song) {
    const std::string& end = song.lineEnd;
    const double version = kCurrentSscVersion;
    std::string out = IsSsc(song) ? Tag("VERSION", "0.83", end) : std::string();
    for (std::string_view slot : SongSlots(song)) {
        out += Tag(slot, SongValue(slot, song, version), end);
    }
    for (const SourceRecord& record : song.records) {
        if (!record.interpreted && record.chartId == 0) {
            out += record.text + record.trailing;
        }
    }
    if (!out.empty() && out.back() != '\n') {
        out += end;
    }
    for (const auto* list : {&song.charts, &song.otherCharts}) {
        const bool other = list == &song.otherCharts;
        for (const SongChart& chart : *list) {
            out += IsSsc(song) ? SscChartText(chart, other, version, end)
                               : SmChartText(chart, other, end);
            out += end;
        }
    }
    return out;
}

} // namespace

std::string WriteSong(const Song& song) {
    if (!song.WasRead()) {
        return WriteOwnLayout(song);
    }
    const std::string& end = song.lineEnd;
    // Each "#VERSION" rules the tags after it, as the reader takes them.
    double version = kCurrentSscVersion;
    const bool ssc = IsSsc(song);
    Owners owner;
    std::map<std::uint32_t, Block> blocks;
    std::size_t firstChart = song.records.size();
    std::size_t lastChart = song.records.size();
    for (std::size_t i = 0; i < song.records.size(); ++i) {
        const SourceRecord& record = song.records[i];
        // Song tags go before any "#NOTEDATA", read as a chart or not: after
        // one that never reached its "#NOTES" they would join its block.
        if (ssc && record.key == "NOTEDATA") {
            firstChart = std::min(firstChart, i);
        }
        if (record.chartId != 0) {
            firstChart = std::min(firstChart, i);
            lastChart = i;
            Block& block = blocks[record.chartId];
            block.timing = block.timing || IsChartTimingKey(record.key);
            if (record.interpreted) {
                block.keys.insert(record.key);
            }
        } else if (record.interpreted) {
            owner[std::string(SlotOf(record.key))] = i;
        }
    }
    const bool smTimingKept = SmTimingUnchanged(song, owner);
    std::map<std::uint32_t, const SongChart*> chartsById;
    std::set<const SongChart*> others;
    for (const auto* list : {&song.charts, &song.otherCharts}) {
        for (const SongChart& chart : *list) {
            if (chart.sourceId != 0) {
                chartsById.emplace(chart.sourceId, &chart);
            }
            if (list == &song.otherCharts) {
                others.insert(&chart);
            }
        }
    }

    std::string out = song.leadingText;
    const auto ensureLineStart = [&out, &end]() {
        if (!out.empty() && out.back() != '\n') {
            out += end;
        }
    };
    const auto addMissingSongTags = [&]() {
        for (std::string_view slot : SongSlots(song)) {
            if (owner.find(slot) == owner.end() && DiffersFromAbsent(slot, song)) {
                ensureLineStart();
                out += Tag(slot, SongValue(slot, song, version), end);
            }
        }
    };
    const auto addNewCharts = [&]() {
        for (const auto* list : {&song.charts, &song.otherCharts}) {
            for (const SongChart& chart : *list) {
                // A copy of a read chart (same id) is new too.
                const auto found = chartsById.find(chart.sourceId);
                if (blocks.count(chart.sourceId) == 0 || found == chartsById.end() ||
                    found->second != &chart) {
                    ensureLineStart();
                    const bool other = others.count(&chart) != 0;
                    out += ssc ? SscChartText(chart, other, version, end)
                               : SmChartText(chart, other, end);
                    out += end;
                }
            }
        }
    };

    for (std::size_t i = 0; i < song.records.size(); ++i) {
        const SourceRecord& record = song.records[i];
        if (i == firstChart) {
            addMissingSongTags();
        }
        if (record.chartId != 0) {
            const auto found = chartsById.find(record.chartId);
            // A deleted chart's records go, with their lines.
            if (found != chartsById.end()) {
                const SongChart& chart = *found->second;
                const bool other = others.count(&chart) != 0;
                const bool timingKey = ssc && IsChartTimingKey(record.key);
                if (timingKey && !chart.timing) {
                    // The chart follows the song's timing now.
                } else if (!record.interpreted ||
                           ChartRecordUnchanged(record, chart, song, version)) {
                    if (ssc && (record.key == "NOTES" || record.key == "NOTES2")) {
                        out += MissingChartTags(chart, other, blocks[record.chartId], song, version,
                                                end);
                    }
                    out += record.text + record.trailing;
                } else if (!ssc) {
                    out += SmChartText(chart, other, end) + record.trailing;
                } else {
                    if (record.key == "NOTES" || record.key == "NOTES2") {
                        out += MissingChartTags(chart, other, blocks[record.chartId], song, version,
                                                end);
                    }
                    out += "#" + record.key + ":" +
                           ChartValue(record.key, chart, other, version, end) + ";" +
                           record.trailing;
                }
            }
        } else if (!record.interpreted || record.key == "VERSION" ||
                   owner[std::string(SlotOf(record.key))] != i ||
                   (smTimingKept &&
                    (SlotOf(record.key) == "BPMS" || SlotOf(record.key) == "STOPS")) ||
                   SongRecordUnchanged(record, song, version)) {
            out += record.text + record.trailing;
        } else {
            out += "#" + record.key + ":" + SongValue(SlotOf(record.key), song, version) + ";" +
                   record.trailing;
        }
        if (ssc && record.key == "VERSION" && record.interpreted && record.chartId == 0) {
            version = ParseVersion(Parse(record).fields);
        }
        if (i == lastChart) {
            addNewCharts();
        }
    }
    if (firstChart == song.records.size()) {
        addMissingSongTags();
    }
    if (lastChart == song.records.size()) {
        addNewCharts();
    }
    return out;
}

} // namespace sm
