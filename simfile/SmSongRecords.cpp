#include "simfile/SmSongRecords.h"

#include "dwi/DwiNumbers.h"
#include "dwi/DwiSong.h"
#include "simfile/SmNotes.h"
#include "simfile/SmRecords.h"
#include "simfile/StepsTypes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <string>

namespace sm::detail {

using chart::Song;
using chart::SongChart;

namespace {

using dwi::detail::FiniteFloat;
using dwi::detail::LeaveOut;
using dwi::detail::Quoted;
using dwi::detail::UsableBpm;

struct Item {
    double beat = 0.0;
    double value = 0.0;
};

// Seconds as milliseconds, rounded once from the decimal text (a product
// with 1000 would round twice, and some values could not be written back).
double MillisecondsOf(std::string_view text) {
    text = Trimmed(text);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const auto digits = [&text, &i]() {
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
    };
    digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits();
    }
    const std::string mantissa(text.substr(0, i));
    long long exponent = 3;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const std::string_view rest = text.substr(i + 1);
        const double e = dwi::ParseDouble(rest.substr(0, std::min<std::size_t>(rest.size(), 8)));
        exponent += static_cast<long long>(std::clamp(e, -1e6, 1e6));
    }
    return dwi::ParseDouble(mantissa + "e" + std::to_string(exponent));
}

enum class ListKind { Bpms, Stops, Delays, Warps };

// The games take a .sm tempo past this as a warp (an older way to say one).
constexpr double kFastBpmWarp = 9999999.0;
// Where they end a warp whose tempo never turns positive again.
constexpr double kEndlessWarpEndBeat = 99999999.0;

// A tempo the games of .sm files take as the start of a warp.
bool WarpingBpm(double bpm) {
    return bpm <= -dwi::kMinBpm || bpm > kFastBpmWarp;
}

// smWarps: the file says warps the .sm way (negative tempos and stops).
const char* ItemProblem(ListKind kind, const Item& item, bool smWarps) {
    if (item.beat < 0.0) {
        return "its beat lies before the first beat";
    }
    switch (kind) {
    case ListKind::Bpms:
        if (smWarps && item.beat > 0.0 && WarpingBpm(item.value)) {
            return nullptr;
        }
        return UsableBpm(item.value)
                   ? nullptr
                   : (smWarps ? "a BPM must lie between 0.01 and 10000, or below -0.01 after "
                                "beat 0 for a warp"
                              : "a BPM must lie between 0.01 and 10000 (the games read no "
                                "negative BPMs in .ssc files)");
    case ListKind::Stops:
        if (smWarps && item.value < 0.0 && item.value >= -dwi::kMaxStopMs) {
            return nullptr;
        }
        [[fallthrough]];
    case ListKind::Delays:
        return item.value >= 0.0 && item.value <= dwi::kMaxStopMs
                   ? nullptr
                   : "a stop or delay must last from 0 to 3600 s (the games read no negative "
                     "stops in .ssc files)";
    case ListKind::Warps:
        return item.value > 0.0 ? nullptr : "a warp must skip more than 0 beats";
    }
    return nullptr;
}

// "beat=value,beat=value" in the file's order. Stops and delays come in
// seconds and leave in milliseconds.
std::vector<Item> ReadList(ListKind kind, std::string_view key, std::string_view text,
                           double version, bool smWarps, std::vector<std::string>* leftOut) {
    std::vector<Item> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        start = comma + 1;
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos || Trimmed(item.substr(0, equals)).empty() ||
            Trimmed(item.substr(equals + 1)).empty()) {
            continue;
        }
        const bool seconds = kind == ListKind::Stops || kind == ListKind::Delays;
        Item read{dwi::ParseDouble(item.substr(0, equals)),
                  seconds ? MillisecondsOf(item.substr(equals + 1))
                          : dwi::ParseDouble(item.substr(equals + 1))};
        if (!std::isfinite(read.beat) || !std::isfinite(read.value)) {
            continue;
        }
        if (kind == ListKind::Warps && version < kRelativeWarpsVersion) {
            read.value -= read.beat;
        }
        if (const char* problem = ItemProblem(kind, read, smWarps)) {
            LeaveOut(leftOut, "#" + std::string(key) + " item " + Quoted(item), problem);
            continue;
        }
        items.push_back(read);
    }
    if (kind == ListKind::Bpms) {
        // One tempo a beat, the later one; the order stays the file's (the
        // timing map sorts), so a list written back reads the same.
        std::map<double, std::size_t> last;
        for (std::size_t i = 0; i < items.size(); ++i) {
            last[items[i].beat] = i;
        }
        std::vector<Item> unique;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (last[items[i].beat] == i) {
                unique.push_back(items[i]);
            }
        }
        items = std::move(unique);
    }
    return items;
}

