// The Find Tempo dialog on synthesized songs: its candidates, Listen,
// Apply, Close and Cancel, through the hooks the window gives it.
#include "app/FindTempoDlg.h"

#include "TestSignals.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 22050;

// A mono WAV of decaying 60 Hz thumps at `bpm` from `firstBeat` on.
std::string WriteThumps(const std::string& name, double bpm, double firstBeat, double seconds) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * kRate), 0);
    for (double beat = firstBeat; beat < seconds; beat += 60.0 / bpm) {
        const auto start = static_cast<std::size_t>(std::ceil(beat * kRate));
        for (std::size_t i = 0; i < kRate / 5 && start + i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            samples[start + i] = static_cast<std::int16_t>(20000 * std::exp(-t / 0.05) *
                                                           std::sin(2 * M_PI * 60 * t));
        }
    }
    const std::string path = (std::filesystem::path(BEATWRIGHT_TEST_TMP) / name).string();
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    testsignals::WriteWav(path, {.channels = 1, .sampleRate = kRate}, samples);
    return path;
}

struct Calls {
    std::vector<std::pair<float, float>> timings;
    std::vector<double> listens;
    int stops = 0;
};

app::FindTempoHooks Hooks(Calls& calls) {
    return {[&calls](float bpm, float gap) { calls.timings.emplace_back(bpm, gap); },
            [&calls](double from) { calls.listens.push_back(from); }, [&calls] { ++calls.stops; }};
}

QPushButton* Button(QWidget& dialog, const char* text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text;
    return nullptr;
}

bool WaitForFinish(app::FindTempoDlg& dialog) {
    return QTest::qWaitFor([&dialog] { return dialog.Finished(); }, 20000);
}

std::pair<float, float> TimingOf(const audio::TempoCandidate& candidate) {
    return {static_cast<float>(candidate.bpm), static_cast<float>(candidate.gapSeconds)};
}

TEST(FindTempoDlg, ListensToACandidateAndPutsTheTimingBackWithoutApply) {
    Calls calls;
    const std::string song = WriteThumps("thumps_120.wav", 120, 0.25, 12);
    auto* dialog = new app::FindTempoDlg(song, 99.0f, 0.5f, Hooks(calls));
    QPointer<app::FindTempoDlg> alive(dialog);
    dialog->show();
    EXPECT_FALSE(Button(*dialog, "Listen")->isEnabled()); // nothing to hear yet
    ASSERT_TRUE(WaitForFinish(*dialog));
    ASSERT_FALSE(dialog->Candidates().empty());
    const audio::TempoCandidate best = dialog->Candidates().front();
    // Clean thumps: the fit lands on the grid; 0.05 BPM and 5 ms are the
    // analysis's own goals.
    EXPECT_NEAR(best.bpm, 120.0, 0.05);
    EXPECT_NEAR(best.gapSeconds, 0.25, 0.005);

    Button(*dialog, "Listen")->click();
    EXPECT_EQ(calls.timings, (std::vector<std::pair<float, float>>{TimingOf(best)}));
    EXPECT_EQ(calls.listens, std::vector<double>{best.gapSeconds});

    Button(*dialog, "Close")->click();
    EXPECT_EQ(calls.stops, 1);
    ASSERT_EQ(calls.timings.size(), 2U);
    EXPECT_EQ(calls.timings[1], std::make_pair(99.0f, 0.5f));
    EXPECT_TRUE(QTest::qWaitFor([&alive] { return alive.isNull(); }, 1000))
        << "the dialog deletes itself when closed";
}

TEST(FindTempoDlg, ApplyKeepsTheChosenCandidate) {
    Calls calls;
    const std::string song = WriteThumps("thumps_150.wav", 150, 0.1, 12);
    auto* dialog = new app::FindTempoDlg(song, 99.0f, 0.5f, Hooks(calls));
    dialog->show();
    ASSERT_TRUE(WaitForFinish(*dialog));
    ASSERT_GE(dialog->Candidates().size(), 2U);
    const audio::TempoCandidate second = dialog->Candidates()[1];
    dialog->SelectCandidate(1);
    Button(*dialog, "Apply")->click();
    EXPECT_EQ(calls.timings, (std::vector<std::pair<float, float>>{TimingOf(second)}));
    EXPECT_EQ(calls.stops, 0);
}

TEST(FindTempoDlg, ShowsWhyAFileCannotBeReadAndCancelEndsTheRun) {
    Calls calls;
    const std::string missing = (std::filesystem::path(BEATWRIGHT_TEST_TMP) / "none.wav").string();
    app::FindTempoDlg failed(missing, 120.0f, 0.0f, Hooks(calls));
    ASSERT_TRUE(WaitForFinish(failed));
    EXPECT_TRUE(failed.Candidates().empty());
    EXPECT_FALSE(Button(failed, "Apply")->isEnabled());
    EXPECT_NE(failed.findChild<QLabel*>()->text().toStdString().find("none.wav"),
              std::string::npos);

    const std::string song = WriteThumps("thumps_long.wav", 120, 0.25, 60);
    auto* running = new app::FindTempoDlg(song, 120.0f, 0.0f, Hooks(calls));
    QPointer<app::FindTempoDlg> alive(running);
    running->show();
    Button(*running, "Cancel")->click(); // waits for the worker as it goes
    EXPECT_TRUE(QTest::qWaitFor([&alive] { return alive.isNull(); }, 5000));
    EXPECT_TRUE(calls.timings.empty());
}

} // namespace
