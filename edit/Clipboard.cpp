#include "edit/Clipboard.h"

#include "dwi/DwiRecords.h"
#include "dwi/DwiSteps.h"
#include "edit/NoteDiff.h"
#include "simfile/SmNotes.h"
#include "simfile/StepsTypes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace edit {

namespace {

using chart::ChartStyle;
using chart::Note;

constexpr std::int32_t kRowsPerStep = chart::kRowsPerBeat / 2; // the file's 8th step
constexpr int kNoColumn = -1;

bool HeadBefore(const Note& a, const Note& b) {
    return a.row < b.row || (a.row == b.row && a.column < b.column);
}

bool FourPanel(ChartStyle style) {
    return style != ChartStyle::Solo;
}

std::optional<ChartStyle> StyleOfKey(std::string_view key) {
    for (ChartStyle style :
         {ChartStyle::Single, ChartStyle::Double, ChartStyle::Couple, ChartStyle::Solo}) {
        if (chart::StyleName(style) == key) {
            return style;
        }
    }
    return std::nullopt;
}

// What bare steps may hold: step characters, the notation's brackets and
// marks, and white space. Anything else means the text is not steps.
bool IsStepsText(std::string_view text) {
    bool anyStep = false;
    for (char c : text) {
        const bool step = (c >= '0' && c <= '9') || c == 'A' || c == 'B';
        anyStep = anyStep || step;
        if (!step && std::string_view("()[]{}`'<>! \t\r\n").find(c) == std::string_view::npos) {
            return false;
        }
    }
    return anyStep;
}

// The chart column of each of the clip's columns, kNoColumn where the chart
// has none; empty when the clip is wider than the chart.
std::vector<int> ColumnMap(ChartStyle from, ChartStyle to) {
    const std::uint8_t fromColumns = chart::ColumnsOf(from);
    const std::uint8_t toColumns = chart::ColumnsOf(to);
    if (from == ChartStyle::Solo && FourPanel(to)) {
        return {0, kNoColumn, 1, 2, kNoColumn, 3}; // the straight arrows
    }
    if (to == ChartStyle::Solo && from == ChartStyle::Single) {
        return {0, 2, 3, 5};
    }
    if (fromColumns > toColumns || (to == ChartStyle::Solo && from != ChartStyle::Solo)) {
        return {};
    }
    std::vector<int> map(fromColumns);
    for (std::uint8_t column = 0; column < fromColumns; ++column) {
        map[column] = column;
    }
    return map;
}

std::int32_t WholeSteps(std::int32_t rows) {
    return (rows + kRowsPerStep - 1) / kRowsPerStep * kRowsPerStep;
}

// True when the note overlaps a note of its column in notes.
bool Overlaps(const chart::NoteData& notes, const Note& note) {
    if (notes.Covering(note.row, note.column) != nullptr) {
        return true;
    }
    const auto heads = notes.HeadsIn(note.row, note.EndRow() + 1);
    return std::any_of(heads.begin(), heads.end(),
                       [&note](const Note& other) { return other.column == note.column; });
}

// .dwi steps hold taps and holds only; a clip with anything else goes out
// as a .sm chart, whose description keeps its exact row count (.sm counts
// whole measures).
bool NeedsSmText(const ClipRows& clip) {
    return std::any_of(clip.notes.begin(), clip.notes.end(), [](const Note& note) {
        return note.kind != chart::NoteKind::Normal || note.keysound != 0;
    });
}

constexpr std::string_view kRowsSuffix = " rows";

std::string SmClipText(const ClipRows& clip, const chart::NoteData& notes,
                       std::string_view difficulty, std::uint32_t rating) {
    const std::string indent = "\n     ";
    return "#NOTES:" + indent + std::string(sm::StepsTypeOf(clip.style)) + ":" + indent +
           std::to_string(clip.rows) + std::string(kRowsSuffix) + ":" + indent +
           std::string(difficulty) + ":" + indent + std::to_string(rating) + ":" + indent + ":\n" +
           sm::EncodeNotes(notes, clip.rows, "\n") + ";";
}

std::optional<ClipRows> ParseSmClip(const dwi::Record& record) {
    const auto style = sm::StyleOfStepsType(record.fields[0]);
    if (!style) {
        return std::nullopt;
    }
    const sm::DecodedNotes decoded = sm::DecodeNotes(record.fields[5], chart::ColumnsOf(*style));
    std::int32_t rows = decoded.lengthRows;
    std::string_view description = record.fields[1];
    const std::size_t first = description.find_first_not_of(" \t\r\n");
    description.remove_prefix(std::min(first, description.size()));
    if (description.ends_with(kRowsSuffix)) {
        const std::string count(description.substr(0, description.size() - kRowsSuffix.size()));
        if (!count.empty() && count.find_first_not_of("0123456789") == std::string::npos &&
            count.size() < 10) {
            rows = std::min(rows, static_cast<std::int32_t>(std::stol(count)));
        }
    }
    if (rows <= 0) {
        return std::nullopt;
    }
    return ClipRows{*style, rows, decoded.notes.Notes()};
}

} // namespace

ClipRows CopyRows(const chart::SongChart& chart, RowSpan span) {
    ClipRows clip;
    clip.style = chart.style;
    if (span.Empty()) {
        return clip;
    }
    clip.rows = span.end - span.begin;
    for (Note note : chart.notes.HeadsIn(span.begin, span.end)) {
        note.row -= span.begin;
        clip.rows = std::max(clip.rows, note.EndRow() + 1);
        clip.notes.push_back(note);
    }
    return clip;
}

