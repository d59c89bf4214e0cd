// Heavy work off the window thread: the window keeps running its events,
// questions are asked on its thread, the progress window shows only for
// long waits and steps aside for questions.
#include "app/BackgroundWork.h"

#include "WindowFixture.h"
#include "app/PleaseWaitDlg.h"

#include <QTimer>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using app::BackgroundWork;

// Waits on the worker for what only the window thread's events can bring
// about. The deadline only stops a broken build from hanging the suite.
bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

// The work runs on a worker while the window thread runs its events (only
// then can the timer tick); a call on the window thread answers the worker,
// and runs at once from the window thread itself. Exceptions reach the
// caller of Run, also one thrown on the window thread for the worker, and
// the object runs again afterwards.
TEST(BackgroundWork, RunsOnAWorkerAndAsksOnTheWindowThread) {
    QWidget window;
    window.show();
    std::atomic<int> ticks{0};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    BackgroundWork work(&window, QStringLiteral("Busy..."));
    std::thread::id workThread, askedOn;
    bool ticked = false;
    int answer = 0;
    work.Run([&] {
        workThread = std::this_thread::get_id();
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
    EXPECT_EQ(work.OnWindowThread([] { return 7; }), 7);

    EXPECT_THROW(work.Run([] { throw std::runtime_error("in the work"); }), std::runtime_error);
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
    const auto progressVisible = [&] {
        const auto* progress = window.findChild<app::CPleaseWaitDlg*>();
        return progress && progress->isVisible() && progress->ProgressText() == text;
    };
    // Sampled on the window thread: what a user would see.
    std::atomic<bool> visible{false}, everVisible{false};
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        visible = progressVisible();
        everVisible = everVisible || visible;
    });
    sample.start(2);
    work.Run([] {});
    QApplication::processEvents();
    EXPECT_FALSE(everVisible) << "a short wait shows no window";

    bool shown = false, hiddenForQuestion = false, shownAgain = false;
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration shownAfter{};
    work.Run([&] {
        shown = WaitFor([&] { return visible.load(); });
        shownAfter = std::chrono::steady_clock::now() - started;
        hiddenForQuestion = work.OnWindowThread([&] { return !progressVisible(); });
        shownAgain = WaitFor([&] { return visible.load(); });
    });
    EXPECT_TRUE(shown && hiddenForQuestion && shownAgain);
    EXPECT_GE(shownAfter, std::chrono::milliseconds(BackgroundWork::kShowDelayMs));
    EXPECT_FALSE(progressVisible()) << "gone when the work ends";
}

} // namespace
