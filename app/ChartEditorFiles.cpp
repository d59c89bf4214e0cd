// Opening songs, saving and importing .dwi files.
#include "app/BackgroundWork.h"
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/PleaseWaitDlg.h"
#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"
#include "edit/ChartSong.h"
#include "edit/ImportedSong.h"
#include "simfile/Convert.h"
#include "simfile/SongFiles.h"
#include "simfile/StepsTypes.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <thread>

namespace app {

using namespace window_text;

namespace {

// A saved chart covers the song and two half-beats more, as it always did.
// By the chart's own timing where it has one.
std::int32_t CoveringRows(const chart::Song& song, const chart::SongChart& chart,
                          double durationSeconds, std::int32_t rows) {
    constexpr std::int32_t kRowsPerSlot = chart::kRowsPerBeat / 2;
    const chart::ChartTiming* own = chart.timing ? &*chart.timing : nullptr;
    const bool constantTempo = own ? own->changes.empty() && own->stops.empty() &&
                                         own->delays.empty() && own->warps.empty()
                                   : song.HasConstantTempo();
    if (constantTempo) {
        chart::StepChart steps(static_cast<std::size_t>((rows + kRowsPerSlot - 1) / kRowsPerSlot),
                               chart::kEmptyStep);
        dwi::ExtendChartToCoverSong(steps, durationSeconds, own ? own->bpm : song.bpm,
                                    own ? own->gapSeconds : song.gapSeconds);
        return std::max(rows, static_cast<std::int32_t>(steps.size()) * kRowsPerSlot);
    }
    const chart::TimingMap timing = song.TimingOf(chart);
    const double beat = timing.BeatAt(durationSeconds);
    if (!std::isfinite(beat) || beat < 0.0 || beat * 2.0 + 3.0 >= chart::kMaxChartSlots) {
        return rows;
    }
    const auto slotCount = static_cast<std::int32_t>(std::floor(beat * 2.0)) + 3;
    return std::max(rows, slotCount * kRowsPerSlot);
}

} // namespace

void CChartEditorDlg::OpenMusicFile() {
    // A chart without its song keeps its work: the song joins it.
    if (!m_withoutSound && !MaySetWorkAside()) {
        return;
    }
    const std::optional<std::string> path = m_dialogs.GetOpenFileName({});
    if (path) {
        OpenMusicFile(*path);
    }
}

bool CChartEditorDlg::OpenMusicFile(const std::string& path) {
    // The estimate runs on a worker while the progress window, modal, keeps
    // the screen alive; the window takes no input until it is done.
    CPleaseWaitDlg progress(this);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.show();
    TempoEstimate estimate;
    player::MediaPlayer::OpenCommit openSong;
    {
        QEventLoop loop;
        QPointer<CPleaseWaitDlg> progressWindow(&progress);
        std::thread run([&] {
            estimate = m_estimator.Estimate(path, [&progress](int percent) {
                QMetaObject::invokeMethod(
                    &progress, [&progress, percent] { progress.SetPercent(percent); },
                    Qt::QueuedConnection);
            });
            // The song is decoded here too; only the swap is left to this thread.
            if (estimate.bpm) {
                openSong = m_player.PrepareOpen(path);
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        run.join();
    }
    progress.hide();
    if (!estimate.bpm) {
        m_dialogs.ShowMessage(estimate.error);
        return false;
    }
    if (const auto error = openSong()) {
        m_dialogs.ShowMessage(*error);
        RepaintStepView();
        return false;
    }
    m_player.SetRate(chart::RateForSpeed(m_timing.songSpeedPercent));
    if (m_withoutSound) {
        // The chart keeps its timing and history; only the sound is new.
        m_withoutSound = false;
        WithTimingLock([&](chart::TimingState& timing) {
            timing.nextClickSeconds =
                chart::AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                       m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
        });
        SetInstructions(kSongOpenedText);
        RememberSong(path);
        ShowUndoState();
        RepaintStepView();
        return true;
    }
    m_dwiFileName.clear();
    SetInstructions(kSongOpenedText);
    // A new document for the new song: the texts, the sample bounds and the
    // chart shown stay, as they always did; the file's other charts and
    // records, and the history, go.
    chart::Song song;
    const chart::Song& before = m_editor.Song();
    song.title = before.title;
    song.artist = before.artist;
    song.sampleStartSeconds = before.sampleStartSeconds;
    song.sampleLengthSeconds = before.sampleLengthSeconds;
    song.bpm = *estimate.bpm;
    song.gapSeconds = 0.0f;
    chart::SongChart shown;
    if (const chart::SongChart* selected = m_editor.Selected()) {
        shown = *selected;
        shown.sourceId = 0;
    } else {
        shown.difficulty = ToStd(m_difficultyList->itemText(0));
    }
    song.charts.push_back(std::move(shown));
    const float sampleEnd = m_timing.sampleEndSeconds;
    m_windowTimingEdit = true; // the next click is placed below
    m_editor.Reset(std::move(song));
    m_windowTimingEdit = false;
    m_fileCharts.clear();
    m_rowsShown = 0;
    m_restoredUnsaved = false;
    WithTimingLock([&](chart::TimingState& timing) {
        timing.sampleEndSeconds = sampleEnd;
        timing.nextClickSeconds =
            chart::AnchorNextClick(0.0, m_player.PositionSeconds(), chart::BeatSeconds(timing.bpm));
        // The first press starts the series: the time spent before it is
        // not a beat.
        chart::ArmAfterOpening(m_taps);
        m_mode = kTapTempo;
    });
    RememberSong(path);
    ShowReadout(m_elapsedReadout, kZeroReadout);
    ShowReadout(m_lastHitReadout, kZeroReadout);
    ShowGap();
    ShowBpm();
    // Said once per run, under the instructions, where it stops neither the
    // user nor a script; the next instruction replaces it.
    if (m_player.PlaysSilently() && !m_toldSilent) {
        m_toldSilent = true;
        SetInstructions(kSongOpenedText + QLatin1Char('\n') + kSilentText);
    }
    ShowUndoState();
    RepaintStepView();
    return true;
}

bool CChartEditorDlg::MaySetWorkAside() {
    if (!HasUnsavedChanges()) {
        return true;
    }
    switch (
        m_dialogs.AskSaveDiscardCancel("Save changes to " + DocumentName() + "?", "Save Changes")) {
    case UserDialogs::SaveChoice::kSave:
        return SaveDwiFile(false);
    case UserDialogs::SaveChoice::kDiscard:
        return true;
    case UserDialogs::SaveChoice::kCancel:
        break;
    }
    return false;
}

namespace {

// The song's own format first, so the dialog starts on it.
std::string SaveFilter(chart::SongFormat format) {
    const std::string dwi = "DWI Files (*.dwi)";
    const std::string sm = "SM Files (*.sm)";
    const std::string ssc = "SSC Files (*.ssc)";
    switch (format) {
    case chart::SongFormat::Sm:
        return sm + ";;" + ssc + ";;" + dwi;
    case chart::SongFormat::Ssc:
        return ssc + ";;" + sm + ";;" + dwi;
    case chart::SongFormat::Dwi:
        break;
    }
    return dwi + ";;" + sm + ";;" + ssc;
}

std::string WithExtension(std::string path, chart::SongFormat format) {
    if (!path.empty() && sm::FormatOfPath(path) != format) {
        const std::size_t dot = path.find_last_of('.');
        const std::size_t slash = path.find_last_of('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
            path.erase(dot);
        }
        path += sm::ExtensionOf(format);
    }
    return path;
}

} // namespace

bool CChartEditorDlg::SaveDwiFile(bool alwaysAsk) {
    if (m_player.FileName().empty() && !m_withoutSound) {
        m_dialogs.ShowMessage("You must first load a music file.");
        return false;
    }
    const std::string previousName = m_dwiFileName;
    const chart::SongFormat format = m_editor.Song().format;
    if (alwaysAsk || m_dwiFileName.empty()) {
        const std::string proposed = WithExtension(
            edit::ProposedChartPath(m_dwiFileName, m_editor.Song().title, m_player.FileName()),
            format);
        const auto path = m_dialogs.GetSaveFileNameProposing(
            SaveFilter(format), sm::ExtensionOf(format).substr(1), proposed);
        if (!path) {
            return false;
        }
        m_dwiFileName = *path;
    }
    // The selected chart is written to cover the song and what the view
    // showed, unless it is the file's own chart unchanged.
    chart::Song song = m_editor.Song();
    if (const auto selected = m_editor.SelectedChart()) {
        chart::SongChart& chart = song.charts[*selected];
        const auto read = m_fileCharts.find(chart.sourceId);
        const bool asRead =
            chart.sourceId != 0 && read != m_fileCharts.end() && read->second.SameContent(chart);
        if (!asRead) {
            // A stand-in's length is no song's: cover what the view showed.
            const double songSeconds = m_withoutSound ? 0.0 : m_player.DurationSeconds();
            chart.lengthRows =
                CoveringRows(song, chart, songSeconds, std::max(chart.lengthRows, m_rowsShown));
        }
    }
    // A name of another format converts; what it cannot hold is named first.
    const chart::SongFormat target = sm::FormatOfPath(m_dwiFileName).value_or(format);
    const bool convert = target != format;
    if (convert) {
        const std::vector<std::string> losses = sm::ConversionLosses(song, target);
        if (!losses.empty() &&
            !m_dialogs.AskYesNo("A " + std::string(sm::ExtensionOf(target)) +
                                    " file cannot hold all of this song: " + sm::LossList(losses) +
                                    ".\r\n\r\nSave anyway?",
                                "Save As")) {
            m_dwiFileName = previousName;
            return false;
        }
        song = sm::ConvertSong(song, target);
    } else if (const std::vector<std::string> losses = sm::SaveLosses(song); !losses.empty()) {
        if (!m_dialogs.AskYesNo("A .sm file cannot hold all of this song since its timing "
                                "changed: " +
                                    sm::LossList(losses) +
                                    ". Save As .ssc keeps them.\r\n\r\nSave anyway?",
                                "Save")) {
            m_dwiFileName = previousName;
            return false;
        }
    }
    // On a worker: a document can be as large as the file it came from.
    std::optional<std::string> error;
    BackgroundWork(this, kWritingDwiText).Run([&] {
        error = dwi::WriteFileAtomically(m_dwiFileName, sm::WriteAnySong(song));
    });
    if (error) {
        m_dialogs.ShowMessage("The chart could not be saved to \"" + m_dwiFileName + "\":\r\n" +
                              *error + "\r\nThe file on disk was not changed.");
        m_dwiFileName = previousName;
        return false;
    }
    if (convert) {
        // The document is now the new file's: later saves write its format.
        const std::optional<std::size_t> shown = m_editor.SelectedChart();
        m_fileCharts.clear();
        m_editor.Reset(std::move(song));
        if (shown && *shown < m_editor.Song().charts.size()) {
            m_editor.SelectChart(*shown);
        }
        RepaintStepView();
    }
    m_restoredUnsaved = false;
    m_editor.History().SetClean();
    RememberSong(m_dwiFileName);
    ShowUndoState();
    return true;
}

void CChartEditorDlg::ImportDwiFile() {
    if (m_player.FileName().empty()) {
        m_dialogs.ShowMessage("First load your song file, then import the DWI data.");
        return;
    }
    if (!MaySetWorkAside()) {
        return;
    }
    const auto path = m_dialogs.GetOpenFileName(kDwiFilter);
    if (!path) {
        return;
    }
    if (!dwi::HasDwiExtension(*path)) {
        m_dialogs.ShowMessage("File does not have a DWI extension.");
        return;
    }
    // Read and scanned on a worker: a huge file must not freeze the window.
    dwi::DwiFileBytes file;
    std::size_t offered = 0;
    dwi::DwiImport found;
    chart::Song song;
    std::vector<std::string> leftOut;
    BackgroundWork work(this, kReadingDwiText);
    work.Run([&] {
        file = dwi::ReadDwiFile(*path);
        if (!file.error.empty()) {
            return;
        }
        found = dwi::ScanDwi(
            file.bytes,
            [&](std::string_view text, std::string_view caption) {
                ++offered;
                return work.OnWindowThread([&] { return m_dialogs.AskYesNo(text, caption); });
            },
            [&](std::string_view text) {
                // Holds and notes finer than 8ths are kept and shown now;
                // the scanner's warning about them no longer holds.
                if (text != dwi::kFreezeArrowMessage) {
                    work.OnWindowThread([&] { m_dialogs.ShowMessage(text); });
                }
            });
        song = dwi::ReadSong(file.bytes, &leftOut);
    });
    if (file.error.empty() && !dwi::HoldsDwiRecords(song)) {
        file.error = dwi::NotDwiMessage(*path);
    }
    if (!file.error.empty()) {
        m_dialogs.ShowMessage(file.error);
        return;
    }
    // The song playing gives the tempo when the file has none to use.
    if (!dwi::RecordNumber(song, "BPM")) {
        song.bpm = m_editor.Song().bpm;
    }
    if (const std::string message = dwi::LeftOutMessage(*path, leftOut); !message.empty()) {
        m_dialogs.ShowMessage(message);
    }
    // Every chart of the file comes in; the one the user took is selected.
    std::optional<std::size_t> shown;
    if (found.steps && offered > 0 && found.difficulty && found.footRating) {
        shown = edit::FindOfferedChart(song, offered - 1, *found.difficulty, *found.footRating);
    }
    LoadDocument(std::move(song), shown, *path, true);
}

} // namespace app
