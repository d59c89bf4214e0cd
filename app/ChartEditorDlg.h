#pragma once

#include "app/AppServices.h"
#include "app/NoteTicks.h"
#include "chart/RangeActions.h"
#include "chart/SongTiming.h"
#include "chart/StepChart.h"
#include "chart/TapTempo.h"
#include "chart/TimingMap.h"
#include "edit/Recovery.h"
#include "edit/SongEditor.h"
#include "player/MediaPlayer.h"
#include "view/StepViewOwner.h"

#include <QMainWindow>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QDockWidget;
class QKeyEvent;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QResizeEvent;

namespace app {

class CColorLabel;
class ChartListPanel;
class CSpinButton;
class ChartOverview;
class EditActions;
class StepKeys;
class RecentSongsMenu;
class Settings;

// The main window. The song document (timing, charts, texts) lives in its
// edit::SongEditor and changes only through the editor's commands; the
// window shows it from the editor's notices and keeps the range, the DWI
// file name, the input mode, the metronome and the two workers. Everything
// is used on the window's thread only except m_timing and m_timingMap: a
// snapshot of the document's timing plus the next-click time, changed under
// m_timingLock, which the metronome worker takes for its click decision.
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

    // Unsaved work: the document is not at its history's clean mark (or was
    // restored from a crash and not saved since).
    bool HasUnsavedChanges() const;
    // The document and its editing (undo history, selected chart, snap).
    edit::SongEditor& Editor() { return m_editor; }
    const edit::SongEditor& Editor() const { return m_editor; }
    // The selected chart as half-beat slots, and its replacement by slots as
    // one undoable edit (for tests and tools that think in slots).
    chart::StepChart Steps() const;
    void SetSteps(const chart::StepChart& steps);
    // The document as a save would write it now (the chart not yet padded
    // to cover the song), and what it belongs to.
    std::string DocumentText() const;
    edit::RecoveryInfo DocumentInfo() const;
    // Changes with every change of the document (an edit, undo, redo, a
    // document opened): equal numbers, same document.
    std::uint64_t DocumentRevision() const { return m_documentRevision; }
    // Opens the song of a copy left by a crash and loads the copy; the work
    // counts as unsaved until the user saves it.
    bool RestoreRecovery(const edit::LeftRecovery& left);
    void ImportDwiFile();
    // True when the file was written.
    bool SaveDwiFile(bool alwaysAsk);
    // Makes song the document, clean, with the chart at shown selected.
    // read: the document came from dwiPath.
    void LoadDocument(chart::Song song, std::optional<std::size_t> shown,
                      const std::string& dwiPath, bool read);
    // With unsaved changes, asks "Save changes to NAME?": true when the work
    // was saved or may be dropped, false on Cancel (or a failed save).
    bool MaySetWorkAside();
    // The window's caption: "NAME* - Beatwright" while unsaved, the
    // program's name otherwise; NAME is the chart file's, else the song's.
    QString Caption() const;
    std::string DocumentName() const;
    void SetMode(std::int32_t mode);
    void ToggleMetronome();
    // "Options > Calibrate Timing...": modal; stores the offset on OK.
    void CalibrateTiming();
    void OnDoRangeAction();
    // Find Tempo: the dialog (FindTempoDlg.cpp), and what it asks of the window.
    void OpenFindTempo();
    void ApplyFoundTempo(float bpm, float gapSeconds);
    void ApplyFoundTiming(edit::SongTimingValues next);
    void ListenFrom(double positionSeconds);
    // The waveform behind the step view's lanes (View menu).
    void ShowWaveform(bool on);
    bool WaveformShown() const { return m_waveformOn; }
    // The exit question; true when the window is closing.
    bool OnCancel();

    // view::StepViewOwner
    player::MediaPlayer& Player() override { return m_player; }
    const chart::Song& Song() const override { return m_editor.Song(); }
    const chart::SongChart* ShownChart() const override { return m_editor.Selected(); }
    std::int32_t CellRows() const override { return m_editor.CellRows(); }
    int PixelsPerBeat() const override { return m_pixelsPerBeat; }
    void SetPixelsPerBeat(int pixels) override;
    void RowsShown(std::int32_t endRow) override;
    void ToggleNote(std::int32_t row, std::uint8_t column) override;
    void SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                 std::uint64_t mergeId) override;
    void SetRangeStart(std::int32_t cell) override;
    void SetRangeEnd(std::int32_t cell) override;
    void AddBpmChangeAt(std::int32_t row) override;
    void AddStopAt(std::int32_t row) override;
    void EditBpmChange(std::size_t index) override;
    void EditStop(std::size_t index) override;
    void RemoveBpmChange(std::size_t index) override;
    void RemoveStop(std::size_t index) override;
    view::SelectionOwner* Selection() override;

    void Undo();
    void Redo();
    // The range keeps the rows it stands for, rounded down to the new cells;
    // the snap is stored in the settings.
    void SetSnap(edit::Snap snap);

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

