#include "TestSignals.h"
#include "tests/view/FakeStepViewOwner.h"
#include "view/CCustomDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWave = 0xFFB0C8E8; // the waveform's colour

// Two seconds of silence with a loud square wave from 1.0 to 1.5 s.
std::string WriteSong() {
    constexpr int kRate = 44100;
    std::vector<std::int16_t> samples(2 * kRate, 0);
    for (std::size_t i = kRate; i < kRate * 3 / 2; ++i) {
        samples[i] = (i / 40) % 2 == 0 ? 30000 : -30000;
    }
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    const std::string path = std::string(BEATWRIGHT_TEST_TMP) + "/waveform_square.wav";
    testsignals::WriteWav(path, {.channels = 1}, samples);
    return path;
}

// At 120 BPM a beat is 18 rows and 0.5 s: 36 rows a second, and the
// position (0.5 s) lies on row 16, so 1.0 s is row 34 and 1.5 s row 52.
TEST(WaveformLayer, DrawsBehindTheLanesOnlyWhileShownAndLeavesTheFrameAsItWasOtherwise) {
    view_test::FakeOwner owner;
    owner.player.fileName = WriteSong();
    owner.player.positionSeconds = 0.5;
    view::CCustomDisplay view(&owner);
    const QImage plain = view.RenderFrame(1).copy();
    EXPECT_FALSE(view.WaveformVisible());

    view.SetWaveformVisible(true);
    QImage shown;
    QElapsedTimer waited;
    waited.start();
    // The peaks come from a worker thread; until then the frame is plain.
    do {
        QApplication::processEvents();
        shown = view.RenderFrame(1).copy();
    } while (shown.pixel(90, 40) != kWave && waited.elapsed() < 10000);
    EXPECT_EQ(shown.pixel(90, 40), kWave);
    EXPECT_EQ(shown.pixel(90, 48), kWave);
    EXPECT_EQ(shown.pixel(90, 30), kWhite) << "before the sound";
    EXPECT_EQ(shown.pixel(90, 60), kWhite) << "after it";
    EXPECT_EQ(shown.pixel(90, 34), kBlack) << "the beat line stays over it";
    EXPECT_EQ(shown.pixel(175, 40), plain.pixel(175, 40)) << "the seek strip is untouched";

    // At 2x every device row has its own span of the song.
    const QImage doubled = view.RenderFrame(2).copy();
    EXPECT_EQ(doubled.pixel(180, 80), kWave);
    EXPECT_EQ(doubled.pixel(180, 58), kWhite);

    // Zoomed to 36 rows a beat the sound (1.0-1.5 s) covers rows 52-88.
    owner.pixelsPerBeat = 36;
    const QImage zoomed = view.RenderFrame(1).copy();
    EXPECT_EQ(zoomed.pixel(90, 70), kWave);
    EXPECT_EQ(zoomed.pixel(90, 45), kWhite);
    EXPECT_EQ(zoomed.pixel(90, 95), kWhite);
    // From beat 1 (1.0 s, row 34) at 60 BPM, 1.5 s is beat 1.5, row 43:
    // the waveform follows the lane's beats.
    owner.pixelsPerBeat = 18;
    owner.song.changes = {{1.0, 60.0}};
    const QImage changed = view.RenderFrame(1).copy();
    EXPECT_EQ(changed.pixel(90, 40), kWave);
    EXPECT_EQ(changed.pixel(90, 48), kWhite);
    owner.song.changes.clear();

    view.SetWaveformVisible(false);
    EXPECT_EQ(view.RenderFrame(1).copy(), plain);
    view.SetWaveformVisible(true); // the peaks are kept for the song
    EXPECT_EQ(view.RenderFrame(1).copy().pixel(90, 40), kWave);
}

} // namespace
