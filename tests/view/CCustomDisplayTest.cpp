// The step view: what it draws (one whole frame of the original look, and
// where lines, notes, holds, tempo marks and the waveform land) and what
// each click, drag, wheel notch and menu choice asks of the owner
// (LaneLayoutTest has the arithmetic behind them). At 120 BPM and a Gap of
// 0.5 s, 8th slot j plays at 0.5 + 0.25 j s; on the Gap slot 0 is centred
// on row 16, 9 rows a slot, at 18 pixels a beat.
#include "view/CCustomDisplay.h"

#include "TestSignals.h"
#include "edit/ImportedSong.h"
#include "tests/view/FakeStepViewOwner.h"
#include "view/LaneLayout.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QWheelEvent>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

namespace {

using Strings = std::vector<std::string>;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFB0303; // 4ths

class CCustomDisplayTest : public testing::Test {
protected:
    void Drag(int x, std::initializer_list<int> ys) {
        view.Press(Qt::LeftButton, x, *ys.begin());
        for (auto y = ys.begin() + 1; y != ys.end(); ++y) {
            view.Mouse(QEvent::MouseMove, Qt::NoButton, x, *y, Qt::LeftButton);
        }
        view.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, *(ys.end() - 1));
    }
    // Processes events until `done` or the time has passed.
    template <typename Done> bool Await(Done done, int ms = 10000) {
        QElapsedTimer timer;
        for (timer.start(); !done() && timer.elapsed() < ms;) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return done();
    }

    view_test::FakeOwner owner; // at 0 s, 8ths, 18 pixels a beat
    view_test::TestDisplay view{&owner};
};

