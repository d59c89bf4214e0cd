#include "app/CrashRecovery.h"

#include "app/AppServices.h"
#include "app/ChartEditorDlg.h"
#include "simfile/SongFiles.h"

#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace app {

namespace {

constexpr int kDefaultIntervalMs = 30'000;

// A program with that id is running (any program: a reused id keeps its copy
// until that program ends, which errs on the side of keeping work).
bool IsRunning(std::int64_t pid) {
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

std::string RestoreQuestion(const edit::RecoveryInfo& info) {
    const auto name = [](const std::string& path) {
        return std::filesystem::path(path).filename().string();
    };
    const std::string song = info.songPath.empty() ? std::string("the song") : name(info.songPath);
    const std::string chart = info.dwiPath.empty() ? std::string() : " " + name(info.dwiPath);
    return "Beatwright was not closed properly. Restore the unsaved chart" + chart + " for " +
           song + "?";
}

int CrashRecovery::IntervalMs() {
    if (const char* text = std::getenv("BEATWRIGHT_RECOVERY_INTERVAL_MS")) {
        const long value = std::strtol(text, nullptr, 10);
        if (value >= 10 && value <= kDefaultIntervalMs) {
            return static_cast<int>(value);
        }
    }
    return kDefaultIntervalMs;
}

CrashRecovery::CrashRecovery(CChartEditorDlg& window, edit::RecoveryStore store,
                             std::function<void()> beforeWrite)
    : m_window(window), m_store(std::move(store)), m_beforeWrite(std::move(beforeWrite)) {
    m_timer.setInterval(IntervalMs());
    connect(&m_timer, &QTimer::timeout, this, [this] { Check(); });
    m_timer.start();
}

CrashRecovery::~CrashRecovery() {
    JoinWorker();
}

bool CrashRecovery::OfferLeftCopies(UserDialogs& dialogs) {
    for (const edit::LeftRecovery& left : m_store.FindLeft(IsRunning)) {
        const bool restore = dialogs.AskYesNo(RestoreQuestion(left.info), "Beatwright");
        if (restore && m_window.RestoreRecovery(left)) {
            // The copy now lives on as this program's own.
            m_store.RemoveLeft(left.pid);
            Check();
            return true;
        }
        m_store.RemoveLeft(left.pid);
    }
    return false;
}

void CrashRecovery::Check() {
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_window.HasUnsavedChanges()) {
        RemoveCopy();
        return;
    }
    edit::RecoveryInfo info = m_window.DocumentInfo();
    if (info.songPath.empty() && info.dwiPath.empty()) {
        return; // neither a song nor a chart file: nothing to come back to
    }
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_writing) {
            return; // the next tick takes what changed meanwhile
        }
        if (m_failed) {
            m_failed = false;
            m_snapshotRevision.reset(); // tried again on this tick
        }
    }
    const std::uint64_t revision = m_window.DocumentRevision();
    std::string infoText = edit::FormatRecoveryInfo(info);
    if (revision == m_snapshotRevision && infoText == m_snapshotInfo) {
        return;
    }
    m_snapshotRevision = revision;
    m_snapshotInfo = std::move(infoText);
    // Assigned, not built anew: the strings keep their buffers from the last
    // snapshot, so for a large document this is a copy of its bytes without
    // allocating (and faulting in) them again.
    m_snapshot = m_window.Editor().Song();
    StartWrite(std::move(info));
}

void CrashRecovery::StartWrite(edit::RecoveryInfo info) {
    JoinWorker(); // done already: only its thread is left
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_writing = true;
        m_cancel = false;
    }
    m_worker = std::thread([this, info = std::move(info)] { WriteOnWorker(info); });
}

void CrashRecovery::WriteOnWorker(const edit::RecoveryInfo& info) {
    std::string document = sm::WriteAnySong(m_snapshot);
    if (m_beforeWrite) {
        m_beforeWrite();
    }
    bool cancelled = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        cancelled = m_cancel;
    }
    // A change undone since the last copy, or one that the file's text
    // does not show, leaves the same copy.
    std::string infoText = edit::FormatRecoveryInfo(info);
    if (!cancelled && (document != m_written || infoText != m_writtenInfo)) {
        if (!m_store.Write(info, document)) {
            m_written = std::move(document);
            m_writtenInfo = std::move(infoText);
        } else {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_failed = true;
        }
    }
    {
        // A removal asked for while this write ran would find it in flight
        // and leave the copy to this thread; checked under the same lock
        // that ends the write, so it cannot slip in between.
        const std::lock_guard<std::mutex> lock(m_lock);
        if (!m_cancel) {
            m_writing = false;
            return;
        }
    }
    m_store.Remove();
    m_written.clear();
    m_writtenInfo.clear();
    const std::lock_guard<std::mutex> lock(m_lock);
    m_writing = false;
}

void CrashRecovery::RemoveCopy() {
    m_snapshotRevision.reset();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_writing) {
            m_cancel = true; // the worker removes the copy when it is done
            return;
        }
    }
    m_snapshot = chart::Song(); // its buffers may be large
    if (!m_written.empty() || m_store.HasCopy()) {
        m_store.Remove();
        m_written.clear();
        m_writtenInfo.clear();
    }
}

bool CrashRecovery::Writing() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_writing;
}

void CrashRecovery::Wait() {
    JoinWorker();
}

void CrashRecovery::JoinWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CrashRecovery::KeepNow() {
    Q_ASSERT(QThread::currentThread() == thread());
    m_timer.stop();
    JoinWorker(); // a write in flight may hold an older snapshot
    Check();
    JoinWorker();
}

void CrashRecovery::Finish() {
    Q_ASSERT(QThread::currentThread() == thread());
    m_timer.stop();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_cancel = true;
    }
    JoinWorker();
    m_store.Remove();
    m_written.clear();
    m_writtenInfo.clear();
    m_snapshotRevision.reset();
}

} // namespace app
