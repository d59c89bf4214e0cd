#include "edit/SongEditor.h"

#include "edit/AddRemoveChart.h"
#include "edit/ChangeNotes.h"
#include "edit/ChangeSongInfo.h"
#include "edit/NoteEdits.h"
#include "edit/RangeEdits.h"
#include "simfile/StepsTypes.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace edit {

namespace {

// Key presses merge by their own ids, apart from the ids callers choose.
constexpr std::uint64_t kFirstPressId = std::uint64_t{1} << 63;

std::string CleanDifficulty(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    const auto first = out.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

template <typename T> void InsertByBeat(std::vector<T>& list, const T& item) {
    const auto at = std::lower_bound(list.begin(), list.end(), item,
                                     [](const T& a, const T& b) { return a.beat < b.beat; });
    if (at != list.end() && at->beat == item.beat) {
        *at = item;
    } else {
        list.insert(at, item);
    }
}

template <typename T> bool ReplaceByIndex(std::vector<T>& list, std::size_t index, const T& item) {
    if (index >= list.size()) {
        return false;
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    InsertByBeat(list, item);
    return true;
}

template <typename T> bool EraseIndex(std::vector<T>& list, std::size_t index) {
    if (index >= list.size()) {
        return false;
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

} // namespace

SongEditor::SongEditor(chart::Song song) : m_nextPressId(kFirstPressId) {
    m_history.SetListener([this](const ChangeNotice& notice) { OnNotice(notice); });
    Reset(std::move(song));
}

void SongEditor::Reset(chart::Song song) {
    m_song = std::move(song);
    m_selected = m_song.charts.empty() ? std::nullopt : std::optional<std::size_t>(0);
    m_held.clear();
    m_history.Clear();
    Emit({kNotesChanged | kTimingChanged | kSongInfoChanged | kChartInfoChanged |
              kChartListChanged | kSelectionChanged,
          m_selected});
}

void SongEditor::SetListener(Listener listener) {
    m_listener = std::move(listener);
}

void SongEditor::Undo() {
    m_held.clear();
    m_undoing = true;
    m_history.Undo();
    m_undoing = false;
}

void SongEditor::Redo() {
    m_held.clear();
    m_undoing = true;
    m_history.Redo();
    m_undoing = false;
}

const chart::SongChart* SongEditor::Selected() const {
    return m_selected ? &m_song.charts[*m_selected] : nullptr;
}

void SongEditor::SelectChart(std::size_t index) {
    if (index >= m_song.charts.size() || m_selected == index) {
        return;
    }
    m_selected = index;
    m_held.clear();
    Emit({kSelectionChanged, index});
}

void SongEditor::SetSnap(Snap snap) {
    if (snap != m_snap) {
        m_snap = snap;
        Emit({kSnapChanged, std::nullopt});
    }
}

std::optional<std::int32_t> SongEditor::RowAt(double positionSeconds) const {
    return RowAtPosition(m_song, m_snap, positionSeconds, Selected());
}

double SongEditor::SnapForward(double positionSeconds, double durationSeconds) const {
    return SnapForwardAt(m_song, m_snap, positionSeconds, durationSeconds, Selected());
}

chart::TimingMap SongEditor::Timing() const {
    const chart::SongChart* chart = Selected();
    return chart ? m_song.TimingOf(*chart) : m_song.Timing();
}

bool SongEditor::SelectedHasOwnTiming() const {
    const chart::SongChart* chart = Selected();
    return chart && chart->timing;
}

bool SongEditor::PushNoteEdit(std::optional<NoteEdit> edit, std::uint64_t mergeId) {
    if (!edit || !m_selected ||
        (edit->diff.Empty() && edit->lengthAfter == m_song.charts[*m_selected].lengthRows)) {
        return false;
    }
    m_history.Push(std::make_unique<ChangeNotes>(
        *m_selected, std::move(edit->text), std::move(edit->diff),
        m_song.charts[*m_selected].lengthRows, edit->lengthAfter, mergeId));
    return true;
}

bool SongEditor::AddArrow(std::int32_t row, std::uint8_t column) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && PushNoteEdit(AddArrowEdit(*chart, row, column, CellRows()));
}

chart::NoteKind SongEditor::EntryKind() const {
    return FormatHolds(m_song.format, m_entryKind) ? m_entryKind : chart::NoteKind::Normal;
}

bool SongEditor::ToggleNote(std::int32_t row, std::uint8_t column) {
    const chart::NoteKind kind = EntryKind();
    if (kind != chart::NoteKind::Normal && kind != chart::NoteKind::Roll) {
        return PutNote(row, column, kind);
    }
    const chart::SongChart* chart = Selected();
    return chart != nullptr && PushNoteEdit(ToggleNoteEdit(*chart, row, column, CellRows()));
}

bool SongEditor::PutNote(std::int32_t row, std::uint8_t column, chart::NoteKind kind) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && FormatHolds(m_song.format, kind) &&
           PushNoteEdit(PutNoteEdit(*chart, row, column, kind, CellRows()));
}

bool SongEditor::ClearRow(std::int32_t row) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && PushNoteEdit(ClearRowEdit(*chart, row, CellRows()));
}

bool SongEditor::SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                         std::uint64_t mergeId) {
    const chart::SongChart* chart = Selected();
    if (chart == nullptr) {
        return false;
    }
    chart::NoteKind kind = EntryKind();
    if (const chart::Note* head = chart->notes.Find(row, column)) {
        if (head->kind != chart::NoteKind::Normal && head->kind != chart::NoteKind::Roll) {
            return false;
        }
        if (head->IsHold()) {
            kind = head->kind;
        }
    }
    return PushNoteEdit(SetHoldEdit(*chart, row, column, holdRows, CellRows(), kind), mergeId);
}