// The look of one chart of 8ths at one tempo, stored when the view was the
// whole program: jumps and single arrows between slots. At 2x every pixel
// is a 2x2 block. The gutter's measure numbers are left out: their glyphs
// are the system font's. Run with BEATWRIGHT_WRITE_GOLDEN=1 to write the
// file anew (only after a deliberate change of the look).
TEST_F(CCustomDisplayTest, EighthsOfOneChartLookAsTheyAlwaysDid) {
    owner.player.positionSeconds = 1.6;
    owner.song.charts[0] = edit::ChartFromSteps("A9B73100426886");
    const auto withoutGutter = [](QImage image, int scale) {
        image = image.convertToFormat(QImage::Format_RGB32);
        const int left = view::BeatLineLastX(4) + 1;
        image.setDevicePixelRatio(1.0);
        QPainter(&image).fillRect(left * scale, 0, (view::SeekStripX(4) - left) * scale,
                                  image.height(), Qt::white);
        return image;
    };
    const QImage frame = withoutGutter(view.Frame(), 1);
    const QString path = QStringLiteral(BEATWRIGHT_VIEW_GOLDEN "/jumps_between_slots_x1.png");
    if (qEnvironmentVariableIsSet("BEATWRIGHT_WRITE_GOLDEN")) {
        ASSERT_TRUE(frame.save(path));
    }
    EXPECT_EQ(frame, QImage(path).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(withoutGutter(view.Frame(2), 2), frame.scaled(frame.width() * 2, 600));
}

// The view draws 16 beat lines (each covers its row and the one above) and
// tells the owner the rows up to the last slot it drew: 32 slots from the
// first at or after the targets, or from an odd one still above them. Long
// before the Gap the lines lie below the view.
TEST_F(CCustomDisplayTest, DrawsSixteenLinesAndReportsTheSlotsUpToTheLast) {
    // The first line's beat; every fourth beat's line is a measure's, twice
    // as heavy, numbered in the gutter right of the lines.
    const std::tuple<double, float, int, std::int32_t, int> kCases[] = {{0.0, 100.0f, 3616, 0, 0},
                                                                        {0.5, 0.5f, 16, 0, 0},
                                                                        {0.75, 0.5f, 25, 1, 1},
                                                                        {1.0, 0.5f, 16, 1, 1}};
    const int gutter = view::BeatLineLastX(4) + 3;
    for (const auto& [position, gap, firstLineY, firstSlot, firstBeat] : kCases) {
        owner.player.positionSeconds = position;
        owner.song.gapSeconds = gap;
        const QImage frame = view.Frame();
        EXPECT_EQ(owner.rowsShown, 24 * (firstSlot + 32)) << position;
        for (int y = 0; y < 300; ++y) {
            const int below = y - firstLineY;
            const int i = (below + 9) / 18; // the nearest line
            const bool measure = (firstBeat + i) % 4 == 0;
            const int off = below - 18 * i;
            const bool line = below + 9 >= 0 && i < 16 &&
                              (measure ? off >= -2 && off <= 1 : off >= -1 && off <= 0);
            ASSERT_EQ(frame.pixel(0, y), line ? kBlack : kWhite) << position << " s, y " << y;
        }
        for (int i = 0; i < 16 && firstLineY < 300; ++i) {
            bool written = false;
            for (int x = gutter; x < gutter + 20; ++x) {
                for (int y = firstLineY + 18 * i - 4; y <= firstLineY + 18 * i + 3; ++y) {
                    written = written || frame.pixel(x, y) != kWhite;
                }
            }
            EXPECT_EQ(written, (firstBeat + i) % 4 == 0) << "beat " << firstBeat + i;
        }
    }
    // One beat on: slot 32 is drawn centred on the last line, slot 33 is not.
    owner.song.charts[0] = edit::ChartFromSteps(std::string(32, '0') + "AA");
    const QImage frame = view.Frame();
    EXPECT_EQ(
        std::pair(frame.pixel(view::ColumnX(2) + 8, 288), frame.pixel(view::ColumnX(2) + 8, 297)),
        std::pair(kRed, kWhite));
}

// At 48 pixels a beat one row is one pixel. Each colour class sits in its
// own beat; the probe is two rows under the arrow's centre (clear of the
// beat line), inside every arrow's fill. The tempo marks are painted over
// their beat's line, never hidden under it (their text, in whatever font the
// system has, is in the gutter right of the lines). Heads closer than 3 pixels cannot be told
// apart: the coarsest rhythm is drawn alone (drawn together they were once
// ANDed into a colour no note has): the 192nds next to a 4th (before beat 1,
// after beat 0) as the 4th.
TEST_F(CCustomDisplayTest, NotesAreColouredByRhythmAndHoldsShowBodyAndTail) {
    owner.player.positionSeconds = 0.5;
    owner.pixelsPerBeat = 48;
    const std::tuple<std::uint8_t, std::int32_t, QRgb> kNotes[] = {
        {0, 0, kRed},         {0, 47, kRed},        {0, 48, kRed},        {0, 72, 0xFF04FCFC},
        {0, 112, 0xFFA840E8}, {0, 156, 0xFFF8E000}, {0, 200, 0xFFFF80C8}, {1, 6, 0xFFFF9000},
        {1, 52, 0xFF6098FF},  {1, 99, 0xFF00FF00},  {1, 145, 0xFFA8A8A8}, {3, 1, kRed},
        {3, 0, kRed}};
    for (const auto& [column, row, fill] : kNotes) {
        owner.Notes().Set({row, column, 0});
    }
    owner.Notes().Set({0, 2, 96}); // Up, two beats
    owner.song.changes = {{2.0, 150.0}};
    owner.song.stops = {{3.0, 500.0}};
    const QImage frame = view.Frame();
    for (const auto& [column, row, fill] : kNotes) {
        EXPECT_EQ(frame.pixel(view::ColumnX(column) + 8, 16 + row + 2), fill) << "row " << row;
    }
    const int x = view::ColumnX(2) + 8;
    EXPECT_EQ((std::vector{frame.pixel(x, 18), frame.pixel(x, 60), frame.pixel(x, 111),
                           frame.pixel(x, 120), frame.pixel(140, 112), frame.pixel(140, 160)}),
              (std::vector<QRgb>{kRed, 0xFFB0F080, kBlack, kWhite, 0xFFD06000, 0xFF9020C0}))
        << "hold head, body, tail's closing row, past the tail; the marks";
}

// At 48 pixels a beat a delay at beat 1 (y 64) draws long dashes (6 of 8
// pixels, where a stop's are 2 of 4) over its beat line; a warp over beats 2
// to 3 (y 112 to 159) tints the lane and stands as a bar in the left margin,
// ending before beat 3's line. Without them these pixels are line and white.
TEST_F(CCustomDisplayTest, DelaysAndWarpsAreMarkedApartFromStops) {
    owner.player.positionSeconds = 0.5;
    owner.pixelsPerBeat = 48;
    struct Case {
        std::vector<chart::Delay> delays;
        std::vector<chart::Warp> warps;
        std::vector<QRgb> probes; // the delay's line twice, the warp's lane, bar and end
    };
    const Case kCases[] = {{{}, {}, {kBlack, kBlack, kWhite, kWhite, kWhite}},
                           {{{1.0, 250.0}}, {}, {0xFF008C8C, kBlack, kWhite, kWhite, kWhite}},
                           {{}, {{2.0, 1.0}}, {kBlack, kBlack, 0xFFFFDCEC, 0xFFD02078, kWhite}}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.delays.size() << " delays, " << c.warps.size());
        owner.song.delays = c.delays;
        owner.song.warps = c.warps;
        const QImage frame = view.Frame();
        EXPECT_EQ((std::vector{frame.pixel(2, 64), frame.pixel(6, 63), frame.pixel(30, 136),
                               frame.pixel(3, 136), frame.pixel(3, 161)}),
                  c.probes);
    }
}

