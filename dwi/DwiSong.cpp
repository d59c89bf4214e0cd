#include "dwi/DwiSong.h"

#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiNumbers.h"
#include "dwi/DwiRecords.h"
#include "dwi/DwiSteps.h"
#include "dwi/DwiText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace dwi {

namespace {

using chart::Song;
using chart::SongChart;
using chart::SourceRecord;

constexpr float kDefaultBpm = 0.01f;
constexpr float kDefaultSampleLengthSeconds = 5.0f;

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string value;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            value += ':';
        }
        value += fields[i];
    }
    return value;
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<float> FiniteFloat(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.4e38) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

// "B=v,B=v": B in quarter beats. Items without "=" or with unusable numbers
// are skipped.
template <typename Item> std::vector<Item> ReadBeatList(std::string_view text) {
    std::vector<Item> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t equals = item.find('=');
        if (equals != std::string_view::npos && !Trimmed(item.substr(0, equals)).empty() &&
            !Trimmed(item.substr(equals + 1)).empty()) {
            const double quarterBeats = ParseDouble(item.substr(0, equals));
            const double value = ParseDouble(item.substr(equals + 1));
            if (std::isfinite(quarterBeats) && std::isfinite(value)) {
                items.push_back({quarterBeats / 4.0, value});
            }
        }
        start = comma + 1;
    }
    return items;
}

std::optional<chart::ChartStyle> StyleOfKey(std::string_view key) {
    if (key == "SINGLE") {
        return chart::ChartStyle::Single;
    }
    if (key == "DOUBLE") {
        return chart::ChartStyle::Double;
    }
    if (key == "COUPLE") {
        return chart::ChartStyle::Couple;
    }
    if (key == "SOLO") {
        return chart::ChartStyle::Solo;
    }
    return std::nullopt;
}

std::optional<SongChart> ChartOfRecord(const Record& span) {
    const auto style = StyleOfKey(span.key);
    if (!style || span.fields.size() < 3) {
        return std::nullopt;
    }
    SongChart chart;
    chart.style = *style;
    chart.difficulty = std::string(Trimmed(span.fields[0]));
    chart.rating = ParseUnsigned(span.fields[1]);
    const std::string* pad2 = span.fields.size() > 3 ? &span.fields[3] : nullptr;
    ReadChartSteps(&span.fields[2], pad2, chart);
    return chart;
}

// Applies a record to the song; false when the song does not interpret it.
bool ApplyRecord(const Record& span, Song& song) {
    if (span.fields.empty()) {
        return false;
    }
    const std::string& key = span.key;
    if (key == "TITLE" || key == "ARTIST") {
        (key == "TITLE" ? song.title : song.artist) = TextFromFileBytes(JoinFields(span.fields));
        return true;
    }
    if (key == "CHANGEBPM") {
        song.changes = ReadBeatList<chart::BpmChange>(JoinFields(span.fields));
        return true;
    }
    if (key == "FREEZE") {
        song.stops = ReadBeatList<chart::Stop>(JoinFields(span.fields));
        return true;
    }
    const double number = ParseDouble(span.fields[0]);
    float* target = nullptr;
    double scale = 1.0;
    if (key == "BPM") {
        target = &song.bpm;
    } else if (key == "GAP") {
        target = &song.gapSeconds;
        scale = 0.001;
    } else if (key == "SAMPLESTART") {
        target = &song.sampleStartSeconds;
    } else if (key == "SAMPLELENGTH") {
        target = &song.sampleLengthSeconds;
    }
    if (!target) {
        return false;
    }
    // A number that is not finite or does not fit a float is unusable: the
    // record is kept as it stands and the song keeps its value.
    const std::optional<float> value = FiniteFloat(number * scale);
    if (!value) {
        return false;
    }
    *target = *value;
    return true;
}

} // namespace

namespace {

// More charts than any real file holds; past this, chart records are kept
// as text, so a file of millions of tiny charts cannot exhaust memory.
constexpr std::size_t kMaxCharts = 1000;

bool IsScalarKey(std::string_view key) {
    return key == "TITLE" || key == "ARTIST" || key == "BPM" || key == "GAP" ||
           key == "SAMPLESTART" || key == "SAMPLELENGTH" || key == "CHANGEBPM" || key == "FREEZE";
}

// Builds the record list with bounded memory: records the song does not
// interpret are merged into one block of text with their neighbours, and a
// scalar record that a later one of its key overrides becomes such text.
class SongBuilder {
public:
    SongBuilder(std::string_view bytes, Song& song) : m_bytes(bytes), m_song(song) {}