bool SongEditor::PadChart(std::int32_t row) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && PushNoteEdit(PadEdit(*chart, row, CellRows()));
}

bool SongEditor::PressKey(std::uint8_t column, double positionSeconds,
                          std::optional<chart::NoteKind> kind) {
    const chart::SongChart* chart = Selected();
    if (chart == nullptr || m_held.contains(column)) {
        return false;
    }
    const std::optional<std::int32_t> row = RowAt(positionSeconds);
    if (!row) {
        return false;
    }
    const chart::NoteKind pressKind = kind.value_or(EntryKind());
    if (pressKind != chart::NoteKind::Normal && pressKind != chart::NoteKind::Roll) {
        // Held, so that its auto-repeat is ignored; not added, so that the
        // release makes no hold.
        m_held[column] = HeldKey{*row, 0.0, 0, false};
        return PutNote(*row, column, pressKind);
    }
    HeldKey held;
    held.row = *row;
    held.beat = Timing().BeatAt(positionSeconds);
    held.mergeId = m_nextPressId++;
    const bool wasFree = chart->notes.Covering(*row, column) == nullptr;
    const bool changed = PushNoteEdit(AddArrowEdit(*chart, *row, column, CellRows()), held.mergeId);
    held.added = wasFree && Selected()->notes.Find(*row, column) != nullptr;
    m_held[column] = held;
    return changed;
}

bool SongEditor::ReleaseKey(std::uint8_t column, double positionSeconds) {
    const auto it = m_held.find(column);
    if (it == m_held.end()) {
        return false;
    }
    const HeldKey held = it->second;
    m_held.erase(it);
    const double cellBeats = static_cast<double>(CellRows()) / chart::kRowsPerBeat;
    if (!held.added || !(Timing().BeatAt(positionSeconds) - held.beat > cellBeats)) {
        return false;
    }
    const std::int32_t releaseRow = RowAt(positionSeconds).value_or(held.row);
    const std::int32_t endRow = std::max(releaseRow, held.row + CellRows());
    return SetHold(held.row, column, endRow - held.row, held.mergeId);
}

