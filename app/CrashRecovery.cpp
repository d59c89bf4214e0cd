#include "app/CrashRecovery.h"

#include "app/AppServices.h"
#include "app/ChartEditorDlg.h"

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

std::string RestoreQuestion(const std::string& songPath) {
    const std::string song = songPath.empty() ? std::string("the song")
                                              : std::filesystem::path(songPath).filename().string();
    return "Beatwright was not closed properly. Restore the unsaved chart for " + song + "?";
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

CrashRecovery::CrashRecovery(CChartEditorDlg& window, edit::RecoveryStore store)
    : m_window(window), m_store(std::move(store)) {
    m_timer.setInterval(IntervalMs());
    connect(&m_timer, &QTimer::timeout, this, [this] { Check(); });
    m_timer.start();
}

CrashRecovery::~CrashRecovery() = default;

bool CrashRecovery::OfferLeftCopies(UserDialogs& dialogs) {
    for (const edit::LeftRecovery& left : m_store.FindLeft(IsRunning)) {
        const bool restore = dialogs.AskYesNo(RestoreQuestion(left.info.songPath), "Beatwright");
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
    if (!m_window.HasUnsavedChanges()) {
        if (!m_written.empty() || m_store.HasCopy()) {
            m_store.Remove();
            m_written.clear();
        }
        return;
    }
    const edit::RecoveryInfo info = m_window.DocumentInfo();
    if (info.songPath.empty()) {
        return; // nothing to play the chart against, nothing to restore
    }
    std::string document = m_window.DocumentText();
    if (document == m_written) {
        return;
    }
    if (!m_store.Write(info, document)) {
        m_written = std::move(document);
    }
}

void CrashRecovery::Finish() {
    m_timer.stop();
    m_store.Remove();
    m_written.clear();
}

} // namespace app