std::string JoinFields(const std::vector<std::string>& fields) {
    std::string value;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        value += (i > 0 ? ":" : "") + fields[i];
    }
    return value;
}

// The timing tags on a song or a chart's own timing (the same fields).
template <typename Timing>
bool ApplyTiming(std::string_view key, const std::vector<std::string>& fields, Timing& timing,
                 double version, bool smWarps, std::vector<std::string>* leftOut) {
    const std::string value = JoinFields(fields);
    if (key == "OFFSET") {
        const double offset = dwi::ParseDouble(value);
        const std::optional<float> gap = FiniteFloat(0.0 - offset); // 0, not -0
        if (!gap) {
            return false;
        }
        if (!(std::fabs(offset) * 1000.0 <= dwi::kMaxGapMs)) {
            LeaveOut(leftOut, "#OFFSET:" + Quoted(value),
                     "an offset must lie within 3600 s of the song's start");
            return false;
        }
        timing.gapSeconds = *gap;
        return true;
    }
    if (key == "BPMS") {
        auto items = ReadList(ListKind::Bpms, key, value, version, smWarps, leftOut);
        // The earliest tempo holds from beat 0 wherever the file puts it; a
        // warp cannot start there (there is no time before it to take back).
        auto first = items.end();
        while (!items.empty()) {
            first = std::min_element(items.begin(), items.end(),
                                     [](const Item& a, const Item& b) { return a.beat < b.beat; });
            if (UsableBpm(first->value)) {
                break;
            }
            LeaveOut(leftOut,
                     "#" + std::string(key) + " item " + DoubleText(first->beat) + "=" +
                         DoubleText(first->value),
                     "the first BPM must lie between 0.01 and 10000");
            items.erase(first);
        }
        if (items.empty()) {
            return false;
        }
        timing.bpm = static_cast<float>(first->value);
        timing.changes.clear();
        for (auto it = items.begin(); it != items.end(); ++it) {
            if (it != first) {
                timing.changes.push_back({it->beat, it->value});
            }
        }
        return true;
    }
    if (key == "STOPS" || key == "FREEZES") {
        timing.stops.clear();
        for (const Item& item : ReadList(ListKind::Stops, key, value, version, smWarps, leftOut)) {
            timing.stops.push_back({item.beat, item.value});
        }
        return true;
    }
    if (key == "DELAYS") {
        timing.delays.clear();
        for (const Item& item : ReadList(ListKind::Delays, key, value, version, smWarps, leftOut)) {
            timing.delays.push_back({item.beat, item.value});
        }
        return true;
    }
    if (key == "WARPS") {
        timing.warps.clear();
        for (const Item& item : ReadList(ListKind::Warps, key, value, version, smWarps, leftOut)) {
            timing.warps.push_back({item.beat, item.value});
        }
        return true;
    }
    return false;
}

std::uint32_t ParseMeter(std::string_view text) {
    const double value = std::trunc(dwi::ParseDouble(Trimmed(text)));
    return value > 0.0 ? static_cast<std::uint32_t>(std::min(value, 4294967295.0)) : 0u;
}

void SetNotes(SongChart& chart, std::string_view text) {
    DecodedNotes decoded = DecodeNotes(text, ColumnsOfStepsType(chart.stepsType));
    chart.notes = std::move(decoded.notes);
    chart.lengthRows = decoded.lengthRows;
    chart.style = StyleOfStepsType(chart.stepsType).value_or(chart::ChartStyle::Single);
}

