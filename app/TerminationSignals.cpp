#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace app {

namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};
constexpr int kShellSignalBase = 128; // the status a shell reports for a signal
int s_pipe[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Nothing to do when the pipe is full: a signal is already waiting.
    [[maybe_unused]] const ssize_t written = write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    Q_ASSERT(s_pipe[0] < 0);
    if (pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the default actions stay: the program still ends
    }
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    for (int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    delete m_notifier;
    for (int& end : s_pipe) {
        if (end >= 0) {
            close(end);
            end = -1;
        }
    }
}

void TerminationSignals::Drain() {
    unsigned char byte = 0;
    int last = 0;
    while (read(s_pipe[0], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0 && m_onSignal) {
        m_onSignal(last);
    }
}

void ExitAfter(int delayMs, int signal) {
    std::thread([delayMs, signal] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        _exit(kShellSignalBase + signal);
    }).detach();
}

} // namespace app
