// Opening a .dwi, .sm or .ssc with its song: the chart's own folder first, as game song
// folders are laid out.
#include "app/BackgroundWork.h"
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/CommandIds.h"
#include "app/PleaseWaitDlg.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "edit/ChartSong.h"
#include "simfile/SongFiles.h"

#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <filesystem>

namespace app {

using window_text::kChartFilter;
using window_text::kWithoutSoundText;

void CChartEditorDlg::OpenChart() {
    if (!MaySetWorkAside()) {
        return;
    }
    if (const auto path = m_dialogs.GetOpenFileName(kChartFilter)) {
        OpenChartFile(*path);
    }
}

bool CChartEditorDlg::OpenChartFile(const std::string& path) {
    // Read on a worker: a huge file must not freeze the window. Looking up
    // #FILE or #MUSIC goes through every kept record, so it is done there too.
    dwi::SongFile file;
    std::optional<std::string> songRecord;
    BackgroundWork(this, kReadingDwiText).Run([&] {
        file = sm::ReadAnySongFile(path);
        songRecord = sm::MusicRecord(file.song);
    });
    if (!file.error.empty()) {
        m_dialogs.ShowMessage(file.error);
        return false;
    }
    const edit::SongSearch search = edit::FindSongForChart(path, songRecord);
    std::optional<std::string> songPath = search.songPath;
    if (!songPath) {
        m_dialogs.ShowMessage(edit::MissingSongMessage(songRecord, search.folder));
        songPath = m_dialogs.GetOpenFileNameIn({}, search.folder);
    }
    // The song opens as "Open Music File" opens it. Without one (cancelled,
    // or it could not be opened and said why) the chart opens without sound.
    m_withoutSound = false;
    const bool withSound = songPath && OpenMusicFile(*songPath);

    // A file without a usable BPM takes the song's estimate, so that it
    // plays and scrolls; its own record stays in the file as it was.
    constexpr float kStandInBpm = 120.0f;
    const bool bpmLeftOut = !sm::HasOwnTempo(file.song);
    if (bpmLeftOut) {
        file.song.bpm = withSound ? m_editor.Song().bpm : kStandInBpm;
    }
    std::string leftOut = dwi::LeftOutMessage(path, file.leftOut);
    if (bpmLeftOut) {
        leftOut += (leftOut.empty() ? "\"" + path + "\" has no usable BPM." : std::string()) +
                   (withSound ? "\r\nThe BPM estimated from the song stands in for it."
                              : "\r\nA BPM of 120 stands in for it.");
    }
    if (!withSound) {
        m_player.OpenSilent(edit::StandInSeconds(file.song));
        m_withoutSound = true;
    }

    std::optional<std::size_t> shown;
    for (std::size_t i = 0; i < file.song.charts.size() && !shown; ++i) {
        if (file.song.charts[i].style == chart::ChartStyle::Single) {
            shown = i;
        }
    }
    LoadDocument(std::move(file.song), shown, path, true);
    RememberSong(path);
    if (!withSound) {
        SetInstructions(kWithoutSoundText);
    }
    if (!leftOut.empty()) {
        m_dialogs.ShowMessage(leftOut);
    }
    return true;
}

void CChartEditorDlg::LoadDocument(chart::Song song, std::optional<std::size_t> shown,
                                   const std::string& dwiPath, bool read) {
    // A plain index: GCC cannot follow the optional across the calls below.
    const std::size_t selected = shown.value_or(song.charts.size());
    const bool select = selected < song.charts.size();
    if (song.charts.empty()) {
        // Somewhere for the steps to go.
        chart::SongChart single;
        single.difficulty = m_difficultyList->itemText(0).toStdString();
        song.charts.push_back(std::move(single));
    }
    m_fileCharts.clear();
    if (read) {
        for (const chart::SongChart& chart : song.charts) {
            if (chart.sourceId != 0) {
                m_fileCharts.emplace(chart.sourceId, chart);
            }
        }
    }
    OnCommand(kCmdStepInputMode);
    m_editor.Reset(std::move(song));
    if (select) {
        m_editor.SelectChart(selected);
    }
    m_rowsShown = 0;
    m_restoredUnsaved = false;
    WithTimingLock([&](chart::TimingState& timing) {
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                   m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
    });
    ShowTiming();
    m_dwiFileName = dwiPath;
    ShowUndoState();
    RepaintStepView();
    // More than one chart: the list shows them (it stays once opened).
    if (m_editor.Song().charts.size() + m_editor.Song().otherCharts.size() > 1) {
        m_chartDock->show();
    }
}

} // namespace app
