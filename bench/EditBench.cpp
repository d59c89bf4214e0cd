// Editing-layer figures: the undo of a Randomize over 10 000 rows (at 192nd
// snap on a chart with a note on every other row, and at 8th snap over
// 10 000 cells), and 10 000 single-note edits on a long chart, with their
// undo, and a Mirror of the whole of a 2000-measure chart with its undo.
// The reference beside each is the bare cost of the same change made
// straight on a chart::NoteData, without commands or history.
//
//   edit_bench      builds the charts in memory, measures and prints
#include "edit/SongEditor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 15; // undo/redo pairs per randomize figure

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A SINGLE chart of rows / step taps (every step-th row), arrows cycling.
chart::Song DenseSong(std::int32_t rows, std::int32_t step) {
    chart::Song song;
    song.bpm = 150.0f;
    chart::SongChart chart;
    for (std::int32_t row = 0; row < rows; row += step) {
        chart.notes.AppendSorted({row, static_cast<std::uint8_t>((row / step) % 4), 0});
    }
    chart.lengthRows = rows;
    song.charts = {chart};
    return song;
}

void RandomizeFigure(const char* name, edit::Snap snap, std::int32_t rows, std::int32_t step) {
    edit::SongEditor editor(DenseSong(rows, step));
    editor.SetSnap(snap);
    const std::size_t notes = editor.Song().charts[0].notes.Size();
    chart::EditRange cells{0, rows / edit::RowsPerCell(snap) - 1};
    chart::RangeActionRequest request;
    request.action = chart::RangeAction::kRandomize;
    request.randomize = {30, 2};
    const auto start = Clock::now();
    editor.DoRangeAction(cells, request, [](auto, auto) { return true; });
    const double doMs = MsSince(start);
    std::vector<double> undoMs;
    std::vector<double> redoMs;
    for (int i = 0; i < kRepeats; ++i) {
        auto t = Clock::now();
        editor.Undo();
        undoMs.push_back(MsSince(t));
        t = Clock::now();
        editor.Redo();
        redoMs.push_back(MsSince(t));
    }
    // Reference: rebuilding the chart's notes once, note by note.
    std::vector<double> copyMs;
    for (int i = 0; i < kRepeats; ++i) {
        const auto t = Clock::now();
        chart::NoteData copy(4);
        for (const chart::Note& note : editor.Song().charts[0].notes.Notes()) {
            copy.AppendSorted(note);
        }
        copyMs.push_back(MsSince(t));
    }
    std::printf("%-34s %6zu notes  randomize %7.3f ms  undo median %7.3f ms (max %7.3f)  "
                "redo median %7.3f ms  | reference: chart rebuilt %7.3f ms\n",
                name, notes, doMs, Median(undoMs), *std::max_element(undoMs.begin(), undoMs.end()),
                Median(redoMs), Median(copyMs));
}

void SingleNoteFigure(std::int32_t edits) {
    // A long, dense chart: 16ths for 2000 measures, 32 000 notes.
    const std::int32_t rows = 2000 * chart::kRowsPerMeasure;
    edit::SongEditor editor(DenseSong(rows, 12));
    editor.SetSnap(edit::Snap::k16th);
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int32_t> cell(0, rows / 12 - 1);
    std::uniform_int_distribution<int> column(0, 3);
    std::vector<std::pair<std::int32_t, std::uint8_t>> places;
    for (std::int32_t i = 0; i < edits; ++i) {
        places.emplace_back(cell(random) * 12, static_cast<std::uint8_t>(column(random)));
    }
    const std::size_t notes = editor.Song().charts[0].notes.Size();

    auto start = Clock::now();
    for (const auto& [row, col] : places) {
        editor.ToggleNote(row, col);
    }
    const double editMs = MsSince(start);
    start = Clock::now();
    while (editor.History().CanUndo()) {
        editor.Undo();
    }
    const double undoMs = MsSince(start);

    chart::NoteData reference = DenseSong(rows, 12).charts[0].notes;
    start = Clock::now();
    for (const auto& [row, col] : places) {
        if (!reference.Remove(row, col)) {
            reference.Set({row, col, 0});
        }
    }
    const double referenceMs = MsSince(start);
    std::printf("%d single-note edits on %zu notes    edits %8.2f ms (%6.2f us each)  undo all "
                "%8.2f ms  | reference: straight on NoteData %8.2f ms (ratio %.1f)\n",
                edits, notes, editMs, 1000.0 * editMs / edits, undoMs, referenceMs,
                editMs / referenceMs);
}

void MirrorFigure() {
    // 8ths for 2000 measures, every sixteenth note a hold of a 16th.
    const std::int32_t rows = 2000 * chart::kRowsPerMeasure;
    chart::Song song = DenseSong(rows, 24);
    chart::NoteData withHolds(4);
    for (chart::Note note : song.charts[0].notes.Notes()) {
        note.holdRows = (note.row / 24) % 16 == 0 ? 12 : 0;
        withHolds.AppendSorted(note);
    }
    song.charts[0].notes = withHolds;
    edit::SongEditor editor(song);
    const std::size_t notes = editor.Song().charts[0].notes.Size();
    std::vector<double> selectMs;
    std::vector<double> mirrorMs;
    std::vector<double> undoMs;
    for (int i = 0; i < kRepeats; ++i) {
        auto t = Clock::now();
        // Select All: the span of every row the chart has.
        const chart::SongChart& chart = *editor.Selected();
        const edit::RowSpan all{0, std::max(chart.lengthRows, chart.notes.EndRow())};
        selectMs.push_back(MsSince(t));
        t = Clock::now();
        editor.ApplyTransform(all, edit::Transform::Mirror);
        mirrorMs.push_back(MsSince(t));
        t = Clock::now();
        editor.Undo();
        undoMs.push_back(MsSince(t));
    }
    // Reference: the mirrored notes written straight into a NoteData.
    std::vector<double> referenceMs;
    for (int i = 0; i < kRepeats; ++i) {
        const auto t = Clock::now();
        chart::NoteData mirrored(4);
        for (chart::Note note : editor.Song().charts[0].notes.Notes()) {
            note.column = static_cast<std::uint8_t>(3 - note.column);
            mirrored.AppendSorted(note);
        }
        referenceMs.push_back(MsSince(t));
    }
    std::printf("Mirror of all %zu notes (2000 measures of 8ths, holds), median of %d "
                "(target: each under 20 ms)\n  select all %7.3f ms  mirror %7.3f ms (max %7.3f)  "
                "undo %7.3f ms (max %7.3f)  | reference: mirrored into NoteData %7.3f ms\n",
                notes, kRepeats, Median(selectMs), Median(mirrorMs),
                *std::max_element(mirrorMs.begin(), mirrorMs.end()), Median(undoMs),
                *std::max_element(undoMs.begin(), undoMs.end()), Median(referenceMs));
}

} // namespace

int main() {
    std::printf("Randomize over 10 000 rows, then undo/redo %d times (target: undo under 10 ms)\n",
                kRepeats);
    RandomizeFigure("192nd snap, 10 000 rows", edit::Snap::k192nd, 10000, 2);
    RandomizeFigure("192nd snap, 10 000 rows, all full", edit::Snap::k192nd, 10000, 1);
    RandomizeFigure("8th snap, 10 000 cells", edit::Snap::k8th, 240000, 24);
    SingleNoteFigure(10000);
    MirrorFigure();
    return 0;
}
