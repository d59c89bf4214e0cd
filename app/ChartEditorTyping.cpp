// Values typed into the number boxes, and where the keyboard rests.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/EditActions.h"
#include "app/SpinButton.h"
#include "app/TypedNumberBox.h"
#include "chart/SongTiming.h"

#include <QLineEdit>

namespace app {

using namespace window_text;

namespace {

// Far beyond any song, and small enough that the timing stays exact.
constexpr double kMostSeconds = 24.0 * 3600.0;
constexpr double kMostBpm = 100000.0;
constexpr double kLeastBpm = 0.01;
constexpr int kMostCell = 1 << 24;

} // namespace

void CChartEditorDlg::ConnectTypedBoxes() {
    const auto done = [this] { ReturnKeysToWindow(); };
    TypedNumberBox::Attach(
        m_bpmEdit,
        [this](const QString& text) {
            const auto bpm = ParseTypedNumber(text, kLeastBpm, kMostBpm);
            if (!bpm || !chart::HasUsableTempo(static_cast<float>(*bpm))) {
                return false;
            }
            EditTiming([&](chart::TimingState& timing) {
                chart::ApplyBpmAndGap(timing, static_cast<float>(*bpm), timing.gapSeconds,
                                      m_player.PositionSeconds());
            });
            ShowBpm();
            return true;
        },
        done);
    TypedNumberBox::Attach(
        m_gapEdit,
        [this](const QString& text) {
            const auto gap = ParseTypedNumber(text, -kMostSeconds, kMostSeconds);
            if (!gap) {
                return false;
            }
            EditTiming([&](chart::TimingState& timing) {
                chart::ApplyBpmAndGap(timing, timing.bpm, static_cast<float>(*gap),
                                      m_player.PositionSeconds());
            });
            ShowGap();
            return true;
        },
        done);
    TypedNumberBox::Attach(
        m_speedEdit,
        [this](const QString& text) {
            const auto percent = ParseTypedWhole(text, 1, 300);
            if (!percent) {
                return false;
            }
            m_speedSpin->SetPosition(*percent);
            SetSongSpeed(*percent);
            return true;
        },
        done);
    for (const bool start : {true, false}) {
        TypedNumberBox::Attach(
            start ? m_rangeStartEdit : m_rangeEndEdit,
            [this, start](const QString& text) {
                const auto cell = ParseTypedWhole(text, 0, kMostCell);
                if (!cell) {
                    return false;
                }
                (start ? m_range.start : m_range.end) = *cell;
                ShowRange();
                m_actions->ShowSelection();
                return true;
            },
            done);
    }
    for (const bool start : {true, false}) {
        QLineEdit* box = start ? m_sampleStartEdit : m_sampleEndEdit;
        TypedNumberBox::Attach(
            box,
            [this, start, box](const QString& text) {
                const auto seconds = ParseTypedNumber(text, 0.0, kMostSeconds);
                if (!seconds) {
                    return false;
                }
                const auto value = static_cast<float>(*seconds);
                EditTiming([&](chart::TimingState& timing) {
                    (start ? timing.sampleStartSeconds : timing.sampleEndSeconds) = value;
                });
                box->setText(FormatSampleTime(start ? m_timing.sampleStartSeconds
                                                    : m_timing.sampleEndSeconds));
                return true;
            },
            done);
    }
    for (const auto& [box, spin] :
         {std::pair{m_jumpEdit, m_jumpSpin}, std::pair{m_maxJumpsEdit, m_maxJumpsSpin}}) {
        TypedNumberBox::Attach(
            box,
            [spin](const QString& text) {
                // The spins' own range: a percentage, and at least one jump.
                const auto value = ParseTypedWhole(text, 1, 100);
                if (!value) {
                    return false;
                }
                spin->SetPosition(*value);
                return true;
            },
            done);
    }
}

void CChartEditorDlg::ReturnKeysToWindow() {
    centralWidget()->setFocus(Qt::OtherFocusReason);
}

} // namespace app