chart::RangeActionOutcome SongEditor::DoRangeAction(chart::EditRange& cells,
                                                    const chart::RangeActionRequest& request,
                                                    const chart::AskYesNo& ask) {
    using chart::RangeAction;
    using chart::RangeActionOutcome;
    if (cells.start > cells.end || cells.start < 0) {
        return RangeActionOutcome::kInvalidRange;
    }
    const chart::SongChart* chart = Selected();
    if (!request.action || chart == nullptr) {
        return RangeActionOutcome::kNoAction;
    }
    const std::int32_t cellRows = CellRows();
    std::optional<NoteEdit> edit;
    switch (*request.action) {
    case RangeAction::kShiftLater:
        edit = ShiftLaterEdit(*chart, cells, cellRows);
        if (!edit) {
            return RangeActionOutcome::kNoAction;
        }
        ++cells.start;
        ++cells.end;
        break;
    case RangeAction::kShiftEarlier:
        edit = ShiftEarlierEdit(*chart, cells, cellRows);
        if (!edit) {
            return RangeActionOutcome::kNoAction;
        }
        --cells.start;
        --cells.end;
        break;
    case RangeAction::kClear:
        if (!ask(chart::kConfirmEraseText, chart::kConfirmEraseCaption)) {
            return RangeActionOutcome::kDeclined;
        }
        edit = ClearRangeEdit(*chart, cells, cellRows);
        break;
    case RangeAction::kRandomize:
        if (!ask(chart::kConfirmRandomizeText, chart::kConfirmRandomizeCaption)) {
            return RangeActionOutcome::kDeclined;
        }
        edit = RandomizeRangeEdit(*chart, cells, cellRows, request.randomize, m_random);
        break;
    }
    PushNoteEdit(std::move(edit));
    return RangeActionOutcome::kChartChanged;
}

bool SongEditor::ApplyTransform(RowSpan span, Transform t, RowSpan* spanAfter) {
    const chart::SongChart* chart = Selected();
    if (chart == nullptr) {
        return false;
    }
    std::optional<TransformResult> result = TransformEdit(*chart, span, t, CellRows(), m_random);
    if (!result || !PushNoteEdit(std::move(result->edit))) {
        return false;
    }
    if (spanAfter != nullptr) {
        *spanAfter = result->span;
    }
    return true;
}

bool SongEditor::CutRows(RowSpan span) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && PushNoteEdit(CutEdit(*chart, span));
}

bool SongEditor::Paste(std::int32_t atRow, const ClipRows& clip, std::string& refusal,
                       RowSpan* pasted) {
    refusal.clear();
    const chart::SongChart* chart = Selected();
    if (chart == nullptr || !PushNoteEdit(PasteEdit(*chart, atRow, clip, refusal))) {
        return false;
    }
    if (pasted != nullptr) {
        *pasted = {atRow, atRow + clip.rows};
    }
    return true;
}

bool SongEditor::PushTiming(std::string text, SongTimingValues next, std::uint64_t mergeId) {
    if (next == SongTimingValues::Of(m_song)) {
        return false;
    }
    m_history.Push(std::make_unique<ChangeTiming>(std::move(text), std::move(next), mergeId));
    return true;
}

bool SongEditor::SetTiming(SongTimingValues next, std::uint64_t mergeId) {
    return PushTiming("Change Timing", std::move(next), mergeId);
}

bool SongEditor::SetBpm(float bpm, std::uint64_t mergeId) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    next.bpm = bpm;
    return PushTiming("Change BPM", std::move(next), mergeId);
}

bool SongEditor::SetGap(float gapSeconds, std::uint64_t mergeId) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    next.gapSeconds = gapSeconds;
    return PushTiming("Change Gap", std::move(next), mergeId);
}

bool SongEditor::SetSampleStart(float seconds, std::uint64_t mergeId) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    next.sampleStartSeconds = seconds;
    return PushTiming("Change Sample Start", std::move(next), mergeId);
}

bool SongEditor::SetSampleLength(float seconds, std::uint64_t mergeId) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    next.sampleLengthSeconds = seconds;
    return PushTiming("Change Sample Length", std::move(next), mergeId);
}

bool SongEditor::AddBpmChange(const chart::BpmChange& change) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    InsertByBeat(next.changes, change);
    return PushTiming("Add BPM Change", std::move(next), 0);
}

bool SongEditor::ChangeBpmChange(std::size_t index, const chart::BpmChange& change) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    return ReplaceByIndex(next.changes, index, change) &&
           PushTiming("Change BPM Change", std::move(next), 0);
}

bool SongEditor::RemoveBpmChange(std::size_t index) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    return EraseIndex(next.changes, index) && PushTiming("Remove BPM Change", std::move(next), 0);
}

bool SongEditor::AddStop(const chart::Stop& stop) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    InsertByBeat(next.stops, stop);
    return PushTiming("Add Stop", std::move(next), 0);
}

bool SongEditor::ChangeStop(std::size_t index, const chart::Stop& stop) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    return ReplaceByIndex(next.stops, index, stop) && PushTiming("Change Stop", std::move(next), 0);
}

