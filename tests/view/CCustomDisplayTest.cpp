// The step view's mouse and wheel: what each click, drag and menu choice
// asks of the owner (LaneLayoutTest has the arithmetic behind them). At 120
// BPM and a Gap of 0.5 s, 8th slot j plays at 0.5 + 0.25 j s; on the Gap
// slot 0 is centred on row 16, 9 rows a slot.
#include "view/CCustomDisplay.h"

#include "tests/view/FakeStepViewOwner.h"
#include "view/LaneLayout.h"

#include <QElapsedTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace {

class CCustomDisplayTest : public testing::Test {
protected:
    void Drag(int x, std::initializer_list<int> ys) {
        view.Press(Qt::LeftButton, x, *ys.begin());
        for (auto y = ys.begin() + 1; y != ys.end(); ++y) {
            view.Mouse(QEvent::MouseMove, Qt::NoButton, x, *y, Qt::LeftButton);
        }
        view.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, *(ys.end() - 1));
    }
    void Wheel(int angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF local(40, 100);
        QWheelEvent event(local, view.mapToGlobal(local), QPoint(), QPoint(0, angle), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
    bool WaitForPaint(int after) {
        QElapsedTimer timer;
        timer.start();
        while (view.paints == after && timer.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return view.paints > after;
    }

    view_test::FakeOwner owner; // at 0 s, 8ths, 18 pixels a beat
    view_test::TestDisplay view{&owner};
};

TEST_F(CCustomDisplayTest, ClicksToggleTheNoteOfEveryColumnOfEveryStyle) {
    owner.player.positionSeconds = 0.5;
    for (const auto style : {chart::ChartStyle::Single, chart::ChartStyle::Solo,
                             chart::ChartStyle::Double, chart::ChartStyle::Couple}) {
        owner.SetStyle(style);
        const int columns = chart::ColumnsOf(style);
        owner.toggles.clear();
        for (int x = 0; x < view::ViewWidthFor(columns) - 45; ++x) {
            view.Click(x, 16);
        }
        std::vector<std::pair<std::int32_t, std::uint8_t>> expected;
        for (int column = 0; column < columns; ++column) {
            // 16 pixels of each column, each click toggling again.
            expected.insert(expected.end(), 16, {0, static_cast<std::uint8_t>(column)});
        }
        EXPECT_EQ(owner.toggles, expected) << chart::StyleName(style);
        EXPECT_EQ(view.sizeHint(), QSize(view::ViewWidthFor(columns), 300));
        EXPECT_TRUE(owner.Notes().Empty()) << "an even number of clicks leaves nothing";
    }
    // At 16th snap, 4.5 pixels a cell, row 34 is cell 4: row 48.
    owner.SetStyle(chart::ChartStyle::Single);
    owner.cellRows = 12;
    view.Click(60, 34);
    EXPECT_NE(owner.Notes().Find(48, 1), nullptr);
    // Beside the seek strip nothing seeks. Without a chart or a song,
    // clicks on the lanes do nothing, nor on the strip without a song.
    view.Click(159, 0);
    view.Click(192, 0);
    owner.shownChart = 1;
    view.Click(60, 40);
    owner.shownChart = 0;
    owner.player.fileName.clear();
    view.Click(60, 40);
    view.Click(170, 10);
    EXPECT_EQ(owner.Notes().Size(), 1u);
    EXPECT_EQ(owner.player.positionSeconds, 0.5);
}

TEST_F(CCustomDisplayTest, DraggingDownFromANoteMakesAHoldOneCellAtATime) {
    owner.player.positionSeconds = 0.5;
    owner.cellRows = 12; // 4.5 pixels a cell
    const int x = view::ColumnX(0) + 4;
    Drag(x, {16, 30, 17, 21}); // to cell 3, back to the head, to cell 1
    const std::uint64_t id = owner.holds.at(0).mergeId;
    const std::vector<view_test::HoldCall> expected = {
        {0, 0, 12, id}, {0, 0, 24, id}, {0, 0, 36, id}, {0, 0, 24, id},
        {0, 0, 12, id}, {0, 0, 0, id},  {0, 0, 12, id}};
    EXPECT_EQ(owner.holds, expected);
    EXPECT_EQ(owner.toggles.size(), 1u) << "the press made the note; the drag only lengthens it";
    EXPECT_EQ(owner.Notes().Find(0, 0)->holdRows, 12);

    // From an existing hold the drag starts at its length, with a new id;
    // a drag above the head makes a tap.
    owner.holds.clear();
    Drag(x, {16, 25, 0});
    const std::vector<std::int32_t> lengths = {24, 12, 0};
    ASSERT_EQ(owner.holds.size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        EXPECT_EQ(owner.holds[i].holdRows, lengths[i]) << i;
        EXPECT_EQ(owner.holds[i].mergeId, owner.holds[0].mergeId) << i;
    }
    EXPECT_NE(owner.holds[0].mergeId, id);
    EXPECT_EQ(owner.toggles.size(), 1u);
    // A plain click on a note removes it, on release.
    view.Press(Qt::LeftButton, x, 16);
    EXPECT_NE(owner.Notes().Find(0, 0), nullptr);
    view.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, 16);
    EXPECT_EQ(owner.Notes().Find(0, 0), nullptr);
}

TEST_F(CCustomDisplayTest, WheelScrollsWhilePausedAndZoomsWithCtrl) {
    owner.cellRows = 12; // 0.125 s a cell at 120 BPM
    owner.player.positionSeconds = 1.0;
    // Towards the user (negative) is on through the song; half a notch
    // waits for the other half.
    const std::pair<int, double> notches[] = {
        {-120, 1.125}, {240, 0.875}, {-60, 0.875}, {-60, 1.0}};
    for (const auto& [angle, to] : notches) {
        Wheel(angle);
        EXPECT_DOUBLE_EQ(owner.player.positionSeconds, to) << angle;
    }
    owner.player.state = player::PlayState::kPlaying;
    Wheel(-120);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.0) << "no scrolling while playing";
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(owner.pixelsPerBeat, 24);
    Wheel(-240, Qt::ControlModifier);
    EXPECT_EQ(owner.pixelsPerBeat, 12);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.0) << "zooming does not seek";
}