template <typename T, typename Value>
std::string ListText(const std::vector<T>& items, Value value) {
    std::string text;
    for (const T& item : items) {
        if (!text.empty()) {
            text += ',';
        }
        text += DoubleText(item.beat) + "=" + value(item);
    }
    return text;
}

} // namespace

bool IsSongKey(std::string_view key, chart::SongFormat flavor) {
    static constexpr std::array<std::string_view, 8> kBoth{
        "TITLE", "ARTIST", "OFFSET", "BPMS", "STOPS", "FREEZES", "SAMPLESTART", "SAMPLELENGTH"};
    if (std::find(kBoth.begin(), kBoth.end(), key) != kBoth.end()) {
        return true;
    }
    return flavor == chart::SongFormat::Ssc && (key == "DELAYS" || key == "WARPS");
}

std::string_view SlotOf(std::string_view key) {
    return key == "FREEZES" ? std::string_view("STOPS") : key;
}

bool ApplySongRecord(std::string_view key, const std::vector<std::string>& fields, Song& song,
                     double version, std::vector<std::string>* leftOut) {
    if (fields.empty()) {
        return false;
    }
    if (key == "TITLE" || key == "ARTIST") {
        // A ":" the file did not escape ends the value, as in the games.
        (key == "TITLE" ? song.title : song.artist) = fields.front();
        return true;
    }
    if (key == "SAMPLESTART" || key == "SAMPLELENGTH") {
        const std::optional<float> value = FiniteFloat(dwi::ParseDouble(fields.front()));
        if (!value) {
            return false;
        }
        (key == "SAMPLESTART" ? song.sampleStartSeconds : song.sampleLengthSeconds) = *value;
        return true;
    }
    return ApplyTiming(key, fields, song, version, song.format == chart::SongFormat::Sm, leftOut);
}

void ResolveSmWarps(Song& song) {
    const bool any = std::any_of(song.changes.begin(), song.changes.end(),
                                 [](const chart::BpmChange& c) { return WarpingBpm(c.bpm); }) ||
                     std::any_of(song.stops.begin(), song.stops.end(),
                                 [](const chart::Stop& s) { return s.durationMs < 0.0; });
    if (!any) {
        return;
    }
    // Tempo changes and stops in beat order, a tempo first at a shared beat.
    struct Change {
        double beat;
        double value; // BPM, or milliseconds of a stop
        bool bpm;
    };
    std::vector<Change> all;
    for (const chart::BpmChange& c : song.changes) {
        all.push_back({c.beat, c.bpm, true});
    }
    for (const chart::Stop& s : song.stops) {
        all.push_back({s.beat, s.durationMs, false});
    }
    std::stable_sort(all.begin(), all.end(), [](const Change& a, const Change& b) {
        return a.beat < b.beat || (a.beat == b.beat && a.bpm && !b.bpm);
    });
    std::vector<chart::BpmChange> changes;
    std::vector<chart::Stop> stops;
    std::vector<chart::Warp> warps;
    // Extreme values can leave a warp of no length or none at all: it skips nothing.
    const auto addWarp = [&warps](double beat, double length) {
        if (std::isfinite(length) && length > 0.0) {
            warps.push_back({beat, length});
        }
    };
    float firstBpm = song.bpm;
    const auto addChange = [&changes, &firstBpm](double beat, double bpm) {
        // A warp from beat 0 (a negative stop there) sets the first tempo.
        if (beat <= 0.0) {
            firstBpm = static_cast<float>(bpm);
        } else if (!changes.empty() && changes.back().beat == beat) {
            changes.back().bpm = bpm;
        } else {
            changes.push_back({beat, bpm});
        }
    };
    double bpm = static_cast<double>(song.bpm);
    double previousBeat = 0.0;
    // A warp lasts until the time its negative part took back is made up:
    // debtSeconds is the time since its start, negative until then.
    bool warping = false;
    double warpStart = 0.0;
    double bpmBeforeWarp = 0.0;
    double debtSeconds = 0.0;
    const auto endWarp = [&](double endBeat) {
        addWarp(warpStart, endBeat - warpStart);
        // A warp to the end of the chart keeps the tempo before it (the games
        // take the warping one, which no time passes at), so the song holds
        // no value that would read as a warp again.
        if (bpm != bpmBeforeWarp && !WarpingBpm(bpm)) {
            addChange(warpStart, bpm);
        }
        warping = false;
    };
    for (const Change& change : all) {
        if (bpm <= kFastBpmWarp) {
            debtSeconds += (change.beat - previousBeat) * 60.0 / bpm;
            if (warping && bpm > 0.0 && debtSeconds > 0.0) {
                endWarp(change.beat - debtSeconds * bpm / 60.0);
            }
        }
        previousBeat = change.beat;
        if (change.bpm) {
            if (!warping && WarpingBpm(change.value)) {
                warping = true;
                warpStart = change.beat;
                bpmBeforeWarp = bpm;
                debtSeconds = 0.0;
            } else if (!warping) {
                addChange(change.beat, change.value);
            }
            bpm = change.value;
        } else if (!warping && change.value < 0.0) {
            warping = true;
            warpStart = change.beat;
            bpmBeforeWarp = bpm;
            debtSeconds = change.value / 1000.0;
        } else if (!warping) {
            stops.push_back({change.beat, change.value});
        } else {
            debtSeconds += change.value / 1000.0;
            // A stop that more than makes up the debt ends the warp and
            // holds for the rest; a warping tempo starts the next one.
            if (change.value > 0.0 && debtSeconds > 0.0) {
                stops.push_back({change.beat, debtSeconds * 1000.0});
                if (WarpingBpm(bpm)) {
                    addWarp(warpStart, change.beat - warpStart);
                    warpStart = change.beat;
                    debtSeconds = 0.0;
                } else {
                    endWarp(change.beat);
                }
            }
        }
    }
    if (warping) {
        endWarp(WarpingBpm(bpm) ? kEndlessWarpEndBeat : previousBeat - debtSeconds * bpm / 60.0);
    }
    song.bpm = firstBpm;
    song.changes = std::move(changes);
    song.stops = std::move(stops);
    song.warps = std::move(warps);
}

