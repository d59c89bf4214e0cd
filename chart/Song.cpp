#include "chart/Song.h"

#include <algorithm>

namespace chart {

std::uint8_t ColumnsOf(ChartStyle style) {
    switch (style) {
    case ChartStyle::Single:
        return 4;
    case ChartStyle::Double:
    case ChartStyle::Couple:
        return 8;
    case ChartStyle::Solo:
        return 6;
    }
    return 4;
}

std::string_view StyleName(ChartStyle style) {
    switch (style) {
    case ChartStyle::Single:
        return "SINGLE";
    case ChartStyle::Double:
        return "DOUBLE";
    case ChartStyle::Couple:
        return "COUPLE";
    case ChartStyle::Solo:
        return "SOLO";
    }
    return "SINGLE";
}

bool SongChart::SameContent(const SongChart& other) const {
    return style == other.style && difficulty == other.difficulty && rating == other.rating &&
           lengthRows == other.lengthRows && notes == other.notes && stepsType == other.stepsType &&
           description == other.description && radarValues == other.radarValues &&
           timing == other.timing;
}

namespace {

bool HasChart(const Song& song, std::uint32_t id) {
    const auto same = [id](const SongChart& chart) { return chart.sourceId == id; };
    return std::any_of(song.charts.begin(), song.charts.end(), same) ||
           std::any_of(song.otherCharts.begin(), song.otherCharts.end(), same);
}

std::vector<const SourceRecord*> UninterpretedRecords(const Song& song) {
    std::vector<const SourceRecord*> kept;
    for (const SourceRecord& record : song.records) {
        // "#STATUS" marks who wrote the file; it says nothing of the song.
        // A deleted chart's own records go when the song is written.
        if (!record.interpreted && record.key != "STATUS" &&
            (record.chartId == 0 || HasChart(song, record.chartId))) {
            kept.push_back(&record);
        }
    }
    return kept;
}

} // namespace

bool SameContent(const Song& a, const Song& b) {
    if (a.title != b.title || a.artist != b.artist || a.bpm != b.bpm ||
        a.gapSeconds != b.gapSeconds || a.sampleStartSeconds != b.sampleStartSeconds ||
        a.sampleLengthSeconds != b.sampleLengthSeconds || a.changes != b.changes ||
        a.stops != b.stops || a.delays != b.delays || a.warps != b.warps ||
        a.charts.size() != b.charts.size() || a.otherCharts.size() != b.otherCharts.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.charts.size(); ++i) {
        if (!a.charts[i].SameContent(b.charts[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.otherCharts.size(); ++i) {
        if (!a.otherCharts[i].SameContent(b.otherCharts[i])) {
            return false;
        }
    }
    const auto keptA = UninterpretedRecords(a);
    const auto keptB = UninterpretedRecords(b);
    if (keptA.size() != keptB.size()) {
        return false;
    }
    for (std::size_t i = 0; i < keptA.size(); ++i) {
        if (keptA[i]->key != keptB[i]->key || keptA[i]->text != keptB[i]->text) {
            return false;
        }
    }
    return true;
}

bool IsChartKey(std::string_view upperKey) {
    return upperKey == "SINGLE" || upperKey == "DOUBLE" || upperKey == "COUPLE" ||
           upperKey == "SOLO";
}

} // namespace chart
