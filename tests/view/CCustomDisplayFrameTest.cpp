// What the step view draws: a few whole frames of the original look, and
// where notes, holds, tempo marks and the waveform land otherwise.
#include "TestSignals.h"
#include "tests/view/FakeStepViewOwner.h"
#include "view/LaneLayout.h"

#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFB0303;  // 4ths
constexpr QRgb kCyan = 0xFF04FCFC; // 8ths

int DifferingPixels(const QImage& a, const QImage& b) {
    int count = a.size() == b.size() ? 0 : -1;
    for (int y = 0; count >= 0 && y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

// Frames of the view's original look, stored when it was the whole program
// (one chart of 8ths at one tempo, 18 pixels a beat): before, on and after
// the Gap, between slots, and at a tempo whose beats fall between pixels.
// At 2x every pixel is a 2x2 block. Run with BEATWRIGHT_WRITE_GOLDEN=1 to
// write the files anew (only after a deliberate change of the look).
TEST(CCustomDisplayFrames, EighthsOfOneSingleChartAtOneTempoLookAsTheyAlwaysDid) {
    std::string longChart;
    for (int slot = 0; slot < 3000; ++slot) {
        longChart.push_back("40268AB1379"[(slot * 7) % 11]);
    }
    const struct {
        const char* name;
        float bpm;
        float gapSeconds;
        double positionSeconds;
        std::string steps; // one step code per 8th
    } states[] = {
        {"before_gap", 120.0f, 0.5f, 0.1, "4268"},
        {"on_gap", 120.0f, 0.5f, 0.5, "42680AB1"},
        {"even_slot_on_targets", 120.0f, 0.5f, 1.0, "0426813797"},
        {"jumps_between_slots", 120.0f, 0.5f, 1.6, "A9B73100426886"},
        {"awkward_tempo_later", 137.3f, 0.237f, 4.567, longChart},
    };
    const bool write = qEnvironmentVariableIsSet("BEATWRIGHT_WRITE_GOLDEN");
    view_test::FakeOwner owner;
    owner.player.durationSeconds = 1000.0;
    view::CCustomDisplay display(&owner);
    for (const auto& state : states) {
        SCOPED_TRACE(state.name);
        owner.song.bpm = state.bpm;
        owner.song.gapSeconds = state.gapSeconds;
        owner.player.positionSeconds = state.positionSeconds;
        owner.SetEighths(state.steps);
        const QImage frame = display.RenderFrame(1).convertToFormat(QImage::Format_RGB32);
        const QString path =
            QStringLiteral(BEATWRIGHT_VIEW_GOLDEN "/%1_x1.png").arg(QLatin1String(state.name));
        if (write) {
            ASSERT_TRUE(frame.save(path)) << path.toStdString();
            continue;
        }
        const QImage golden = QImage(path).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(golden.isNull()) << path.toStdString();
        EXPECT_EQ(DifferingPixels(frame, golden), 0);
        const QImage large = display.RenderFrame(2).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(DifferingPixels(large, frame.scaled(400, 600)), 0);
    }
}

class CCustomDisplayFrame : public testing::Test {
protected:
    view_test::FakeOwner owner; // 120 BPM, Gap 0.5 s, at 0 s, 8ths, 18 pixels a beat
    view_test::TestDisplay view{&owner};
};

// At 120 BPM slot j plays at 0.5 + 0.25 j s. The view draws 16 beat lines
// and tells the owner the rows up to the last slot it drew: 32 slots from
// the first at or after the targets, or from an odd one still above them.
TEST_F(CCustomDisplayFrame, DrawsSixteenLinesAndReportsTheSlotsUpToTheLast) {
    const struct {
        double positionSeconds;
        float gapSeconds;
        int firstLineY;
        std::int32_t firstSlot;
    } cases[] = {{0.0, 100.0f, 3616, 0}, // long before the Gap: lines below the view
                 {0.5, 0.5f, 16, 0},
                 {0.75, 0.5f, 25, 1},
                 {1.0, 0.5f, 16, 1}};
    for (const auto& c : cases) {
        owner.player.positionSeconds = c.positionSeconds;
        owner.song.gapSeconds = c.gapSeconds;
        const QImage frame = view.Frame();
        EXPECT_EQ(owner.rowsShown, 24 * (c.firstSlot + 32)) << c.positionSeconds;
        for (int y = 0; y < 300; ++y) {
            const int below = y + 1 - c.firstLineY; // a line covers its row and the one above
            const bool line = below >= 0 && below < 16 * 18 && below % 18 < 2;
            ASSERT_EQ(frame.pixel(0, y), line ? kBlack : kWhite)
                << c.positionSeconds << " s, y " << y;
        }
    }
    // One beat on: slot 32 is drawn centred on the last line, slot 33 is not.
    owner.SetEighths(std::string(32, '0') + "AA");
    const QImage frame = view.Frame();
    EXPECT_EQ(frame.pixel(view::ColumnX(2) + 8, 286 + 2), kRed) << "slot 32";
    EXPECT_EQ(frame.pixel(view::ColumnX(2) + 8, 295 + 2), kWhite) << "slot 33";
}

// At 48 pixels a beat one row is one pixel. Each colour class sits in its
// own beat; the probe is two rows under the arrow's centre (clear of the
// beat line), inside every arrow's fill.
TEST_F(CCustomDisplayFrame, NotesAreColouredByRhythmAndHoldsShowBodyAndTail) {
    owner.player.positionSeconds = 0.5;
    owner.pixelsPerBeat = 48;
    const struct {
        std::uint8_t column;
        std::int32_t row;
        QRgb fill;
    } notes[] = {
        {0, 0, kRed},
        {0, 48 + 24, kCyan},
        {0, 96 + 16, 0xFFA840E8},
        {0, 144 + 12, 0xFFF8E000},
        {0, 192 + 8, 0xFFFF80C8},
        {1, 6, 0xFFFF9000},
        {1, 48 + 4, 0xFF6098FF},
        {1, 96 + 3, 0xFF00FF00},
        {1, 144 + 1, 0xFFA8A8A8},
    };
    for (const auto& note : notes) {
        owner.Notes().Set({note.row, note.column, 0});
    }
    owner.Notes().Set({0, 2, 96}); // Up, two beats
    owner.song.changes = {{2.0, 150.0}};
    owner.song.stops = {{3.0, 500.0}};
    const QImage frame = view.Frame();
    for (const auto& note : notes) {
        EXPECT_EQ(frame.pixel(view::ColumnX(note.column) + 8, 16 + note.row + 2), note.fill)
            << "row " << note.row;
    }
    const int upX = view::ColumnX(2) + 8;
    EXPECT_EQ(frame.pixel(upX, 18), kRed) << "hold head";
    EXPECT_EQ(frame.pixel(upX, 60), 0xFFB0F080u) << "hold body";
    EXPECT_EQ(frame.pixel(upX, 16 + 96 - 1), kBlack) << "tail's closing row";
    EXPECT_EQ(frame.pixel(upX, 120), kWhite) << "past the tail";
    // The marks lie one row under their beat's line, right of the arrows
    // (their text, in whatever font the system has, is left of them).
    EXPECT_EQ(frame.pixel(140, 16 + 96 + 1), 0xFFD06000u) << "BPM change mark";
    EXPECT_EQ(frame.pixel(140, 16 + 144 + 1), 0xFF9020C0u) << "stop mark";
    EXPECT_EQ(owner.rowsShown, 48 * 6) << "6 lines at 48 pixels from row 16";
}

// Heads closer than 3 pixels cannot be told apart: the coarsest rhythm is
// drawn alone. Drawn together they were once ANDed into a colour no note has.
TEST_F(CCustomDisplayFrame, NotesTooCloseToTellApartShowTheirCoarsestRhythm) {
    owner.player.positionSeconds = 0.5;
    owner.Notes().Set({1, 3, 0});  // a 192nd, 0.375 pixels below the beat
    owner.Notes().Set({0, 3, 0});  // the beat
    owner.Notes().Set({47, 0, 0}); // a 192nd before beat 1
    owner.Notes().Set({48, 0, 0});
    owner.Notes().Set({96 + 1, 1, 0}); // alone: drawn in its own colour
    const QImage frame = view.Frame();
    EXPECT_EQ(frame.pixel(view::ColumnX(3) + 8, 18), kRed);
    EXPECT_EQ(frame.pixel(view::ColumnX(0) + 8, 16 + 18 + 2), kRed);
    EXPECT_EQ(frame.pixel(view::ColumnX(1) + 8, 16 + 36 + 2), 0xFFA8A8A8u);
}

TEST_F(CCustomDisplayFrame, TallViewsShowMoreBeatsWithTheForwardStripAtTheBottom) {
    owner.player.positionSeconds = 0.5;
    view.resize(200, 500);
    const QImage frame = view.Frame();
    ASSERT_EQ(frame.size(), QSize(200, 500));
    EXPECT_EQ(owner.rowsShown, 48 * 27) << "lines every 18 rows from 16 to 484";
    EXPECT_EQ(frame.pixel(0, 16 + 18 * 26), kBlack);
    // The forward strip's last button: one 8th on.
    view.Click(170, 499);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.725);
    view.Click(170, 299);
    EXPECT_DOUBLE_EQ(owner.player.positionSeconds, 0.725) << "the old place is lane now";
}

// Two seconds of silence with a loud square wave from 1.0 to 1.5 s. At 120
// BPM a beat is 18 rows and 0.5 s: 36 rows a second, and the position
// (0.5 s) lies on row 16, so 1.0 s is row 34 and 1.5 s row 52.
TEST_F(CCustomDisplayFrame, WaveformDrawsBehindTheLanesOnlyWhileShown) {
    constexpr QRgb kWave = 0xFFB0C8E8;
    owner.player.positionSeconds = 0.5;
    const QImage plain = view.Frame();
    view.SetWaveformVisible(true); // of song.ogg, which is not there: nothing, ever
    QElapsedTimer waited;
    for (waited.start(); waited.elapsed() < 100;) {
        QApplication::processEvents();
        ASSERT_EQ(view.Frame(), plain);
    }
    std::vector<std::int16_t> samples(2 * 44100, 0);
    for (std::size_t i = 44100; i < 44100 * 3 / 2; ++i) {
        samples[i] = (i / 40) % 2 == 0 ? 30000 : -30000;
    }
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    owner.player.fileName = std::string(BEATWRIGHT_TEST_TMP) + "/waveform_square.wav";
    testsignals::WriteWav(owner.player.fileName, {.channels = 1}, samples);
    view.SetWaveformVisible(true);
    QImage shown;
    waited.restart();
    // The peaks come from a worker thread; until then the frame is plain.
    do {
        QApplication::processEvents();
        shown = view.Frame();
    } while (shown.pixel(90, 40) != kWave && waited.elapsed() < 10000);
    const auto probe = [&](const QImage& frame, std::vector<std::pair<int, QRgb>> column, int x) {
        for (const auto& [y, colour] : column) {
            EXPECT_EQ(frame.pixel(x, y), colour) << "x " << x << ", y " << y;
        }
    };
    // The beat line at 34 stays over it.
    probe(shown, {{30, kWhite}, {34, kBlack}, {40, kWave}, {48, kWave}, {60, kWhite}}, 90);
    EXPECT_EQ(shown.pixel(175, 40), plain.pixel(175, 40)) << "the seek strip is untouched";
    // At 2x every device row has its own span of the song.
    probe(view.Frame(2), {{58, kWhite}, {80, kWave}}, 180);
    // Zoomed to 36 rows a beat the sound (1.0-1.5 s) covers rows 52-88.
    owner.pixelsPerBeat = 36;
    probe(view.Frame(), {{45, kWhite}, {70, kWave}, {95, kWhite}}, 90);
    // From beat 1 (1.0 s, row 34) at 60 BPM, 1.5 s is beat 1.5, row 43:
    // the waveform follows the lane's beats.
    owner.pixelsPerBeat = 18;
    owner.song.changes = {{1.0, 60.0}};
    probe(view.Frame(), {{40, kWave}, {48, kWhite}}, 90);
    owner.song.changes.clear();

    view.SetWaveformVisible(false);
    EXPECT_EQ(view.Frame(), plain);
    view.SetWaveformVisible(true); // the peaks are kept for the song
    EXPECT_EQ(view.Frame().pixel(90, 40), kWave);
}

} // namespace