std::string ClipText(const ClipRows& clip, std::string_view difficulty, std::uint32_t rating) {
    chart::SongChart chart;
    chart.style = clip.style;
    chart.notes = chart::NoteData(chart::ColumnsOf(clip.style));
    for (const Note& note : clip.notes) {
        chart.notes.AppendSorted(note);
    }
    chart.lengthRows = clip.rows;
    if (NeedsSmText(clip)) {
        return SmClipText(clip, chart.notes, difficulty, rating);
    }
    constexpr std::string_view kLineEnd = "\n"; // the desktop clipboard's
    std::string text = "#" + std::string(chart::StyleName(clip.style)) + ":" +
                       std::string(difficulty) + ":" + std::to_string(rating) + ":\n" +
                       dwi::WritePadSteps(chart, 0, kLineEnd);
    if (chart::ColumnsOf(clip.style) == 8) {
        text += ":\n" + dwi::WritePadSteps(chart, 4, kLineEnd);
    }
    return text + ";";
}

std::optional<ClipRows> ParseClipText(std::string_view text) {
    chart::SongChart chart;
    if (text.find('#') != std::string_view::npos) {
        const std::vector<dwi::Record> records = dwi::SplitRecords(text);
        const auto found = std::find_if(records.begin(), records.end(), [](const dwi::Record& r) {
            return (StyleOfKey(r.key).has_value() && r.fields.size() >= 3) ||
                   (r.key == "NOTES" && r.fields.size() >= 6);
        });
        if (found == records.end()) {
            return std::nullopt;
        }
        if (found->key == "NOTES") {
            return ParseSmClip(*found);
        }
        chart.style = *StyleOfKey(found->key);
        dwi::ReadChartSteps(&found->fields[2],
                            found->fields.size() > 3 ? &found->fields[3] : nullptr, chart);
    } else {
        if (!IsStepsText(text)) {
            return std::nullopt;
        }
        chart.lengthRows = dwi::ReadPadSteps(text, ChartStyle::Single, 0, chart.notes);
    }
    if (chart.lengthRows <= 0) {
        return std::nullopt;
    }
    return ClipRows{chart.style, chart.lengthRows, chart.notes.Notes()};
}

std::optional<NoteEdit> PasteEdit(const chart::SongChart& chart, std::int32_t atRow,
                                  const ClipRows& clip, std::string& refusal) {
    refusal.clear();
    if (clip.rows <= 0 || atRow < 0 || atRow >= chart::kMaxRows - clip.rows) {
        return std::nullopt;
    }
    const std::vector<int> map = ColumnMap(clip.style, chart.style);
    const std::string from(chart::StyleName(clip.style));
    const std::string to(chart::StyleName(chart.style));
    if (map.empty()) {
        refusal = "Steps copied from a " + from + " chart do not fit a " + to + " chart.";
        return std::nullopt;
    }
    std::vector<Note> pasted;
    std::int32_t windowEnd = atRow + clip.rows;
    for (Note note : clip.notes) {
        const int column = note.column < map.size() ? map[note.column] : kNoColumn;
        if (column == kNoColumn) {
            refusal = "Steps copied from a " + from + " chart use arrows a " + to +
                      " chart does not have.";
            return std::nullopt;
        }
        if (note.row < 0 || note.holdRows < 0 || note.EndRow() >= chart::kMaxRows - atRow) {
            return std::nullopt;
        }
        note.row += atRow;
        note.column = static_cast<std::uint8_t>(column);
        windowEnd = std::max(windowEnd, note.EndRow() + 1);
        pasted.push_back(note);
    }
    std::sort(pasted.begin(), pasted.end(), HeadBefore);

    const chart::NoteData before = Excerpt(chart.notes, atRow, windowEnd);
    chart::NoteData kept(before.Columns());
    for (const Note& note : before.Notes()) {
        if (note.row < atRow || note.row >= atRow + clip.rows) {
            kept.AppendSorted(note);
        }
    }
    // The pasted notes that meet nothing merge in one pass; the few that cut
    // into a kept note go through Set, which settles the overlap.
    std::vector<Note> free;
    std::vector<Note> overlapping;
    for (const Note& note : pasted) {
        (Overlaps(kept, note) ? overlapping : free).push_back(note);
    }
    std::vector<Note> merged;
    std::merge(kept.Notes().begin(), kept.Notes().end(), free.begin(), free.end(),
               std::back_inserter(merged), HeadBefore);
    chart::NoteData after(before.Columns());
    for (const Note& note : merged) {
        after.AppendSorted(note);
    }
    for (const Note& note : overlapping) {
        after.Set(note);
    }
    NoteDiff diff = DiffNotes(before, after);
    const std::int32_t length =
        CoveringLength(std::max(chart.lengthRows, WholeSteps(atRow + clip.rows)), diff);
    if (diff.Empty() && length == chart.lengthRows) {
        return std::nullopt;
    }
    return NoteEdit{std::move(diff), length, "Paste"};
}

std::optional<NoteEdit> CutEdit(const chart::SongChart& chart, RowSpan span) {
    if (span.Empty() || span.begin < 0) {
        return std::nullopt;
    }
    const chart::NoteData before = Excerpt(chart.notes, span.begin, span.end);
    chart::NoteData after(before.Columns());
    for (const Note& note : before.Notes()) {
        if (note.row < span.begin) {
            after.AppendSorted(note);
        }
    }
    NoteDiff diff = DiffNotes(before, after);
    if (diff.Empty()) {
        return std::nullopt;
    }
    return NoteEdit{std::move(diff), chart.lengthRows, "Cut"};
}

} // namespace edit
