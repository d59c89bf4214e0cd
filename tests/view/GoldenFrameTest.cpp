#include "tests/view/FakeStepViewOwner.h"
#include "view/CCustomDisplay.h"

#include <QImage>
#include <QString>
#include <gtest/gtest.h>
#include <string>

// Frames of the view's original look, stored as PNGs when it was the whole
// program (one chart of 8ths at one tempo). The same states, at 8th cells,
// 18 pixels a beat, one single chart and no tempo changes or stops, must
// keep giving the same pixels. Run with BEATWRIGHT_WRITE_GOLDEN=1 to write the
// files anew (only after a deliberate change of the look).
namespace {

struct GoldenState {
    const char* name;
    float bpm;
    float gapSeconds;
    double positionSeconds;
    std::string steps; // one step code per 8th
};

std::string LongChart() {
    std::string steps;
    const char kCodes[] = "40268AB1379";
    for (int slot = 0; slot < 3000; ++slot) {
        steps.push_back(kCodes[(slot * 7) % 11]);
    }
    return steps;
}

const GoldenState kStates[] = {
    {"before_gap", 120.0f, 0.5f, 0.1, "4268"},
    {"far_before_gap", 120.0f, 100.0f, 0.0, "4268"},
    {"on_gap", 120.0f, 0.5f, 0.5, "42680AB1"},
    {"odd_slot_on_targets", 120.0f, 0.5f, 0.75, "42680AB1"},
    {"even_slot_on_targets", 120.0f, 0.5f, 1.0, "0426813797"},
    {"jumps_between_slots", 120.0f, 0.5f, 1.6, "A9B73100426886"},
    {"awkward_tempo_early", 137.3f, 0.237f, 0.3, "1234678937AB9"},
    {"awkward_tempo_later", 137.3f, 0.237f, 4.567, LongChart()},
    {"long_chart_far_on", 137.3f, 0.237f, 600.123, LongChart()},
    {"fast_tempo", 251.7f, 1.9f, 77.77, LongChart()},
};

void Apply(const GoldenState& state, view_test::FakeOwner& owner) {
    owner.song.bpm = state.bpm;
    owner.song.gapSeconds = state.gapSeconds;
    owner.player.positionSeconds = state.positionSeconds;
    owner.player.durationSeconds = 1000.0;
    owner.SetEighths(state.steps);
}

QString GoldenPath(const GoldenState& state, int scale) {
    return QStringLiteral(BEATWRIGHT_VIEW_GOLDEN "/%1_x%2.png")
        .arg(QString::fromLatin1(state.name))
        .arg(scale);
}

int DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

TEST(GoldenFrames, EighthsOfOneSingleChartAtOneTempoLookAsTheyAlwaysDid) {
    const bool write = qEnvironmentVariableIsSet("BEATWRIGHT_WRITE_GOLDEN");
    view_test::FakeOwner owner;
    view::CCustomDisplay display(&owner);
    for (const GoldenState& state : kStates) {
        for (const int scale : {1, 2}) {
            SCOPED_TRACE(std::string(state.name) + " x" + std::to_string(scale));
            Apply(state, owner);
            const QImage frame =
                display.RenderFrame(scale).copy().convertToFormat(QImage::Format_RGB32);
            const QString path = GoldenPath(state, scale);
            if (write) {
                ASSERT_TRUE(frame.save(path)) << path.toStdString();
                continue;
            }
            const QImage golden = QImage(path).convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(golden.isNull()) << path.toStdString();
            EXPECT_EQ(DifferingPixels(frame, golden), 0);
        }
    }
}

} // namespace
