// Paints 1000 frames of a busy chart off-screen, as the window's 60 Hz
// refresh would while a song plays, and prints the median and 99th
// percentile time per frame at 1x and 2x scale; with a song path, also
// with that song's waveform behind the lanes.

#include "tests/view/FakeStepViewOwner.h"
#include "view/CCustomDisplay.h"

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

struct Figures {
    double medianMs;
    double p99Ms;
};

Figures PaintFrames(view::CCustomDisplay& display, view_test::FakeOwner& owner, int scale) {
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
    return {frameMs[kFrames / 2], frameMs[kFrames * 99 / 100]};
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    view_test::FakeOwner owner;
    owner.bpm = 180.0f;
    owner.gapSeconds = 0.2f;
    owner.player.durationSeconds = 300.0;
    // Two arrows in every slot: the most a frame can hold.
    const char kJumps[] = "1379AB";
    for (int slot = 0; slot < 2000; ++slot) {
        owner.chart.push_back(kJumps[slot % 6]);
    }
    view::CCustomDisplay display(&owner);

    std::printf("step view, %d frames of two-arrow slots, per frame:\n", kFrames);
    for (int scale : {1, 2}) {
        display.RenderFrame(scale); // scale the images before timing
        const Figures figures = PaintFrames(display, owner, scale);
        std::printf("  %dx: median %.4f ms, 99th percentile %.4f ms\n", scale, figures.medianMs,
                    figures.p99Ms);
    }
    if (argc < 2) {
        return 0;
    }
    owner.player.fileName = argv[1];
    display.SetWaveformVisible(true);
    // The peaks come from a worker: wait until they show (at most 30 s).
    QElapsedTimer waited;
    waited.start();
    const QImage blank = display.RenderFrame(1).copy();
    while (display.RenderFrame(1) == blank && waited.elapsed() < 30000) {
        QThread::msleep(10);
    }
    std::printf("with the waveform of %s behind the lanes:\n", argv[1]);
    for (int scale : {1, 2}) {
        const Figures figures = PaintFrames(display, owner, scale);
        std::printf("  %dx: median %.4f ms, 99th percentile %.4f ms\n", scale, figures.medianMs,
                    figures.p99Ms);
    }
    return 0;
}
