// Heavy work off the window thread: the window keeps running its events,
// questions are asked on its thread, the progress window shows only for
// long waits and steps aside for questions.
#include "app/BackgroundWork.h"

#include "WindowFixture.h"
#include "app/PleaseWaitDlg.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using app::BackgroundWork;
using app::CPleaseWaitDlg;

// Waits on the worker for what only the window thread's events can bring
// about. The deadline only stops a broken build from hanging the suite.
bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool ProgressVisible(const QWidget& window, const QString& text) {
    const auto* progress = window.findChild<CPleaseWaitDlg*>();
    return progress && progress->isVisible() && progress->ProgressText() == text;
}

TEST(BackgroundWork, WorkRunsOnAWorkerWhileTheWindowThreadKeepsRunningItsEvents) {
    QWidget window;
    window.show();
    std::atomic<int> ticks{0};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);

    BackgroundWork work(&window, QStringLiteral("Busy..."));
    std::thread::id workThread;
    std::thread::id askedOn;
    bool ticked = false;
    int answer = 0;
    work.Run([&] {
        workThread = std::this_thread::get_id();
        // Only a window thread that runs its event loop can tick the timer.
        const int before = ticks.load();
        ticked = WaitFor([&] { return ticks.load() >= before + 3; });
        answer = work.OnWindowThread([&] {
            askedOn = std::this_thread::get_id();
            return 42;
        });
    });
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_TRUE(ticked) << "the window thread was blocked";
    EXPECT_EQ(askedOn, std::this_thread::get_id());
    EXPECT_EQ(answer, 42);
    // From the window thread the call runs at once.
    EXPECT_EQ(work.OnWindowThread([] { return 7; }), 7);
}

TEST(BackgroundWork, ExceptionsReachTheCallerOfRun) {
    QWidget window;
    BackgroundWork work(&window, QStringLiteral("Busy..."));
    EXPECT_THROW(work.Run([] { throw std::runtime_error("in the work"); }), std::runtime_error);
    // One thrown by a call on the window thread goes back through the
    // worker, and the object can run again afterwards.
    bool caughtInWorker = false;
    EXPECT_THROW(work.Run([&] {
        try {
            work.OnWindowThread([] { throw std::length_error("asked"); });
        } catch (const std::length_error&) {
            caughtInWorker = true;
            throw;
        }
    }),
                 std::length_error);
    EXPECT_TRUE(caughtInWorker);
    bool ran = false;
    work.Run([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(BackgroundWork, ProgressShowsOnlyForLongWaitsAndStepsAsideForQuestions) {
    QWidget window;
    window.show();
    const QString text = QStringLiteral("Reading DWI file...");
    BackgroundWork work(&window, text);

    // Sampled on the window thread: what a user would see.
    std::atomic<bool> visible{false};
    std::atomic<bool> everVisible{false};
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        visible = ProgressVisible(window, text);
        everVisible = everVisible || visible;
    });
    sample.start(2);

    work.Run([] {});
    QApplication::processEvents();
    EXPECT_FALSE(everVisible) << "a short wait shows no window";

    bool shown = false;
    bool hiddenForQuestion = false;
    bool shownAgain = false;
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration shownAfter{};
    work.Run([&] {
        shown = WaitFor([&] { return visible.load(); });
        shownAfter = std::chrono::steady_clock::now() - started;
        hiddenForQuestion = work.OnWindowThread([&] { return !ProgressVisible(window, text); });
        shownAgain = WaitFor([&] { return visible.load(); });
    });
    EXPECT_TRUE(shown);
    EXPECT_GE(shownAfter, std::chrono::milliseconds(BackgroundWork::kShowDelayMs));
    EXPECT_TRUE(hiddenForQuestion);
    EXPECT_TRUE(shownAgain);
    EXPECT_FALSE(ProgressVisible(window, text)) << "gone when the work ends";
}

// Through the window: a large hostile file (empty records, 16 MiB) is read
// while the window's timers keep running, and the window takes what was
// read. Made on the window thread, the import would let no tick through
// (the scripted dialogs answer without an event loop of their own).
TEST_F(Window, ImportOfAHugeHostileFileKeepsTheWindowThreadRunning) {
    std::string text = "#BPM:140;\n#SINGLE:BASIC:3:8;\n";
    for (int i = 0; i < (1 << 23); ++i) {
        text += "\n#";
    }
    const std::string path = WriteFile(TempFolder("huge_import"), "hostile.dwi", text);
    LoadSong();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    Import(path);
    timer.stop();
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(window->Steps(), "8");
    EXPECT_EQ(Text(1010), "140.0");
    EXPECT_EQ(window->DwiFileName(), path);
}

} // namespace
