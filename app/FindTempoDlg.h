#pragma once

#include "audio/TimingMapFinder.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace app {

// What the dialog asks of the main window. Window thread only.
struct FindTempoHooks {
    // Sets BPM and Gap as the BPM and Gap controls would.
    std::function<void(float bpm, float gapSeconds)> setTiming;
    // Plays the song from a song time with the metronome on.
    std::function<void(double fromSeconds)> listenFrom;
    // Stops what listenFrom started.
    std::function<void()> stopListening;
    // Sets BPM, Gap, tempo changes and stops at once (a timing map). None:
    // the dialog offers no map.
    std::function<void(const audio::TimingMapFit& map)> setTimingMap = {};
};

// "Find Tempo and First Beat": analyses the song on a worker thread with a
// progress bar (Cancel ends the run), then lists the candidates, under a
// timing map (BPM changes and stops) when no constant tempo keeps to the
// song's beats. "Listen"
// plays from the chosen candidate's first beat with its tempo on the
// metronome; "Apply" keeps the chosen candidate as BPM and Gap. Closing
// without applying puts back the BPM and Gap the window had when the
// dialog opened, if Listen changed them. Deletes itself when closed.
class FindTempoDlg : public QDialog {
    Q_OBJECT
public:
    FindTempoDlg(const std::string& songPath, float bpm, float gapSeconds, FindTempoHooks hooks,
                 QWidget* parent = nullptr);
    ~FindTempoDlg() override;

    // For tests and tools: the candidates once found, and the buttons.
    const std::vector<audio::TempoCandidate>& Candidates() const { return m_candidates; }
    // The map offered in the first row, if any.
    const std::optional<audio::TimingMapFit>& OfferedMap() const { return m_map; }
    bool Finished() const { return m_finder == nullptr; }
    void SelectCandidate(int row);
    void Listen();
    void Apply();

protected:
    void done(int result) override;

private:
    void Poll();
    void ShowOutcome(const audio::Result<audio::TimingSearch>& outcome);
    const audio::TempoCandidate* Selected() const;
    bool MapSelected() const;
    // Sets the selected row's timing; false when none is selected.
    bool SetSelectedTiming();

    FindTempoHooks m_hooks;
    float m_originalBpm;
    float m_originalGapSeconds;
    bool m_timingChanged = false;
    std::unique_ptr<audio::TimingFinder> m_finder;
    std::vector<audio::TempoCandidate> m_candidates;
    std::optional<audio::TimingMapFit> m_map; // the first row when set

    QLabel* m_status;
    QProgressBar* m_progress;
    QTreeWidget* m_list;
    QPushButton* m_listenButton;
    QPushButton* m_applyButton;
    QPushButton* m_closeButton;
    QTimer* m_pollTimer;
};

} // namespace app