// Two seconds of silence with a loud square wave from 1.0 to 1.5 s. At 120
// BPM a beat is 18 rows and 0.5 s: 36 rows a second, and the position
// (0.5 s) lies on row 16, so 1.0 s is row 34 and 1.5 s row 52; the beat
// line at 34 stays over it, the seek strip is untouched.
TEST_F(CCustomDisplayTest, WaveformDrawsBehindTheLanesOnlyWhileShown) {
    constexpr QRgb kWave = 0xFFB0C8E8;
    owner.player.positionSeconds = 0.5;
    const QImage plain = view.Frame();
    view.SetWaveformVisible(true); // of song.ogg, which is not there: nothing, ever
    EXPECT_FALSE(Await([&] { return view.Frame() != plain; }, 100));
    std::vector<std::int16_t> samples(2 * 44100, 0);
    for (std::size_t i = 44100; i < 44100 * 3 / 2; ++i) {
        samples[i] = (i / 40) % 2 == 0 ? 30000 : -30000;
    }
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    owner.player.fileName = std::string(BEATWRIGHT_TEST_TMP) + "/waveform_square.wav";
    testsignals::WriteWav(owner.player.fileName, {.channels = 1}, samples);
    view.SetWaveformVisible(true);
    // The peaks come from a worker thread; until then the frame is plain.
    ASSERT_TRUE(Await([&] { return view.Frame().pixel(90, 40) == kWave; }));
    const auto column = [this](int x, std::initializer_list<int> ys, int scale = 1) {
        std::vector<QRgb> pixels;
        const QImage frame = view.Frame(scale);
        for (int y : ys) {
            pixels.push_back(frame.pixel(x, y));
        }
        return pixels;
    };
    EXPECT_EQ(column(90, {30, 34, 40, 48, 60}),
              (std::vector<QRgb>{kWhite, kBlack, kWave, kWave, kWhite}));
    EXPECT_EQ(view.Frame().pixel(175, 40), plain.pixel(175, 40));
    // At 2x every device row has its own span of the song.
    EXPECT_EQ(column(180, {58, 80}, 2), (std::vector<QRgb>{kWhite, kWave}));
    // Zoomed to 36 rows a beat the sound covers rows 52-88. From beat 1
    // (1.0 s, row 34) at 60 BPM, 1.5 s is beat 1.5, row 43: the waveform
    // follows the lane's beats.
    owner.pixelsPerBeat = 36;
    EXPECT_EQ(column(90, {45, 70, 95}), (std::vector<QRgb>{kWhite, kWave, kWhite}));
    owner.pixelsPerBeat = 18;
    owner.song.changes = {{1.0, 60.0}};
    EXPECT_EQ(column(90, {40, 48}), (std::vector<QRgb>{kWave, kWhite}));
    owner.song.changes.clear();
    view.SetWaveformVisible(false);
    view.show(); // painted on the screen as rendered
    EXPECT_TRUE(Await([this] { return view.grab().toImage().pixel(90, 40) == kWhite; }));
    EXPECT_EQ(view.Frame(), plain);
    view.SetWaveformVisible(true); // the peaks are kept for the song
    EXPECT_EQ(view.Frame().pixel(90, 40), kWave);
}

