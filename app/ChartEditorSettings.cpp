// The main window's settings, recent songs, calibration and key press
// times: kept apart from ChartEditorDlg.cpp, which holds the window itself.
#include "app/CalibrationDlg.h"
#include "app/ChartEditorDlg.h"
#include "app/RecentSongsMenu.h"
#include "app/Settings.h"
#include "app/SpinButton.h"
#include "chart/InputCalibration.h"
#include "simfile/StepsTypes.h"

#include <QKeyEvent>
#include <QMenu>

namespace app {

void CChartEditorDlg::BuildRecentSongsMenu(QMenu* fileMenu) {
    if (m_settings == nullptr) {
        return;
    }
    m_recentSongs = new RecentSongsMenu(*m_settings, fileMenu);
    fileMenu->addSeparator();
    fileMenu->addMenu(m_recentSongs);
    connect(m_recentSongs, &RecentSongsMenu::SongChosen, this, [this](const QString& path) {
        if (!MaySetWorkAside()) {
            return;
        }
        const std::string file = path.toStdString();
        // A chart opens with its song; anything else is a song.
        const bool opened =
            sm::FormatOfPath(file).has_value() ? OpenChartFile(file) : OpenMusicFile(file);
        if (!opened) {
            // Gone or unreadable: the failure was told, the entry goes.
            m_settings->RemoveRecentSong(path);
            m_recentSongs->Refresh();
        }
    });
}

void CChartEditorDlg::RestoreSettings() {
    if (m_settings == nullptr) {
        return;
    }
    const std::int32_t speed = m_settings->SongSpeedPercent();
    m_speedSpin->SetPosition(speed);
    SetSongSpeed(speed);
    if (m_settings->MetronomeOn() != m_metronomeOn.load()) {
        ToggleMetronome();
    }
    if (m_settings->NoteTickOn() != m_ticks.On()) {
        m_noteTickAction->trigger();
    }
    m_inputOffsetMs = m_settings->InputOffsetMs();
    // Before any range is set: nothing to carry over to the stored snap.
    m_editor.SetSnap(edit::kAllSnaps[static_cast<std::size_t>(m_settings->SnapIndex())]);
    restoreGeometry(m_settings->WindowGeometry());
}

void CChartEditorDlg::StoreWindowSettings() {
    if (m_settings != nullptr) {
        m_settings->SetWindowGeometry(saveGeometry());
        m_settings->Sync();
    }
}

void CChartEditorDlg::StoreSnap() {
    m_settings->SetSnapIndex(static_cast<int>(m_editor.CurrentSnap()));
}

void CChartEditorDlg::RememberSong(const std::string& path) {
    if (m_settings != nullptr) {
        m_settings->AddRecentSong(QString::fromStdString(path));
        m_recentSongs->Refresh();
    }
}

void CChartEditorDlg::CalibrateTiming() {
    std::unique_ptr<player::MediaPlayer> clicks =
        m_makeCalibrationPlayer ? m_makeCalibrationPlayer() : nullptr;
    if (!clicks) {
        m_dialogs.ShowMessage("The click track cannot be played.");
        return;
    }
    // One sound at a time: the song stops while the clicks play.
    m_player.Pause();
    CalibrationDlg dialog(*clicks, m_inputOffsetMs, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_inputOffsetMs = dialog.InputOffsetMs();
    if (m_settings != nullptr) {
        m_settings->SetInputOffsetMs(m_inputOffsetMs);
    }
}

} // namespace app