bool IsChartTimingKey(std::string_view key) {
    return key == "BPMS" || key == "STOPS" || key == "DELAYS" || key == "WARPS" || key == "OFFSET";
}

bool IsChartBlockKey(std::string_view key) {
    return key == "NOTEDATA" || key == "STEPSTYPE" || key == "DESCRIPTION" || key == "DIFFICULTY" ||
           key == "METER" || key == "RADARVALUES" || key == "NOTES" || key == "NOTES2" ||
           IsChartTimingKey(key);
}

std::optional<SongChart> ChartOfSmNotes(const std::vector<std::string>& fields) {
    if (fields.size() < 6) {
        return std::nullopt;
    }
    SongChart chart;
    chart.stepsType = std::string(Trimmed(fields[0]));
    chart.description = std::string(Trimmed(fields[1]));
    chart.difficulty = std::string(Trimmed(fields[2]));
    chart.rating = ParseMeter(fields[3]);
    chart.radarValues = std::string(Trimmed(fields[4]));
    SetNotes(chart, fields[5]);
    return chart;
}

bool ApplyChartRecord(std::string_view key, const std::vector<std::string>& fields,
                      SongChart& chart, const Song& song, double version,
                      std::vector<std::string>* leftOut) {
    const std::string_view value = fields.empty() ? std::string_view() : fields.front();
    if (key == "NOTEDATA") {
        return true;
    }
    if (key == "STEPSTYPE") {
        chart.stepsType = std::string(Trimmed(value));
        return true;
    }
    if (key == "DESCRIPTION" || key == "DIFFICULTY" || key == "RADARVALUES") {
        (key == "DESCRIPTION"  ? chart.description
         : key == "DIFFICULTY" ? chart.difficulty
                               : chart.radarValues) = std::string(Trimmed(value));
        return true;
    }
    if (key == "METER") {
        chart.rating = ParseMeter(value);
        return true;
    }
    if (key == "NOTES" || key == "NOTES2") {
        SetNotes(chart, value);
        return true;
    }
    if (!IsChartTimingKey(key)) {
        return false;
    }
    // A chart with any timing tag has timing of its own; what it does not
    // say comes from the song (the games take the song's offset the same way).
    if (!chart.timing) {
        chart.timing = chart::ChartTiming{song.bpm, song.gapSeconds, song.changes, {}, {}, {}};
    }
    // The games read .ssc tempos and stops as they stand: negative ones go.
    return ApplyTiming(key, fields, *chart.timing, version, false, leftOut);
}