// A click on a column's arrow toggles its note, in every style; between the
// arrows nothing. At 16th snap, 4.5 pixels a cell, row 34 is cell 4: row 48.
// Beside the seek strip nothing seeks; without a chart or a song clicks on
// the lanes do nothing, nor on the strip without a song.
TEST_F(CCustomDisplayTest, ClicksToggleTheNoteOfEveryColumnOfEveryStyle) {
    owner.player.positionSeconds = 0.5;
    for (const auto style : {chart::ChartStyle::Single, chart::ChartStyle::Solo,
                             chart::ChartStyle::Double, chart::ChartStyle::Couple}) {
        owner.SetStyle(style);
        owner.toggles.clear();
        std::vector<std::pair<std::int32_t, std::uint8_t>> expected;
        for (std::uint8_t column = 0; column < chart::ColumnsOf(style); ++column) {
            view.Click(view::ColumnX(column) + 15, 16);
            view.Click(view::ColumnX(column) + 16, 16);
            expected.emplace_back(0, column);
        }
        EXPECT_EQ(owner.toggles, expected) << chart::StyleName(style);
        EXPECT_EQ(view.sizeHint(), QSize(view::ViewWidthFor(chart::ColumnsOf(style)), 300));
    }
    owner.SetStyle(chart::ChartStyle::Single);
    owner.cellRows = 12;
    view.Click(60, 34);
    view.Click(159, 0);
    view.Click(192, 0);
    owner.shownChart = 1;
    view.Click(60, 40);
    owner.shownChart = 0;
    owner.player.fileName.clear();
    view.Click(60, 40);
    view.Click(170, 10);
    EXPECT_EQ(owner.Notes().Notes(), (std::vector<chart::Note>{{48, 1, 0}}));
    EXPECT_EQ(owner.player.positionSeconds, 0.5);
}

// Dragging down from a note makes it a hold one cell (4.5 pixels at 16th
// snap) at a time, back to its head a tap again, all with one merge id;
// from an existing hold the drag starts at its length with a new id, and
// above the head it makes a tap. A plain click removes a note, on release.
TEST_F(CCustomDisplayTest, DraggingDownFromANoteMakesAHoldOneCellAtATime) {
    owner.player.positionSeconds = 0.5;
    owner.cellRows = 12;
    const int x = view::ColumnX(0) + 4;
    Drag(x, {16, 30, 17, 21});
    const std::uint64_t id = std::get<3>(owner.holds.at(0));
    // clang-format off
    EXPECT_EQ(owner.holds, (std::vector<view_test::HoldCall>{{0, 0, 12, id}, {0, 0, 24, id},
        {0, 0, 36, id}, {0, 0, 24, id}, {0, 0, 12, id}, {0, 0, 0, id}, {0, 0, 12, id}}));
    // clang-format on
    EXPECT_EQ(owner.toggles.size(), 1u) << "the press made the note; the drag only lengthens it";
    owner.holds.clear();
    Drag(x, {16, 25, 0});
    const std::uint64_t next = std::get<3>(owner.holds.at(0));
    EXPECT_NE(next, id);
    EXPECT_EQ(owner.holds, (std::vector<view_test::HoldCall>{
                               {0, 0, 24, next}, {0, 0, 12, next}, {0, 0, 0, next}}));
    view.Press(Qt::LeftButton, x, 16);
    EXPECT_NE(owner.Notes().Find(0, 0), nullptr);
    view.Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, 16);
    EXPECT_EQ(owner.Notes().Find(0, 0), nullptr);
    EXPECT_EQ(owner.toggles.size(), 2u);
}

