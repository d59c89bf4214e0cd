#include "simfile/Convert.h"

#include "dwi/DwiNumbers.h"
#include "dwi/DwiRecords.h"
#include "dwi/DwiSongRecords.h"
#include "dwi/DwiText.h"
#include "simfile/StepsTypes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <set>
#include <string_view>

namespace sm {

using chart::Note;
using chart::NoteKind;
using chart::Song;
using chart::SongChart;
using chart::SongFormat;

namespace {

template <std::size_t N>
bool OneOf(std::string_view key, const std::array<std::string_view, N>& keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// Tags each format's readers know. .sm: what the games' .sm loaders read
// and their .sm writer writes; .ssc adds its own.
constexpr std::array<std::string_view, 20> kDwiKeys{
    "TITLE",         "ARTIST",      "GENRE",        "BPM",        "GAP",
    "FILE",          "CDTITLE",     "MD5",          "FREEZE",     "CHANGEBPM",
    "STATUS",        "SAMPLESTART", "SAMPLELENGTH", "DISPLAYBPM", "DISPLAYTITLE",
    "DISPLAYARTIST", "SINGLE",      "DOUBLE",       "COUPLE",     "SOLO"};
constexpr std::array<std::string_view, 32> kSmKeys{
    "TITLE",          "SUBTITLE",    "ARTIST",          "TITLETRANSLIT", "SUBTITLETRANSLIT",
    "ARTISTTRANSLIT", "GENRE",       "CREDIT",          "BANNER",        "BACKGROUND",
    "LYRICSPATH",     "CDTITLE",     "MUSIC",           "OFFSET",        "BPMS",
    "STOPS",          "FREEZES",     "INSTRUMENTTRACK", "MUSICLENGTH",   "LASTBEATHINT",
    "MUSICBYTES",     "SAMPLESTART", "SAMPLELENGTH",    "DISPLAYBPM",    "SELECTABLE",
    "BGCHANGES",      "BGCHANGES2",  "FGCHANGES",       "KEYSOUNDS",     "ATTACKS",
    "NOTES",          "NOTES2"};
constexpr std::array<std::string_view, 26> kSscOnlyKeys{
    "VERSION",    "ORIGIN",      "PREVIEWVID", "JACKET",         "CDIMAGE",    "DISCIMAGE",
    "PREVIEW",    "WARPS",       "DELAYS",     "TIMESIGNATURES", "TICKCOUNTS", "COMBOS",
    "SPEEDS",     "SCROLLS",     "FAKES",      "LABELS",         "NOTEDATA",   "CHARTNAME",
    "STEPSTYPE",  "DESCRIPTION", "CHARTSTYLE", "DIFFICULTY",     "METER",      "RADARVALUES",
    "BGCHANGES3", "MUSICPREVIEW"};

// Tags the writers write from the song's fields: a kept record of one of
// them holds a value the song did not take, and must not follow the
// writer's own.
constexpr std::array<std::string_view, 12> kDwiFieldKeys{
    "TITLE",  "ARTIST",      "BPM",          "GAP",    "CHANGEBPM", "FREEZE",
    "SINGLE", "SAMPLESTART", "SAMPLELENGTH", "DOUBLE", "COUPLE",    "SOLO"};
constexpr std::array<std::string_view, 20> kSmFieldKeys{
    "TITLE",      "ARTIST", "OFFSET",      "BPMS",        "STOPS",
    "FREEZES",    "DELAYS", "WARPS",       "SAMPLESTART", "SAMPLELENGTH",
    "NOTES",      "NOTES2", "NOTEDATA",    "STEPSTYPE",   "DESCRIPTION",
    "DIFFICULTY", "METER",  "RADARVALUES", "CHARTNAME",   "CHARTSTYLE"};

// Written by whoever saved the file last; says nothing of the song.
constexpr std::array<std::string_view, 2> kBookkeepingKeys{"STATUS", "VERSION"};

bool Knows(SongFormat format, std::string_view key) {
    switch (format) {
    case SongFormat::Dwi:
        return OneOf(key, kDwiKeys);
    case SongFormat::Sm:
        return OneOf(key, kSmKeys);
    case SongFormat::Ssc:
        return OneOf(key, kSmKeys) || OneOf(key, kSscOnlyKeys);
    }
    return false;
}

bool IsFieldKey(SongFormat format, std::string_view key) {
    return format == SongFormat::Dwi ? OneOf(key, kDwiFieldKeys) : OneOf(key, kSmFieldKeys);
}

// Timing segments .ssc files carry that no other format has, with the
// games' default (the value a song without the tag has) at beat 0.
struct SegmentKind {
    std::string_view key;
    std::string_view singular;
    std::string_view plural;
    std::array<std::string_view, 3> defaults; // after the beat; "" past the end
};
constexpr std::array<SegmentKind, 7> kSegments{{
    {"TIMESIGNATURES", "time signature change", "time signature changes", {"4", "4", ""}},
    {"TICKCOUNTS", "tick count change", "tick count changes", {"4", "", ""}},
    {"COMBOS", "combo change", "combo changes", {"1", "1", ""}},
    {"SPEEDS", "speed change", "speed changes", {"1", "0", "0"}},
    {"SCROLLS", "scroll change", "scroll changes", {"1", "", ""}},
    {"FAKES", "fake segment", "fake segments", {"", "", ""}},
    {"LABELS", "label", "labels", {"Song Start", "", ""}},
}};

using dwi::detail::Trimmed;

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        fields.push_back(Trimmed(text.substr(start, at - start)));
        if (at == std::string_view::npos) {
            return fields;
        }
        start = at + 1;
    }
}

// Numbers compare as numbers ("1.000" is "1"), labels as text.
bool SameValue(std::string_view a, std::string_view b) {
    const auto digit = [](std::string_view t) {
        return !t.empty() && (std::isdigit(static_cast<unsigned char>(t.front())) ||
                              t.front() == '-' || t.front() == '.');
    };
    return digit(a) && digit(b) ? dwi::ParseDouble(a) == dwi::ParseDouble(b) : a == b;
}

// Segments that change something: all but a first one that restates the
// default at beat 0.
std::size_t ChangingSegments(const SegmentKind& kind, std::string_view value) {
    std::size_t count = 0;
    bool first = true;
    for (const std::string_view item : Split(value, ',')) {
        if (item.empty()) {
            continue;
        }
        const std::vector<std::string_view> fields = Split(item, '=');
        bool isDefault = first && !kind.defaults.front().empty() && SameValue(fields[0], "0");
        for (std::size_t i = 0; isDefault && i < kind.defaults.size(); ++i) {
            const std::string_view given = i + 1 < fields.size() ? fields[i + 1] : kind.defaults[i];
            isDefault = kind.defaults[i].empty() || SameValue(given, kind.defaults[i]);
        }
        first = false;
        count += isDefault ? 0U : 1U;
    }
    return count;
}

std::string Counted(std::size_t count, std::string_view singular, std::string_view plural) {
    return std::to_string(count) + " " + std::string(count == 1 ? singular : plural);
}

bool IsSmFamily(SongFormat format) {
    return format == SongFormat::Sm || format == SongFormat::Ssc;
}

std::string ChartName(const SongChart& chart) {
    return "'" + (chart.description.empty() ? chart.difficulty : chart.description) + "'";
}

chart::ChartTiming SongTiming(const Song& song) {
    return {song.bpm, song.gapSeconds, song.changes, song.stops, song.delays, song.warps};
}

// One tag of a kept record ("#KEY:value;"), a record block may hold several.
struct KeptTag {
    std::string key;
    std::string text;  // "#" through ";" as read
    std::string value; // the fields joined, comments left out
    std::uint32_t chartId = 0;
};

std::vector<KeptTag> KeptTags(const Song& song) {
    std::vector<KeptTag> tags;
    for (const chart::SourceRecord& record : song.records) {
        if (record.interpreted) {
            continue;
        }
        const std::string_view text = record.text;
        dwi::ForEachRecord(text, [&](const dwi::RecordSpan& span) {
            KeptTag tag{dwi::RecordKey(text, span),
                        std::string(text.substr(span.begin, span.end - span.begin)),
                        dwi::detail::JoinFields(dwi::RecordFields(text, span)), record.chartId};
            if (!tag.key.empty()) {
                tags.push_back(std::move(tag));
            }
        });
    }
    return tags;
}

// The .dwi key of a tag that has one under another name in .sm/.ssc, and
// back; empty when the name stands in both.
std::string_view Counterpart(std::string_view key, SongFormat target) {
    if (target == SongFormat::Dwi) {
        return key == "MUSIC" ? "FILE" : "";
    }
    return key == "FILE" ? "MUSIC" : "";
}

enum class Fate { Quiet, Carry, Rewrite, Segment, Lost };

// What becomes of a kept tag in the target; newKey is set for Rewrite.
Fate FateOf(const KeptTag& tag, SongFormat source, SongFormat target, std::string& newKey) {
    const std::string_view key = tag.key;
    if (OneOf(key, kBookkeepingKeys)) {
        return Fate::Quiet;
    }
    const auto segment = [&key](const SegmentKind& kind) { return kind.key == key; };
    const bool isSegment = std::any_of(kSegments.begin(), kSegments.end(), segment);
    // A chart's own tags have no place at the song's level of another format.
    if (tag.chartId != 0 || IsFieldKey(source, key) || IsFieldKey(target, key)) {
        return isSegment ? Fate::Segment : Fate::Lost;
    }
    if (IsSmFamily(source) != IsSmFamily(target)) {
        if (!Counterpart(key, target).empty()) {
            newKey = Counterpart(key, target);
            return Fate::Rewrite;
        }
        if (key == "GENRE" || key == "CDTITLE" || key == "DISPLAYBPM") {
            newKey = key;
            return Fate::Rewrite;
        }
    }
    if (Knows(target, key) || (!Knows(SongFormat::Dwi, key) && !Knows(SongFormat::Ssc, key))) {
        return Fate::Carry;
    }
    return isSegment ? Fate::Segment : Fate::Lost;
}

std::string RewrittenValue(const KeptTag& tag, SongFormat source, SongFormat target) {
    std::string value = tag.value;
    if (tag.key == "DISPLAYBPM") {
        const std::string_view from = target == SongFormat::Dwi ? ":" : "..";
        const std::string_view to = target == SongFormat::Dwi ? ".." : ":";
        const std::size_t at = value.find(from);
        if (at != std::string::npos && value.find(from, at + from.size()) == std::string::npos) {
            value.replace(at, from.size(), to);
        }
    }
    // .dwi files may be in a code page; .sm and .ssc are read as UTF-8.
    return source == SongFormat::Dwi ? dwi::TextFromFileBytes(value) : value;
}

// The charts the target keeps (a .dwi file has no Edit difficulty).
bool Kept(const SongChart& chart, SongFormat target) {
    return target != SongFormat::Dwi || DwiDifficulty(chart.difficulty).has_value();
}

chart::NoteData DwiNotes(const chart::NoteData& notes) {
    chart::NoteData out(notes.Columns());
    for (Note note : notes.Notes()) {
        if (note.kind == NoteKind::Mine || note.kind == NoteKind::Fake ||
            note.kind == NoteKind::AutoKeysound) {
            continue;
        }
        note.kind = NoteKind::Normal;
        note.keysound = 0;
        out.AppendSorted(note);
    }
    return out;
}

SongChart ConvertChart(const SongChart& chart, SongFormat source, SongFormat target) {
    SongChart out = chart;
    out.sourceId = 0;
    if (target == SongFormat::Dwi) {
        out.difficulty = DwiDifficulty(chart.difficulty).value_or(chart.difficulty);
        out.stepsType.clear();
        out.description.clear();
        out.radarValues.clear();
        out.timing.reset();
        out.notes = DwiNotes(chart.notes);
        return out;
    }
    if (source == SongFormat::Dwi) {
        out.stepsType = std::string(StepsTypeOf(chart.style));
        out.difficulty = SmDifficulty(chart.difficulty);
        // A name no game knows: an Edit chart that keeps the name.
        std::string lower(Trimmed(chart.difficulty));
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (out.difficulty == "Edit" && lower != "edit") {
            out.description = std::string(Trimmed(chart.difficulty));
        }
    }
    if (out.stepsType.empty()) {
        out.stepsType = std::string(StepsTypeOf(chart.style));
    }
    // .sm and .ssc hold whole measures: the length they read back.
    constexpr std::int32_t kMeasure = chart::kRowsPerMeasure;
    out.lengthRows = (std::max(out.lengthRows, 0) + kMeasure - 1) / kMeasure * kMeasure;
    if (target == SongFormat::Sm) {
        out.timing.reset();
    }
    return out;
}

} // namespace

