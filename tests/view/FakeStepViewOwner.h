#pragma once

#include "chart/StepChart.h"
#include "view/CCustomDisplay.h"
#include "view/StepViewOwner.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <cstdint>
#include <optional>
#include <string>
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

struct HoldCall {
    std::int32_t row;
    std::uint8_t column;
    std::int32_t holdRows;
    std::uint64_t mergeId;
    friend bool operator==(const HoldCall&, const HoldCall&) = default;
};

class FakeOwner final : public view::StepViewOwner {
public:
    FakeOwner() {
        // 120 BPM: a half-beat of 0.25 s and a Gap of 0.5 s are exact in
        // binary, so cell times hold no rounding.
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
        toggles.push_back({row, column});
        if (!Notes().Remove(row, column)) {
            Notes().Set({row, column, 0});
        }
    }
    void SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                 std::uint64_t mergeId) override {
        holds.push_back({row, column, holdRows, mergeId});
        Notes().Set({row, column, holdRows});
    }
    void SetRangeStart(std::int32_t cell) override { rangeStart = cell; }
    void SetRangeEnd(std::int32_t cell) override { rangeEnd = cell; }
    void AddBpmChangeAt(std::int32_t row) override {
        requests.push_back("add change " + std::to_string(row));
    }
    void AddStopAt(std::int32_t row) override {
        requests.push_back("add stop " + std::to_string(row));
    }
    void EditBpmChange(std::size_t index) override {
        requests.push_back("edit change " + std::to_string(index));
    }
    void EditStop(std::size_t index) override {
        requests.push_back("edit stop " + std::to_string(index));
    }
    void RemoveBpmChange(std::size_t index) override {
        requests.push_back("remove change " + std::to_string(index));
    }
    void RemoveStop(std::size_t index) override {
        requests.push_back("remove stop " + std::to_string(index));
    }

    // The shown chart's notes.
    chart::NoteData& Notes() { return song.charts[shownChart].notes; }
    // Sets the shown chart's style, with an empty chart of its columns.
    void SetStyle(chart::ChartStyle style) {
        song.charts[shownChart].style = style;
        song.charts[shownChart].notes = chart::NoteData(chart::ColumnsOf(style));
    }

    // A single chart of 8ths from step codes, one code per 8th as the
    // original chart held them: notes 24 rows apart in Left, Down, Up,
    // Right; codes that are no step hold no note.
    void SetEighths(const std::string& codes) {
        SetStyle(chart::ChartStyle::Single);
        constexpr chart::Arrow kColumns[4] = {chart::kArrowLeft, chart::kArrowDown, chart::kArrowUp,
                                              chart::kArrowRight};
        for (std::size_t slot = 0; slot < codes.size(); ++slot) {
            for (std::uint8_t column = 0; column < 4; ++column) {
                if ((chart::ArrowsOfCode(codes[slot]) & kColumns[column]) != 0) {
                    Notes().AppendSorted({static_cast<std::int32_t>(slot) * 24, column, 0});
                }
            }
        }
    }

    FakePlayer player;
    chart::Song song;
    std::size_t shownChart = 0;
    std::int32_t cellRows = 24;
    int pixelsPerBeat = 18;
    std::optional<std::int32_t> rowsShown;
    std::vector<std::pair<std::int32_t, std::uint8_t>> toggles;
    std::vector<HoldCall> holds;
    std::optional<std::int32_t> rangeStart;
    std::optional<std::int32_t> rangeEnd;
    std::vector<std::string> requests; // tempo change and stop requests, e.g. "add stop 48"
};

// A view whose context menu the test answers instead of a user (the item
// whose text is `choice`), counting its paints and menus.
class TestDisplay : public view::CCustomDisplay {
public:
    using CCustomDisplay::CCustomDisplay;

    QAction* RunContextMenu(QMenu& menu, const QPoint& globalPos) override {
        menuTitle = menu.title().toStdString();
        menuPos = globalPos;
        menuItems.clear();
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

    int paints = 0;
    int menusShown = 0;
    QString choice;
    std::string menuTitle;
    std::vector<std::string> menuItems;
    QPoint menuPos;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CCustomDisplay::paintEvent(event);
    }
};

} // namespace view_test
