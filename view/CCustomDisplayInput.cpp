// The step view's mouse: clicks, hold drags, the wheel and the context menu.
// Every edit is a request to the owner.
#include "view/CCustomDisplay.h"

#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

namespace view {

namespace {

// QWheelEvent::angleDelta counts eighths of a degree; a notch is 15 degrees.
constexpr int kNotch = 120;

QPoint PixelOf(const QPointF& position) {
    return {static_cast<int>(std::floor(position.x())), static_cast<int>(std::floor(position.y()))};
}

bool CellHolds(std::int32_t cellRow, std::int32_t cellRows, double beat) {
    const double row = std::round(beat * chart::kRowsPerBeat);
    return row >= cellRow && row < static_cast<double>(cellRow) + cellRows;
}

} // namespace

void CCustomDisplay::mousePressEvent(QMouseEvent* event) {
    const QPoint point = PixelOf(event->position());
    SelectionOwner* selection = m_owner ? m_owner->Selection() : nullptr;
    m_selectFrom.reset();
    if (event->button() == Qt::LeftButton && selection &&
        (event->modifiers() & Qt::ShiftModifier) != 0) {
        if (SongLoaded() && m_owner->ShownChart() && point.y() >= kArrowAreaFirstY &&
            point.x() < SeekStripX(Columns())) {
            m_selectFrom = YToCell(point.y());
            selection->SelectFromCurrentTo(*m_selectFrom);
        }
    } else if (event->button() == Qt::LeftButton &&
               (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) != 0) {
        m_drag.reset();
        if (const auto cell = SongLoaded() ? CellAt(point) : std::nullopt) {
            emit MineClicked(cell->first, cell->second);
        }
    } else if (event->button() == Qt::LeftButton) {
        OnLeftButtonDown(point);
    } else if (event->button() == Qt::RightButton) {
        OnRightButtonDown(point);
    }
    // Whatever the click changed (a note, the position, the range) must
    // reach the screen now, not when something else happens to repaint;
    // requests merge, so a click that changed nothing costs one paint.
    update();
    // Clicks on the view are the view's; the window sees none of them.
    event->accept();
}

void CCustomDisplay::mouseMoveEvent(QMouseEvent* event) {
    SelectionOwner* selection = m_owner ? m_owner->Selection() : nullptr;
    if (m_selectFrom && selection && (event->buttons() & Qt::LeftButton) != 0) {
        selection->SelectCells(*m_selectFrom, YToCell(PixelOf(event->position()).y()));
        update();
    } else if (m_drag && (event->buttons() & Qt::LeftButton) != 0) {
        DragTo(PixelOf(event->position()).y());
        update();
    }
    event->accept();
}

void CCustomDisplay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_selectFrom.reset();
    }
    if (event->button() == Qt::LeftButton && m_drag) {
        const HoldDrag drag = *m_drag;
        m_drag.reset();
        if (drag.toggleOnRelease && !drag.moved && m_owner) {
            m_owner->ToggleNote(drag.row, drag.column);
        }
        update();
    }
    event->accept();
}

void CCustomDisplay::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (!m_owner) {
        return;
    }
    const int delta = event->angleDelta().y();
    if ((event->modifiers() & Qt::ControlModifier) != 0) {
        m_zoomRemainder += delta;
        const int steps = m_zoomRemainder / kNotch;
        m_zoomRemainder -= steps * kNotch;
        if (steps != 0) {
            m_owner->SetPixelsPerBeat(ZoomedPixelsPerBeat(m_owner->PixelsPerBeat(), steps));
            update();
        }
        return;
    }
    player::MediaPlayer& player = m_owner->Player();
    if (!SongLoaded() || player.State() == player::PlayState::kPlaying) {
        return;
    }
    m_wheelRemainder += delta;
    const int notches = m_wheelRemainder / kNotch;
    m_wheelRemainder -= notches * kNotch;
    // Turning the wheel towards the user moves on through the song, as the
    // lane moves when it plays.
    if (const auto target =
            WheelTarget(m_owner->Song(), m_owner->CellRows(), -notches, player.PositionSeconds(),
                        player.DurationSeconds(), m_owner->ShownChart())) {
        player.SetPositionSeconds(*target);
        update();
    }
}

QAction* CCustomDisplay::RunContextMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

void CCustomDisplay::OnLeftButtonDown(QPoint point) {
    m_drag.reset();
    if (!SongLoaded()) {
        return;
    }
    const int stripX = SeekStripX(Columns());
    if (point.x() >= stripX && point.x() < stripX + 32) {
        player::MediaPlayer& player = m_owner->Player();
        if (const auto target = SeekTargetAt(
                m_owner->Song(), m_owner->CellRows(), SeekButtonAt(point.y(), ViewHeight()),
                player.PositionSeconds(), player.DurationSeconds(), m_owner->ShownChart())) {
            player.SetPositionSeconds(*target);
        }
        return;
    }
    const chart::SongChart* chart = m_owner->ShownChart();
    const auto cell = CellAt(point);
    if (!cell) {
        return;
    }
    const auto [row, column] = *cell;
    HoldDrag drag;
    drag.row = row;
    drag.column = column;
    if (const chart::Note* note = chart->notes.Find(row, column)) {
        // Pressed on a note: a drag lengthens it, a plain click removes it.
        drag.holdRows = note->holdRows;
        drag.toggleOnRelease = true;
    } else {
        m_owner->ToggleNote(row, column);
        // The owner may refuse (a third arrow on one row); then there is
        // nothing to drag.
        const chart::SongChart* after = m_owner->ShownChart();
        if (!after || !after->notes.Find(row, column)) {
            return;
        }
    }
    drag.mergeId = ++m_lastMergeId;
    m_drag = drag;
}

