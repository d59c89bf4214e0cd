#pragma once

#include "edit/Recovery.h"

#include <QObject>
#include <QTimer>
#include <string>

namespace app {

class CChartEditorDlg;
class UserDialogs;

// Keeps a copy of the unsaved work on disk while the program runs, so that
// a crash loses at most the last interval: on the window thread, from a
// timer, never while nothing changed since the last copy. Removed after a
// save (when nothing is unsaved any more) and at a clean exit.
class CrashRecovery : public QObject {
public:
    // intervalMs: 30 s unless BEATWRIGHT_RECOVERY_INTERVAL_MS says otherwise
    // (tests).
    CrashRecovery(CChartEditorDlg& window, edit::RecoveryStore store);
    ~CrashRecovery() override;

    // At start-up: offers the copies that crashed programs left, one by one.
    // True when one was restored.
    bool OfferLeftCopies(UserDialogs& dialogs);

    // Looks at the window now (the timer calls it).
    void Check();
    // A clean exit: the copy goes.
    void Finish();

    static int IntervalMs();

private:
    CChartEditorDlg& m_window;
    edit::RecoveryStore m_store;
    QTimer m_timer;
    std::string m_written; // the document of the copy on disk
};

// The question asked for a copy a crashed program left.
std::string RestoreQuestion(const std::string& songPath);

} // namespace app
