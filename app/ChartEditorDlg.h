#pragma once

#include "app/AppServices.h"
#include "chart/RangeActions.h"
#include "chart/SongTiming.h"
#include "chart/StepChart.h"
#include "chart/StepRandom.h"
#include "chart/TapTempo.h"
#include "edit/ImportedSong.h"
#include "edit/Recovery.h"
#include "player/MediaPlayer.h"
#include "view/StepViewOwner.h"

#include <QMainWindow>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QAction;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace app {

class CColorLabel;
class CSpinButton;
class RecentSongsMenu;
class Settings;

// The main window. It owns all song state: timing, chart, range, the DWI
// file name and the song's text fields, the input mode, the metronome and
// the two workers. Everything but the timing values is used on the window's
// thread only; BPM, Gap and the next-click time change under m_timingLock,
// which the metronome worker takes for its click decision.
class CChartEditorDlg : public QMainWindow, public view::StepViewOwner {
    Q_OBJECT
public:
    struct Services {
        player::MediaPlayer& player;
        player::ClickSound& click;
        UserDialogs& dialogs;
        TickClock& clock;
        TempoEstimator& estimator;
        // Makes the step view (control 1016); a blank placeholder when empty.
        std::function<QWidget*(QWidget* parent, view::StepViewOwner& owner)> makeStepView;
        // Makes the player's on-screen control (1001); a blank area when empty.
        std::function<QWidget*(QWidget* parent, player::MediaPlayer& player)> makePlayerControl;
        // What persists between runs; none: nothing is remembered.
        Settings* settings = nullptr;
        // A player loaded with player::CalibrationTrack, for "Calibrate
        // Timing..."; empty: the item says calibration cannot play.
        std::function<std::unique_ptr<player::MediaPlayer>()> makeCalibrationPlayer;
    };

    enum Mode : std::int32_t { kTapTempo = 1, kStepInput = 2 };

    explicit CChartEditorDlg(Services services, QWidget* parent = nullptr);
    ~CChartEditorDlg() override;

    // Menu commands by id; unknown ids do nothing.
    void OnCommand(int commandId);
    void OpenMusicFile();
    // True when the song was opened.
    bool OpenMusicFile(const std::string& path);
    // A .dwi with its song: the song opens as above, then the file's timing
    // and charts are loaded. Nothing changes when either cannot be opened.
    void OpenChart();
    bool OpenChartFile(const std::string& path);

    // Unsaved work: the window's values differ from those last opened or
    // saved (or were restored from a crash and not saved since).
    bool HasUnsavedChanges() const;
    // The document a save would write now, and what it belongs to.
    std::string DocumentText() const;
    edit::RecoveryInfo DocumentInfo() const;
    // Opens the song of a copy left by a crash and loads the copy; the work
    // counts as unsaved until the user saves it.
    bool RestoreRecovery(const edit::LeftRecovery& left);
    void ImportDwiFile();
    void SaveDwiFile(bool alwaysAsk);
    edit::WindowValues CurrentWindowValues() const;
    void MarkSaved() { m_savedValues = CurrentWindowValues(); }
    // Shows a song document in the window: its timing, texts and the chart
    // at shown as slots. read: the document came from dwiPath.
    void LoadDocument(chart::Song song, std::optional<std::size_t> shown,
                      const std::string& dwiPath, bool read);
    // Selects the stored difficulty (any case) and foot rating in their lists.
    void SelectDifficultyAndRating();
    void SetMode(std::int32_t mode);
    void ToggleMetronome();
    // "Options > Calibrate Timing...": modal; stores the offset on OK.
    void CalibrateTiming();
    void OnDoRangeAction();
    // Find Tempo: the dialog (FindTempoDlg.cpp), and what it asks of the window.
    void OpenFindTempo();
    void ApplyFoundTempo(float bpm, float gapSeconds);
    void ListenFrom(double positionSeconds);
    // The waveform behind the step view's lanes (View menu).
    void ShowWaveform(bool on);
    bool WaveformShown() const { return m_waveformOn; }
    // The exit question; true when the window is closing.
    bool OnCancel();

    // view::StepViewOwner
    player::MediaPlayer& Player() override { return m_player; }
    float Bpm() const override { return m_timing.bpm; }
    float GapSeconds() const override { return m_timing.gapSeconds; }
    chart::StepChart& Chart() override { return m_chart; }
    void SetRangeStart(std::int32_t slot) override;
    void SetRangeEnd(std::int32_t slot) override;

    // State as the user would see it, for tests and tools.
    chart::TimingState Timing() const;
    const chart::TapState& Taps() const { return m_taps; }
    std::int32_t CurrentMode() const { return m_mode; }
    const chart::EditRange& Range() const { return m_range; }
    const std::string& DwiFileName() const { return m_dwiFileName; }
    bool MetronomeOn() const { return m_metronomeOn.load(); }
    std::int32_t SongSpeed() const { return m_timing.songSpeedPercent; }
    double InputOffsetMs() const { return m_inputOffsetMs; }
    bool WorkersRunning() const { return m_stopCounter.load() == 0 && m_metronome.joinable(); }
    QWidget* StepView() const { return m_stepView; }

    // The rate the player gets for a song speed in percent.
    static double RateForSpeed(std::int32_t speedPercent);

signals:
    // Raised on the window's thread after the exit was confirmed and the
    // workers have ended.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildControls();
    void Initialise();
    void ConnectPlayerEvents();

    // Settings (ChartEditorSettings.cpp).
    void BuildRecentSongsMenu(QMenu* fileMenu);
    void RestoreSettings();
    void StoreWindowSettings();
    void RememberSong(const std::string& path);

