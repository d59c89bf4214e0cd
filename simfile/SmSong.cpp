#include "simfile/SmSong.h"

#include "simfile/SmRecords.h"
#include "simfile/SmSongRecords.h"
#include "simfile/StepsTypes.h"

#include <map>
#include <set>

namespace sm {

using chart::Song;
using chart::SongChart;
using chart::SourceRecord;

namespace {

// More charts than any real file holds; past this, chart records are kept
// as text, so a file of millions of tiny charts cannot exhaust memory.
constexpr std::size_t kMaxCharts = 1000;

bool IsNotesKey(std::string_view key) {
    return key == "NOTES" || key == "NOTES2";
}

class SongBuilder {
public:
    SongBuilder(std::string_view bytes, Song& song, std::vector<std::string>* leftOut)
        : m_bytes(bytes), m_song(song), m_leftOut(leftOut) {}

    void Add(const dwi::RecordSpan& span) {
        if (!m_started) {
            m_song.leadingText = std::string(m_bytes.substr(0, span.begin));
            m_started = true;
        }
        std::string key = span.end - span.begin > 1 ? SmRecordKey(m_bytes, span) : std::string();
        std::vector<SourceRecord>& records = m_song.records;
        // A lone "#" joins the text before it: a file can hold millions.
        if (key.empty() && !records.empty() && !records.back().interpreted &&
            records.back().chartId == 0) {
            records.back().text.append(m_bytes.substr(m_lastEnd, span.end - m_lastEnd));
            records.back().terminated = span.terminated;
            m_lastEnd = span.end;
            return;
        }
        if (!records.empty()) {
            records.back().trailing =
                std::string(m_bytes.substr(m_lastEnd, span.begin - m_lastEnd));
        }
        m_lastEnd = span.end;
        SourceRecord source;
        source.key = std::move(key);
        source.terminated = span.terminated;
        source.text = std::string(m_bytes.substr(span.begin, span.end - span.begin));
        const std::string k = source.key;
        const bool ssc = m_song.format == chart::SongFormat::Ssc;
        if (ssc && k == "NOTEDATA") {
            AbortBlock();
            if (ChartCount() < kMaxCharts) {
                m_block.emplace();
                m_block->difficulty.clear();
                m_blockStart = records.size();
                m_blockOwner.clear();
                source.chartId = m_nextId;
                source.interpreted = true;
            }
        } else if (ssc && m_block) {
            source.chartId = m_nextId;
            if (detail::IsChartBlockKey(k)) {
                source.interpreted = detail::ApplyChartRecord(k, Fields(span), *m_block, m_song,
                                                              m_version, m_leftOut);
                if (source.interpreted) {
                    Demote(m_blockOwner, k);
                }
            }
        } else if (!ssc && IsNotesKey(k) && ChartCount() < kMaxCharts) {
            if (auto read = detail::ChartOfSmNotes(Fields(span))) {
                source.chartId = m_nextId;
                source.interpreted = true;
                AddChart(std::move(*read));
            }
        } else if (detail::IsSongKey(k, m_song.format)) {
            source.interpreted =
                detail::ApplySongRecord(k, Fields(span), m_song, m_version, m_leftOut);
            if (source.interpreted) {
                Demote(m_owner, detail::SlotOf(k));
            }
        } else if (ssc && k == "VERSION") {
            // It decides how warps read: part of what the song means.
            m_version = detail::ParseVersion(Fields(span));
            source.interpreted = true;
        }
        records.push_back(std::move(source));
        if (ssc && m_block && IsNotesKey(k) && records.back().interpreted) {
            AddChart(std::move(*m_block));
            m_block.reset();
        }
    }

    void Finish() {
        AbortBlock();
        if (m_song.format == chart::SongFormat::Sm) {
            detail::ResolveSmWarps(m_song);
        }
        InheritSongTiming();
        if (!m_song.records.empty()) {
            m_song.records.back().trailing = std::string(m_bytes.substr(m_lastEnd));
        }
    }

private:
    std::vector<std::string> Fields(const dwi::RecordSpan& span) const {
        return SmRecordFields(m_bytes, span);
    }

    std::size_t ChartCount() const { return m_song.charts.size() + m_song.otherCharts.size(); }

    // The later of two records for one value wins; the earlier stays text.
    void Demote(std::map<std::string, std::size_t, std::less<>>& owner, std::string_view slot) {
        const auto previous = owner.find(slot);
        if (previous != owner.end()) {
            m_song.records[previous->second].interpreted = false;
        }
        owner[std::string(slot)] = m_song.records.size();
    }

    void AddChart(SongChart chart) {
        chart.sourceId = m_nextId++;
        (StyleOfStepsType(chart.stepsType) ? m_song.charts : m_song.otherCharts)
            .push_back(std::move(chart));
    }

    // What a chart's own timing does not say is the song's, wherever in the
    // file the song says it.
    void InheritSongTiming() {
        std::map<std::uint32_t, std::set<std::string, std::less<>>> given;
        for (const SourceRecord& record : m_song.records) {
            if (record.chartId != 0 && record.interpreted) {
                given[record.chartId].insert(record.key);
            }
        }
        for (auto* list : {&m_song.charts, &m_song.otherCharts}) {
            for (SongChart& chart : *list) {
                if (!chart.timing) {
                    continue;
                }
                const auto& keys = given[chart.sourceId];
                if (keys.count("OFFSET") == 0) {
                    chart.timing->gapSeconds = m_song.gapSeconds;
                }
                if (keys.count("BPMS") == 0) {
                    chart.timing->bpm = m_song.bpm;
                    chart.timing->changes = m_song.changes;
                }
            }
        }
    }

    // A block that never reached its "#NOTES" is no chart: the games drop
    // it, and its records stay as text.
    void AbortBlock() {
        if (!m_block) {
            return;
        }
        for (std::size_t i = m_blockStart; i < m_song.records.size(); ++i) {
            m_song.records[i].chartId = 0;
            m_song.records[i].interpreted = false;
        }
        m_block.reset();
    }

    std::string_view m_bytes;
    Song& m_song;
    std::vector<std::string>* m_leftOut;
    std::size_t m_lastEnd = 0;
    bool m_started = false;
    double m_version = detail::kCurrentSscVersion;
    std::uint32_t m_nextId = 1;
    std::map<std::string, std::size_t, std::less<>> m_owner;
    std::optional<SongChart> m_block;
    std::size_t m_blockStart = 0;
    std::map<std::string, std::size_t, std::less<>> m_blockOwner;
};

} // namespace

Song ReadSong(std::string_view bytes, chart::SongFormat flavor, std::vector<std::string>* leftOut) {
    Song song;
    song.format = flavor;
    song.readFromFile = true;
    if (bytes.find("\r\n") == std::string_view::npos &&
        bytes.find('\n') != std::string_view::npos) {
        song.lineEnd = "\n";
    }
    SongBuilder builder(bytes, song, leftOut);
    ForEachSmRecord(bytes, [&builder](const dwi::RecordSpan& span) { builder.Add(span); });
    builder.Finish();
    if (song.records.empty()) {
        song.leadingText = std::string(bytes);
    }
    return song;
}

} // namespace sm
