#pragma once

#include "chart/Song.h"
#include "edit/Recovery.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace app {

class CChartEditorDlg;
class UserDialogs;

// Keeps a copy of the unsaved work on disk while the program runs, so that
// a crash loses at most the last interval: from a timer, never while
// nothing changed since the last copy. Removed after a save (when nothing is
// unsaved any more) and at a clean exit.
//
// The window thread only takes a snapshot of the document, and only when it
// changed and no write is in flight; writing the text out and the file I/O
// run on a worker, one write at a time (a tick during a write is skipped).
// A removal while a write is in flight cancels it, or removes what it wrote
// once it is done, so no stale copy outlives a save.
class CrashRecovery : public QObject {
public:
    // intervalMs: 30 s unless BEATWRIGHT_RECOVERY_INTERVAL_MS says otherwise
    // (tests). beforeWrite runs on the worker between making the text and
    // writing it (tests hold a write in flight with it).
    CrashRecovery(CChartEditorDlg& window, edit::RecoveryStore store,
                  std::function<void()> beforeWrite = {});
    // Lets a write in flight finish, and leaves the copy (a crash would).
    ~CrashRecovery() override;

    // Window thread. At start-up: offers the copies that crashed programs
    // left, one by one. True when one was restored.
    bool OfferLeftCopies(UserDialogs& dialogs);

    // Window thread. Looks at the window now (the timer calls it).
    void Check();
    // Window thread. A clean exit: waits for a write in flight, then the copy
    // goes.
    void Finish();

    // Window thread. The program ends now without a clean exit (a signal):
    // the unsaved work is written before this returns, and the copy stays
    // for the next start.
    void KeepNow();

    // Window thread. A write is in flight.
    bool Writing() const;
    // Window thread. Waits until no write is in flight.
    void Wait();

    static int IntervalMs();

private:
    void StartWrite(edit::RecoveryInfo info);
    void WriteOnWorker(const edit::RecoveryInfo& info);
    void RemoveCopy();
    void JoinWorker();

    CChartEditorDlg& m_window;
    edit::RecoveryStore m_store; // the worker's while a write is in flight
    std::function<void()> m_beforeWrite;
    QTimer m_timer;
    std::thread m_worker;

    // The document the last snapshot was taken of (window thread).
    std::optional<std::uint64_t> m_snapshotRevision;
    std::string m_snapshotInfo;
    // The document to write: read by the worker while a write is in flight,
    // assigned by the window thread only while none is.
    chart::Song m_snapshot;

    mutable std::mutex m_lock;
    bool m_writing = false; // guarded by m_lock
    bool m_cancel = false;  // guarded by m_lock: remove instead of keeping
    bool m_failed = false;  // guarded by m_lock: the last write failed
    // The document of the copy on disk: the worker's while a write is in
    // flight, the window thread's otherwise.
    std::string m_written;
    std::string m_writtenInfo;
};

// The question asked for a copy a crashed program left: its chart file, when
// it had one, and its song.
std::string RestoreQuestion(const edit::RecoveryInfo& info);

} // namespace app
