// Paints 1000 frames of a busy chart off-screen, as the window's 60 Hz
// refresh would while a song plays, and prints the median and 95th
// percentile time per frame: the reference (two-arrow 8ths, the most the
// original lane could hold) side by side with a dense chart at 192nd snap
// (a tap on every row of two columns, holds filling the other two), at 1x
// and 2x. With a song path, also the reference with that song's waveform
// behind the lanes. Then the density strip beside it: a 2000-measure chart
// painted 1000 times, against an empty widget of the same size.

#include "tests/view/FakeStepViewOwner.h"
#include "view/CCustomDisplay.h"
#include "view/CDensityStrip.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFrames = 1000;
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr std::int32_t kChartRows = 48 * 600;

struct Figures {
    double medianMs;
    double p95Ms;
};

Figures PaintFrames(view::CCustomDisplay& display, view_test::FakeOwner& owner, int scale) {
    display.RenderFrame(scale); // scale the images before timing
    std::vector<double> frameMs;
    frameMs.reserve(kFrames);
    std::uint32_t checksum = 0;
    for (int i = 0; i < kFrames; ++i) {
        owner.player.positionSeconds = 3.0 + kFrameSeconds * i;
        const auto start = std::chrono::steady_clock::now();
        const QImage& frame = display.RenderFrame(scale);
        const auto end = std::chrono::steady_clock::now();
        // Read a pixel so the work cannot be dropped.
        checksum += frame.pixel(28 * scale, 150 * scale);
        frameMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(frameMs.begin(), frameMs.end());
    std::fprintf(stderr, "(checksum %08x)\n", checksum);
    return {frameMs[kFrames / 2], frameMs[kFrames * 95 / 100]};
}

// Two arrows on every 8th, as the original chart codes "1379AB" cycle.
void FillEighths(view_test::FakeOwner& owner) {
    constexpr std::uint8_t kPairs[6][2] = {{0, 1}, {1, 3}, {0, 2}, {2, 3}, {0, 3}, {1, 2}};
    owner.cellRows = 24;
    for (std::int32_t row = 0, i = 0; row < kChartRows; row += 24, ++i) {
        for (const std::uint8_t column : kPairs[i % 6]) {
            owner.Notes().AppendSorted({row, column, 0});
        }
    }
}

// Taps on every row of Left and Down; Up and Right held a beat at a time
// with a row between holds.
void FillDense(view_test::FakeOwner& owner) {
    owner.cellRows = 1;
    for (std::int32_t row = 0; row < kChartRows; ++row) {
        owner.Notes().AppendSorted({row, 0, 0});
        owner.Notes().AppendSorted({row, 1, 0});
        if (row % 48 == 0) {
            owner.Notes().AppendSorted({row, 2, 46});
            owner.Notes().AppendSorted({row, 3, 46});
        }
    }
}

// Median milliseconds of kFrames renders of widget into image.
double MedianRenderMs(QWidget& widget, QImage& image) {
    widget.render(&image); // first paint outside the timing
    std::vector<double> paintMs;
    paintMs.reserve(kFrames);
    std::uint32_t checksum = 0;
    for (int i = 0; i < kFrames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        widget.render(&image);
        const auto end = std::chrono::steady_clock::now();
        checksum += image.pixel(12, i % image.height());
        paintMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(paintMs.begin(), paintMs.end());
    std::fprintf(stderr, "(checksum %08x)\n", checksum);
    return paintMs[kFrames / 2];
}

void BenchDensityStrip() {
    constexpr int kMeasures = 2000;
    constexpr int kStripHeight = 600;
    std::vector<std::int32_t> perMeasure(kMeasures);
    for (int m = 0; m < kMeasures; ++m) {
        perMeasure[static_cast<std::size_t>(m)] =
            (m * 37) % 65; // up to 64: every 12th row, 4 arrows
    }
    view::CDensityStrip strip;
    strip.resize(24, kStripHeight);
    const auto start = std::chrono::steady_clock::now();
    strip.SetDensity(perMeasure, kMeasures * 192);
    const auto end = std::chrono::steady_clock::now();
    strip.SetVisibleRows(192 * 700, 192 * 708);
    strip.SetSelection(std::pair{192 * 702, 192 * 704});
    QWidget empty;
    empty.resize(strip.size());
    QImage image(strip.size(), QImage::Format_RGB32);
    const double emptyMs = MedianRenderMs(empty, image);
    const double stripMs = MedianRenderMs(strip, image);
    std::printf("density strip, %d measures on %d px, %d paints, median per paint: %.4f ms "
                "(empty widget %.4f ms); SetDensity %.4f ms\n",
                kMeasures, kStripHeight, kFrames, stripMs, emptyMs,
                std::chrono::duration<double, std::milli>(end - start).count());
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    view_test::FakeOwner reference;
    view_test::FakeOwner dense;
    for (view_test::FakeOwner* owner : {&reference, &dense}) {
        owner->song.bpm = 180.0f;
        owner->song.gapSeconds = 0.2f;
        owner->player.durationSeconds = 300.0;
    }
    FillEighths(reference);
    FillDense(dense);
    view::CCustomDisplay referenceView(&reference);
    view::CCustomDisplay denseView(&dense);

    std::printf("step view, %d frames, per frame: reference (8ths, two arrows each) | dense "
                "(every 192nd, holds)\n",
                kFrames);
    for (int scale : {1, 2}) {
        const Figures ref = PaintFrames(referenceView, reference, scale);
        const Figures den = PaintFrames(denseView, dense, scale);
        std::printf("  %dx: median %.4f | %.4f ms (x%.2f), 95th percentile %.4f | %.4f ms\n", scale,
                    ref.medianMs, den.medianMs, den.medianMs / ref.medianMs, ref.p95Ms, den.p95Ms);
    }
    BenchDensityStrip();
    if (argc < 2) {
        return 0;
    }
    reference.player.fileName = argv[1];
    referenceView.SetWaveformVisible(true);
    // The peaks come from a worker: wait until they show (at most 30 s).
    QElapsedTimer waited;
    waited.start();
    const QImage blank = referenceView.RenderFrame(1).copy();
    while (referenceView.RenderFrame(1) == blank && waited.elapsed() < 30000) {
        QThread::msleep(10);
    }
    std::printf("reference with the waveform of %s behind the lanes:\n", argv[1]);
    for (int scale : {1, 2}) {
        const Figures figures = PaintFrames(referenceView, reference, scale);
        std::printf("  %dx: median %.4f ms, 95th percentile %.4f ms\n", scale, figures.medianMs,
                    figures.p95Ms);
    }
    return 0;
}
