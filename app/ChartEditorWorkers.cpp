// The exit and the two workers: the metronome (with the note tick) and the
// view's frame clock.
#include "app/ChartEditorDlg.h"
#include "app/Settings.h"

#include <QAction>
#include <QCloseEvent>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace app {

namespace {

using namespace std::chrono_literals;

// Metronome polling. While the song plays with the click on, the worker
// looks every millisecond and hands each click to the player ahead of its
// beat, so the player can start it on the beat's sample; otherwise it sleeps
// until something wakes it.
constexpr auto kMetronomePoll = 1ms;
constexpr auto kIdleWait = 250ms;
constexpr auto kRepaintInterval = 16ms;
// Handed over this much earlier than the player asks, in real time. The
// player's own lead is what the output reports; a sound server renders
// further ahead than it says (a click asked for after its frame was rendered
// starts with the next buffer, up to 10 ms late), and an early click only
// waits in the player for its frame.
constexpr double kClickMarginSeconds = 0.2;
// A beat that passed more than this long ago (a seek, a pause) is skipped
// silently rather than clicked late.
constexpr double kClickLateSeconds = 0.02;
// Beats read back from a time are a rounding step off whole; this much is
// still the beat itself.
constexpr double kBeatTolerance = 1e-6;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// --- Exit ---------------------------------------------------------------------

bool CChartEditorDlg::OnCancel() {
    // The close box and Escape take the same road: closeEvent asks.
    return m_closing || close();
}

void CChartEditorDlg::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        // Unsaved work asks about itself; otherwise the exit is confirmed.
        const bool leave =
            HasUnsavedChanges()
                ? MaySetWorkAside()
                : m_dialogs.AskYesNo("Are you sure you want to quit?", "Confirm Exit");
        if (!leave) {
            event->ignore();
            return;
        }
        m_player.Halt();
        StopWorkers();
        StoreWindowSettings();
        m_closing = true;
        emit Closed();
    }
    event->accept();
}

// --- Workers --------------------------------------------------------------------

void CChartEditorDlg::StartWorkers() {
    m_stopCounter = 0;
    m_metronome = std::thread([this] { MetronomeLoop(); });
    m_refresh = std::thread([this] { RefreshLoop(); });
}

void CChartEditorDlg::WakeWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        ++m_wakeGeneration;
    }
    m_wake.notify_all();
}

void CChartEditorDlg::StopWorkers() {
    if (!m_metronome.joinable() && !m_refresh.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_stopCounter = 1;
    }
    m_wake.notify_all();
    // Each worker adds one as it leaves: 1 + 2 workers.
    while (m_stopCounter.load() != 3) {
        std::this_thread::sleep_for(1ms);
    }
    m_metronome.join();
    m_refresh.join();
}

void CChartEditorDlg::MetronomeLoop() {
    while (m_stopCounter.load() == 0) {
        const bool playing = m_player.State() == player::PlayState::kPlaying;
        const bool active = m_metronomeOn.load() && playing;
        const bool ticking = m_ticks.On() && playing;
        if (ticking) {
            double rate = 1.0;
            {
                std::lock_guard<std::mutex> lock(m_timingLock);
                rate = chart::RateForSpeed(m_timing.songSpeedPercent);
            }
            const player::TickPass pass{m_player.PositionSeconds(), SteadySeconds(), rate,
                                        m_click.ClickLeadSeconds() + kClickMarginSeconds * rate,
                                        kClickLateSeconds * rate};
            m_ticks.Pass(true, pass,
                         [this](double songSeconds) { m_click.PlayTickAt(songSeconds); });
        } else {
            m_ticks.Pass(false, {}, {}); // the next play searches from its position
        }
        if (active) {
            std::lock_guard<std::mutex> lock(m_timingLock);
            const double beat = chart::BeatSeconds(m_timing.bpm);
            const double position = m_player.PositionSeconds();
            // Song time runs at the playback rate; the lead and the lateness
            // are real time.
            const double rate = chart::RateForSpeed(m_timing.songSpeedPercent);
            double& next = m_timing.nextClickSeconds;
            if (!m_constantTempo && m_timingMap.HasUsableTempo() && std::isfinite(next)) {
                // Across changes and stops the clicks fall on the map's
                // beats: the next click is the first whole beat from here.
                const double beatNumber = std::ceil(m_timingMap.BeatAt(next) - kBeatTolerance);
                next = m_timingMap.SecondsAt(std::max(0.0, beatNumber));
                const auto advance = [this, &next] {
                    next = m_timingMap.SecondsAt(
                        std::round(m_timingMap.BeatAt(next + kBeatTolerance)) + 1.0);
                };
                if (next < position - kClickLateSeconds * rate) {
                    advance();
                } else if (next <
                           position + m_click.ClickLeadSeconds() + kClickMarginSeconds * rate) {
                    m_click.PlayClickAt(next);
                    advance();
                }
            } else if (std::isfinite(beat) && beat > 0.0) {
                if (next < position - kClickLateSeconds * rate) {
                    // Missed while nobody was listening: move on a beat per
                    // pass without a burst of late clicks.
                    next += beat;
                } else if (next <
                           position + m_click.ClickLeadSeconds() + kClickMarginSeconds * rate) {
                    m_click.PlayClickAt(next);
                    next += beat;
                }
            }
        }
        std::unique_lock<std::mutex> lock(m_wakeMutex);
        const std::uint64_t generation = m_wakeGeneration;
        m_wake.wait_for(lock,
                        active || ticking ? std::chrono::milliseconds(kMetronomePoll) : kIdleWait,
                        [this, generation] {
                            return m_stopCounter.load() != 0 || m_wakeGeneration != generation;
                        });
    }
    m_stopCounter.fetch_add(1);
}

void CChartEditorDlg::RefreshLoop() {
    // Only the song's progress while playing needs a frame clock: every other
    // change repaints the view where it is made. Paused, the worker sleeps
    // until a change of play state wakes it.
    while (m_stopCounter.load() == 0) {
        const bool playing = m_player.State() == player::PlayState::kPlaying;
        {
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            const std::uint64_t generation = m_wakeGeneration;
            m_wake.wait_for(lock, playing ? std::chrono::milliseconds(kRepaintInterval) : kIdleWait,
                            [this, playing, generation] {
                                return m_stopCounter.load() != 0 ||
                                       (!playing && m_wakeGeneration != generation);
                            });
        }
        if (m_stopCounter.load() != 0) {
            break;
        }
        if (playing) {
            QMetaObject::invokeMethod(m_stepView, "update", Qt::QueuedConnection);
        }
    }
    m_stopCounter.fetch_add(1);
}

} // namespace app
