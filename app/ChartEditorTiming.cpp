// Player events, song speed, the timing controls and the range actions.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ColorLabel.h"
#include "app/Settings.h"
#include "app/SpinButton.h"

#include <QComboBox>
#include <QLineEdit>

namespace app {

using namespace window_text;

// --- Player events, speed and metronome ------------------------------------

void CChartEditorDlg::OnEndOfPlayback() {
    m_player.SetPositionSeconds(0.0);
    WithTimingLock([](chart::TimingState& timing) {
        timing.nextClickSeconds = static_cast<double>(timing.gapSeconds);
    });
    // The rewind's position event and the start of playing that follow would
    // re-anchor one beat past the Gap; after a loop the first click belongs
    // on the Gap itself.
    m_keepClickOnRestart = true;
    m_player.Play();
    m_player.SetRate(chart::RateForSpeed(m_timing.songSpeedPercent));
}

void CChartEditorDlg::OnPlayStateChange(player::PlayState /*oldState*/,
                                        player::PlayState newState) {
    if (newState == player::PlayState::kPlaying) {
        StartOfPlayingReaction();
    }
    RepaintStepView();
    // The refresh worker paints every frame while the song plays only.
    WakeWorkers();
}

void CChartEditorDlg::StartOfPlayingReaction() {
    m_player.SetRate(chart::RateForSpeed(m_timing.songSpeedPercent));
    if (m_keepClickOnRestart) {
        m_keepClickOnRestart = false;
        return;
    }
    WithTimingLock([this](chart::TimingState& timing) {
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                   m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
    });
}

void CChartEditorDlg::OnPositionChange(double /*oldPositionSeconds*/, double newPositionSeconds) {
    if (m_keepClickOnRestart && newPositionSeconds == 0.0) {
        // The rewind of a loop restart: its click stays on the Gap.
        RepaintStepView();
        return;
    }
    WithTimingLock([newPositionSeconds](chart::TimingState& timing) {
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds), newPositionSeconds,
                                   chart::BeatSeconds(timing.bpm));
    });
}

void CChartEditorDlg::SetSongSpeed(std::int32_t percent) {
    WithTimingLock([percent](chart::TimingState& timing) { timing.songSpeedPercent = percent; });
    m_speedEdit->setText(QString::number(static_cast<std::uint32_t>(percent)));
    m_player.SetRate(chart::RateForSpeed(percent));
    if (m_settings != nullptr) {
        m_settings->SetSongSpeedPercent(percent);
    }
}

void CChartEditorDlg::ToggleMetronome() {
    const bool on = !m_metronomeOn.load();
    m_metronomeOn = on;
    m_metronomeAction->setChecked(on);
    if (m_settings != nullptr) {
        m_settings->SetMetronomeOn(on);
    }
    if (on) {
        StartOfPlayingReaction();
    }
    WakeWorkers();
}

// --- Timing controls --------------------------------------------------------

// One undo step each, made at the song's position; the boxes follow.
void CChartEditorDlg::OnTimingControl(
    const std::function<void(chart::TimingState&, double)>& apply) {
    const double position = m_player.PositionSeconds();
    EditTiming([&](chart::TimingState& timing) { apply(timing, position); });
    ShowBpm();
    ShowGap();
}

// Each bound is set where it is; the other stays where it was shown.
void CChartEditorDlg::OnSampleSet(bool start) {
    const float seconds = chart::SamplePointAt(m_player.PositionSeconds());
    EditTiming([&](chart::TimingState& timing) {
        (start ? timing.sampleStartSeconds : timing.sampleEndSeconds) = seconds;
    });
    (start ? m_sampleStartEdit : m_sampleEndEdit)
        ->setText(
            FormatSampleTime(start ? m_timing.sampleStartSeconds : m_timing.sampleEndSeconds));
}

// --- Range actions ------------------------------------------------------------

void CChartEditorDlg::OnDoRangeAction() {
    chart::RangeActionRequest request;
    // An editable list: text that names no item means nothing is selected.
    const int index = m_rangeActionList->findText(m_rangeActionList->currentText(),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        request.action = static_cast<chart::RangeAction>(index);
    }
    request.randomize.jumpProbabilityPercent = m_jumpSpin->Position();
    request.randomize.maxJumpsInARow = m_maxJumpsSpin->Position();
    const chart::RangeActionOutcome outcome = m_editor.DoRangeAction(
        m_range, request, [this](std::string_view text, std::string_view caption) {
            return m_dialogs.AskYesNo(text, caption);
        });
    switch (outcome) {
    case chart::RangeActionOutcome::kInvalidRange:
        m_dialogs.ShowMessage(chart::kRangeInvalidMessage);
        break;
    case chart::RangeActionOutcome::kChartChanged:
        ShowRange();
        break;
    case chart::RangeActionOutcome::kNoAction:
    case chart::RangeActionOutcome::kDeclined:
        break;
    }
}

} // namespace app