    void Add(const RecordSpan& span) {
        if (m_song.records.empty() && !m_started) {
            m_song.leadingText = std::string(m_bytes.substr(0, span.begin));
            m_started = true;
        }
        // A lone "#" has no key; a file can hold millions of them, so they
        // join the block before them at once.
        if (span.end - span.begin == 1 && !m_song.records.empty() &&
            IsPlainBlock(m_song.records.back())) {
            // Copied in one piece once the run ends.
            if (m_pendingFrom == kNone) {
                m_pendingFrom = m_lastEnd;
            }
            m_pendingTerminated = span.terminated;
            m_lastEnd = span.end;
            return;
        }
        FlushPending();
        std::string key = span.end - span.begin > 1 ? RecordKey(m_bytes, span) : std::string();
        const bool chartKey = chart::IsChartKey(key);
        const bool scalarKey = !chartKey && IsScalarKey(key);
        // The common case of a hostile file: text the song does not read,
        // after more such text. It joins the block, gap and all, in one copy.
        if (!chartKey && !scalarKey && Mergeable(key) && !m_song.records.empty() &&
            IsPlainBlock(m_song.records.back())) {
            SourceRecord& block = m_song.records.back();
            block.text.append(m_bytes.substr(m_lastEnd, span.end - m_lastEnd));
            block.terminated = span.terminated;
            m_lastEnd = span.end;
            return;
        }
        if (!m_song.records.empty()) {
            m_song.records.back().trailing =
                std::string(m_bytes.substr(m_lastEnd, span.begin - m_lastEnd));
        }
        m_lastEnd = span.end;
        Record record{span, std::move(key), {}};
        SourceRecord source;
        source.key = record.key;
        source.terminated = span.terminated;
        if (chartKey || scalarKey) {
            record.fields = RecordFields(m_bytes, span);
        }
        std::optional<SongChart> chart;
        if (chartKey && m_song.charts.size() < kMaxCharts) {
            chart = ChartOfRecord(record);
        }
        if (chart) {
            chart->sourceId = static_cast<std::uint32_t>(m_song.charts.size() + 1);
            source.chartId = chart->sourceId;
            source.interpreted = true;
            m_song.charts.push_back(std::move(*chart));
        } else if (scalarKey && ApplyRecord(record, m_song)) {
            source.interpreted = true;
            const auto previous = m_owner.find(record.key);
            if (previous != m_owner.end()) {
                m_song.records[previous->second].interpreted = false;
                ++m_demoted;
            }
            m_owner[record.key] = m_song.records.size();
        }
        source.text = std::string(m_bytes.substr(span.begin, span.end - span.begin));
        m_song.records.push_back(std::move(source));
        if (m_demoted > 64 && m_demoted * 2 > m_song.records.size()) {
            Compact();
        }
    }

    void Finish() {
        FlushPending();
        if (!m_song.records.empty()) {
            m_song.records.back().trailing = std::string(m_bytes.substr(m_lastEnd));
        }
        Compact();
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void FlushPending() {
        if (m_pendingFrom != kNone) {
            SourceRecord& block = m_song.records.back();
            block.text.append(m_bytes.substr(m_pendingFrom, m_lastEnd - m_pendingFrom));
            block.terminated = m_pendingTerminated;
            m_pendingFrom = kNone;
        }
    }

    // "#STATUS" stays a record of its own: it says who wrote the file.
    static bool Mergeable(std::string_view key) { return key != "STATUS"; }
    static bool IsPlainBlock(const SourceRecord& record) {
        return !record.interpreted && Mergeable(record.key);
    }

    // Merges runs of plain blocks, demoted records included.
    void Compact() {
        std::vector<SourceRecord>& records = m_song.records;
        std::vector<SourceRecord> compacted;
        compacted.reserve(records.size() - m_demoted / 2);
        for (SourceRecord& record : records) {
            if (!compacted.empty() && IsPlainBlock(record) && IsPlainBlock(compacted.back())) {
                SourceRecord& block = compacted.back();
                block.text += block.trailing;
                block.text += record.text;
                block.trailing = std::move(record.trailing);
                block.terminated = record.terminated;
            } else {
                compacted.push_back(std::move(record));
            }
        }
        records = std::move(compacted);
        m_owner.clear();
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].interpreted && records[i].chartId == 0) {
                m_owner[records[i].key] = i;
            }
        }
        m_demoted = 0;
    }

    std::string_view m_bytes;
    Song& m_song;
    std::size_t m_lastEnd = 0;
    bool m_started = false;
    std::size_t m_pendingFrom = kNone; // start of lone "#"s not yet copied
    bool m_pendingTerminated = true;
    std::map<std::string, std::size_t, std::less<>> m_owner;
    std::size_t m_demoted = 0;
};

} // namespace

Song ReadSong(std::string_view bytes) {
    Song song;
    song.readFromFile = true;
    if (bytes.find("\r\n") == std::string_view::npos &&
        bytes.find('\n') != std::string_view::npos) {
        song.lineEnd = "\n";
    }
    SongBuilder builder(bytes, song);
    ForEachRecord(bytes, [&builder](const RecordSpan& span) { builder.Add(span); });
    builder.Finish();
    if (song.records.empty()) {
        song.leadingText = std::string(bytes);
    }
    return song;
}

namespace {

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

SongFile ReadSongFile(const std::string& path) {
    DwiFileBytes file = ReadDwiFile(path);
    if (!file.error.empty()) {
        return {{}, std::move(file.error)};
    }
    return {ReadSong(file.bytes), {}};
}

std::optional<std::string> SaveSong(const std::string& path, const Song& song) {
    return WriteFileAtomically(path, WriteSong(song));
}

std::optional<std::string> KeptRecordValue(const Song& song, std::string_view upperKey) {
    std::optional<std::string> value;
    for (const SourceRecord& record : song.records) {
        if (record.interpreted) {
            continue;
        }
        const std::string_view text = record.text;
        ForEachRecord(text, [&](const RecordSpan& span) {
            if (RecordKey(text, span) == upperKey) {
                value = JoinFields(RecordFields(text, span));
            }
        });
    }
    return value;
}

std::optional<double> RecordNumber(const Song& song, std::string_view upperKey) {
    for (auto it = song.records.rbegin(); it != song.records.rend(); ++it) {
        if (it->interpreted && it->key == upperKey) {
            const std::vector<Record> split = SplitRecords(it->text);
            if (!split.empty() && !split.front().fields.empty()) {
                return ParseDouble(split.front().fields.front());
            }
        }
    }
    return std::nullopt;
}

} // namespace dwi