Song ConvertSong(const Song& song, SongFormat target) {
    if (song.format == target) {
        return song;
    }
    const SongFormat source = song.format;
    Song out;
    out.title = song.title;
    out.artist = song.artist;
    out.bpm = song.bpm;
    out.gapSeconds = song.gapSeconds;
    out.sampleStartSeconds = song.sampleStartSeconds;
    out.sampleLengthSeconds = song.sampleLengthSeconds;
    out.changes = song.changes;
    out.stops = song.stops;
    if (target == SongFormat::Ssc) {
        out.delays = song.delays;
        out.warps = song.warps;
    }
    out.format = target;
    // The .dwi writer's own layout ends its lines with "\r\n".
    out.lineEnd = target == SongFormat::Dwi ? "\r\n" : song.lineEnd;
    for (const SongChart& chart : song.charts) {
        if (Kept(chart, target)) {
            out.charts.push_back(ConvertChart(chart, source, target));
        }
    }
    if (target != SongFormat::Dwi) {
        for (const SongChart& chart : song.otherCharts) {
            out.otherCharts.push_back(ConvertChart(chart, source, target));
        }
    }
    for (const KeptTag& tag : KeptTags(song)) {
        std::string newKey;
        const Fate fate = FateOf(tag, source, target, newKey);
        if (fate != Fate::Carry && fate != Fate::Rewrite) {
            continue;
        }
        chart::SourceRecord record;
        record.key = fate == Fate::Carry ? tag.key : newKey;
        record.text = fate == Fate::Carry
                          ? tag.text
                          : "#" + newKey + ":" + RewrittenValue(tag, source, target) + ";";
        record.trailing = out.lineEnd;
        out.records.push_back(std::move(record));
    }
    return out;
}