// The menu's choices go to the owner for the cell or row under the mouse.
TEST_F(CCustomDisplayTest, RightClickSetsTheRangeAndAsksForTempoChangesAndStops) {
    owner.song.changes = {{1.0, 150.0}};
    owner.song.stops = {{0.5, 250.0}, {1.0, 100.0}};
    // On the Gap slot 0's arrows cover rows 8-23, slot 1's 17-32, slot 2's
    // 26-41 (beat 1, row 48); a beat later (1.25 s: the stop at beat 0.5
    // holds the lane 0.25 s) everything is two slots on; a beat before the
    // Gap the lane lies 18 rows lower.
    const struct {
        double position;
        int y;
        const char* choice;
        std::string request;
    } cases[] = {
        {0.5, 34, "Add BPM Change Here...", "add change 48"},
        {0.5, 34, "Add Stop Here...", "add stop 48"},
        {0.5, 34, "Change BPM Change...", "edit change 0"},
        {0.5, 34, "Remove BPM Change", "remove change 0"},
        {0.5, 34, "Change Stop...", "edit stop 1"},
        {0.5, 34, "Remove Stop", "remove stop 1"},
        {0.5, 25, "Remove Stop", "remove stop 0"},
        {0.5, 16, "Add Stop Here...", "add stop 0"},
        {0.5, 20, "Set Range End At This Step", "end 1"},
        {1.25, 299, "Set Range End At This Step", "end 34"},
        {0.0, 40, "Set Range Start At This Step", "start 1"},
        {0.5, 200, "", ""}, // dismissed
    };
    for (const auto& c : cases) {
        owner.requests.clear();
        owner.rangeStart.reset();
        owner.rangeEnd.reset();
        owner.player.positionSeconds = c.position;
        view.Choose(c.choice, 131, c.y);
        if (owner.rangeStart) {
            owner.requests.push_back("start " + std::to_string(*owner.rangeStart));
        }
        if (owner.rangeEnd) {
            owner.requests.push_back("end " + std::to_string(*owner.rangeEnd));
        }
        EXPECT_EQ(owner.requests, c.request.empty() ? std::vector<std::string>{}
                                                    : std::vector<std::string>{c.request})
            << c.choice << " at " << c.position << " s, row " << c.y;
    }
    EXPECT_EQ(view.menusShown, static_cast<int>(std::size(cases)));
    EXPECT_EQ(view.menuTitle, "Step Options");
    EXPECT_EQ(view.menuPos, view.mapToGlobal(QPoint(131, 200)));
    view.Choose("", 40, 34);
    EXPECT_EQ(view.menuItems,
              (std::vector<std::string>{"Set Range Start At This Step",
                                        "Set Range End At This Step", "", "Add BPM Change Here...",
                                        "Add Stop Here...", "", "Change BPM Change...",
                                        "Remove BPM Change", "Change Stop...", "Remove Stop"}));
    view.Choose("", 40, 16);
    EXPECT_EQ(view.menuItems.size(), 5u) << "no change or stop at row 0";
    // At 16th snap the range is in 16ths: row 34 is cell 4.
    owner.cellRows = 12;
    view.Choose("Set Range Start At This Step", 40, 34);
    EXPECT_EQ(owner.rangeStart, 4);
    // Outside the arrow area, or without a song, no menu opens.
    const int shown = view.menusShown;
    for (const QPoint p : {QPoint(19, 100), QPoint(132, 100), QPoint(60, 10), QPoint(170, 20)}) {
        view.Choose("Set Range End At This Step", p.x(), p.y());
    }
    owner.player.fileName.clear();
    view.Choose("Set Range End At This Step", 30, 17);
    EXPECT_EQ(view.menusShown, shown);
}

