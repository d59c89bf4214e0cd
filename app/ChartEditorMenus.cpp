// The window's menus, their commands and the input modes.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ChartListPanel.h"
#include "app/ChartOverview.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/EditActions.h"
#include "app/Settings.h"
#include "view/CDensityStrip.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace app {

using namespace window_text;

void CChartEditorDlg::BuildMenus() {
    struct Item {
        const char* text;
        int id;
    };
    const auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
        for (const Item& item : items) {
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setObjectName(QString::number(item.id));
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addItems(file, {{"&Open Music File", kCmdOpenMusicFile},
                    {"Open &Chart...", kCmdOpenChart},
                    {"&Import DWI File", kCmdImportDwiFile},
                    {"&Save", kCmdSave},
                    {"Save &As", kCmdSaveAs}});
    BuildRecentSongsMenu(file);
    file->addSeparator();
    addItems(file, {{"E&xit", kCmdExit}});
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    addItems(edit, {{"&Undo", kCmdUndo}, {"&Redo", kCmdRedo}});
    m_undoAction = edit->actions().at(0);
    m_redoAction = edit->actions().at(1);
    m_actions->AddTo(edit);
    addItems(edit, {{"&Finer Snap", kCmdFinerSnap}, {"&Coarser Snap", kCmdCoarserSnap}});
    // The usual keys, where the window's own do not use them.
    const std::pair<int, QList<QKeySequence>> keys[] = {
        {kCmdOpenChart, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {kCmdSave, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {kCmdSaveAs, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}},
        {kCmdExit, {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
        {kCmdUndo, {QKeySequence(Qt::CTRL | Qt::Key_Z)}},
        {kCmdRedo,
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}},
        {kCmdFinerSnap, {QKeySequence(Qt::CTRL | Qt::Key_Right)}},
        {kCmdCoarserSnap, {QKeySequence(Qt::CTRL | Qt::Key_Left)}},
    };
    for (const auto& [id, sequences] : keys) {
        findChild<QAction*>(QString::number(id))->setShortcuts(sequences);
    }
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    addItems(options, {{"Play Metronome Sound", kCmdToggleMetronome},
                       {"Calibrate Timing...", kCmdCalibrateTiming},
                       {"Find Tempo and First Beat...", kCmdFindTempo}});
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    addItems(viewMenu, {{"&Waveform", kCmdToggleWaveform}, {"&Chart List", kCmdToggleChartList}});
    QMenu* mode = menuBar()->addMenu(QStringLiteral("&Mode"));
    addItems(mode, {{"&Tap Tempo/BPM", kCmdTapTempoMode}, {"&Step Data Input", kCmdStepInputMode}});
    QAction* about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QString::number(kCmdAbout));
    connect(about, &QAction::triggered, this, [this] { OnCommand(kCmdAbout); });
    // A menu closed with Escape leaves the menu bar holding the keyboard,
    // seen only as a highlighted title: taps and steps would go to it.
    for (QAction* top : menuBar()->actions()) {
        if (QMenu* menu = top->menu()) {
            connect(menu, &QMenu::aboutToHide, this, [this] {
                QTimer::singleShot(0, this, [this] {
                    if (QApplication::activePopupWidget() == nullptr && menuBar()->hasFocus()) {
                        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                        QCoreApplication::sendEvent(menuBar(), &escape);
                    }
                });
            });
        }
    }

    m_metronomeAction = options->actions().at(0);
    // No command id: nothing but this item (and the settings) toggles it.
    m_noteTickAction = new QAction(QStringLiteral("Note Tick"), options);
    m_noteTickAction->setObjectName(QStringLiteral("noteTick"));
    m_noteTickAction->setCheckable(true);
    options->insertAction(options->actions().at(1), m_noteTickAction);
    connect(m_noteTickAction, &QAction::triggered, this, [this](bool on) {
        m_ticks.SetOn(on);
        if (m_settings != nullptr) {
            m_settings->SetNoteTickOn(on);
        }
        WakeWorkers();
    });
    m_tapModeAction = mode->actions().at(0);
    m_stepModeAction = mode->actions().at(1);
    for (QAction* action : {m_metronomeAction, m_tapModeAction, m_stepModeAction}) {
        action->setCheckable(true);
    }
    m_metronomeAction->setChecked(true);
    m_tapModeAction->setChecked(true);
    m_waveformAction = viewMenu->actions().at(0);
    m_waveformAction->setCheckable(true); // off at start: the step view as it always was

    m_commands = {
        {kCmdOpenMusicFile, [this] { OpenMusicFile(); }},
        {kCmdOpenChart, [this] { OpenChart(); }},
        {kCmdImportDwiFile, [this] { ImportDwiFile(); }},
        {kCmdSave, [this] { SaveDwiFile(false); }},
        {kCmdSaveAs, [this] { SaveDwiFile(true); }},
        {kCmdExit, [this] { OnCancel(); }},
        {kCmdToggleMetronome, [this] { ToggleMetronome(); }},
        {kCmdCalibrateTiming, [this] { CalibrateTiming(); }},
        {kCmdTapTempoMode,
         [this] {
             SetMode(kTapTempo);
             m_tapModeAction->setChecked(true);
             m_stepModeAction->setChecked(false);
         }},
        {kCmdStepInputMode,
         [this] {
             SetMode(kStepInput);
             m_tapModeAction->setChecked(false);
             m_stepModeAction->setChecked(true);
         }},
        {kCmdAbout, [this] { m_dialogs.ShowAbout(); }},
        {kCmdFindTempo, [this] { OpenFindTempo(); }},
        {kCmdToggleWaveform, [this] { ShowWaveform(!m_waveformOn); }},
        {kCmdUndo, [this] { Undo(); }},
        {kCmdRedo, [this] { Redo(); }},
        {kCmdFinerSnap, [this] { SetSnap(edit::FinerSnap(m_editor.CurrentSnap())); }},
        {kCmdCoarserSnap, [this] { SetSnap(edit::CoarserSnap(m_editor.CurrentSnap())); }},
        {kCmdToggleChartList, [this] { m_chartDock->setVisible(!m_chartDock->isVisible()); }},
    };
    ShowUndoState();
}

void CChartEditorDlg::BuildChartList() {
    ChartListQuestions questions;
    questions.askYesNo = [this](std::string_view text, std::string_view caption) {
        return m_dialogs.AskYesNo(text, caption);
    };
    questions.chooseNewChart = [this]() -> std::optional<NewChartChoice> {
        NewChartChoice start;
        if (const chart::SongChart* chart = m_editor.Selected()) {
            start.style = chart->style;
        }
        return NewChartDialog::Ask(this, start);
    };
    m_chartList = new ChartListPanel(m_editor, std::move(questions));
    m_overview = new ChartOverview(m_editor, this);
    m_overview->Strip()->onSeekRow = [this](std::int32_t row) {
        const double seconds =
            m_editor.Timing().SecondsAt(static_cast<double>(row) / chart::kRowsPerBeat);
        if (m_player.HasTimeline() && std::isfinite(seconds)) {
            m_player.SetPositionSeconds(std::clamp(seconds, 0.0, m_player.DurationSeconds()));
            RepaintStepView();
        }
    };
    // The list with the chart's density beside it and its counts below.
    auto* charts = new QWidget;
    auto* layout = new QGridLayout(charts);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_chartList, 0, 0);
    layout->addWidget(m_overview->Strip(), 0, 1);
    layout->addWidget(m_overview->StatsLine(), 1, 0, 1, 2);
    m_chartDock = new QDockWidget(QStringLiteral("Charts"), this);
    m_chartDock->setObjectName(QStringLiteral("charts"));
    m_chartDock->setWidget(charts);
    m_chartDock->setFeatures(QDockWidget::DockWidgetClosable);
    m_chartDock->setAllowedAreas(Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, m_chartDock);
    // Hidden at start: one chart needs no list, and the window keeps its look.
    m_chartDock->hide();
    QAction* toggle = findChild<QAction*>(QString::number(kCmdToggleChartList));
    toggle->setCheckable(true);
    connect(m_chartDock, &QDockWidget::visibilityChanged, toggle,
            [toggle](bool visible) { toggle->setChecked(visible); });
}

void CChartEditorDlg::OnCommand(int commandId) {
    const auto found = m_commands.find(commandId);
    if (found != m_commands.end()) {
        found->second();
    }
}

// --- Modes and keyboard -----------------------------------------------------

void CChartEditorDlg::SetMode(std::int32_t mode) {
    if (mode == kTapTempo) {
        // A new series; the tempo and Gap stand until its first interval.
        WithTimingLock([&](chart::TimingState&) {
            chart::ArmAfterOpening(m_taps);
            m_mode = kTapTempo;
        });
        SetInstructions(kTapModeText);
        for (CColorLabel* readout : {m_elapsedReadout, m_lastHitReadout}) {
            ShowReadout(readout, kZeroReadout);
        }
    } else if (mode == kStepInput) {
        WithTimingLock([&](chart::TimingState&) {
            m_mode = kStepInput;
            m_taps.tappingStarted = false;
        });
        SetInstructions(kStepModeText);
    }
}

} // namespace app
