#pragma once

#include "chart/RangeActions.h"
#include "chart/Song.h"
#include "edit/ChangeChartInfo.h"
#include "edit/ChangeTiming.h"
#include "edit/Clipboard.h"
#include "edit/NoteEdits.h"
#include "edit/Snap.h"
#include "edit/Transforms.h"
#include "edit/UndoHistory.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// The song being edited: the document, the chart selected, the snap, and
// the one way to change the document (commands on its undo history). The
// window shows Song() and calls the editing functions below with rows or
// song times; it repaints from the listener's notices. Window thread only.
//
// Editing functions return whether the document changed (one command
// pushed). Rows are 48 a beat; columns as chart::ColumnsOf.
namespace edit {

class SongEditor {
public:
    using Listener = UndoHistory::Listener;

    explicit SongEditor(chart::Song song = {});
    SongEditor(const SongEditor&) = delete;
    SongEditor& operator=(const SongEditor&) = delete;

    const chart::Song& Song() const { return m_song; }
    // A new document (opened, imported, new): no history, clean, the first
    // chart selected; the snap stays.
    void Reset(chart::Song song);
    // Notices after every change of the document, the selection, the snap
    // or the clean state.
    void SetListener(Listener listener);

    // Undo, redo and the clean mark. Undoing or redoing a change of a chart
    // other than the selected one selects that chart, so the change is seen.
    UndoHistory& History() { return m_history; }
    const UndoHistory& History() const { return m_history; }
    void Undo();
    void Redo();

    std::optional<std::size_t> SelectedChart() const { return m_selected; }
    const chart::SongChart* Selected() const;
    void SelectChart(std::size_t index);

    Snap CurrentSnap() const { return m_snap; }
    void SetSnap(Snap snap);
    std::int32_t CellRows() const { return RowsPerCell(m_snap); }

    // The timing the selected chart plays by: its own where it has one (an
    // .ssc chart's), else the song's. Rows <-> seconds for what the window
    // shows, enters and ticks go through this.
    chart::TimingMap Timing() const;
    // The selected chart has its own timing: the song's BPM, Gap, changes
    // and stops do not move it.
    bool SelectedHasOwnTiming() const;

    // The cell row at a song time (live entry, clicks), and Enter's target,
    // by Timing().
    std::optional<std::int32_t> RowAt(double positionSeconds) const;
    double SnapForward(double positionSeconds, double durationSeconds) const;

    // The kind of note that keys and clicks enter: Normal (taps, and holds
    // by a held key or a drag), Roll (the same, but the holds made are
    // rolls), Mine, Lift or Fake. EntryKind() is Normal while the song's
    // format cannot hold the kind chosen (see FormatHolds).
    void SetEntryKind(chart::NoteKind kind) { m_entryKind = kind; }
    chart::NoteKind ChosenEntryKind() const { return m_entryKind; }
    chart::NoteKind EntryKind() const;

    // Notes of the selected chart (see edit/NoteEdits.h for each rule).
    bool AddArrow(std::int32_t row, std::uint8_t column);
    // As the entry kind has it: Normal and Roll toggle a tap, Mine, Lift
    // and Fake put or take away a note of their kind (PutNoteEdit).
    bool ToggleNote(std::int32_t row, std::uint8_t column);
    // A single-row note of a kind whatever the entry kind (Mine by Alt with
    // a key or a click); false, and nothing done, where the song's format
    // cannot hold it.
    bool PutNote(std::int32_t row, std::uint8_t column, chart::NoteKind kind);
    bool ClearRow(std::int32_t row);
    // A hold keeps its kind when its length changes; a tap made a hold
    // becomes a roll when the entry kind is Roll. A mine, lift or fake head
    // has no length to give: false.
    bool SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                 std::uint64_t mergeId = 0);
    bool PadChart(std::int32_t row);

    // Live entry with a held key. The press adds the arrow at the cell
    // playing (one command); a release more than one cell later (in beats,
    // so a stop in between does not count) turns that tap into a hold from
    // the press to the release row, at least one cell long, merged into the
    // press's command. A press that added nothing leaves the release with
    // nothing to do; a second press of a held column is an auto-repeat and
    // is ignored. With a single-row kind (the entry kind's Mine, Lift or
    // Fake, or the one given) the press puts or takes away a note of that
    // kind and the release does nothing.
    bool PressKey(std::uint8_t column, double positionSeconds,
                  std::optional<chart::NoteKind> kind = std::nullopt);
    bool ReleaseKey(std::uint8_t column, double positionSeconds);