bool SongEditor::RemoveStop(std::size_t index) {
    SongTimingValues next = SongTimingValues::Of(m_song);
    return EraseIndex(next.stops, index) && PushTiming("Remove Stop", std::move(next), 0);
}

std::string SongEditor::DifficultyForFile(const std::string& difficulty) const {
    // A .sm/.ssc chart takes the games' name for a difficulty the window
    // offers in .dwi's words ("MANIAC" is "Hard").
    const std::string text = CleanDifficulty(difficulty);
    return m_song.format != chart::SongFormat::Dwi && sm::DwiDifficulty(text)
               ? sm::SmDifficulty(text)
               : text;
}

bool SongEditor::NewChart(chart::ChartStyle style, const std::string& difficulty,
                          std::uint32_t rating) {
    chart::SongChart added;
    added.style = style;
    added.notes = chart::NoteData(chart::ColumnsOf(style));
    if (m_song.format != chart::SongFormat::Dwi) {
        added.stepsType = sm::StepsTypeOf(style);
    }
    added.difficulty = DifficultyForFile(difficulty);
    added.rating = std::clamp<std::uint32_t>(rating, 1, kMaxRating);
    if (added.difficulty.empty()) {
        return false;
    }
    m_history.Push(AddRemoveChart::Add(m_song.charts.size(), std::move(added), "New Chart"));
    return true;
}

bool SongEditor::DuplicateChart() {
    const chart::SongChart* chart = Selected();
    if (chart == nullptr) {
        return false;
    }
    chart::SongChart copy = *chart;
    copy.sourceId = 0;
    m_history.Push(AddRemoveChart::Add(m_song.charts.size(), std::move(copy), "Duplicate Chart"));
    return true;
}

bool SongEditor::DeleteChart() {
    if (!m_selected) {
        return false;
    }
    m_history.Push(AddRemoveChart::Remove(*m_selected));
    return true;
}

bool SongEditor::PushChartInfo(std::string text, ChartInfo next) {
    const chart::SongChart* chart = Selected();
    if (chart == nullptr ||
        (next.difficulty == chart->difficulty && next.rating == chart->rating)) {
        return false;
    }
    m_history.Push(
        std::make_unique<ChangeChartInfo>(*m_selected, std::move(text), std::move(next)));
    return true;
}

bool SongEditor::SetDifficulty(const std::string& difficulty) {
    const chart::SongChart* chart = Selected();
    const std::string text = DifficultyForFile(difficulty);
    return chart != nullptr && !text.empty() &&
           PushChartInfo("Change Difficulty", {text, chart->rating});
}

bool SongEditor::SetRating(std::uint32_t rating) {
    const chart::SongChart* chart = Selected();
    return chart != nullptr && rating >= 1 && rating <= kMaxRating &&
           PushChartInfo("Change Rating", {chart->difficulty, rating});
}

bool SongEditor::SetTitle(const std::string& title, std::uint64_t mergeId) {
    if (title == m_song.title) {
        return false;
    }
    m_history.Push(std::make_unique<ChangeSongInfo>(SongInfoField::kTitle, title, mergeId));
    return true;
}

bool SongEditor::SetArtist(const std::string& artist, std::uint64_t mergeId) {
    if (artist == m_song.artist) {
        return false;
    }
    m_history.Push(std::make_unique<ChangeSongInfo>(SongInfoField::kArtist, artist, mergeId));
    return true;
}

void SongEditor::OnNotice(const ChangeNotice& notice) {
    ChangeNotice out = notice;
    const std::size_t count = m_song.charts.size();
    const std::optional<std::size_t> before = m_selected;
    if (notice.kinds & kChartListChanged) {
        m_held.clear();
        // A chart arrived at notice.chart (select it) or left it (select
        // the one that took its place, or the last).
        const std::size_t at = notice.chart.value_or(0);
        m_selected =
            count == 0 ? std::nullopt : std::optional<std::size_t>(std::min(at, count - 1));
    } else if (m_undoing && notice.chart && *notice.chart < count) {
        m_selected = notice.chart;
    }
    if (m_selected != before) {
        m_held.clear();
        out.kinds |= kSelectionChanged;
    }
    Emit(out);
}

void SongEditor::Emit(ChangeNotice notice) {
    if (m_listener && notice.kinds != 0) {
        m_listener(notice);
    }
}

} // namespace edit
