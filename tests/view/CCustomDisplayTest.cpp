#include "view/CCustomDisplay.h"

#include "tests/view/FakeStepViewOwner.h"
#include "tests/view/TestDisplay.h"
#include "view/LaneLayout.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

class StepViewTest : public testing::Test {
protected:
    void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y,
               Qt::MouseButtons buttons = Qt::NoButton) {
        view.Mouse(type, button, x, y, buttons);
    }
    void Click(int x, int y) { view.Click(x, y); }
    void Wheel(int angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF local(40, 100);
        QWheelEvent event(local, view.mapToGlobal(local), QPoint(), QPoint(0, angle), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
    QImage Frame() { return view.RenderFrame(1).copy(); }

    view_test::FakeOwner owner; // 120 BPM, Gap 0.5 s, at 0 s, 8ths, 18 pixels a beat
    view_test::TestDisplay view{&owner};
};

TEST_F(StepViewTest, ClicksToggleTheNoteOfEveryColumnOfEveryStyle) {
    owner.player.positionSeconds = 0.5; // cell 0 on the targets, row 16
    for (const auto style : {chart::ChartStyle::Single, chart::ChartStyle::Solo,
                             chart::ChartStyle::Double, chart::ChartStyle::Couple}) {
        owner.SetStyle(style);
        const int columns = chart::ColumnsOf(style);
        owner.toggles.clear();
        for (int x = 0; x < view::ViewWidthFor(columns) - 45; ++x) {
            Click(x, 16);
        }
        std::vector<std::pair<std::int32_t, std::uint8_t>> expected;
        for (int column = 0; column < columns; ++column) {
            // 16 pixels of each column, each click toggling again.
            for (int i = 0; i < 16; ++i) {
                expected.emplace_back(0, static_cast<std::uint8_t>(column));
            }
        }
        EXPECT_EQ(owner.toggles, expected) << chart::StyleName(style);
        EXPECT_EQ(view.sizeHint(), QSize(view::ViewWidthFor(columns), 300));
        EXPECT_TRUE(owner.Notes().Empty()) << "an even number of clicks leaves nothing";
    }
    // A click at 16th snap lands on the 16th under the mouse: at 18 pixels
    // a beat, 4.5 pixels a cell, row 34 is cell 4.
    owner.SetStyle(chart::ChartStyle::Single);
    owner.cellRows = 12;
    Click(60, 34);
    EXPECT_NE(owner.Notes().Find(48, 1), nullptr);
    // Without a chart or a song, clicks on the lanes do nothing.
    owner.shownChart = 1;
    Click(60, 40);
    owner.shownChart = 0;
    owner.player.fileName.clear();
    Click(60, 40);
    EXPECT_EQ(owner.Notes().Size(), 1u);
}

TEST_F(StepViewTest, DraggingDownFromANoteMakesAHoldOneCellAtATime) {
    owner.player.positionSeconds = 0.5;
    owner.cellRows = 12; // 4.5 pixels a cell
    const int x = view::ColumnX(0) + 4;
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, x, 16, Qt::LeftButton);
    Mouse(QEvent::MouseMove, Qt::NoButton, x, 30, Qt::LeftButton); // cell 3
    Mouse(QEvent::MouseMove, Qt::NoButton, x, 17, Qt::LeftButton); // back to the head
    Mouse(QEvent::MouseMove, Qt::NoButton, x, 21, Qt::LeftButton); // cell 1
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, 21);
    ASSERT_EQ(owner.holds.size(), 7u);
    const std::uint64_t id = owner.holds[0].mergeId;
    const std::vector<view_test::HoldCall> expected = {
        {0, 0, 12, id}, {0, 0, 24, id}, {0, 0, 36, id}, {0, 0, 24, id},
        {0, 0, 12, id}, {0, 0, 0, id},  {0, 0, 12, id}};
    EXPECT_EQ(owner.holds, expected);
    EXPECT_EQ(owner.toggles.size(), 1u) << "the press made the note; the drag only lengthens it";
    EXPECT_EQ(owner.Notes().Find(0, 0)->holdRows, 12);

    // From an existing hold the drag starts at its length, with a new id;
    // a drag above the head makes a tap.
    owner.holds.clear();
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, x, 16, Qt::LeftButton);
    Mouse(QEvent::MouseMove, Qt::NoButton, x, 25, Qt::LeftButton); // cell 2
    Mouse(QEvent::MouseMove, Qt::NoButton, x, 0, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, 0);
    ASSERT_EQ(owner.holds.size(), 3u);
    EXPECT_NE(owner.holds[0].mergeId, id);
    EXPECT_EQ(owner.holds[0].holdRows, 24);
    EXPECT_EQ(owner.holds[2].holdRows, 0);
    EXPECT_EQ(owner.toggles.size(), 1u);
    // A plain click on a note removes it, on release.
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, x, 16, Qt::LeftButton);
    EXPECT_NE(owner.Notes().Find(0, 0), nullptr);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, 16);
    EXPECT_EQ(owner.Notes().Find(0, 0), nullptr);
}

