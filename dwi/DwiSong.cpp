#include "dwi/DwiSong.h"

#include "dwi/DwiImporter.h"
#include "dwi/DwiNumbers.h"
#include "dwi/DwiRecords.h"
#include "dwi/DwiSongRecords.h"
#include "dwi/DwiSteps.h"
#include "dwi/DwiText.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

namespace dwi {

using chart::Song;
using chart::SongChart;
using chart::SourceRecord;
using detail::ApplyRecord;
using detail::ChartOfRecord;
using detail::JoinFields;

namespace detail {

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

// Long values are cut in reports: a damaged record can be kilobytes.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

void LeaveOut(std::vector<std::string>* leftOut, const std::string& what, const char* rule) {
    if (leftOut != nullptr) {
        leftOut->push_back(what + " (" + rule + ")");
    }
}

bool UsableBpm(double bpm) {
    return bpm >= kMinBpm && bpm <= kMaxBpm;
}

} // namespace detail

namespace {

using detail::FiniteFloat;
using detail::LeaveOut;
using detail::Quoted;
using detail::Trimmed;
using detail::UsableBpm;

constexpr const char* kBpmRule = "a BPM must lie between 0.01 and 10000";

// Why a change or stop cannot be used; none when it can.
const char* ItemProblem(const chart::BpmChange& change) {
    return change.beat < 0.0        ? "its beat lies before the first beat"
           : !UsableBpm(change.bpm) ? kBpmRule
                                    : nullptr;
}
const char* ItemProblem(const chart::Stop& stop) {
    return stop.beat < 0.0 ? "its beat lies before the first beat"
           : !(stop.durationMs >= 0.0 && stop.durationMs <= kMaxStopMs)
               ? "a stop must last from 0 to 3600000 ms"
               : nullptr;
}

// "B=v,B=v": B in quarter beats. Items without "=" or with unusable numbers
// are skipped; those the editor cannot work with are also reported.
template <typename Item>
std::vector<Item> ReadBeatList(std::string_view key, std::string_view text,
                               std::vector<std::string>* leftOut) {
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
                const Item read{quarterBeats / 4.0, value};
                if (const char* problem = ItemProblem(read)) {
                    LeaveOut(leftOut, "#" + std::string(key) + " item " + Quoted(item), problem);
                } else {
                    items.push_back(read);
                }
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

} // namespace

namespace detail {

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

bool ApplyRecord(const Record& span, Song& song, std::vector<std::string>* leftOut) {
    if (span.fields.empty()) {
        return false;
    }
    const std::string& key = span.key;
    if (key == "TITLE" || key == "ARTIST") {
        (key == "TITLE" ? song.title : song.artist) = TextFromFileBytes(JoinFields(span.fields));
        return true;
    }
    if (key == "CHANGEBPM") {
        song.changes = ReadBeatList<chart::BpmChange>(key, JoinFields(span.fields), leftOut);
        return true;
    }
    if (key == "FREEZE") {
        song.stops = ReadBeatList<chart::Stop>(key, JoinFields(span.fields), leftOut);
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
    // Values the editor cannot work with are left out the same way, and said.
    const char* rule = nullptr;
    if (target == &song.bpm && !UsableBpm(number)) {
        rule = kBpmRule;
    } else if (target == &song.gapSeconds && !(std::fabs(number) <= kMaxGapMs)) {
        rule = "a Gap must lie within 3600000 ms of the song's start";
    }
    if (rule != nullptr) {
        LeaveOut(leftOut, "#" + key + ":" + Quoted(JoinFields(span.fields)), rule);
        return false;
    }
    *target = *value;
    return true;
}

} // namespace detail

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
    SongBuilder(std::string_view bytes, Song& song, std::vector<std::string>* leftOut)
        : m_bytes(bytes), m_song(song), m_leftOut(leftOut) {}

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
        } else if (scalarKey && ApplyRecord(record, m_song, m_leftOut)) {
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
    std::vector<std::string>* m_leftOut;
    std::size_t m_lastEnd = 0;
    bool m_started = false;
    std::size_t m_pendingFrom = kNone; // start of lone "#"s not yet copied
    bool m_pendingTerminated = true;
    std::map<std::string, std::size_t, std::less<>> m_owner;
    std::size_t m_demoted = 0;
};

} // namespace

Song ReadSong(std::string_view bytes, std::vector<std::string>* leftOut) {
    Song song;
    song.readFromFile = true;
    if (bytes.find("\r\n") == std::string_view::npos &&
        bytes.find('\n') != std::string_view::npos) {
        song.lineEnd = "\n";
    }
    SongBuilder builder(bytes, song, leftOut);
    ForEachRecord(bytes, [&builder](const RecordSpan& span) { builder.Add(span); });
    builder.Finish();
    if (song.records.empty()) {
        song.leadingText = std::string(bytes);
    }
    return song;
}

bool HoldsDwiRecords(const Song& song) {
    static constexpr std::string_view kFormatKeys[] = {
        "TITLE",         "ARTIST",      "GENRE",        "BPM",        "GAP",
        "FILE",          "CDTITLE",     "MD5",          "FREEZE",     "CHANGEBPM",
        "STATUS",        "SAMPLESTART", "SAMPLELENGTH", "DISPLAYBPM", "DISPLAYTITLE",
        "DISPLAYARTIST", "SINGLE",      "DOUBLE",       "COUPLE",     "SOLO"};
    bool found = false;
    for (const SourceRecord& record : song.records) {
        if (record.interpreted) {
            return true;
        }
        // Kept text may hold several records merged into one block.
        ForEachRecord(record.text, [&](const RecordSpan& span) {
            if (!found) {
                const std::string key = RecordKey(record.text, span);
                found = std::find(std::begin(kFormatKeys), std::end(kFormatKeys), key) !=
                        std::end(kFormatKeys);
            }
        });
        if (found) {
            return true;
        }
    }
    return false;
}

std::string LeftOutMessage(const std::string& path, const std::vector<std::string>& leftOut) {
    if (leftOut.empty()) {
        return {};
    }
    constexpr std::size_t kListed = 10;
    std::string message = "\"" + path +
                          "\" holds values the editor cannot work with. They are left out, and "
                          "kept in the file as they stand:";
    for (std::size_t i = 0; i < leftOut.size() && i < kListed; ++i) {
        message += "\r\n" + leftOut[i];
    }
    if (leftOut.size() > kListed) {
        message += "\r\nand " + std::to_string(leftOut.size() - kListed) + " more.";
    }
    return message;
}

SongFile ReadSongFile(const std::string& path) {
    DwiFileBytes file = ReadDwiFile(path);
    if (!file.error.empty()) {
        return {{}, std::move(file.error), {}};
    }
    SongFile read;
    read.song = ReadSong(file.bytes, &read.leftOut);
    if (!HoldsDwiRecords(read.song)) {
        return {{}, NotDwiMessage(path), {}};
    }
    return read;
}

std::string NotDwiMessage(const std::string& path) {
    return "Could not open \"" + path +
           "\":\r\nIt is not a .dwi file; none of its records is one "
           "of the format.";
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
