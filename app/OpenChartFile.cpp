// Opening a .dwi with its song: the chart's own folder first, as game song
// folders are laid out.
#include "app/BackgroundWork.h"
#include "app/ChartEditorDlg.h"
#include "app/CommandIds.h"
#include "app/PleaseWaitDlg.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "edit/ChartSong.h"

#include <QComboBox>
#include <QLineEdit>
#include <filesystem>

namespace app {

namespace {

constexpr char kDwiFilter[] = "DWI Files (*.dwi)";

QString SampleText(float seconds) {
    return QString::asprintf("%3.2f", static_cast<double>(seconds));
}

} // namespace

void CChartEditorDlg::OpenChart() {
    if (const auto path = m_dialogs.GetOpenFileName(kDwiFilter)) {
        OpenChartFile(*path);
    }
}

bool CChartEditorDlg::OpenChartFile(const std::string& path) {
    // Read on a worker: a huge file must not freeze the window. Looking up
    // #FILE goes through every kept record, so it is done there too.
    dwi::SongFile file;
    std::optional<std::string> songRecord;
    BackgroundWork(this, kReadingDwiText).Run([&] {
        file = dwi::ReadSongFile(path);
        songRecord = dwi::KeptRecordValue(file.song, "FILE");
    });
    if (!file.error.empty()) {
        m_dialogs.ShowMessage(file.error);
        return false;
    }
    const edit::SongSearch search = edit::FindSongForChart(path, songRecord);
    std::optional<std::string> songPath = search.songPath;
    if (!songPath) {
        songPath = m_dialogs.GetOpenFileNameIn({}, search.folder);
        if (!songPath) {
            return false;
        }
    }
    // The song opens as "Open Music File" opens it; when it cannot, its
    // message has named the file and nothing of the chart is taken.
    if (!OpenMusicFile(*songPath)) {
        return false;
    }

    std::optional<std::size_t> shown;
    for (std::size_t i = 0; i < file.song.charts.size() && !shown; ++i) {
        if (file.song.charts[i].style == chart::ChartStyle::Single) {
            shown = i;
        }
    }
    LoadDocument(std::move(file.song), shown, path, true);
    MarkSaved();
    RememberSong(path);
    return true;
}

void CChartEditorDlg::LoadDocument(chart::Song song, std::optional<std::size_t> shown,
                                   const std::string& dwiPath, bool read) {
    if (shown && *shown >= song.charts.size()) {
        shown.reset();
    }
    bool lossy = false;
    EditChart([&](chart::StepChart& steps) {
        steps = shown ? edit::SlotsOfChart(song.charts[*shown], lossy) : chart::StepChart();
    });
    m_title = song.title;
    m_artist = song.artist;
    if (shown) {
        m_difficulty = song.charts[*shown].difficulty;
        m_footRating = song.charts[*shown].rating;
    }
    OnCommand(kCmdStepInputMode);
    WithTimingLock([&](chart::TimingState& timing) {
        timing.bpm = song.bpm;
        timing.gapSeconds = song.gapSeconds;
        timing.sampleStartSeconds = song.sampleStartSeconds;
        timing.sampleEndSeconds = song.sampleStartSeconds + song.sampleLengthSeconds;
        timing.nextClickSeconds =
            chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                   m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
    });
    ShowBpm();
    ShowGap();
    m_sampleStartEdit->setText(SampleText(m_timing.sampleStartSeconds));
    m_sampleEndEdit->setText(SampleText(m_timing.sampleEndSeconds));
    m_titleEdit->setText(QString::fromStdString(m_title));
    m_titleEdit->setCursorPosition(0);
    m_artistEdit->setText(QString::fromStdString(m_artist));
    m_artistEdit->setCursorPosition(0);
    SelectDifficultyAndRating();
    m_dwiFileName = dwiPath;
    if (read) {
        m_imported.Start(std::move(song), shown, CurrentWindowValues());
    } else {
        m_imported.Reset();
    }
    RepaintStepView();
    if (lossy) {
        m_dialogs.ShowMessage(dwi::kFreezeArrowMessage);
    }
}

void CChartEditorDlg::SelectDifficultyAndRating() {
    // Values the lists do not hold leave their selection as it is.
    const int difficulty =
        m_difficultyList->findText(QString::fromStdString(m_difficulty), Qt::MatchFixedString);
    if (difficulty >= 0) {
        m_difficultyList->setCurrentIndex(difficulty);
    }
    const int rating = m_footRatingList->findText(
        QString::number(static_cast<std::int32_t>(m_footRating)), Qt::MatchExactly);
    if (rating >= 0) {
        m_footRatingList->setCurrentIndex(rating);
    }
}

bool CChartEditorDlg::HasUnsavedChanges() const {
    return !m_savedValues || CurrentWindowValues() != *m_savedValues;
}

std::string CChartEditorDlg::DocumentText() const {
    const edit::WindowValues values = CurrentWindowValues();
    return dwi::WriteSong(m_imported.Active() ? m_imported.SongToSave(values)
                                              : edit::SongFromWindow(values));
}

edit::RecoveryInfo CChartEditorDlg::DocumentInfo() const {
    // Absolute, as the copy is read by a program started elsewhere.
    const auto absolute = [](const std::string& path) {
        std::error_code error;
        return path.empty() ? path : std::filesystem::absolute(path, error).string();
    };
    edit::RecoveryInfo info;
    info.songPath = absolute(m_player.FileName());
    info.dwiPath = absolute(m_dwiFileName);
    info.imported = m_imported.Active();
    info.shownChart = m_imported.Active() ? m_imported.ShownChart() : std::optional<std::size_t>(0);
    return info;
}

bool CChartEditorDlg::RestoreRecovery(const edit::LeftRecovery& left) {
    if (!OpenMusicFile(left.info.songPath)) {
        return false;
    }
    chart::Song song;
    BackgroundWork(this, kReadingDwiText).Run([&] { song = dwi::ReadSong(left.document); });
    LoadDocument(std::move(song), left.info.shownChart, left.info.dwiPath, left.info.imported);
    m_savedValues.reset();
    return true;
}

} // namespace app
