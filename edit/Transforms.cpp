#include "edit/Transforms.h"

#include "edit/NoteDiff.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace edit {

namespace {

using chart::ChartStyle;
using chart::Note;
using Permutation = std::vector<std::uint8_t>; // new column of each column

bool TwoPads(ChartStyle style) {
    return style == ChartStyle::Double || style == ChartStyle::Couple;
}

// One pad's lane moves applied to every pad of the style.
Permutation PerPad(ChartStyle style, const std::vector<std::uint8_t>& pad) {
    Permutation out = pad;
    if (TwoPads(style)) {
        for (std::uint8_t lane : pad) {
            out.push_back(static_cast<std::uint8_t>(lane + 4));
        }
    }
    return out;
}

Permutation Rotated(ChartStyle style, int step) {
    const int lanes = style == ChartStyle::Solo ? 6 : 4;
    std::vector<std::uint8_t> pad;
    for (int lane = 0; lane < lanes; ++lane) {
        pad.push_back(static_cast<std::uint8_t>((lane + step + lanes) % lanes));
    }
    return PerPad(style, pad);
}

Permutation Shuffled(ChartStyle style, chart::StepRandom& random) {
    std::vector<std::uint8_t> pad(style == ChartStyle::Solo ? 6 : 4);
    std::iota(pad.begin(), pad.end(), std::uint8_t{0});
    const std::vector<std::uint8_t> identity = pad;
    // Fisher-Yates; a draw that leaves every lane in place is drawn again.
    while (pad == identity) {
        for (std::size_t i = pad.size() - 1; i > 0; --i) {
            const auto j = static_cast<std::size_t>(random.Next()) % (i + 1);
            std::swap(pad[i], pad[j]);
        }
    }
    return PerPad(style, pad);
}

Permutation ColumnMoves(ChartStyle style, Transform t, chart::StepRandom& random) {
    const bool solo = style == ChartStyle::Solo;
    switch (t) {
    case Transform::Mirror:
        if (style == ChartStyle::Double) {
            return {7, 6, 5, 4, 3, 2, 1, 0};
        }
        return solo ? Permutation{5, 4, 3, 2, 1, 0} : PerPad(style, {3, 2, 1, 0});
    case Transform::FlipLeftRight:
        return solo ? Permutation{5, 4, 2, 3, 1, 0} : PerPad(style, {3, 1, 2, 0});
    case Transform::FlipUpDown:
        return solo ? Permutation{0, 1, 3, 2, 4, 5} : PerPad(style, {0, 2, 1, 3});
    case Transform::RotateLeft:
        return Rotated(style, -1);
    case Transform::RotateRight:
        return Rotated(style, 1);
    case Transform::Shuffle:
        return Shuffled(style, random);
    case Transform::SwapPads:
        return {4, 5, 6, 7, 0, 1, 2, 3};
    default:
        return {};
    }
}

// value / den for value >= 0, to the nearest integer, ties to the lower.
std::int64_t RoundedQuotient(std::int64_t value, std::int64_t den) {
    return (value + (den - 1) / 2) / den;
}

struct Ratio {
    std::int64_t num = 1;
    std::int64_t den = 1;
};

std::optional<Ratio> WarpOf(Transform t) {
    switch (t) {
    case Transform::Expand1to2:
        return Ratio{2, 1};
    case Transform::Compress2to1:
        return Ratio{1, 2};
    case Transform::Expand2to3:
        return Ratio{3, 2};
    case Transform::Compress3to2:
        return Ratio{2, 3};
    default:
        return std::nullopt;
    }
}

// Puts notes (in any order) into a chart, merging notes of one column that
// meet: the first keeps its head and reaches to the later tail.
std::optional<chart::NoteData> Merged(std::vector<Note> notes, std::uint8_t columns) {
    std::sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
        return a.column < b.column || (a.column == b.column && a.row < b.row);
    });
    std::vector<Note> kept;
    for (const Note& note : notes) {
        if (note.row < 0 || note.EndRow() >= chart::kMaxRows) {
            return std::nullopt;
        }
        if (!kept.empty() && kept.back().column == note.column &&
            note.row <= kept.back().EndRow()) {
            Note& last = kept.back();
            last.holdRows = std::max(last.EndRow(), note.EndRow()) - last.row;
        } else {
            kept.push_back(note);
        }
    }
    std::sort(kept.begin(), kept.end(), [](const Note& a, const Note& b) {
        return a.row < b.row || (a.row == b.row && a.column < b.column);
    });
    chart::NoteData out(columns);
    for (const Note& note : kept) {
        out.AppendSorted(note);
    }
    return out;
}

std::optional<TransformResult> Finish(const chart::SongChart& chart, const chart::NoteData& before,
                                      const std::optional<chart::NoteData>& after,
                                      RowSpan spanAfter, Transform t) {
    if (!after) {
        return std::nullopt;
    }
    NoteDiff diff = DiffNotes(before, *after);
    const std::int32_t length = CoveringLength(chart.lengthRows, diff);
    if (diff.Empty() && length == chart.lengthRows) {
        return std::nullopt;
    }
    return TransformResult{{std::move(diff), length, std::string(TransformName(t))}, spanAfter};
}

