#include "app/BackgroundWork.h"

#include "app/PleaseWaitDlg.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cassert>
#include <exception>
#include <thread>

namespace app {

BackgroundWork::BackgroundWork(QWidget* window, QString text)
    : m_window(window), m_text(std::move(text)) {
    assert(QThread::currentThread() == m_window->thread());
}

BackgroundWork::~BackgroundWork() = default;

void BackgroundWork::Run(const std::function<void()>& work) {
    assert(QThread::currentThread() == m_window->thread());
    assert(!m_running);
    m_running = true;
    m_delayPassed = false;
    QEventLoop loop;
    QTimer delay;
    delay.setSingleShot(true);
    // A coarse timer may fire 5 % early.
    delay.setTimerType(Qt::PreciseTimer);
    QObject::connect(&delay, &QTimer::timeout, &loop, [this] {
        m_delayPassed = true;
        UpdateProgress();
    });
    delay.start(kShowDelayMs);

    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();

    m_running = false;
    UpdateProgress();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void BackgroundWork::RunOnWindowThread(const std::function<void()>& call) {
    if (QThread::currentThread() == m_window->thread()) {
        call();
        return;
    }
    // The window thread is inside Run's loop, which takes queued calls: the
    // blocking call cannot deadlock.
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        m_window,
        [&] {
            ++m_asking;
            UpdateProgress();
            try {
                call();
            } catch (...) {
                failure = std::current_exception();
            }
            --m_asking;
            UpdateProgress();
        },
        Qt::BlockingQueuedConnection);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// Window thread.
void BackgroundWork::UpdateProgress() {
    const bool visible = m_running && m_delayPassed && m_asking == 0;
    if (visible && !m_progress) {
        m_progress = std::make_unique<CPleaseWaitDlg>(m_window);
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->SetText(m_text);
    }
    if (m_progress && m_progress->isVisible() != visible) {
        m_progress->setVisible(visible);
    }
}

} // namespace app
