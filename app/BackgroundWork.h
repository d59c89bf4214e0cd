#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

namespace app {

class CPleaseWaitDlg;

// Work that may take long (reading a huge or hostile file, decoding a whole
// song) run on a worker thread, so that the window thread stays free: while
// the work runs, the window thread runs a nested event loop that paints,
// fires timers and delivers player events but takes no user input (that
// waits until the work is done). Work that takes longer than kShowDelayMs
// shows the "Please wait..." window with a text, modal, until it ends.
//
// The work must not touch widgets or the window's state; what it must ask
// or tell the user goes through OnWindowThread.
class BackgroundWork {
public:
    // Long enough that a file of ordinary size (tens of milliseconds) never
    // flashes the window; short enough that a wait is seen to be one.
    static constexpr int kShowDelayMs = 250;

    // Window thread only. `window` parents the progress window and must
    // outlive this object.
    BackgroundWork(QWidget* window, QString text);
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Window thread only, not from within a work. Runs `work` on a worker
    // thread and returns when it has finished; an exception it throws is
    // thrown again here.
    void Run(const std::function<void()>& work);

    // Runs `call` on the window thread and returns its result. From the
    // work, the worker waits for it, and the progress window steps aside
    // meanwhile so that a question or message shows alone; an exception
    // `call` throws is thrown again in the worker. On the window thread,
    // `call` runs at once.
    template <typename Call> std::invoke_result_t<Call&> OnWindowThread(Call&& call) {
        using Result = std::invoke_result_t<Call&>;
        if constexpr (std::is_void_v<Result>) {
            RunOnWindowThread([&call] { call(); });
        } else {
            std::optional<Result> result;
            RunOnWindowThread([&call, &result] { result.emplace(call()); });
            return std::move(*result);
        }
    }

private:
    void RunOnWindowThread(const std::function<void()>& call);
    void UpdateProgress();

    QWidget* m_window;
    QString m_text;
    std::unique_ptr<CPleaseWaitDlg> m_progress; // made when first shown
    bool m_running = false;
    bool m_delayPassed = false;
    int m_asking = 0; // calls from the work now running on the window thread
};

} // namespace app