double ParseVersion(const std::vector<std::string>& fields) {
    return fields.empty() ? kCurrentSscVersion : dwi::ParseDouble(fields.front());
}

namespace {

template <typename T, typename Parse> std::string RoundTrip(T value, Parse parse) {
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), result.ptr);
    if (parse(text) == value || !std::isfinite(static_cast<double>(value))) {
        return text;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                               std::chars_format::general, precision);
        std::string candidate(buffer.data(), result.ptr);
        if (parse(candidate) == value) {
            return candidate;
        }
    }
    return text;
}

} // namespace

std::string FloatText(float value) {
    return RoundTrip(value,
                     [](const std::string& t) { return static_cast<float>(dwi::ParseDouble(t)); });
}

std::string DoubleText(double value) {
    return RoundTrip(value, [](const std::string& t) { return dwi::ParseDouble(t); });
}

std::string SecondsText(double milliseconds) {
    // The shortest digits of the milliseconds, the point moved three places:
    // read back with one rounding, they give the same milliseconds.
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), milliseconds,
                                      std::chars_format::scientific);
    const std::string_view sci(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    const std::size_t e = sci.find('e');
    if (!std::isfinite(milliseconds) || e == std::string_view::npos) {
        return DoubleText(milliseconds / 1000.0);
    }
    const bool negative = sci.front() == '-';
    std::string digits;
    for (char c : sci.substr(0, e)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    // value = 0.digits * 10^point
    const long long point = std::stoll(std::string(sci.substr(e + 1))) - 3 + 1;
    std::string text = negative ? "-" : "";
    if (point > 21 || point < -6) {
        return text + digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") +
               "e" + std::to_string(point - 1);
    }
    if (point <= 0) {
        text += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (static_cast<std::size_t>(point) >= digits.size()) {
        text += digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
    } else {
        const auto p = static_cast<std::size_t>(point);
        text += digits.substr(0, p) + "." + digits.substr(p);
    }
    return text;
}

template <typename Timing> std::string BpmsText(const Timing& timing) {
    return "0=" + FloatText(timing.bpm) + (timing.changes.empty() ? "" : ",") +
           ListText(timing.changes, [](const chart::BpmChange& c) { return DoubleText(c.bpm); });
}

template <typename Timing> std::string StopsText(const Timing& timing) {
    return ListText(timing.stops, [](const chart::Stop& s) { return SecondsText(s.durationMs); });
}

template <typename Timing> std::string DelaysText(const Timing& timing) {
    return ListText(timing.delays, [](const chart::Delay& d) { return SecondsText(d.durationMs); });
}

template <typename Timing> std::string WarpsText(const Timing& timing, double version) {
    return ListText(timing.warps, [version](const chart::Warp& w) {
        return DoubleText(version < kRelativeWarpsVersion ? w.beat + w.lengthBeats : w.lengthBeats);
    });
}

template std::string BpmsText(const Song&);
template std::string BpmsText(const chart::ChartTiming&);
template std::string StopsText(const Song&);
template std::string StopsText(const chart::ChartTiming&);
template std::string DelaysText(const Song&);
template std::string DelaysText(const chart::ChartTiming&);
template std::string WarpsText(const Song&, double);
template std::string WarpsText(const chart::ChartTiming&, double);

std::string StepsTypeText(const SongChart& chart, bool otherGame) {
    return chart.stepsType.empty() && !otherGame ? std::string(StepsTypeOf(chart.style))
                                                 : chart.stepsType;
}

} // namespace sm::detail
