#pragma once

#include "chart/NoteData.h"
#include "chart/TimingMap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The song document: everything a .dwi, .sm or .ssc file holds. Values the program
// understands are fields; the file's own text is kept record by record so
// that what the user did not change is written back byte for byte.
namespace chart {

enum class ChartStyle : std::uint8_t { Single, Double, Couple, Solo };

// SINGLE: Left, Down, Up, Right. DOUBLE and COUPLE: the same for the first
// pad, then for the second. SOLO: Left, Up-Left, Down, Up, Up-Right, Right.
std::uint8_t ColumnsOf(ChartStyle style);
// "SINGLE", "DOUBLE", "COUPLE", "SOLO".
std::string_view StyleName(ChartStyle style);

// The file format a song came in; Save writes it back in the same one.
enum class SongFormat : std::uint8_t { Dwi, Sm, Ssc };

// A chart's own timing (".ssc" charts may carry one); the song's otherwise.
struct ChartTiming {
    float bpm = 0.01f;
    float gapSeconds = 0.0f; // beat 0's song time: -#OFFSET
    std::vector<BpmChange> changes;
    std::vector<Stop> stops;
    std::vector<Delay> delays;
    std::vector<Warp> warps;

    TimingMap Map() const { return TimingMap(bpm, gapSeconds, changes, stops, delays, warps); }
    friend bool operator==(const ChartTiming&, const ChartTiming&) = default;
};

struct SongChart {
    ChartStyle style = ChartStyle::Single;
    std::string difficulty = "BASIC"; // as written in the file
    std::uint32_t rating = 1;
    NoteData notes{4};
    // Rows the chart's text covers: trailing empty steps count too, so a
    // chart padded to cover the song keeps its length.
    std::int32_t lengthRows = 0;
    // Which record of the file this chart was read from; 0 for a new chart.
    std::uint32_t sourceId = 0;

    // What .sm and .ssc files say of a chart beside the above; empty for
    // charts from .dwi files. stepsType is the file's own ("dance-single").
    std::string stepsType;
    std::string description;
    std::string radarValues;
    std::optional<ChartTiming> timing;

    // Same style, difficulty, rating, notes, length, description, radar
    // values and timing.
    bool SameContent(const SongChart& other) const;
};

// One record of the file as read: "#KEY:...;" and the bytes after it up to
// the next record (line ends, blank lines, comments).
struct SourceRecord {
    std::string key;  // upper case, trimmed
    std::string text; // from "#" through ";" (or through the last value byte)
    std::string trailing;
    bool terminated = true; // false when the ";" was missing
    // True when a field of the song stands for the record (a chart record
    // read as a chart, a BPM with a usable number...); the others are kept
    // as they are.
    bool interpreted = false;
    std::uint32_t chartId = 0; // for a chart record that was read as one
};

struct Song {
    std::string title;  // UTF-8
    std::string artist; // UTF-8
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    float sampleStartSeconds = 0.0f;
    float sampleLengthSeconds = 5.0f;
    std::vector<BpmChange> changes;
    std::vector<Stop> stops;
    std::vector<Delay> delays;
    std::vector<Warp> warps;
    std::vector<SongChart> charts;
    // Charts of steps types the pad layouts do not show ("pump-single"...):
    // kept, listed and written back, never edited. Their notes use
    // notes.Columns() columns; style means nothing for them.
    std::vector<SongChart> otherCharts;

    SongFormat format = SongFormat::Dwi;

    // The file as read; empty for a song that was never read from a file.
    bool readFromFile = false;
    std::string leadingText; // bytes before the first record
    std::vector<SourceRecord> records;
    std::string lineEnd = "\r\n"; // the file's own, for records written anew

    TimingMap Timing() const { return TimingMap(bpm, gapSeconds, changes, stops, delays, warps); }
    // No tempo change, stop, delay or warp: the constant-tempo arithmetic
    // holds everywhere.
    bool HasConstantTempo() const {
        return changes.empty() && stops.empty() && delays.empty() && warps.empty();
    }
    // The chart's own timing where it has one, else the song's.
    TimingMap TimingOf(const SongChart& chart) const {
        return chart.timing ? chart.timing->Map() : Timing();
    }
    bool WasRead() const { return readFromFile; }
};

// Equal in everything the file means: the fields, the charts in order, and
// the records the program does not interpret (key and text).
bool SameContent(const Song& a, const Song& b);

bool IsChartKey(std::string_view upperKey);

} // namespace chart
