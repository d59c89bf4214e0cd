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

// What the dialog asked of the window.
struct Calls {
    std::vector<std::pair<float, float>> timings;
    std::vector<double> listens;
    int stops = 0;
    app::FindTempoHooks Hooks() {
        return {[this](float bpm, float gap) { timings.emplace_back(bpm, gap); },
                [this](double from) { listens.push_back(from); }, [this] { ++stops; }};
    }
};

QPushButton* Button(QWidget& dialog, const char* text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text;
    return nullptr;
}

// Listen tries the chosen candidate; Close puts the timing back and stops
// the song, Apply keeps the candidate. Clean thumps at 120 BPM from 0.25 s:
// the fit lands on the grid (0.05 BPM and 5 ms are the analysis's goals).
TEST(FindTempoDlg, ListenTriesACandidateThenCloseUndoesItAndApplyKeepsOne) {
    const std::string song = WriteThumps("thumps_120.wav", 120, 0.25, 12);
    for (const char* last : {"Close", "Apply"}) {
        SCOPED_TRACE(last);
        Calls calls;
        auto* dialog = new app::FindTempoDlg(song, 99.0f, 0.5f, calls.Hooks());
        QPointer<app::FindTempoDlg> alive(dialog);
        dialog->show();
        EXPECT_FALSE(Button(*dialog, "Listen")->isEnabled()); // nothing to hear yet
        ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->Finished(); }, 20000));
        ASSERT_GE(dialog->Candidates().size(), 2U);
        const audio::TempoCandidate best = dialog->Candidates()[0];
        const audio::TempoCandidate second = dialog->Candidates()[1];
        EXPECT_NEAR(best.bpm, 120.0, 0.05);
        EXPECT_NEAR(best.gapSeconds, 0.25, 0.005);
        Button(*dialog, "Listen")->click();
        EXPECT_EQ(calls.listens, std::vector<double>{best.gapSeconds});
        dialog->SelectCandidate(1);
        Button(*dialog, last)->click();
        const auto timing = [](const audio::TempoCandidate& c) {
            return std::pair{static_cast<float>(c.bpm), static_cast<float>(c.gapSeconds)};
        };
        const bool close = std::string(last) == "Close";
        EXPECT_EQ(calls.timings,
                  (std::vector<std::pair<float, float>>{timing(best), close ? std::pair{99.0f, 0.5f}
                                                                            : timing(second)}));
        EXPECT_EQ(calls.stops, close ? 1 : 0);
        EXPECT_TRUE(QTest::qWaitFor([&alive] { return alive.isNull(); }, 1000))
            << "the dialog deletes itself when closed";
    }
}

// A file that cannot be read says why and offers nothing to apply; Cancel
// ends a run and leaves the timing alone.
TEST(FindTempoDlg, ShowsWhyAFileCannotBeReadAndCancelEndsTheRun) {
    Calls calls;
    const std::string missing = (std::filesystem::path(BEATWRIGHT_TEST_TMP) / "none.wav").string();
    app::FindTempoDlg failed(missing, 120.0f, 0.0f, calls.Hooks());
    ASSERT_TRUE(QTest::qWaitFor([&failed] { return failed.Finished(); }, 20000));
    EXPECT_TRUE(failed.Candidates().empty());
    EXPECT_FALSE(Button(failed, "Apply")->isEnabled());
    EXPECT_TRUE(failed.findChild<QLabel*>()->text().contains("none.wav"));

    auto* running = new app::FindTempoDlg(WriteThumps("thumps_long.wav", 120, 0.25, 60), 120.0f,
                                          0.0f, calls.Hooks());
    QPointer<app::FindTempoDlg> alive(running);
    running->show();
    Button(*running, "Cancel")->click(); // waits for the worker as it goes
    EXPECT_TRUE(QTest::qWaitFor([&alive] { return alive.isNull(); }, 5000));
    EXPECT_TRUE(calls.timings.empty());
}

} // namespace