signals:
    // Raised on the window's thread after the exit was confirmed and the
    // workers have ended.
    void Closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The step view as wide as the shown chart's columns need.
    void FitStepViewWidth();
    // The least size of what the window shows now: its layout, a wider
    // step view, the chart list.
    void FitMinimumSize();
    void BuildChartList();
    // Keys held while the window loses the keyboard never report their
    // release: they are let go there.
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildControls();
    void BuildSnapList(QWidget* central);
    void Initialise();
    void ConnectPlayerEvents();

    // Settings (ChartEditorSettings.cpp).
    void BuildRecentSongsMenu(QMenu* fileMenu);
    void RestoreSettings();
    void StoreWindowSettings();
    void RememberSong(const std::string& path);
    void StoreSnap();

    // A tap of tap mode, pressed at pressedAtNs on the steady clock, at
    // song time position.
    void TapKey(std::int64_t pressedAtNs, double position);
    void SnapToNextSlot();

    // Player events, on the window's thread.
    void OnEndOfPlayback();
    void OnPlayStateChange(player::PlayState oldState, player::PlayState newState);
    void OnPositionChange(double oldPositionSeconds, double newPositionSeconds);
    void StartOfPlayingReaction();

    // Controls.
    void OnTimingControl(const std::function<void(chart::TimingState&, double)>& apply);
    void OnSampleSet(bool start);
    void SetSongSpeed(std::int32_t percent);

    // The number boxes take typed values; the keyboard otherwise rests on
    // the window's tap and step input (ChartEditorTyping.cpp).
    void ConnectTypedBoxes();
    void ReturnKeysToWindow();

    // The document's notices: the controls show what changed.
    void OnDocumentChanged(const edit::ChangeNotice& notice);
    void ShowTiming();
    // The BPM and Gap controls and Find Tempo stand still while the chart
    // shown plays by its own timing.
    void ShowSongInfo();
    void ShowChartInfo();
    void ShowUndoState();
    void ShowBpm();
    void ShowGap();
    void ShowReadout(CColorLabel* readout, const QString& text);
    void ShowRange();
    void SetInstructions(const QString& text);
    // Schedules a repaint of the step view; requests before it runs merge.
    void RepaintStepView();

    // The road for the window's timing edits: the change is made on a copy
    // of the timing, its BPM, Gap and sample bounds go to the document as
    // one command (mergeId 0: a command of its own), and its next-click time
    // is taken as it is. Window thread only.
    template <typename Change> void EditTiming(Change&& change, std::uint64_t mergeId = 0) {
        chart::TimingState next = Timing();
        change(next);
        CommitTiming(next, mergeId);
    }
    void CommitTiming(const chart::TimingState& next, std::uint64_t mergeId);
    // Changes only the window's own timing values (next click, speed).
    template <typename Change> void WithTimingLock(Change&& change) {
        {
            std::lock_guard<std::mutex> lock(m_timingLock);
            change(m_timing);
        }
        RepaintStepView();
    }
    std::uint64_t NewMergeId() { return m_nextMergeId++; }
    // The row the dialogs' beats stand for, and back.
    static double BeatOfRow(std::int32_t row);

    // "Options > Note Tick": the clap on the selected chart's notes.
    NoteTicks m_ticks;
    QAction* m_noteTickAction = nullptr;

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
    edit::SongEditor m_editor;
    mutable std::mutex m_timingLock;
    chart::TimingState m_timing; // guarded; BPM to sample end mirror the document
    chart::TimingMap m_timingMap{0.01f, 0.0f, {}, {}}; // guarded; the document's, for the metronome
    bool m_constantTempo = true;                       // guarded; no changes or stops
    chart::TapState m_taps;
    std::int32_t m_mode = kTapTempo;
    chart::EditRange m_range; // in cells of the snap
    std::string m_dwiFileName;
    // The charts as the file holds them (by source id): a save pads the
    // selected chart to cover the song only when it differs from its record.
    std::map<std::uint32_t, chart::SongChart> m_fileCharts;
    // A save pads the selected chart to the rows the step view has shown.
    std::int32_t m_rowsShown = 0;
    bool m_restoredUnsaved = false;
    // The document is a chart opened without its song; a silent stand-in
    // gives the view its timeline until a song is opened for it.
    bool m_withoutSound = false;
    std::uint64_t m_documentRevision = 0;
    std::uint64_t m_nextMergeId = 1;
    std::uint64_t m_tapMergeId = 0;
    std::unique_ptr<StepKeys> m_keys;
    // The toolkit of the Edit menu, and the selection.
    EditActions* m_actions = nullptr;
    // The selected chart's density and counts, under the chart list.
    ChartOverview* m_overview = nullptr;
    std::uint64_t m_titleMergeId = 0;
    std::uint64_t m_artistMergeId = 0;
    // Set while the window pushes its own timing edit or shows the document,
    // so that neither echoes back.
    bool m_windowTimingEdit = false;
    bool m_showingDocument = false;
    int m_pixelsPerBeat = 18;
    int m_stepViewBaseHeight = 0;
    // The controls under the step view and their tops in the layout: they
    // move down as the step view takes the height the window gains.
    std::vector<std::pair<QWidget*, int>> m_belowStepView;
    int m_stepViewBaseWidth = 0;
    int m_centralBaseWidth = 0;
    // The charts of the song, beside the window; shown by itself when a
    // document with more than one chart comes in.
    ChartListPanel* m_chartList = nullptr;
    QDockWidget* m_chartDock = nullptr;
    // Find Tempo's edits: their merge id, the timing before them, and the
    // history index just after their command.
    std::uint64_t m_findTempoMergeId = 0;
    edit::SongTimingValues m_findTempoStart;
    std::optional<std::size_t> m_findTempoIndex;
    // The Difficulty and Foot Rating lists' own items; a chart's value
    // outside them shows as one more item.
    static constexpr int kDifficultyItems = 10;
    static constexpr int kRatingItems = 99;

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
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QComboBox* m_snapList = nullptr;
    bool m_waveformOn = false;
    std::map<int, std::function<void()>> m_commands;
};

} // namespace app
