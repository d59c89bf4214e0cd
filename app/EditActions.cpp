#include "app/EditActions.h"

#include "app/AppServices.h"
#include "edit/Clipboard.h"
#include "edit/Navigation.h"
#include "edit/RangeEdits.h"
#include "edit/SongEditor.h"
#include "player/MediaPlayer.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

constexpr std::int32_t kBeatsPerMeasure = 4;
// A beat read back from a time is a rounding step off whole.
constexpr double kBeatTolerance = 1e-6;

} // namespace

EditActions::EditActions(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)) {}

void EditActions::AddTo(QMenu* edit) {
    struct Item {
        QString text;
        QKeySequence keys;
        std::function<void()> run;
        bool onSelection = false;
    };
    const auto add = [this](QMenu* menu, const Item& item) {
        QAction* action = menu->addAction(item.text);
        action->setShortcut(item.keys);
        connect(action, &QAction::triggered, this, item.run);
        if (item.onSelection) {
            m_onSelection.push_back(action);
        }
    };
    edit->addSeparator();
    const Item clipboard[] = {
        {QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X), [this] { Cut(); }, true},
        {QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [this] { Copy(); }, true},
        {QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [this] { Paste(); }},
    };
    for (const Item& item : clipboard) {
        add(edit, item);
    }
    edit->addSeparator();
    const Item selection[] = {
        {QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A),
         [this] { SelectAll(); }},
        {QStringLiteral("Select &None"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
         [this] { SelectNone(); }, true},
        {QStringLiteral("Extend Selection Up"), QKeySequence(Qt::SHIFT | Qt::Key_Up),
         [this] { ExtendSelection(false); }},
        {QStringLiteral("Extend Selection Down"), QKeySequence(Qt::SHIFT | Qt::Key_Down),
         [this] { ExtendSelection(true); }},
    };
    for (const Item& item : selection) {
        add(edit, item);
    }
    QMenu* transforms = edit->addMenu(QStringLiteral("&Transform"));
    for (const edit::Transform transform : edit::kAllTransforms) {
        const std::string_view name = edit::TransformName(transform);
        add(transforms, {QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                         transform == edit::Transform::Mirror ? QKeySequence(Qt::CTRL | Qt::Key_M)
                                                              : QKeySequence(),
                         [this, transform] { Transform(transform); }, true});
    }
    m_onSelection.push_back(transforms->menuAction());
    edit->addSeparator();
    const Item moves[] = {
        {QStringLiteral("&Go To..."), QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GoTo(); }},
        {QStringLiteral("Previous Note"), QKeySequence(Qt::CTRL | Qt::Key_Up),
         [this] { ToNote(false); }},
        {QStringLiteral("Next Note"), QKeySequence(Qt::CTRL | Qt::Key_Down),
         [this] { ToNote(true); }},
        {QStringLiteral("Previous Measure"), QKeySequence(Qt::Key_PageUp),
         [this] { ToMeasure(false); }},
        {QStringLiteral("Next Measure"), QKeySequence(Qt::Key_PageDown),
         [this] { ToMeasure(true); }},
        {QStringLiteral("Chart Start"), QKeySequence(Qt::Key_Home), [this] { ToChartEnd(false); }},
        {QStringLiteral("Chart End"), QKeySequence(Qt::Key_End), [this] { ToChartEnd(true); }},
    };
    for (const Item& item : moves) {
        add(edit, item);
    }
    edit->addSeparator();
    ShowEnabled();
}

// --- Selection ------------------------------------------------------------------

std::optional<std::pair<std::int32_t, std::int32_t>> EditActions::SelectedCells() const {
    const chart::EditRange range = m_host.range();
    if (!m_shown || range.start < 0 || range.end < range.start) {
        return std::nullopt;
    }
    return std::make_pair(range.start, range.end);
}

std::optional<edit::RowSpan> EditActions::SelectedRows() const {
    const auto cells = SelectedCells();
    if (!cells) {
        return std::nullopt;
    }
    const std::int64_t cellRows = m_host.editor.CellRows();
    const auto row = [](std::int64_t value) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(value, chart::kMaxRows));
    };
    return edit::RowSpan{row(cells->first * cellRows), row((cells->second + 1LL) * cellRows)};
}

void EditActions::Select(std::int32_t firstCell, std::int32_t lastCell) {
    const auto [first, last] = std::minmax(std::max(firstCell, 0), std::max(lastCell, 0));
    m_shown = true;
    m_host.setRange({first, last});
    ShowEnabled();
    m_host.repaint();
}

void EditActions::SelectRows(const edit::RowSpan& rows) {
    if (rows.Empty()) {
        SelectNone();
        return;
    }
    const std::int32_t cellRows = m_host.editor.CellRows();
    Select(rows.begin / cellRows, (rows.end - 1) / cellRows);
}

void EditActions::SelectAll() {
    const chart::SongChart* chart = m_host.editor.Selected();
    const std::int32_t cells = chart ? edit::CellCount(*chart, m_host.editor.CellRows()) : 0;
    if (cells > 0) {
        Select(0, cells - 1);
    }
}

void EditActions::SelectNone() {
    m_shown = false;
    ShowEnabled();
    m_host.repaint();
}

void EditActions::ShowSelection() {
    m_shown = true;
    ShowEnabled();
    m_host.repaint();
}

void EditActions::SelectFromCurrentTo(std::int32_t cell) {
    Select(CurrentCell(), cell);
}

void EditActions::SelectCells(std::int32_t from, std::int32_t to) {
    Select(from, to);
}

