#include "res/Resources.h"
#include "tests/view/FakeStepViewOwner.h"
#include "tests/view/TestDisplay.h"

#include <QElapsedTimer>
#include <QPainter>
#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

// The lane at 8th snap, 18 pixels a beat, one single chart and one tempo:
// frames worked out pixel by pixel from the original arrow sheet, and the
// seek buttons, range clicks and repaints as they always behaved.
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// Arrow sheet: columns by arrow, rows by use.
constexpr int kUp = 0;
constexpr int kDown = 16;
constexpr int kLeft = 32;
constexpr int kRight = 48;
constexpr int kTarget = 0;
constexpr int kEven = 16;
constexpr int kOdd = 32;

QImage Resource(const char* path) {
    res::InitResources();
    return QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32);
}

// The expected result of drawing a block of `source` at (x, y) with AND.
void AndBlock(QImage& image, const QImage& source, QRect from, int x, int y) {
    for (int j = 0; j < from.height(); ++j) {
        for (int i = 0; i < from.width(); ++i) {
            if (image.rect().contains(x + i, y + j)) {
                image.setPixel(x + i, y + j,
                               image.pixel(x + i, y + j) &
                                   source.pixel(from.x() + i, from.y() + j));
            }
        }
    }
}

// A cell of the arrow sheet drawn at row y of its arrow's column: Left,
// Down, Up and Right at x = 20, 52, 84 and 116.
struct Cell {
    int sheetX, sheetY, y;
};

// White, a beat line on rows y - 1 and y from x = 0 to 150 for y =
// firstLineY and every 18 rows below for 16 beats; then the cells, the
// targets and both seek strips ANDed in.
QImage ExpectedFrame(int firstLineY, std::vector<Cell> cells) {
    static const QImage sheet = Resource(res::kArrowSheet);
    QImage image(200, 300, QImage::Format_RGB32);
    image.fill(kWhite);
    for (int line = firstLineY; line < firstLineY + 16 * 18; line += 18) {
        QPainter(&image).fillRect(0, line - 1, 151, 2, Qt::black);
    }
    for (const int column : {kLeft, kDown, kUp, kRight}) {
        cells.push_back({column, kTarget, 8});
    }
    for (const Cell& cell : cells) {
        const int x = cell.sheetX == kLeft   ? 20
                      : cell.sheetX == kDown ? 52
                      : cell.sheetX == kUp   ? 84
                                             : 116;
        AndBlock(image, sheet, QRect(cell.sheetX, cell.sheetY, 16, 16), x, cell.y);
    }
    AndBlock(image, Resource(res::kRewindStrip), QRect(0, 0, 32, 106), 160, 0);
    AndBlock(image, Resource(res::kForwardStrip), QRect(0, 0, 32, 106), 160, 194);
    return image;
}

QImage Doubled(const QImage& image) {
    QImage result(image.width() * 2, image.height() * 2, QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            result.setPixel(x, y, image.pixel(x / 2, y / 2));
        }
    }
    return result;
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int count = a.size() == b.size() ? 0 : -1;
    for (int y = 0; count >= 0 && y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

class EighthLaneTest : public testing::Test {
protected:
    QImage Frame(int scale) { return view.RenderFrame(scale).copy(); }

    view_test::FakeOwner owner;
    view_test::TestDisplay view{&owner};
};

TEST(StepViewImages, SheetsAndStripsKeepTheirLayoutAndColours) {
    const QImage sheet = Resource(res::kArrowSheet);
    ASSERT_EQ(sheet.size(), QSize(64, 64));
    const QRgb fills[4] = {kWhite, 0xFFFB0303, 0xFF04FCFC, 0xFF00FF00};
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb p = sheet.pixel(x, y);
            ASSERT_TRUE(p == kWhite || p == kBlack || p == fills[y / 16]) << x << "," << y;
            if (x % 16 == 8 && y % 16 == 8) {
                EXPECT_EQ(p, fills[y / 16]) << "middle of the cell at " << x << "," << y;
            }
        }
    }
    // The note sheet's targets, 4ths and 8ths are the arrow sheet's.
    const QImage notes = Resource(res::kNoteSheet);
    ASSERT_EQ(notes.size(), QSize(96, 192));
    EXPECT_EQ(notes.copy(0, 0, 64, 48), sheet.copy(0, 0, 64, 48));
    for (const char* path : {res::kRewindStrip, res::kForwardStrip}) {
        const QImage strip = Resource(path);
        ASSERT_EQ(strip.size(), QSize(32, 106)) << path;
        for (int y : {34, 35, 70, 71}) {
            EXPECT_EQ(strip.pixel(0, y) & strip.pixel(16, y) & strip.pixel(31, y), kWhite)
                << path << " gap row " << y;
        }
        for (int y : {17, 53, 89}) {
            EXPECT_EQ(strip.pixel(2, y), fills[1]) << path << " button row " << y;
        }
    }
    EXPECT_EQ(Resource(res::kAppIcon128).size(), QSize(128, 128));
}