// While paused a notch moves a cell (0.125 s at 16ths), towards the user on
// through the song; half a notch waits for the other half. Ctrl zooms and
// does not seek; while playing the wheel does not scroll.
TEST_F(CCustomDisplayTest, WheelScrollsWhilePausedAndZoomsWithCtrl) {
    using enum player::PlayState;
    owner.cellRows = 12;
    owner.player.positionSeconds = 1.0;
    // Angle, modifiers, state; the position and pixels a beat after.
    // clang-format off
    const std::tuple<int, Qt::KeyboardModifier, player::PlayState, double, int> kNotches[] = {
        {-120, Qt::NoModifier, kPaused, 1.125, 18}, {240, Qt::NoModifier, kPaused, 0.875, 18},
        {-60, Qt::NoModifier, kPaused, 0.875, 18}, {-60, Qt::NoModifier, kPaused, 1.0, 18},
        {-120, Qt::NoModifier, kPlaying, 1.0, 18}, {120, Qt::ControlModifier, kPlaying, 1.0, 24},
        {-240, Qt::ControlModifier, kPlaying, 1.0, 12}};
    // clang-format on
    for (const auto& [angle, modifiers, state, position, pixels] : kNotches) {
        owner.player.state = state;
        QWheelEvent wheel(QPointF(40, 100), view.mapToGlobal(QPointF(40, 100)), QPoint(),
                          QPoint(0, angle), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
        EXPECT_EQ(std::pair(owner.player.positionSeconds, owner.pixelsPerBeat),
                  std::pair(position, pixels))
            << angle;
    }
}

// The menu's choices go to the owner for the cell or row under the mouse.
// On the Gap slot 0's arrows cover rows 8-23, slot 1's 17-32, slot 2's 26-41
// (beat 1, row 48); a beat later (1.25 s: the stop at beat 0.5 holds the
// lane 0.25 s) everything is two slots on; a beat before the Gap the lane
// lies 18 rows lower. At 16th snap the range is in 16ths.
TEST_F(CCustomDisplayTest, RightClickSetsTheRangeAndAsksForTempoChangesAndStops) {
    owner.song.changes = {{1.0, 150.0}};
    owner.song.stops = {{0.5, 250.0}, {1.0, 100.0}};
    // clang-format off
    const std::tuple<double, int, std::int32_t, const char*, const char*> kCases[] = {
        {0.5, 34, 24, "Add BPM Change Here...", "add change 48"},
        {0.5, 34, 24, "Add Stop Here...", "add stop 48"},
        {0.5, 34, 24, "Change BPM Change...", "edit change 0"},
        {0.5, 34, 24, "Remove BPM Change", "remove change 0"},
        {0.5, 34, 24, "Change Stop...", "edit stop 1"}, {0.5, 34, 24, "Remove Stop", "remove stop 1"},
        {0.5, 25, 24, "Remove Stop", "remove stop 0"}, {0.5, 16, 24, "Add Stop Here...", "add stop 0"},
        {0.5, 20, 24, "Set Range End At This Step", "end 1"},
        {1.25, 299, 24, "Set Range End At This Step", "end 34"},
        {0.0, 40, 24, "Set Range Start At This Step", "start 1"},
        {0.5, 34, 12, "Set Range Start At This Step", "start 4"}, {0.5, 34, 24, "", ""}};
    // clang-format on
    for (const auto& [position, y, cellRows, choice, request] : kCases) {
        owner.requests.clear();
        owner.player.positionSeconds = position;
        owner.cellRows = cellRows;
        view.Choose(choice, 131, y);
        EXPECT_EQ(owner.requests, *request ? Strings{request} : Strings{}) << choice << " at " << y;
    }
    EXPECT_EQ(view.menuItems,
              (Strings{"Step Options", "Set Range Start At This Step", "Set Range End At This Step",
                       "", "Add BPM Change Here...", "Add Stop Here...", "", "Change BPM Change...",
                       "Remove BPM Change", "Change Stop...", "Remove Stop"}));
    view.Choose("", 40, 16);
    EXPECT_EQ(view.menuItems.size(), 6u) << "no change or stop at row 0";
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
        for (const float bpm : {0.0f, -120.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity()}) {
            SCOPED_TRACE(std::to_string(bpm) + " BPM" + (withChange ? ", with a change" : ""));
            owner.song.bpm = bpm;
            owner.song.changes.assign(withChange ? 1 : 0, chart::BpmChange(4.0, bpm));
            owner.cellRows = withChange ? 12 : 24;
            owner.SetStyle(chart::ChartStyle::Single);
            owner.toggles.clear();
            owner.requests.clear();
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
            ASSERT_EQ(std::pair(owner.toggles.size(), owner.requests.size()), std::pair(1ul, 1ul));
            EXPECT_LT(owner.toggles[0].first, withChange ? chart::kMaxRows : 16 * 48);
            EXPECT_LT(std::stoi(owner.requests[0].substr(4)), withChange ? chart::kMaxRows : 32);
        }
    }
}

} // namespace