// Tempos the controls never give but an imported file can once hung the
// program: painting and every click must return at once and land within
// the 16 beats the frame shows (the lane stands still); with a tempo change
// the timing map's side of the view must stay bounded too.
TEST_F(CCustomDisplayTest, StaysBoundedForUnusableTempos) {
    for (const bool withChange : {false, true}) {
        for (const std::int32_t cellRows : {24, 12}) {
            for (const float bpm : {0.0f, -120.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity()}) {
                SCOPED_TRACE(std::to_string(bpm) + " BPM, cell " + std::to_string(cellRows) +
                             (withChange ? ", with a change" : ""));
                owner.song.bpm = bpm;
                owner.song.changes.clear();
                if (withChange) {
                    owner.song.changes = {{4.0, static_cast<double>(bpm)}};
                }
                owner.cellRows = cellRows;
                owner.SetEighths("");
                owner.toggles.clear();
                view.RenderFrame(1);
                view.RenderFrame(2);
                view.Click(30, 150);
                view.Choose("Set Range End At This Step", 30, 150);
                for (int y : {10, 50, 90, 210, 245, 280}) {
                    owner.player.positionSeconds = 7.0;
                    view.Click(170, y);
                    EXPECT_TRUE(owner.player.positionSeconds >= 0.0 &&
                                owner.player.positionSeconds <= owner.player.durationSeconds)
                        << "row " << y << ": " << owner.player.positionSeconds;
                }
                ASSERT_LE(owner.toggles.size(), 1u);
                for (const auto& [row, column] : owner.toggles) {
                    EXPECT_LT(row, withChange ? chart::kMaxRows : 16 * 48);
                }
                if (!withChange) {
                    EXPECT_LT(owner.rangeEnd.value_or(-1), 16 * 48 / cellRows);
                }
            }
        }
    }
}

// Requests from other threads merge into one paint each; what a click
// changes reaches the screen with the next pass of the event loop, without
// the owner's help (this owner never asks for a repaint).
TEST_F(CCustomDisplayTest, RepaintRequestsAndEveryClickThatChangesTheLaneGetAPaint) {
    view.show();
    ASSERT_TRUE(WaitForPaint(0)); // showing paints once
    std::thread([this] {
        view.RequestRepaint();
        view.RequestRepaint();
    }).join();
    EXPECT_TRUE(WaitForPaint(view.paints));
    owner.player.positionSeconds = 0.5;
    const struct {
        const char* what;
        Qt::MouseButton button;
        QPoint at;
        const char* choice;
    } clicks[] = {{"add an arrow", Qt::LeftButton, {30, 17}, ""},
                  {"remove it", Qt::LeftButton, {30, 17}, ""},
                  {"seek forward", Qt::LeftButton, {170, 280}, ""},
                  {"seek back", Qt::LeftButton, {170, 10}, ""},
                  {"range start", Qt::RightButton, {40, 100}, "Set Range Start At This Step"},
                  {"range end", Qt::RightButton, {40, 120}, "Set Range End At This Step"}};
    for (const auto& click : clicks) {
        QApplication::processEvents();
        const int before = view.paints;
        if (click.button == Qt::LeftButton) {
            view.Click(click.at.x(), click.at.y());
        } else {
            view.Choose(click.choice, click.at.x(), click.at.y());
        }
        QApplication::processEvents();
        EXPECT_GT(view.paints, before) << click.what;
    }
    EXPECT_EQ(owner.toggles.size(), 2u);
    // On to just before slot 1 (0.725 s), then within 0.15 of it: a whole slot back.
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.475);
    EXPECT_EQ(owner.rangeStart, 9);
    EXPECT_EQ(owner.rangeEnd, 12);
}

} // namespace