std::optional<std::pair<std::int32_t, std::uint8_t>> CCustomDisplay::CellAt(QPoint point) const {
    const chart::SongChart* chart = m_owner ? m_owner->ShownChart() : nullptr;
    if (!chart || point.y() < kArrowAreaFirstY) {
        return std::nullopt;
    }
    const auto column = ColumnAtX(point.x(), chart::ColumnsOf(chart->style));
    const auto row = RowOfDragAt(point.y());
    if (!column || !row) {
        return std::nullopt;
    }
    return std::pair{*row, *column};
}

std::optional<std::int32_t> CCustomDisplay::RowOfDragAt(int y) const {
    const std::int64_t row = std::int64_t{YToCell(y)} * std::max(m_owner->CellRows(), 1);
    if (row >= chart::kMaxRows) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(row);
}

// One SetHold per cell crossed, so the owner sees every length the hold
// passes through; above the head the note is a tap.
void CCustomDisplay::DragTo(int y) {
    const std::int32_t cellRows = std::max(m_owner->CellRows(), 1);
    const auto row = RowOfDragAt(y);
    if (!row) {
        return;
    }
    const std::int32_t wanted = std::max(*row - m_drag->row, 0);
    std::int32_t holdRows = m_drag->holdRows;
    while (holdRows != wanted) {
        // From a length off the grid, the first step goes to the grid.
        if (holdRows < wanted) {
            holdRows = std::min(wanted, (holdRows / cellRows + 1) * cellRows);
        } else {
            holdRows = std::max(wanted, ((holdRows + cellRows - 1) / cellRows - 1) * cellRows);
        }
        m_owner->SetHold(m_drag->row, m_drag->column, holdRows, m_drag->mergeId);
        m_drag->moved = true;
    }
    m_drag->holdRows = holdRows;
}

void CCustomDisplay::OnRightButtonDown(QPoint point) {
    const int lastX = ColumnX(Columns() - 1) + kArrowSize - 1;
    if (!SongLoaded() || point.x() < ColumnX(0) || point.x() > lastX ||
        point.y() < kArrowAreaFirstY) {
        return;
    }
    const std::int32_t cellRows = std::max(m_owner->CellRows(), 1);
    const std::int32_t cell = YToCell(point.y());
    const std::int64_t cellRow = std::int64_t{cell} * cellRows;
    const auto row = static_cast<std::int32_t>(std::min<std::int64_t>(cellRow, chart::kMaxRows));
    const chart::Song& song = m_owner->Song();

    QMenu menu(QStringLiteral("Step Options"), this);
    const QAction* setStart = menu.addAction(QStringLiteral("Set Range Start At This Step"));
    const QAction* setEnd = menu.addAction(QStringLiteral("Set Range End At This Step"));
    menu.addSeparator();
    QAction* addChange = menu.addAction(QStringLiteral("Add BPM Change Here..."));
    QAction* addStop = menu.addAction(QStringLiteral("Add Stop Here..."));
    // These edit the song's timing, which a chart with its own does not
    // follow; the marks drawn are the chart's.
    const chart::SongChart* shown = m_owner->ShownChart();
    const bool songTiming = !(shown && shown->timing);
    addChange->setEnabled(songTiming);
    addStop->setEnabled(songTiming);
    std::optional<std::size_t> change;
    for (std::size_t i = 0; songTiming && i < song.changes.size() && !change; ++i) {
        if (CellHolds(row, cellRows, song.changes[i].beat)) {
            change = i;
        }
    }
    std::optional<std::size_t> stop;
    for (std::size_t i = 0; songTiming && i < song.stops.size() && !stop; ++i) {
        if (CellHolds(row, cellRows, song.stops[i].beat)) {
            stop = i;
        }
    }
    const QAction* editChange = nullptr;
    const QAction* removeChange = nullptr;
    const QAction* editStop = nullptr;
    const QAction* removeStop = nullptr;
    if (change || stop) {
        menu.addSeparator();
    }
    if (change) {
        editChange = menu.addAction(QStringLiteral("Change BPM Change..."));
        removeChange = menu.addAction(QStringLiteral("Remove BPM Change"));
    }
    if (stop) {
        editStop = menu.addAction(QStringLiteral("Change Stop..."));
        removeStop = menu.addAction(QStringLiteral("Remove Stop"));
    }
    const QAction* chosen = RunContextMenu(menu, mapToGlobal(point));
    if (!chosen) {
        return;
    }
    if (chosen == setStart) {
        m_owner->SetRangeStart(cell);
    } else if (chosen == setEnd) {
        m_owner->SetRangeEnd(cell);
    } else if (chosen == addChange) {
        m_owner->AddBpmChangeAt(row);
    } else if (chosen == addStop) {
        m_owner->AddStopAt(row);
    } else if (chosen == editChange) {
        m_owner->EditBpmChange(*change);
    } else if (chosen == removeChange) {
        m_owner->RemoveBpmChange(*change);
    } else if (chosen == editStop) {
        m_owner->EditStop(*stop);
    } else if (chosen == removeStop) {
        m_owner->RemoveStop(*stop);
    }
}

} // namespace view
