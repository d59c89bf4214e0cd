// The main window's side of Find Tempo and of the waveform, kept apart from
// ChartEditorDlg.cpp: the dialog does the work, the window lends it the
// timing controls and the player.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
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
    m_findTempoStart = edit::SongTimingValues::Of(m_editor.Song());
    m_findTempoIndex.reset();
    FindTempoHooks hooks;
    hooks.setTiming = [this](float bpm, float gapSeconds) { ApplyFoundTempo(bpm, gapSeconds); };
    hooks.setTimingMap = [this](const audio::TimingMapFit& map) {
        edit::SongTimingValues next = m_findTempoStart;
        next.bpm = static_cast<float>(map.bpm);
        next.gapSeconds = static_cast<float>(map.gapSeconds);
        next.changes = map.changes;
        next.stops = map.stops;
        ApplyFoundTiming(std::move(next));
    };
    hooks.listenFrom = [this](double seconds) { ListenFrom(seconds); };
    hooks.stopListening = [this] { m_player.Pause(); };
    auto* dialog =
        new FindTempoDlg(song, m_timing.bpm, m_timing.gapSeconds, std::move(hooks), this);
    dialog->setObjectName(QStringLiteral("FindTempoDlg"));
    dialog->show();
}

// A candidate keeps the changes and stops the song had when the dialog
// opened: a map tried before it must not linger.
void CChartEditorDlg::ApplyFoundTempo(float bpm, float gapSeconds) {
    edit::SongTimingValues next = m_findTempoStart;
    next.bpm = bpm;
    next.gapSeconds = gapSeconds;
    ApplyFoundTiming(std::move(next));
}

void CChartEditorDlg::ApplyFoundTiming(edit::SongTimingValues next) {
    // Found for the song's timing, which the chart shown now does not follow.
    if (m_editor.SelectedHasOwnTiming()) {
        m_dialogs.ShowMessage(window_text::ToStd(window_text::kOwnTimingText));
        return;
    }
    // The click grid as the BPM and Gap controls would leave it.
    chart::TimingState clicks = Timing();
    chart::ApplyBpmAndGap(clicks, next.bpm, next.gapSeconds, m_player.PositionSeconds());
    next.gapSeconds = clicks.gapSeconds;
    const std::size_t before = m_editor.History().Index();
    m_windowTimingEdit = true;
    m_editor.SetTiming(next, m_findTempoMergeId);
    m_windowTimingEdit = false;
    {
        std::lock_guard<std::mutex> lock(m_timingLock);
        m_timing.nextClickSeconds = clicks.nextClickSeconds;
    }
    edit::UndoHistory& history = m_editor.History();
    if (history.Index() != before) {
        m_findTempoIndex = history.Index();
    }
    if (m_findTempoIndex == history.Index() &&
        edit::SongTimingValues::Of(m_editor.Song()) == m_findTempoStart) {
        m_editor.Undo();
        m_findTempoIndex.reset();
    }
    ShowBpm();
    ShowGap();
    RepaintStepView();
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