namespace {

// Rolls, mines, lifts and fakes against a tap and a hold in the same place,
// at 1x and 2x, at 48 pixels a beat (row 48 centred on y 64). A fake is the
// arrow paler in every pixel, never the tap itself; a mine's centre is dark
// whatever the column; a roll's body has none of the hold's green.
TEST_F(CCustomDisplayTest, EachNoteKindPaintsApartFromTapsAndHolds) {
    using enum chart::NoteKind;
    owner.player.positionSeconds = 0.5;
    owner.pixelsPerBeat = 48;
    for (const int scale : {1, 2}) {
        for (const std::uint8_t column : {std::uint8_t{0}, std::uint8_t{2}}) {
            SCOPED_TRACE(testing::Message() << scale << "x, column " << int(column));
            const auto cell = [&](chart::Note note, int top = 56, int height = 16) {
                owner.Notes().Clear();
                owner.Notes().Set(note);
                return view.Frame(scale).copy(view::ColumnX(column) * scale, top * scale,
                                              16 * scale, height * scale);
            };
            const QImage tap = cell({48, column}), fake = cell({48, column, 0, Fake});
            EXPECT_NE(cell({48, column, 0, Lift}), tap);
            EXPECT_NE(fake, tap);
            for (int i = 0; i < tap.width() * tap.height(); ++i) {
                const QRgb a = tap.pixel(i % tap.width(), i / tap.width());
                const QRgb b = fake.pixel(i % tap.width(), i / tap.width());
                ASSERT_TRUE(qRed(b) >= qRed(a) && qGreen(b) >= qGreen(a) && qBlue(b) >= qBlue(a) &&
                            (a == kWhite || b != kWhite));
            }
            EXPECT_LT(qGray(cell({48, column, 0, Mine}).pixel(10 * scale, 10 * scale)), 80);
            const QImage hold = cell({0, column, 96}, 30, 60);
            const QImage roll = cell({0, column, 96, Roll}, 30, 60);
            EXPECT_EQ(hold.pixel(8 * scale, 0), 0xFFB0F080);
            for (int i = 0; i < roll.width() * roll.height(); ++i) {
                ASSERT_NE(roll.pixel(i % roll.width(), i / roll.width()), 0xFFB0F080) << i;
            }
        }
    }
}

} // namespace