    // One "Do it!" press at the snap, the range in cells (see
    // edit/RangeEdits.h); the questions and outcomes of chart::DoRangeAction.
    // The shifts move the range. Randomize draws from the editor's own
    // generator, seeded as the program's always was; undo does not rewind it.
    chart::RangeActionOutcome DoRangeAction(chart::EditRange& cells,
                                            const chart::RangeActionRequest& request,
                                            const chart::AskYesNo& ask);

    // The author's toolkit on a span of rows of the selected chart (see
    // edit/Transforms.h and edit/Clipboard.h). spanAfter and pasted receive
    // the rows to select afterwards when the document changed. Shuffle draws
    // from the editor's generator; Quantize uses the snap's cell.
    bool ApplyTransform(RowSpan span, Transform t, RowSpan* spanAfter = nullptr);
    bool CutRows(RowSpan span);
    // refusal receives the message for the user when the clip does not fit
    // the chart (empty otherwise).
    bool Paste(std::int32_t atRow, const ClipRows& clip, std::string& refusal,
               RowSpan* pasted = nullptr);

    // Timing. A non-zero mergeId folds a run of edits (a spin held down)
    // into one command.
    bool SetBpm(float bpm, std::uint64_t mergeId = 0);
    bool SetGap(float gapSeconds, std::uint64_t mergeId = 0);
    bool SetSampleStart(float seconds, std::uint64_t mergeId = 0);
    bool SetSampleLength(float seconds, std::uint64_t mergeId = 0);
    // The whole timing at once (a found timing map): one command.
    bool SetTiming(SongTimingValues next, std::uint64_t mergeId = 0);
    // A change or stop at a beat where one is already replaces it. The
    // lists stay sorted by beat.
    bool AddBpmChange(const chart::BpmChange& change);
    bool ChangeBpmChange(std::size_t index, const chart::BpmChange& change);
    bool RemoveBpmChange(std::size_t index);
    bool AddStop(const chart::Stop& stop);
    bool ChangeStop(std::size_t index, const chart::Stop& stop);
    bool RemoveStop(std::size_t index);

    // Charts. New and Duplicate add the chart at the end of the list, where
    // a save writes new charts, and select it; the copy is a new chart to
    // the file (sourceId 0). Delete selects the chart that took its place,
    // or the one before.
    bool NewChart(chart::ChartStyle style, const std::string& difficulty, std::uint32_t rating);
    bool DuplicateChart();
    bool DeleteChart();
    // Any difficulty text (upper-cased and trimmed, not empty); ratings
    // 1 to 99.
    bool SetDifficulty(const std::string& difficulty);
    bool SetRating(std::uint32_t rating);
    static constexpr std::uint32_t kMaxRating = 99;

    bool SetTitle(const std::string& title, std::uint64_t mergeId = 0);
    bool SetArtist(const std::string& artist, std::uint64_t mergeId = 0);

private:
    std::string DifficultyForFile(const std::string& difficulty) const;

    bool PushNoteEdit(std::optional<NoteEdit> edit, std::uint64_t mergeId = 0);
    bool PushTiming(std::string text, SongTimingValues next, std::uint64_t mergeId);
    bool PushChartInfo(std::string text, ChartInfo next);
    void OnNotice(const ChangeNotice& notice);
    void Emit(ChangeNotice notice);

    struct HeldKey {
        std::int32_t row = 0;
        double beat = 0.0;
        std::uint64_t mergeId = 0;
        bool added = false;
    };

    chart::Song m_song;
    UndoHistory m_history{m_song};
    std::optional<std::size_t> m_selected;
    Snap m_snap = kStartSnap;
    chart::StepRandom m_random;
    std::map<std::uint8_t, HeldKey> m_held;
    std::uint64_t m_nextPressId = 1;
    bool m_undoing = false;
    chart::NoteKind m_entryKind = chart::NoteKind::Normal;
    Listener m_listener;
};

} // namespace edit