std::vector<std::string> ConversionLosses(const Song& song, SongFormat target) {
    std::vector<std::string> losses;
    const SongFormat source = song.format;
    if (source == target) {
        return losses;
    }
    const auto add = [&losses](std::size_t count, std::string_view one, std::string_view many) {
        if (count > 0) {
            losses.push_back(Counted(count, one, many));
        }
    };

    std::set<std::uint32_t> keptIds;
    std::size_t mines = 0, rolls = 0, lifts = 0, fakes = 0, autoKeysounds = 0, keysounds = 0;
    for (const SongChart& chart : song.charts) {
        if (!Kept(chart, target)) {
            continue;
        }
        keptIds.insert(chart.sourceId);
        if (target != SongFormat::Dwi) {
            continue;
        }
        for (const Note& note : chart.notes.Notes()) {
            mines += note.kind == NoteKind::Mine ? 1U : 0U;
            rolls += note.kind == NoteKind::Roll ? 1U : 0U;
            lifts += note.kind == NoteKind::Lift ? 1U : 0U;
            fakes += note.kind == NoteKind::Fake ? 1U : 0U;
            autoKeysounds += note.kind == NoteKind::AutoKeysound ? 1U : 0U;
            keysounds += note.keysound != 0 && note.IsStep() ? 1U : 0U;
        }
    }
    if (target != SongFormat::Dwi) {
        for (const SongChart& chart : song.otherCharts) {
            keptIds.insert(chart.sourceId);
        }
    }
    add(mines, "mine", "mines");
    add(rolls, "roll (written as a hold)", "rolls (written as holds)");
    add(lifts, "lift (written as a tap)", "lifts (written as taps)");
    add(fakes, "fake", "fakes");
    add(autoKeysounds, "keysound-only note", "keysound-only notes");
    add(keysounds, "keysound index", "keysound indexes");
    if (target != SongFormat::Ssc) {
        add(song.delays.size(), "delay", "delays");
        add(song.warps.size(), "warp", "warps");
    }

    std::array<std::size_t, kSegments.size()> segments{};
    std::vector<std::string> tags;
    for (const KeptTag& tag : KeptTags(song)) {
        // A chart left out takes its own tags with it; it is reported itself.
        if (tag.chartId != 0 && keptIds.count(tag.chartId) == 0) {
            continue;
        }
        std::string newKey;
        const Fate fate = FateOf(tag, source, target, newKey);
        if (fate == Fate::Segment) {
            for (std::size_t i = 0; i < kSegments.size(); ++i) {
                if (kSegments[i].key == tag.key) {
                    segments[i] += ChangingSegments(kSegments[i], tag.value);
                }
            }
        } else if (fate == Fate::Lost) {
            const std::string name = "#" + tag.key;
            if (std::find(tags.begin(), tags.end(), name) == tags.end()) {
                tags.push_back(name);
            }
        }
    }
    for (std::size_t i = 0; i < kSegments.size(); ++i) {
        add(segments[i], kSegments[i].singular, kSegments[i].plural);
    }

    if (target != SongFormat::Ssc) {
        const chart::ChartTiming songTiming = SongTiming(song);
        for (const auto* charts : {&song.charts, &song.otherCharts}) {
            for (const SongChart& chart : *charts) {
                // Charts of other steps types are not in a .dwi at all.
                const bool written =
                    charts == &song.charts ? Kept(chart, target) : target != SongFormat::Dwi;
                if (written && chart.timing && *chart.timing != songTiming) {
                    losses.push_back("per-chart timing of " + ChartName(chart));
                }
            }
        }
    }
    if (target == SongFormat::Dwi) {
        std::size_t descriptions = 0;
        for (const SongChart& chart : song.charts) {
            if (!Kept(chart, target)) {
                losses.push_back("Edit chart " + ChartName(chart));
            } else {
                descriptions += chart.description.empty() ? 0U : 1U;
            }
        }
        add(descriptions, "chart description", "chart descriptions");
        std::vector<std::pair<std::string, std::size_t>> others;
        for (const SongChart& chart : song.otherCharts) {
            auto found = std::find_if(others.begin(), others.end(), [&chart](const auto& o) {
                return o.first == chart.stepsType;
            });
            if (found == others.end()) {
                others.emplace_back(chart.stepsType, 0);
                found = std::prev(others.end());
            }
            ++found->second;
        }
        for (const auto& [stepsType, count] : others) {
            add(count, stepsType + " chart", stepsType + " charts");
        }
    }
    losses.insert(losses.end(), tags.begin(), tags.end());
    return losses;
}

std::string LossList(const std::vector<std::string>& losses) {
    std::string list;
    for (const std::string& loss : losses) {
        if (!list.empty()) {
            list += ", ";
        }
        list += loss;
    }
    return list;
}

} // namespace sm