std::optional<TransformResult> Permuted(const chart::SongChart& chart, RowSpan span,
                                        const Permutation& moves, Transform t) {
    // The window reaches to the last tail of the span's notes, so the notes
    // a moved hold may meet are in the excerpt.
    std::int32_t windowEnd = span.end;
    for (const Note& note : chart.notes.HeadsIn(span.begin, span.end)) {
        windowEnd = std::max(windowEnd, note.EndRow() + 1);
    }
    const chart::NoteData before = Excerpt(chart.notes, span.begin, windowEnd);
    std::vector<Note> notes = before.Notes();
    for (Note& note : notes) {
        if (note.row >= span.begin && note.row < span.end && note.column < moves.size()) {
            note.column = moves[note.column];
        }
    }
    return Finish(chart, before, Merged(std::move(notes), before.Columns()), span, t);
}

std::optional<TransformResult> Warped(const chart::SongChart& chart, RowSpan span, Ratio ratio,
                                      Transform t) {
    const std::int64_t newEnd =
        span.begin + RoundedQuotient(std::int64_t{span.end - span.begin} * ratio.num, ratio.den);
    const std::int64_t shift = newEnd - span.end;
    const auto warp = [&](std::int32_t row) -> std::int64_t {
        if (row < span.begin) {
            return row;
        }
        if (row >= span.end) {
            return row + shift;
        }
        return span.begin + RoundedQuotient(std::int64_t{row - span.begin} * ratio.num, ratio.den);
    };
    const chart::NoteData before = Excerpt(chart.notes, span.begin, chart::kMaxRows);
    std::vector<Note> notes;
    notes.reserve(before.Size());
    for (Note note : before.Notes()) {
        const std::int64_t head = warp(note.row);
        const std::int64_t tail = warp(note.EndRow());
        if (tail >= chart::kMaxRows) {
            return std::nullopt;
        }
        note.row = static_cast<std::int32_t>(head);
        note.holdRows = static_cast<std::int32_t>(tail - head);
        notes.push_back(note);
    }
    return Finish(
        chart, before, Merged(std::move(notes), before.Columns()),
        {span.begin, static_cast<std::int32_t>(std::min<std::int64_t>(newEnd, chart::kMaxRows))},
        t);
}

std::optional<TransformResult> Quantized(const chart::SongChart& chart, RowSpan span,
                                         std::int32_t cellRows) {
    const auto nearest = [cellRows](std::int32_t row) {
        return static_cast<std::int32_t>(RoundedQuotient(row, cellRows) * cellRows);
    };
    std::int32_t windowEnd = span.end;
    for (const Note& note : chart.notes.HeadsIn(span.begin, span.end)) {
        windowEnd = std::max(windowEnd, nearest(note.EndRow()) + 1);
    }
    // Heads may move back into the cell before the span.
    const chart::NoteData before =
        Excerpt(chart.notes, std::max(0, nearest(span.begin) - cellRows), windowEnd);
    std::vector<Note> notes = before.Notes();
    for (Note& note : notes) {
        if (note.row >= span.begin && note.row < span.end) {
            const std::int32_t head = nearest(note.row);
            note.holdRows = std::max(0, nearest(note.EndRow()) - head);
            note.row = head;
        }
    }
    return Finish(chart, before, Merged(std::move(notes), before.Columns()), span,
                  Transform::Quantize);
}

} // namespace

std::string_view TransformName(Transform t) {
    switch (t) {
    case Transform::Mirror:
        return "Mirror";
    case Transform::FlipLeftRight:
        return "Flip Left-Right";
    case Transform::FlipUpDown:
        return "Flip Up-Down";
    case Transform::RotateLeft:
        return "Rotate Left";
    case Transform::RotateRight:
        return "Rotate Right";
    case Transform::Shuffle:
        return "Shuffle";
    case Transform::SwapPads:
        return "Swap Pads";
    case Transform::Expand1to2:
        return "Expand 1:2";
    case Transform::Compress2to1:
        return "Compress 2:1";
    case Transform::Expand2to3:
        return "Expand 2:3";
    case Transform::Compress3to2:
        return "Compress 3:2";
    case Transform::Quantize:
        return "Quantize";
    }
    return {};
}

bool TransformApplies(chart::ChartStyle style, Transform t) {
    return t != Transform::SwapPads || TwoPads(style);
}

std::optional<TransformResult> TransformEdit(const chart::SongChart& chart, RowSpan span,
                                             Transform t, std::int32_t cellRows,
                                             chart::StepRandom& random) {
    if (span.Empty() || span.begin < 0 || span.end > chart::kMaxRows ||
        !TransformApplies(chart.style, t)) {
        return std::nullopt;
    }
    if (t == Transform::Quantize) {
        if (cellRows <= 0) {
            return std::nullopt;
        }
        return Quantized(chart, span, cellRows);
    }
    if (const auto ratio = WarpOf(t)) {
        return Warped(chart, span, *ratio, t);
    }
    return Permuted(chart, span, ColumnMoves(chart.style, t, random), t);
}

} // namespace edit