TEST_F(StepViewTest, WheelScrollsWhilePausedAndZoomsWithCtrl) {
    owner.cellRows = 12; // 0.125 s a cell at 120 BPM
    owner.player.positionSeconds = 1.0;
    Wheel(-120); // towards the user: on through the song
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.125);
    Wheel(240);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.875);
    Wheel(-60); // half a notch waits for the other half
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.875);
    Wheel(-60);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.0);
    owner.player.state = player::PlayState::kPlaying;
    Wheel(-120);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.0);

    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(owner.pixelsPerBeat, 24);
    Wheel(-240, Qt::ControlModifier);
    EXPECT_EQ(owner.pixelsPerBeat, 12);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 1.0) << "zooming does not seek";
}

TEST_F(StepViewTest, ContextMenuSetsTheRangeAndAsksForTempoChangesAndStops) {
    owner.player.positionSeconds = 0.5;
    owner.song.changes = {{1.0, 150.0}};
    owner.song.stops = {{0.5, 250.0}, {1.0, 100.0}};
    // Row 34 is cell 2 (beat 1) under the mouse; row 16 cell 0, where
    // nothing is.
    const struct {
        int y;
        const char* choice;
        std::string request;
    } cases[] = {
        {34, "Add BPM Change Here...", "add change 48"},
        {34, "Add Stop Here...", "add stop 48"},
        {34, "Change BPM Change...", "edit change 0"},
        {34, "Remove BPM Change", "remove change 0"},
        {34, "Change Stop...", "edit stop 1"},
        {34, "Remove Stop", "remove stop 1"},
        {25, "Remove Stop", "remove stop 0"},
        {16, "Add Stop Here...", "add stop 0"},
    };
    for (const auto& c : cases) {
        owner.requests.clear();
        view.choice = QString::fromLatin1(c.choice);
        Mouse(QEvent::MouseButtonPress, Qt::RightButton, 40, c.y, Qt::RightButton);
        EXPECT_EQ(owner.requests, std::vector<std::string>{c.request}) << c.choice;
    }
    EXPECT_EQ(view.menuTitle, "Step Options");
    view.choice = QStringLiteral("Set Range End At This Step");
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, 40, 34, Qt::RightButton);
    EXPECT_EQ(owner.rangeEnd, 2);
    EXPECT_EQ(view.menuItems,
              (std::vector<std::string>{"Set Range Start At This Step",
                                        "Set Range End At This Step", "", "Add BPM Change Here...",
                                        "Add Stop Here...", "", "Change BPM Change...",
                                        "Remove BPM Change", "Change Stop...", "Remove Stop"}));
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, 40, 16, Qt::RightButton);
    EXPECT_EQ(view.menuItems.size(), 5u) << "no change or stop at row 0";
    // At 16th snap the range is in 16ths.
    owner.cellRows = 12;
    view.choice = QStringLiteral("Set Range Start At This Step");
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, 40, 34, Qt::RightButton);
    EXPECT_EQ(owner.rangeStart, 4);
}

