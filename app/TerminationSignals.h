#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace app {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C in the
// terminal) into a call on the window thread, where the program can keep the
// unsaved work before it ends. The handler only writes the signal's number
// to a pipe, the one thing a handler may safely do. One instance at a time;
// the default actions come back when it goes.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void Drain();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

// Ends the process with the status of the signal when it is still alive
// after delayMs: the last resort when something on the way out hangs (a
// modal loop, a sound server that does not answer).
void ExitAfter(int delayMs, int signal);

} // namespace app
