#include "view/CCustomDisplay.h"

#include "res/Resources.h"
#include "tests/view/FakeStepViewOwner.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <thread>
#include <vector>

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

// The expected result of drawing a block of `source` at (x, y) with AND,
// worked out pixel by pixel.
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

void AndCell(QImage& image, int sheetX, int sheetY, int x, int y) {
    static const QImage sheet = Resource(res::kArrowSheet);
    AndBlock(image, sheet, QRect(sheetX, sheetY, 16, 16), x, y);
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

// A view whose context menu the test answers instead of a user.
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
            chosen = action->text() == choice ? action : chosen;
        }
        ++menusShown;
        return chosen;
    }

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

class StepViewTest : public testing::Test {
protected:
    QImage Frame(int scale = 1) { return view.RenderFrame(scale).copy(); }

    void Press(Qt::MouseButton button, int x, int y) {
        const QPointF local(x, y);
        QMouseEvent event(QEvent::MouseButtonPress, local, view.mapToGlobal(local), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    view_test::FakeOwner owner;
    TestDisplay view{&owner};
};

TEST(StepViewImages, SheetAndStripsKeepTheirLayoutAndColours) {
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

TEST_F(StepViewTest, LongBeforeTheGapOnlyTargetsAndButtonsShow) {
    owner.gapSeconds = 100.0f;
    QImage expected(200, 300, QImage::Format_RGB32);
    expected.fill(kWhite);
    AndCell(expected, kLeft, kTarget, 20, 8);
    AndCell(expected, kDown, kTarget, 52, 8);
    AndCell(expected, kUp, kTarget, 84, 8);
    AndCell(expected, kRight, kTarget, 116, 8);
    AndBlock(expected, Resource(res::kRewindStrip), QRect(0, 0, 32, 106), 160, 0);
    AndBlock(expected, Resource(res::kForwardStrip), QRect(0, 0, 32, 106), 160, 194);
    EXPECT_EQ(DifferingPixels(Frame(), expected), 0);
}

TEST_F(StepViewTest, BeatLinesFollowThePosition) {
    // (position, line): on the Gap, its next beat and the last line; half a beat on.
    for (const auto& [position, y] : {std::pair{0.5, 16}, {0.5, 34}, {0.5, 286}, {0.75, 25}}) {
        owner.player.positionSeconds = position;
        const QImage frame = Frame();
        for (int x : {0, 10, 150}) {
            EXPECT_EQ(frame.pixel(x, y - 1) & frame.pixel(x, y), kBlack) << position << " " << y;
        }
        EXPECT_EQ(frame.pixel(10, y - 2) & frame.pixel(10, y + 1) & frame.pixel(151, y), kWhite)
            << position << " " << y;
    }
    owner.player.positionSeconds = 0.75;
    EXPECT_EQ(Frame().pixel(10, 16), kWhite);
}

// Each frame is the empty lane with exactly the chart's cells ANDed in.
TEST_F(StepViewTest, SlotsSitOnTheirRowsRedOnBeatsCyanBetween) {
    struct Case {
        const char* what;
        double positionSeconds;
        std::string chart;
        std::vector<std::array<int, 4>> cells; // sheet x and y, view x and y
    };
    const Case cases[] = {
        {"on the Gap: slot 0 on the targets, 1 below, 2 on the next line",
         0.5,
         "42B",
         {{kLeft, kEven, 20, 8},
          {kDown, kOdd, 52, 17},
          {kLeft, kEven, 20, 26},
          {kRight, kEven, 116, 26}}},
        {"half a beat on: slot 1 on the targets", 0.75, "08", {{kUp, kOdd, 84, 8}}},
        {"one beat on: slot 2 on the targets, 1 above",
         1.0,
         "046",
         {{kLeft, kOdd, 20, -1}, {kRight, kEven, 116, 8}}},
        {"one beat on: slot 32 is the last drawn",
         1.0,
         std::string(32, '0') + "AA",
         {{kUp, kEven, 84, 278}, {kDown, kEven, 52, 278}}},
        {"non-codes draw nothing", 0.5, "5x5x", {}},
    };
    for (const Case& c : cases) {
        owner.player.positionSeconds = c.positionSeconds;
        owner.chart.clear();
        QImage expected = Frame();
        for (const auto& cell : c.cells) {
            AndCell(expected, cell[0], cell[1], cell[2], cell[3]);
        }
        owner.chart = c.chart;
        EXPECT_EQ(DifferingPixels(Frame(), expected), 0) << c.what;
    }
}

TEST_F(StepViewTest, PaintingPadsTheChartToTheLastSlotDrawn) {
    owner.player.positionSeconds = 0.5; // slots 0-31
    view.RenderFrame(1);
    EXPECT_EQ(owner.chart, std::string(32, '0'));
    owner.player.positionSeconds = 1.0; // slots 1-32
    owner.chart = "8";
    view.RenderFrame(1);
    EXPECT_EQ(owner.chart, "8" + std::string(32, '0'));
    owner.chart = std::string(100, '2');
    view.RenderFrame(1);
    EXPECT_EQ(owner.chart, std::string(100, '2'));
}

TEST_F(StepViewTest, TwiceTheScaleIsEveryPixelDoubled) {
    owner.player.positionSeconds = 1.125;
    owner.chart = "1379AB2468" + std::string(30, 'A');
    const QImage small = Frame(1);
    const QImage large = Frame(2);
    EXPECT_EQ(large.devicePixelRatio(), 2.0);
    QImage expected(400, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 400; ++x) {
            expected.setPixel(x, y, small.pixel(x / 2, y / 2));
        }
    }
    EXPECT_EQ(DifferingPixels(large, expected), 0);
}

TEST_F(StepViewTest, LeftClickTogglesTheArrowOfItsColumn) {
    owner.player.positionSeconds = 0.5; // row 17 is slot 0
    const std::pair<int, const char*> cases[] = {
        {19, "0"}, {20, "4"}, {35, "4"}, {36, "0"},  {51, "0"},  {52, "2"},  {67, "2"},
        {68, "0"}, {84, "8"}, {99, "8"}, {100, "0"}, {116, "6"}, {131, "6"}, {132, "0"}};
    for (const auto& [x, slot0] : cases) {
        owner.chart = "0";
        Press(Qt::LeftButton, x, 17);
        EXPECT_EQ(owner.chart, slot0) << "x = " << x;
    }
    owner.chart = "0";
    Press(Qt::LeftButton, 30, 10); // above the arrow area
    EXPECT_EQ(owner.chart, "0");
    Press(Qt::LeftButton, 30, 17);
    Press(Qt::LeftButton, 60, 17);
    Press(Qt::LeftButton, 90, 17); // a third arrow is refused
    EXPECT_EQ(owner.chart, "1");
    Press(Qt::LeftButton, 60, 17);
    EXPECT_EQ(owner.chart, "4");
    Press(Qt::LeftButton, 120, 200);
    EXPECT_EQ(owner.chart, "4" + std::string(20, '0') + "6"); // row 200 is slot 21
}

TEST_F(StepViewTest, SeekStripRowsPickTheirButtons) {
    // Half-way between slots 4 and 5; StepLaneTest has every button from here.
    constexpr double kFrom = 1.625;
    const std::array<double, 3> cases[] = {{160, 0, 1.475},   {191, 33, 1.475},  {170, 34, kFrom},
                                           {170, 35, kFrom},  {170, 36, 1.225},  {170, 69, 1.225},
                                           {170, 72, 0.0},    {170, 105, 0.0},   {170, 106, kFrom},
                                           {170, 193, kFrom}, {170, 194, 8.975}, {170, 227, 8.975},
                                           {170, 230, 1.975}, {170, 263, 1.975}, {170, 266, 1.725},
                                           {170, 299, 1.725}, {170, 300, kFrom}, {170, 310, kFrom},
                                           {170, -1, kFrom},  {159, 0, kFrom},   {192, 0, kFrom}};
    for (const auto& [x, y, to] : cases) {
        owner.player.positionSeconds = kFrom;
        Press(Qt::LeftButton, static_cast<int>(x), static_cast<int>(y));
        EXPECT_NEAR(owner.player.positionSeconds, to, 1e-12) << x << "," << y;
    }
}

TEST_F(StepViewTest, RightClickSetsTheRangeFromTheSlotUnderIt) {
    owner.player.positionSeconds = 0.5;
    view.choice = QStringLiteral("Set Range Start At This Step");
    Press(Qt::RightButton, 40, 29);
    EXPECT_EQ(view.menuTitle, "Step Options");
    EXPECT_EQ(view.menuItems, (std::vector<std::string>{"Set Range Start At This Step",
                                                        "Set Range End At This Step"}));
    EXPECT_EQ(view.menuPos, view.mapToGlobal(QPoint(40, 29)));
    EXPECT_EQ(owner.rangeStart, 2);
    EXPECT_EQ(owner.rangeEnd, std::nullopt);

    view.choice = QStringLiteral("Set Range End At This Step");
    Press(Qt::RightButton, 131, 28);
    EXPECT_EQ(owner.rangeEnd, 1);
    view.choice.clear(); // dismissed
    Press(Qt::RightButton, 20, 200);
    EXPECT_EQ(owner.rangeStart, 2);
    EXPECT_EQ(owner.rangeEnd, 1);
    EXPECT_EQ(view.menusShown, 3);

    for (const QPoint p : {QPoint(19, 100), QPoint(132, 100), QPoint(60, 10), QPoint(170, 20)}) {
        Press(Qt::RightButton, p.x(), p.y());
    }
    EXPECT_EQ(view.menusShown, 3) << "outside the arrow area no menu opens";
}

TEST_F(StepViewTest, WithoutASongClicksDoNothing) {
    owner.player.fileName.clear();
    owner.player.positionSeconds = 1.625;
    owner.chart = "0";
    view.choice = QStringLiteral("Set Range Start At This Step");
    Press(Qt::LeftButton, 30, 17);
    Press(Qt::LeftButton, 170, 10);
    Press(Qt::RightButton, 30, 17);
    EXPECT_EQ(owner.chart, "0");
    EXPECT_EQ(owner.player.positionSeconds, 1.625);
    EXPECT_EQ(view.menusShown, 0);
}

// Tempos the controls never give but an imported file can: painting and
// every click must return at once and keep the chart small.
TEST_F(StepViewTest, StaysBoundedForUnusableTempos) {
    for (const float bpm : {0.0f, -120.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()}) {
        owner.bpm = bpm;
        owner.chart.clear();
        view.choice = QStringLiteral("Set Range End At This Step");
        view.RenderFrame(1);
        view.RenderFrame(2);
        Press(Qt::LeftButton, 30, 150);
        Press(Qt::RightButton, 30, 150);
        for (int y : {10, 50, 90, 210, 245, 280}) {
            owner.player.positionSeconds = 7.0;
            Press(Qt::LeftButton, 170, y);
            EXPECT_TRUE(owner.player.positionSeconds >= 0.0 &&
                        owner.player.positionSeconds <= owner.player.durationSeconds)
                << "BPM " << bpm << " row " << y << ": " << owner.player.positionSeconds;
        }
        EXPECT_LE(owner.chart.size(), 64u) << "BPM " << bpm;
        EXPECT_LE(owner.rangeEnd.value_or(-1), 1) << "BPM " << bpm;
    }
}

TEST_F(StepViewTest, RepaintRequestsFromAnyThreadEachGetAPaint) {
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

} // namespace
