// The main window's side of Find Tempo and of the waveform, kept apart from
// ChartEditorDlg.cpp: the dialog does the work, the window lends it the
// timing controls and the player.
#include "app/ChartEditorDlg.h"
#include "app/FindTempoDlg.h"

#include <QAction>

namespace app {

void CChartEditorDlg::OpenFindTempo() {
    const std::string song = m_player.FileName();
    if (song.empty()) {
        m_dialogs.ShowMessage("Open a music file first.");
        return;
    }
    // Everything one dialog does to the timing is one undo step; a preview
    // that ends where it began leaves no step at all.
    m_findTempoMergeId = NewMergeId();
    m_findTempoStart = {m_timing.bpm, m_timing.gapSeconds};
    m_findTempoIndex.reset();
    FindTempoHooks hooks;
    hooks.setTiming = [this](float bpm, float gapSeconds) { ApplyFoundTempo(bpm, gapSeconds); };
    hooks.listenFrom = [this](double seconds) { ListenFrom(seconds); };
    hooks.stopListening = [this] { m_player.Pause(); };
    auto* dialog =
        new FindTempoDlg(song, m_timing.bpm, m_timing.gapSeconds, std::move(hooks), this);
    dialog->setObjectName(QStringLiteral("FindTempoDlg"));
    dialog->show();
}

void CChartEditorDlg::ApplyFoundTempo(float bpm, float gapSeconds) {
    const std::size_t before = m_editor.History().Index();
    EditTiming(
        [&](chart::TimingState& timing) {
            chart::ApplyBpmAndGap(timing, bpm, gapSeconds, m_player.PositionSeconds());
        },
        m_findTempoMergeId);
    edit::UndoHistory& history = m_editor.History();
    if (history.Index() != before) {
        m_findTempoIndex = history.Index();
    }
    const chart::Song& song = m_editor.Song();
    if (m_findTempoIndex == history.Index() && song.bpm == m_findTempoStart.first &&
        song.gapSeconds == m_findTempoStart.second) {
        m_editor.Undo();
        m_findTempoIndex.reset();
    }
    ShowBpm();
    ShowGap();
}

void CChartEditorDlg::ListenFrom(double positionSeconds) {
    if (!m_metronomeOn.load()) {
        ToggleMetronome();
    }
    m_player.SetPositionSeconds(positionSeconds);
    m_player.Play();
}

void CChartEditorDlg::ShowWaveform(bool on) {
    m_waveformOn = on;
    m_waveformAction->setChecked(on);
    // A placeholder step view has no waveform: the call then does nothing.
    QMetaObject::invokeMethod(m_stepView, "SetWaveformVisible", Q_ARG(bool, on));
}

} // namespace app
