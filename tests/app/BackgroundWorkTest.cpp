// Heavy work off the window thread.
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

// The work runs on a worker while the window thread runs its events: the
// progress window (sampled there, as a user would see it) shows only for a
// long wait, steps aside while the worker asks something on the window
// thread, and goes when the work ends. Exceptions reach the caller of Run,
// also one thrown on the window thread for the worker, and the object runs
// again afterwards.
TEST(BackgroundWork, RunsOnAWorkerAndShowsProgressOnlyForLongWaits) {
    QWidget window;
    window.show();
    const QString text = QStringLiteral("Reading DWI file...");
    BackgroundWork work(&window, text);
    const auto progressVisible = [&] {
        const auto* progress = window.findChild<app::CPleaseWaitDlg*>();
        return progress && progress->isVisible() && progress->ProgressText() == text;
    };
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

    std::thread::id worker, askedOn;
    bool shown = false, shownAgain = false;
    int hiddenForQuestion = 0;
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration shownAfter{};
    work.Run([&] {
        worker = std::this_thread::get_id();
        shown = WaitFor([&] { return visible.load(); });
        shownAfter = std::chrono::steady_clock::now() - started;
        hiddenForQuestion = work.OnWindowThread([&] {
            askedOn = std::this_thread::get_id();
            return progressVisible() ? 1 : 2;
        });
        shownAgain = WaitFor([&] { return visible.load(); });
    });
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(askedOn, std::this_thread::get_id());
    EXPECT_TRUE(shown && shownAgain);
    EXPECT_EQ(hiddenForQuestion, 2);
    EXPECT_GE(shownAfter, std::chrono::milliseconds(BackgroundWork::kShowDelayMs));
    EXPECT_FALSE(progressVisible()) << "gone when the work ends";
    EXPECT_EQ(work.OnWindowThread([] { return 7; }), 7) << "at once from the window thread";

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

} // namespace