// At 120 BPM a slot is 0.25 s; with a Gap of 0.5 s slot j plays at
// 0.5 + 0.25 j. Every frame is compared whole, at scale 1 and 2; the view
// reports the rows up to the last slot it drew.
TEST_F(EighthLaneTest, FramesShowBeatLinesTargetsButtonsAndTheChartsSlots) {
    const struct {
        double positionSeconds;
        float gapSeconds;
        std::string chart;
        int firstLineY;
        std::int32_t slotsShown;
        std::vector<Cell> cells;
    } cases[] = {
        // Long before the Gap only the targets and the buttons show.
        {0.0, 100.0f, "", 3616, 32, {}},
        // On the Gap: slot 0 on the targets, 1 below, 2 on the next line.
        {0.5, 0.5f, "426", 16, 32, {{kLeft, kEven, 8}, {kDown, kOdd, 17}, {kRight, kEven, 26}}},
        // Half a beat on: slot 1 on the targets.
        {0.75, 0.5f, "08", 25, 33, {{kUp, kOdd, 8}}},
        // One beat on: slot 2 on the targets, 1 above.
        {1.0, 0.5f, "046", 16, 33, {{kLeft, kOdd, -1}, {kRight, kEven, 8}}},
        // One beat on: slot 32 is the last drawn.
        {1.0, 0.5f, std::string(32, '0') + "AAA", 16, 33, {{kUp, kEven, 278}, {kDown, kEven, 278}}},
        // Non-codes hold no notes.
        {0.5, 0.5f, "5x5x", 16, 32, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.positionSeconds) + " s, chart " + c.chart);
        owner.player.positionSeconds = c.positionSeconds;
        owner.song.gapSeconds = c.gapSeconds;
        owner.SetEighths(c.chart);
        const QImage expected = ExpectedFrame(c.firstLineY, c.cells);
        EXPECT_EQ(DifferingPixels(Frame(1), expected), 0);
        const QImage large = Frame(2);
        EXPECT_EQ(large.devicePixelRatio(), 2.0);
        EXPECT_EQ(DifferingPixels(large, Doubled(expected)), 0);
        EXPECT_EQ(owner.rowsShown, 24 * c.slotsShown);
    }
}

// Seeks land a tenth of a slot, 0.025 s, before a slot time. 0.025 is not
// exact in binary; 1e-12 s allows its rounding and no more.
TEST_F(EighthLaneTest, SeekButtonsMoveByOneTwoOrThirtySlotsClampedToTheSong) {
    // First and last row of each button, top to bottom: back 1, 2 and 30
    // slots, forward 30, 2 and 1.
    const std::pair<int, int> buttonRows[6] = {{0, 33},    {36, 69},   {72, 105},
                                               {194, 227}, {230, 263}, {266, 299}};
    // Slot 4 plays at 1.5 s. "Before" is 0.1 slot ahead of it (where every
    // seek lands): whole slots. "On" it: whole slots. "Between" it and slot
    // 5: to just before slot 4 (back) or 5 (forward), then on. Before the
    // Gap the remainder is negative: back leads into slot 0.
    const struct {
        const char* from;
        double position;
        std::array<double, 6> to;
    } cases[] = {{"before", 1.475, {1.225, 0.975, 0.0, 8.975, 1.975, 1.725}},
                 {"on", 1.5, {1.25, 1.0, 0.0, 9.0, 2.0, 1.75}},
                 {"between", 1.625, {1.475, 1.225, 0.0, 8.975, 1.975, 1.725}},
                 {"between, later", 10.125, {9.975, 9.725, 2.725, 17.475, 10.475, 10.225}},
                 {"on, near the end", 19.0, {18.75, 18.5, 11.5, 20.0, 19.5, 19.25}},
                 {"before, near the end", 19.99, {19.74, 19.49, 12.49, 20.0, 20.0, 20.0}},
                 {"before the Gap", 0.1, {0.475, 0.225, 0.0, 7.975, 0.975, 0.725}}};
    for (const auto& c : cases) {
        for (std::size_t button = 0; button < 6; ++button) {
            for (const auto& [x, y] : {std::pair{160, buttonRows[button].first},
                                       std::pair{191, buttonRows[button].second}}) {
                owner.player.positionSeconds = c.position;
                view.Click(x, y);
                EXPECT_NEAR(owner.player.positionSeconds, c.to[button], 1e-12)
                    << c.from << " " << c.position << " s, button " << button + 1 << ", row " << y;
            }
        }
    }
    // Between the buttons and beside or beyond the strips nothing moves.
    const QPoint still[] = {{170, 34},  {170, 35},  {170, 70}, {170, 71}, {170, 106}, {170, 193},
                            {170, 300}, {170, 310}, {170, -1}, {159, 0},  {192, 0}};
    for (const QPoint point : still) {
        owner.player.positionSeconds = 1.625;
        view.Click(point.x(), point.y());
        EXPECT_EQ(owner.player.positionSeconds, 1.625) << point.x() << "," << point.y();
    }
}