void EditActions::ExtendSelection(bool later) {
    const auto cells = SelectedCells();
    const std::int32_t current = CurrentCell();
    if (!cells) {
        Select(current, later ? current + 1 : current - 1);
    } else if (later) {
        Select(cells->first, cells->second + 1);
    } else {
        Select(cells->first - 1, cells->second);
    }
}

void EditActions::ShowEnabled() {
    for (QAction* action : m_onSelection) {
        action->setEnabled(m_shown);
    }
}

// --- Clipboard and transforms -----------------------------------------------------

void EditActions::Copy() {
    const chart::SongChart* chart = m_host.editor.Selected();
    const auto rows = SelectedRows();
    if (!chart || !rows) {
        return;
    }
    const edit::ClipRows clip = edit::CopyRows(*chart, *rows);
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(edit::ClipText(clip, chart->difficulty, chart->rating)));
}

void EditActions::Cut() {
    const auto rows = SelectedRows();
    if (!rows || !m_host.editor.Selected()) {
        return;
    }
    Copy();
    m_host.editor.CutRows(*rows);
}

void EditActions::Paste() {
    if (!m_host.editor.Selected()) {
        return;
    }
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    const std::optional<edit::ClipRows> clip = edit::ParseClipText(text);
    if (!clip) {
        m_host.dialogs.ShowMessage(edit::kNotAChartMessage);
        return;
    }
    const std::int32_t row = CurrentCell() * m_host.editor.CellRows();
    std::string refusal;
    edit::RowSpan pasted;
    if (m_host.editor.Paste(row, *clip, refusal, &pasted)) {
        SelectRows(pasted);
    } else if (!refusal.empty()) {
        m_host.dialogs.ShowMessage(refusal);
    }
}

void EditActions::Transform(edit::Transform transform) {
    const chart::SongChart* chart = m_host.editor.Selected();
    const auto rows = SelectedRows();
    if (!chart || !rows || !edit::TransformApplies(chart->style, transform)) {
        return;
    }
    edit::RowSpan after = *rows;
    if (m_host.editor.ApplyTransform(*rows, transform, &after) && !(after == *rows)) {
        SelectRows(after);
    }
}

// --- Moves ----------------------------------------------------------------------

std::int32_t EditActions::CurrentCell() const {
    const auto row = m_host.editor.RowAt(m_host.player.PositionSeconds());
    return row ? *row / m_host.editor.CellRows() : 0;
}

std::optional<double> EditActions::CurrentBeat() const {
    const chart::TimingMap timing = m_host.editor.Timing();
    if (!m_host.player.HasTimeline() || !timing.HasUsableTempo()) {
        return std::nullopt;
    }
    return timing.BeatAt(m_host.player.PositionSeconds());
}

void EditActions::SeekToBeat(double beat) {
    const chart::TimingMap timing = m_host.editor.Timing();
    const double seconds = timing.SecondsAt(beat);
    if (std::isfinite(seconds)) {
        m_host.player.SetPositionSeconds(
            std::clamp(seconds, 0.0, std::max(m_host.player.DurationSeconds(), 0.0)));
        m_host.repaint();
    }
}

void EditActions::GoTo() {
    if (!m_host.player.HasTimeline()) {
        return;
    }
    const auto text = m_host.dialogs.AskText(
        "Go To", "Beat (12.5), measure (m5) or time (83.2s or 1:05.25):", "");
    if (!text) {
        return;
    }
    const std::optional<double> seconds =
        edit::GoToSeconds(m_host.editor.Song(), *text, m_host.editor.Selected());
    if (!seconds) {
        m_host.dialogs.ShowMessage("\"" + *text +
                                   "\" is no beat, measure or time of this song. Type a beat "
                                   "(12.5), a measure (m5) or a time (83.2s or 1:05.25).");
        return;
    }
    m_host.player.SetPositionSeconds(
        std::clamp(*seconds, 0.0, std::max(m_host.player.DurationSeconds(), 0.0)));
    m_host.repaint();
}

void EditActions::ToNote(bool next) {
    const chart::SongChart* chart = m_host.editor.Selected();
    const auto beat = CurrentBeat();
    if (!chart || !beat) {
        return;
    }
    const auto here = static_cast<std::int32_t>(std::clamp<double>(
        std::round(*beat * chart::kRowsPerBeat), -1.0, static_cast<double>(chart::kMaxRows)));
    const auto row = next ? edit::NextNoteRow(*chart, here) : edit::PreviousNoteRow(*chart, here);
    if (row) {
        SeekToBeat(static_cast<double>(*row) / chart::kRowsPerBeat);
    }
}

void EditActions::ToMeasure(bool next) {
    const auto beat = CurrentBeat();
    if (!beat) {
        return;
    }
    const double measure = std::floor((*beat + kBeatTolerance) / kBeatsPerMeasure);
    double target = next ? measure + 1.0 : measure;
    if (!next && *beat - measure * kBeatsPerMeasure < kBeatTolerance) {
        target = measure - 1.0; // on a bar line already: the one before
    }
    SeekToBeat(std::max(target, 0.0) * kBeatsPerMeasure);
}

void EditActions::ToChartEnd(bool end) {
    const chart::SongChart* chart = m_host.editor.Selected();
    if (!m_host.player.HasTimeline()) {
        return;
    }
    std::int32_t row = 0;
    if (end && chart) {
        row = std::max(chart->lengthRows, chart->notes.EndRow());
    }
    SeekToBeat(static_cast<double>(row) / chart::kRowsPerBeat);
}

} // namespace app
