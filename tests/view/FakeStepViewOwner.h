#pragma once

#include "view/CCustomDisplay.h"
#include "view/StepViewOwner.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

// A scripted owner for the step view: the player reports the position,
// duration, state and file name the test sets, and keeps the position a
// seek sets. Note edits change the fake's song directly (as the window's
// commands would) and are recorded, so tests see both what the view asked
// and what the user would see.
namespace view_test {

class FakePlayer final : public player::MediaPlayer {
public:
    double PositionSeconds() const override { return positionSeconds; }
    void SetPositionSeconds(double seconds) override { positionSeconds = seconds; }
    double DurationSeconds() const override { return durationSeconds; }
    std::string FileName() const override { return fileName; }
    void SetRate(double /*rate*/) override {}
    void SetRepeat(std::int32_t /*count*/) override {}
    void Play() override {}
    void Pause() override {}
    void Halt() override {}
    player::PlayState State() const override { return state; }
    std::optional<std::string> Open(const std::string& /*path*/) override { return "no audio"; }
    void SetEvents(player::PlayerEvents /*events*/) override {}

    double positionSeconds = 0.0;
    double durationSeconds = 20.0;
    std::string fileName = "song.ogg";
    player::PlayState state = player::PlayState::kPaused;
};

// Row, column, hold rows and merge id of one SetHold request.
using HoldCall = std::tuple<std::int32_t, std::uint8_t, std::int32_t, std::uint64_t>;

class FakeOwner final : public view::StepViewOwner {
public:
    // 120 BPM: a half-beat of 0.25 s and a Gap of 0.5 s are exact in binary,
    // so cell times hold no rounding.
    FakeOwner() {
        song.bpm = 120.0f;
        song.gapSeconds = 0.5f;
        song.charts.emplace_back();
    }

    player::MediaPlayer& Player() override { return player; }
    const chart::Song& Song() const override { return song; }
    const chart::SongChart* ShownChart() const override {
        return shownChart < song.charts.size() ? &song.charts[shownChart] : nullptr;
    }
    std::int32_t CellRows() const override { return cellRows; }
    int PixelsPerBeat() const override { return pixelsPerBeat; }
    void SetPixelsPerBeat(int pixels) override { pixelsPerBeat = pixels; }
    void RowsShown(std::int32_t endRow) override { rowsShown = endRow; }

    void ToggleNote(std::int32_t row, std::uint8_t column) override {
        toggles.emplace_back(row, column);
        if (!Notes().Remove(row, column)) {
            Notes().Set({row, column, 0});
        }
    }
    void SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                 std::uint64_t mergeId) override {
        holds.emplace_back(row, column, holdRows, mergeId);
        Notes().Set({row, column, holdRows});
    }
    void SetRangeStart(std::int32_t cell) override { Ask("start ", cell); }
    void SetRangeEnd(std::int32_t cell) override { Ask("end ", cell); }
    void AddBpmChangeAt(std::int32_t row) override { Ask("add change ", row); }
    void AddStopAt(std::int32_t row) override { Ask("add stop ", row); }
    void EditBpmChange(std::size_t index) override { Ask("edit change ", index); }
    void EditStop(std::size_t index) override { Ask("edit stop ", index); }
    void RemoveBpmChange(std::size_t index) override { Ask("remove change ", index); }
    void RemoveStop(std::size_t index) override { Ask("remove stop ", index); }

    // The shown chart's notes.
    chart::NoteData& Notes() { return song.charts[shownChart].notes; }
    // Sets the shown chart's style, with an empty chart of its columns.
    void SetStyle(chart::ChartStyle style) {
        song.charts[shownChart].style = style;
        song.charts[shownChart].notes = chart::NoteData(chart::ColumnsOf(style));
    }

    FakePlayer player;
    chart::Song song;
    std::size_t shownChart = 0;
    std::int32_t cellRows = 24;
    int pixelsPerBeat = 18;
    std::optional<std::int32_t> rowsShown;
    std::vector<std::pair<std::int32_t, std::uint8_t>> toggles;
    std::vector<HoldCall> holds;
    // Range ends, tempo change and stop requests: "end 4", "add stop 48"...
    std::vector<std::string> requests;

private:
    template <typename T> void Ask(const char* what, T value) {
        requests.push_back(what + std::to_string(value));
    }
};

// A view whose context menu the test answers instead of a user (the item
// whose text is `choice`), counting its menus.
class TestDisplay : public view::CCustomDisplay {
public:
    using CCustomDisplay::CCustomDisplay;

    QAction* RunContextMenu(QMenu& menu, const QPoint& /*globalPos*/) override {
        menuItems = {menu.title().toStdString()};
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            menuItems.push_back(action->text().toStdString());
            chosen = !action->isSeparator() && action->text() == choice ? action : chosen;
        }
        ++menusShown;
        return chosen;
    }

    // One mouse event at client (x, y).
    void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y,
               Qt::MouseButtons buttons = Qt::NoButton) {
        const QPointF local(x, y);
        QMouseEvent event(type, local, mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(this, &event);
    }
    void Press(Qt::MouseButton button, int x, int y) {
        Mouse(QEvent::MouseButtonPress, button, x, y, button);
    }
    void Click(int x, int y) {
        Press(Qt::LeftButton, x, y);
        Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, y);
    }
    // A right click answered with menu item `item` ("" dismisses the menu).
    void Choose(const char* item, int x, int y) {
        choice = QString::fromLatin1(item);
        Press(Qt::RightButton, x, y);
    }
    QImage Frame(int scale = 1) { return RenderFrame(scale).copy(); }

    int menusShown = 0;
    QString choice;
    std::vector<std::string> menuItems; // the title, then the items
};

} // namespace view_test