TEST_F(EighthLaneTest, RightClickSetsTheRangeFromTheSlotUnderIt) {
    // On the Gap slot 0's arrows cover rows 8-23, slot 1's 17-32, slot 2's
    // 26-41; one beat later everything is two slots on; a beat before the
    // Gap the lane lies 18 rows lower: slot 0 at 26-41.
    const std::tuple<double, int, std::int32_t> clicks[] = {
        {0.5, 11, 0}, {0.5, 19, 0},   {0.5, 20, 1}, {0.5, 28, 1}, {0.5, 29, 2},
        {1.0, 19, 2}, {1.0, 299, 34}, {0.0, 30, 0}, {0.0, 40, 1}};
    view.choice = QStringLiteral("Set Range Start At This Step");
    for (const auto& [position, y, slot] : clicks) {
        owner.player.positionSeconds = position;
        view.Press(Qt::RightButton, 40, y);
        EXPECT_EQ(owner.rangeStart, slot) << position << " s, row " << y;
    }
    EXPECT_EQ(view.menuPos, view.mapToGlobal(QPoint(40, 40)));
    EXPECT_EQ(owner.rangeEnd, std::nullopt);

    owner.player.positionSeconds = 0.5;
    view.choice = QStringLiteral("Set Range End At This Step");
    view.Press(Qt::RightButton, 131, 28);
    EXPECT_EQ(owner.rangeEnd, 1);
    view.choice.clear(); // dismissed
    view.Press(Qt::RightButton, 20, 200);
    EXPECT_EQ(owner.rangeStart, 1);
    EXPECT_EQ(owner.rangeEnd, 1);
    EXPECT_EQ(view.menusShown, 11);
    for (const QPoint p : {QPoint(19, 100), QPoint(132, 100), QPoint(60, 10), QPoint(170, 20)}) {
        view.Press(Qt::RightButton, p.x(), p.y());
    }
    // Without a song no click does anything.
    owner.player.fileName.clear();
    view.Press(Qt::RightButton, 30, 17);
    view.Click(30, 17);
    view.Click(170, 10);
    EXPECT_EQ(view.menusShown, 11) << "outside the arrow area or without a song no menu opens";
    EXPECT_TRUE(owner.toggles.empty());
    EXPECT_EQ(owner.player.positionSeconds, 0.5);
}

// Tempos the controls never give but an imported file can: painting and
// every click must return at once and land within the 16 beats the frame
// shows (the lane stands still); with a tempo change the timing map's side
// of the view must stay bounded too.
TEST_F(EighthLaneTest, StaysBoundedForUnusableTempos) {
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
                view.choice = QStringLiteral("Set Range End At This Step");
                view.RenderFrame(1);
                view.RenderFrame(2);
                view.Click(30, 150);
                view.Press(Qt::RightButton, 30, 150);
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

TEST_F(EighthLaneTest, RepaintRequestsFromAnyThreadEachGetAPaint) {
    view.show();
    const auto waitForPaint = [this](int after) {
        QElapsedTimer timer;
        timer.start();
        while (view.paints == after && timer.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return view.paints > after;
    };
    ASSERT_TRUE(waitForPaint(0)); // showing paints once
    for (int round = 0; round < 2; ++round) {
        const int before = view.paints;
        std::thread([this] {
            view.RequestRepaint();
            view.RequestRepaint();
        }).join();
        EXPECT_TRUE(waitForPaint(before)) << "round " << round;
    }
}

// What a click changes reaches the screen with the next pass of the event
// loop, without the owner's help (this owner never asks for a repaint).
TEST_F(EighthLaneTest, EveryClickThatChangesTheLaneRepaintsItAtOnce) {
    view.show();
    QElapsedTimer shown;
    shown.start();
    while (view.paints == 0 && shown.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_GT(view.paints, 0);
    owner.player.positionSeconds = 0.5; // row 17 is slot 0
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
        view.choice = QString::fromLatin1(click.choice);
        const std::size_t notesBefore = owner.toggles.size();
        const double positionBefore = owner.player.positionSeconds;
        QApplication::processEvents();
        const int before = view.paints;
        if (click.button == Qt::LeftButton) {
            view.Click(click.at.x(), click.at.y());
        } else {
            view.Press(click.button, click.at.x(), click.at.y());
        }
        EXPECT_TRUE(owner.toggles.size() != notesBefore ||
                    owner.player.positionSeconds != positionBefore ||
                    click.button == Qt::RightButton)
            << click.what << " changed nothing, so the test proves nothing";
        QApplication::processEvents();
        EXPECT_GT(view.paints, before) << click.what;
    }
}

} // namespace
