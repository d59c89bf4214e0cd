// The window on the song document: what it shows of the document after
// every change, and the step view's requests turned into commands.
#include "app/BackgroundWork.h"
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ChartListPanel.h"
#include "app/ChartOverview.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/EditActions.h"
#include "app/PleaseWaitDlg.h"
#include "app/SpinButton.h"
#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"
#include "edit/ChangeNotes.h"
#include "edit/ChartSong.h"
#include "edit/ImportedSong.h"
#include "edit/NoteDiff.h"
#include "simfile/SmSong.h"
#include "simfile/SongFiles.h"
#include "simfile/StepsTypes.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QResizeEvent>
#include <cmath>
#include <filesystem>

namespace app {

namespace {

// The song's BPM and Gap controls do not move a chart with its own timing:
// greyed, with the reason, while one is selected.
void LockSongTiming(QWidget& window, std::vector<QWidget*> controls, bool own) {
    const QString tip = own ? window_text::kOwnTimingText : QString();
    for (const int id : {1014, 1015, 1035, 1036}) { // Gap +/- a half-beat, X2, X.5
        if (auto* button = window.findChild<QWidget*>(QString::number(id))) {
            controls.push_back(button);
        }
    }
    for (QWidget* control : controls) {
        control->setEnabled(!own);
        control->setToolTip(tip);
    }
    if (QAction* findTempo = window.findChild<QAction*>(QString::number(kCmdFindTempo))) {
        findTempo->setEnabled(!own);
        findTempo->setToolTip(tip);
    }
}

} // namespace

using namespace window_text;

namespace {

constexpr char kProgramCaption[] = "Beatwright";
// The most a BPM change or a stop may be given in the view's dialogs; far
// beyond any song, small enough to keep the timing map's arithmetic sane.
constexpr double kMaxBpm = 10000.0;
constexpr double kMaxStopMs = 600000.0;
constexpr int kDialogDecimals = 3;

// Shows value in a list that may not hold it: the list's own items stay,
// and one more item at the end holds a value outside them.
void ShowInList(QComboBox* list, const QString& value, int ownItems) {
    while (list->count() > ownItems) {
        list->removeItem(list->count() - 1);
    }
    int index = list->findText(value, Qt::MatchFixedString);
    if (index < 0) {
        list->addItem(value);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

} // namespace

void CChartEditorDlg::OnDocumentChanged(const edit::ChangeNotice& notice) {
    ++m_documentRevision;
    const bool fromOutside = !m_windowTimingEdit;
    // Another chart selected may play by its own timing (.ssc): the clicks
    // follow the chart shown.
    const bool timingEdit = (notice.kinds & edit::kTimingChanged) != 0;
    if (notice.kinds & (edit::kTimingChanged | edit::kSelectionChanged | edit::kChartListChanged)) {
        const chart::Song& song = m_editor.Song();
        {
            std::lock_guard<std::mutex> lock(m_timingLock);
            m_timing.bpm = song.bpm;
            m_timing.gapSeconds = song.gapSeconds;
            m_timing.sampleStartSeconds = song.sampleStartSeconds;
            m_timing.sampleEndSeconds = song.sampleStartSeconds + song.sampleLengthSeconds;
            m_timingMap = m_editor.Timing();
            // The constant-tempo clicks run on the song's BPM and Gap; a
            // chart's own timing always clicks through its map.
            m_constantTempo = !m_editor.SelectedHasOwnTiming() && song.HasConstantTempo();
            // Undo, redo and the view's edits move the click grid; the
            // window's own timing edits place the next click themselves.
            if (fromOutside && m_timing.nextClickSeconds != chart::kClickNotArmedSeconds) {
                m_timing.nextClickSeconds = chart::AnchorNextClick(
                    static_cast<double>(m_timing.gapSeconds), m_player.PositionSeconds(),
                    chart::BeatSeconds(m_timing.bpm));
            }
        }
        if (fromOutside && timingEdit) {
            ShowTiming();
        }
        if (m_bpmEdit != nullptr) { // after the controls are built
            LockSongTiming(*this, {m_bpmEdit, m_bpmSpin, m_gapEdit, m_gapSpin},
                           m_editor.SelectedHasOwnTiming());
        }
    }
    if (notice.kinds & edit::kSongInfoChanged) {
        ShowSongInfo();
    }
    if (notice.kinds &
        (edit::kChartInfoChanged | edit::kSelectionChanged | edit::kChartListChanged)) {
        ShowChartInfo();
    }
    if (notice.kinds & (edit::kNotesChanged | edit::kTimingChanged | edit::kSelectionChanged |
                        edit::kChartListChanged)) {
        m_ticks.Refresh(m_editor.Song(), m_editor.SelectedChart());
        m_overview->Refresh();
    }
    if (notice.kinds & edit::kSnapChanged) {
        const int index = static_cast<int>(m_editor.CurrentSnap());
        if (m_snapList != nullptr && m_snapList->currentIndex() != index) {
            m_snapList->setCurrentIndex(index);
        }
    }
    if (notice.kinds &
        (edit::kChartInfoChanged | edit::kSelectionChanged | edit::kChartListChanged)) {
        m_chartList->Refresh();
        FitStepViewWidth();
    }
    ShowUndoState();
    RepaintStepView();
}

void CChartEditorDlg::ShowTiming() {
    ShowBpm();
    ShowGap();
    m_sampleStartEdit->setText(FormatSampleTime(m_timing.sampleStartSeconds));
    m_sampleEndEdit->setText(FormatSampleTime(m_timing.sampleEndSeconds));
}

void CChartEditorDlg::ShowSongInfo() {
    const chart::Song& song = m_editor.Song();
    m_showingDocument = true;
    // A name longer than its box shows its start, as one typed there would;
    // a box being typed into keeps its cursor.
    for (const auto& [box, text] :
         {std::pair{m_titleEdit, &song.title}, {m_artistEdit, &song.artist}}) {
        const QString shown = FromStd(*text);
        if (box->text() != shown) {
            box->setText(shown);
            box->setCursorPosition(0);
        }
    }
    m_showingDocument = false;
}

void CChartEditorDlg::ShowChartInfo() {
    const chart::SongChart* chart = m_editor.Selected();
    if (chart == nullptr) {
        return;
    }
    m_showingDocument = true;
    ShowInList(m_difficultyList, FromStd(chart->difficulty), kDifficultyItems);
    // A rating beyond the list shows as its nearest entry; the chart keeps
    // the file's own.
    const auto shownRating =
        std::clamp<std::uint32_t>(chart->rating, 1, edit::SongEditor::kMaxRating);
    ShowInList(m_footRatingList, QString::number(shownRating), kRatingItems);
    m_showingDocument = false;
}

void CChartEditorDlg::ShowUndoState() {
    const edit::UndoHistory& history = m_editor.History();
    if (m_undoAction != nullptr) {
        m_undoAction->setEnabled(history.CanUndo());
        m_undoAction->setText(
            QStringLiteral("&Undo") +
            (history.CanUndo() ? QStringLiteral(" ") + FromStd(history.UndoText()) : QString()));
        m_redoAction->setEnabled(history.CanRedo());
        m_redoAction->setText(
            QStringLiteral("&Redo") +
            (history.CanRedo() ? QStringLiteral(" ") + FromStd(history.RedoText()) : QString()));
    }
    setWindowTitle(Caption());
}

QString CChartEditorDlg::Caption() const {
    // Saved work keeps the program's own caption.
    if (!HasUnsavedChanges()) {
        return QString::fromLatin1(kProgramCaption);
    }
    return FromStd(DocumentName()) + QStringLiteral("* - ") + QString::fromLatin1(kProgramCaption);
}

std::string CChartEditorDlg::DocumentName() const {
    const std::string& file = m_dwiFileName.empty() ? m_player.FileName() : m_dwiFileName;
    return file.empty() ? std::string("Untitled") : ToStd(QFileInfo(FromStd(file)).fileName());
}

void CChartEditorDlg::ShowBpm() {
    const QString text = FormatBpm(m_timing.bpm);
    ShowReadout(m_bpmReadout, text);
    m_bpmEdit->setText(text);
}

void CChartEditorDlg::ShowGap() {
    m_gapEdit->setText(FormatGap(m_timing.gapSeconds));
}

void CChartEditorDlg::ShowRange() {
    m_rangeStartEdit->setText(FormatCell(m_range.start));
    m_rangeEndEdit->setText(FormatCell(m_range.end));
}

void CChartEditorDlg::CommitTiming(const chart::TimingState& next, std::uint64_t mergeId) {
    // BPM and Gap (and the sample bounds) of one control go as one command.
    const std::uint64_t id = mergeId != 0 ? mergeId : NewMergeId();
    m_windowTimingEdit = true;
    // Taps and keys would move the song's timing unseen under a chart that
    // does not follow it; the sample bounds still go.
    if (!m_editor.SelectedHasOwnTiming()) {
        m_editor.SetBpm(next.bpm, id);
        m_editor.SetGap(next.gapSeconds, id);
    }
    m_editor.SetSampleStart(next.sampleStartSeconds, id);
    m_editor.SetSampleLength(
        dwi::SampleLengthSeconds(next.sampleStartSeconds, next.sampleEndSeconds), id);
    m_windowTimingEdit = false;
    if (mergeId == 0) {
        m_editor.History().SealNewest();
    }
    {
        std::lock_guard<std::mutex> lock(m_timingLock);
        m_timing.nextClickSeconds = next.nextClickSeconds;
        // The sample end shows as set, also when it lies before the start
        // (the file then holds the default length).
        m_timing.sampleEndSeconds = next.sampleEndSeconds;
    }
    RepaintStepView();
}

void CChartEditorDlg::Undo() {
    m_editor.Undo();
}

void CChartEditorDlg::Redo() {
    m_editor.Redo();
}

void CChartEditorDlg::SetSnap(edit::Snap snap) {
    const std::int32_t before = m_editor.CellRows();
    m_editor.SetSnap(snap);
    const std::int32_t after = m_editor.CellRows();
    if (before != after) {
        // The range keeps the rows it starts and ends at, rounded down to
        // the new cells.
        m_range.start = m_range.start * before / after;
        m_range.end = m_range.end * before / after;
        ShowRange();
    }
    if (m_settings != nullptr) {
        StoreSnap();
    }
}

bool CChartEditorDlg::HasUnsavedChanges() const {
    return m_restoredUnsaved || !m_editor.History().IsClean();
}

chart::StepChart CChartEditorDlg::Steps() const {
    const chart::SongChart* chart = m_editor.Selected();
    bool lossy = false;
    return chart != nullptr ? edit::SlotsOfChart(*chart, lossy) : chart::StepChart();
}

void CChartEditorDlg::SetSteps(const chart::StepChart& steps) {
    const std::optional<std::size_t> index = m_editor.SelectedChart();
    if (!index) {
        return;
    }
    const chart::SongChart& chart = *m_editor.Selected();
    const chart::SongChart replaced = edit::ChartFromSteps(steps);
    edit::NoteDiff diff = edit::DiffNotes(chart.notes, replaced.notes);
    if (diff.Empty() && chart.lengthRows == replaced.lengthRows) {
        return;
    }
    m_editor.History().Push(std::make_unique<edit::ChangeNotes>(
        *index, "Replace Steps", std::move(diff), chart.lengthRows, replaced.lengthRows));
}

std::string CChartEditorDlg::DocumentText() const {
    return sm::WriteAnySong(m_editor.Song());
}

edit::RecoveryInfo CChartEditorDlg::DocumentInfo() const {
    // Absolute, as the copy is read by a program started elsewhere.
    const auto absolute = [](const std::string& path) {
        std::error_code error;
        return path.empty() ? path : std::filesystem::absolute(path, error).string();
    };
    edit::RecoveryInfo info;
    info.songPath = absolute(m_player.FileName());
    info.dwiPath = absolute(m_dwiFileName);
    info.imported = m_editor.Song().WasRead();
    info.shownChart = m_editor.SelectedChart();
    return info;
}

bool CChartEditorDlg::RestoreRecovery(const edit::LeftRecovery& left) {
    // A chart kept without its song (or whose song is gone) comes back
    // without sound rather than not at all.
    m_withoutSound = false;
    const bool withSound = !left.info.songPath.empty() && OpenMusicFile(left.info.songPath);
    if (!withSound && left.info.dwiPath.empty()) {
        return false;
    }
    chart::Song song;
    // The copy is in the document's format, which its file's name tells.
    const chart::SongFormat format =
        sm::FormatOfPath(left.info.dwiPath).value_or(chart::SongFormat::Dwi);
    BackgroundWork(this, kReadingDwiText).Run([&] {
        song = format == chart::SongFormat::Dwi ? dwi::ReadSong(left.document)
                                                : sm::ReadSong(left.document, format);
    });
    if (!left.info.imported) {
        // Written in the program's own layout: a save writes it so again.
        song.readFromFile = false;
        song.records.clear();
        song.leadingText.clear();
        for (chart::SongChart& chart : song.charts) {
            chart.sourceId = 0;
        }
    }
    if (!withSound) {
        m_player.OpenSilent(edit::StandInSeconds(song));
        m_withoutSound = true;
    }
    // The user's own work: no message about what it holds.
    LoadDocument(std::move(song), left.info.shownChart, left.info.dwiPath, left.info.imported);
    if (!withSound) {
        SetInstructions(window_text::kWithoutSoundText);
    }
    m_restoredUnsaved = true;
    ShowUndoState();
    return true;
}

// --- The step view's requests ---------------------------------------------

void CChartEditorDlg::SetPixelsPerBeat(int pixels) {
    m_pixelsPerBeat = pixels;
    RepaintStepView();
}

void CChartEditorDlg::RowsShown(std::int32_t endRow) {
    m_rowsShown = std::max(m_rowsShown, endRow);
    const double beat = m_editor.Timing().BeatAt(m_player.PositionSeconds());
    const auto beginRow = static_cast<std::int32_t>(std::clamp(
        std::floor(beat * chart::kRowsPerBeat), 0.0, static_cast<double>(chart::kMaxRows)));
    m_overview->ShowPlace(beginRow, std::max(beginRow, endRow), m_actions->SelectedRows());
}

void CChartEditorDlg::ToggleNote(std::int32_t row, std::uint8_t column) {
    m_editor.ToggleNote(row, column);
}

void CChartEditorDlg::SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                              std::uint64_t mergeId) {
    m_editor.SetHold(row, column, holdRows, mergeId);
}

void CChartEditorDlg::SetRangeStart(std::int32_t cell) {
    m_range.start = cell;
    m_rangeStartEdit->setText(FormatCell(cell));
    m_actions->ShowSelection();
}

void CChartEditorDlg::SetRangeEnd(std::int32_t cell) {
    m_range.end = cell;
    m_rangeEndEdit->setText(FormatCell(cell));
    m_actions->ShowSelection();
}

view::SelectionOwner* CChartEditorDlg::Selection() {
    return m_actions;
}

double CChartEditorDlg::BeatOfRow(std::int32_t row) {
    return static_cast<double>(row) / chart::kRowsPerBeat;
}

void CChartEditorDlg::AddBpmChangeAt(std::int32_t row) {
    const double beat = BeatOfRow(row);
    const double bpm = m_editor.Timing().BpmAt(beat);
    if (const auto value = m_dialogs.AskNumber("Add BPM Change", "BPM at this beat:", bpm, 0.001,
                                               kMaxBpm, kDialogDecimals)) {
        m_editor.AddBpmChange({beat, *value});
    }
}

void CChartEditorDlg::AddStopAt(std::int32_t row) {
    if (const auto value = m_dialogs.AskNumber("Add Stop", "Stop length (ms):", 0.0, 0.0,
                                               kMaxStopMs, kDialogDecimals)) {
        if (*value > 0.0) {
            m_editor.AddStop({BeatOfRow(row), *value});
        }
    }
}

void CChartEditorDlg::EditBpmChange(std::size_t index) {
    const auto& changes = m_editor.Song().changes;
    if (index >= changes.size()) {
        return;
    }
    const chart::BpmChange change = changes[index];
    if (const auto value = m_dialogs.AskNumber("Change BPM Change", "BPM (0 removes it):",
                                               change.bpm, 0.0, kMaxBpm, kDialogDecimals)) {
        if (*value == 0.0) {
            m_editor.RemoveBpmChange(index);
        } else {
            m_editor.ChangeBpmChange(index, {change.beat, *value});
        }
    }
}

void CChartEditorDlg::EditStop(std::size_t index) {
    const auto& stops = m_editor.Song().stops;
    if (index >= stops.size()) {
        return;
    }
    const chart::Stop stop = stops[index];
    if (const auto value = m_dialogs.AskNumber("Change Stop", "Stop length (ms, 0 removes it):",
                                               stop.durationMs, 0.0, kMaxStopMs, kDialogDecimals)) {
        if (*value == 0.0) {
            m_editor.RemoveStop(index);
        } else {
            m_editor.ChangeStop(index, {stop.beat, *value});
        }
    }
}

void CChartEditorDlg::RemoveBpmChange(std::size_t index) {
    m_editor.RemoveBpmChange(index);
}

void CChartEditorDlg::RemoveStop(std::size_t index) {
    m_editor.RemoveStop(index);
}

void CChartEditorDlg::FitStepViewWidth() {
    // Six and eight columns need a wider lane; the window grows to the right.
    const int wanted = std::max(m_stepViewBaseWidth, m_stepView->sizeHint().width());
    if (m_stepViewBaseWidth == 0 || wanted == m_stepView->width()) {
        return;
    }
    const int change = wanted - m_stepView->width();
    centralWidget()->setMinimumWidth(m_centralBaseWidth + wanted - m_stepViewBaseWidth);
    m_stepView->resize(wanted, m_stepView->height());
    FitMinimumSize();
    if (change < 0) {
        // Back to fewer columns: the window narrows with the lane.
        resize(std::max(minimumWidth(), width() + change), height());
    }
}

void CChartEditorDlg::FitMinimumSize() {
    if (m_stepViewBaseWidth == 0) {
        return;
    }
    // The layout caches its least size; the central widget's just changed.
    layout()->invalidate();
    const QSize least = layout()->minimumSize();
    setMinimumSize(least);
    if (width() < least.width() || height() < least.height()) {
        resize(std::max(width(), least.width()), std::max(height(), least.height()));
    }
}

void CChartEditorDlg::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The step view takes the height the window gained.
    const int extra = std::max(0, centralWidget()->height() - centralWidget()->minimumHeight());
    m_stepView->resize(m_stepView->width(), m_stepViewBaseHeight + extra);
    for (const auto& [widget, baseY] : m_belowStepView) {
        widget->move(widget->x(), baseY + extra);
    }
}

} // namespace app