    // Key presses (ChartEditorSettings.cpp): when a key was pressed on the
    // steady clock, from its event stamp, and the song time it stands for,
    // from the player's position then, less the input offset.
    static std::int64_t PressedAtNs(const QKeyEvent* event);
    double PressSongSeconds(std::int64_t pressedAtNs) const;

    // Keyboard filter: returns whether the key is consumed. A key bound for
    // an editable text box keeps only Enter's and Escape's window meaning.
    bool FilterKeyPress(QKeyEvent* event, bool intoTextBox);
    void TapKey(std::int64_t pressedAtNs);
    void StepInputKey(int key, bool keypad, std::int64_t pressedAtNs);
    void SnapToNextSlot();

    // Player events, on the window's thread.
    void OnEndOfPlayback();
    void OnPlayStateChange(player::PlayState oldState, player::PlayState newState);
    void OnPositionChange(double oldPositionSeconds, double newPositionSeconds);
    void StartOfPlayingReaction();

    // Controls.
    void OnBpmSpin(int delta);
    void OnGapSpin(int delta);
    void OnGapPlusHalfBeat();
    void OnGapMinusHalfBeat();
    void OnBpmDouble();
    void OnBpmHalve();
    void OnSampleStartSet();
    void OnSampleEndSet();
    void SetSongSpeed(std::int32_t percent);

    void ShowBpm();
    void ShowGap();
    void ShowReadout(CColorLabel* readout, const QString& text);
    void ShowRange();
    void SetInstructions(const QString& text);
    // Schedules a repaint of the step view; requests before it runs merge.
    void RepaintStepView();

    // The only roads by which the window changes what the step view shows
    // (the timing and the chart); each ends with the view's repaint, so no
    // change can be left unseen. Window thread only.
    template <typename Change> void WithTimingLock(Change&& change) {
        {
            std::lock_guard<std::mutex> lock(m_timingLock);
            change(m_timing);
        }
        RepaintStepView();
    }
    template <typename Change> void EditChart(Change&& change) {
        change(m_chart);
        RepaintStepView();
    }

    // Workers.
    void StartWorkers();
    void StopWorkers();
    void MetronomeLoop();
    void RefreshLoop();
    void WakeWorkers();

    player::MediaPlayer& m_player;
    player::ClickSound& m_click;
    UserDialogs& m_dialogs;
    TickClock& m_clock;
    TempoEstimator& m_estimator;
    Settings* m_settings = nullptr;
    std::function<std::unique_ptr<player::MediaPlayer>()> m_makeCalibrationPlayer;
    RecentSongsMenu* m_recentSongs = nullptr;
    double m_inputOffsetMs = 0.0;

    // Song state.
    mutable std::mutex m_timingLock;
    chart::TimingState m_timing;
    chart::TapState m_taps;
    std::int32_t m_mode = kTapTempo;
    chart::StepChart m_chart;
    chart::EditRange m_range;
    chart::StepRandom m_random;
    std::string m_dwiFileName;
    std::string m_title;
    std::string m_artist;
    std::string m_difficulty;
    std::uint32_t m_footRating = 1;
    // The file behind the chart after an import, so that a save keeps what
    // the window does not show.
    edit::ImportedSong m_imported;
    std::optional<edit::WindowValues> m_savedValues;

    // Workers: each increments the stop counter once as it ends; the exit
    // sets it to 1 and waits for 3.
    std::atomic<std::int32_t> m_stopCounter{0};
    std::atomic<bool> m_metronomeOn{true};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::uint64_t m_wakeGeneration = 0; // guarded by m_wakeMutex
    std::thread m_metronome;
    std::thread m_refresh;
    bool m_closing = false;
    bool m_keepClickOnRestart = false;
    bool m_toldSilent = false;

    // Controls, by id.
    QWidget* m_playerControl = nullptr;       // 1001
    CColorLabel* m_bpmReadout = nullptr;      // 1005
    CColorLabel* m_elapsedReadout = nullptr;  // 1006
    CColorLabel* m_lastHitReadout = nullptr;  // 1007
    QPlainTextEdit* m_instructions = nullptr; // 1008
    QLineEdit* m_bpmEdit = nullptr;           // 1010
    CSpinButton* m_bpmSpin = nullptr;         // 1011
    QLineEdit* m_gapEdit = nullptr;           // 1012
    CSpinButton* m_gapSpin = nullptr;         // 1013
    QWidget* m_stepView = nullptr;            // 1016
    QLineEdit* m_speedEdit = nullptr;         // 1021
    CSpinButton* m_speedSpin = nullptr;       // 1022
    QLineEdit* m_titleEdit = nullptr;         // 1023
    QLineEdit* m_artistEdit = nullptr;        // 1024
    QComboBox* m_difficultyList = nullptr;    // 1025
    QComboBox* m_footRatingList = nullptr;    // 1026
    QLineEdit* m_rangeStartEdit = nullptr;    // 1027
    QLineEdit* m_rangeEndEdit = nullptr;      // 1028
    QComboBox* m_rangeActionList = nullptr;   // 1029
    QLineEdit* m_jumpEdit = nullptr;          // 1031
    CSpinButton* m_jumpSpin = nullptr;        // 1032
    QLineEdit* m_maxJumpsEdit = nullptr;      // 1033
    CSpinButton* m_maxJumpsSpin = nullptr;    // 1034
    QLineEdit* m_sampleStartEdit = nullptr;   // 1039
    QLineEdit* m_sampleEndEdit = nullptr;     // 1041

    QAction* m_metronomeAction = nullptr; // 32778
    QAction* m_tapModeAction = nullptr;   // 32779
    QAction* m_stepModeAction = nullptr;  // 32780
    QAction* m_waveformAction = nullptr;
    bool m_waveformOn = false;
    std::map<int, std::function<void()>> m_commands;
};

} // namespace app