// At 48 pixels a beat one row is one pixel. Each colour class sits in its
// own beat; the probe is two rows under the arrow's centre (clear of the
// beat line), inside every arrow's fill.
TEST_F(StepViewTest, NotesAreColouredByRhythmAndHoldsShowBodyAndTail) {
    owner.player.positionSeconds = 0.5;
    owner.pixelsPerBeat = 48;
    const struct {
        std::uint8_t column;
        std::int32_t row;
        QRgb fill;
    } notes[] = {
        {0, 0, 0xFFFB0303},        {0, 48 + 24, 0xFF04FCFC}, {0, 96 + 16, 0xFFA840E8},
        {0, 144 + 12, 0xFFF8E000}, {0, 192 + 8, 0xFFFF80C8}, {1, 6, 0xFFFF9000},
        {1, 48 + 4, 0xFF6098FF},   {1, 96 + 3, 0xFF00FF00},  {1, 144 + 1, 0xFFA8A8A8},
    };
    for (const auto& note : notes) {
        owner.Notes().Set({note.row, note.column, 0});
    }
    owner.Notes().Set({0, 2, 96}); // Up, two beats
    owner.song.changes = {{2.0, 150.0}};
    owner.song.stops = {{3.0, 500.0}};
    const QImage frame = Frame();
    for (const auto& note : notes) {
        EXPECT_EQ(frame.pixel(view::ColumnX(note.column) + 8, 16 + note.row + 2), note.fill)
            << "row " << note.row;
    }
    const int upX = view::ColumnX(2) + 8;
    EXPECT_EQ(frame.pixel(upX, 18), 0xFFFB0303u) << "hold head";
    EXPECT_EQ(frame.pixel(upX, 60), 0xFFB0F080u) << "hold body";
    EXPECT_EQ(frame.pixel(upX, 16 + 96 - 1), kBlack) << "tail's closing row";
    EXPECT_EQ(frame.pixel(upX, 120), kWhite) << "past the tail";
    EXPECT_EQ(frame.pixel(140, 16 + 96 + 1), 0xFFD06000u) << "BPM change mark";
    EXPECT_EQ(frame.pixel(140, 16 + 144 + 1), 0xFF9020C0u) << "stop mark";
    EXPECT_EQ(owner.rowsShown, 48 * 6) << "6 lines at 48 pixels from row 16";
}

// Heads closer than 3 pixels cannot be told apart: the coarsest rhythm is
// drawn alone rather than ANDed into a colour no note has.
TEST_F(StepViewTest, NotesTooCloseToTellApartShowTheirCoarsestRhythm) {
    owner.player.positionSeconds = 0.5;
    owner.Notes().Set({1, 3, 0});  // a 192nd, 0.375 pixels below the beat
    owner.Notes().Set({0, 3, 0});  // the beat
    owner.Notes().Set({47, 0, 0}); // a 192nd before beat 1
    owner.Notes().Set({48, 0, 0});
    owner.Notes().Set({96 + 1, 1, 0}); // alone: drawn in its own colour
    const QImage frame = Frame();
    EXPECT_EQ(frame.pixel(view::ColumnX(3) + 8, 18), 0xFFFB0303u);
    EXPECT_EQ(frame.pixel(view::ColumnX(0) + 8, 16 + 18 + 2), 0xFFFB0303u);
    EXPECT_EQ(frame.pixel(view::ColumnX(1) + 8, 16 + 36 + 2), 0xFFA8A8A8u);
}

TEST_F(StepViewTest, TallViewsShowMoreBeatsWithTheForwardStripAtTheBottom) {
    owner.player.positionSeconds = 0.5;
    view.resize(200, 500);
    const QImage frame = Frame();
    ASSERT_EQ(frame.size(), QSize(200, 500));
    EXPECT_EQ(owner.rowsShown, 48 * 27) << "lines every 18 rows from 16 to 484";
    EXPECT_EQ(frame.pixel(0, 16 + 18 * 26), kBlack);
    // The forward strip's last button: one 8th on.
    Click(170, 499);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.725);
    Click(170, 299);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.725) << "the old place is lane now";
}

} // namespace
