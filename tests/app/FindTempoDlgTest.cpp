#include "app/FindTempoDlg.h"

#include "FakeServices.h"
#include "app/ChartEditorDlg.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 22050;

// A mono 16-bit WAV of decaying 60 Hz thumps at `bpm` from `firstBeat` on.
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
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::filesystem::path path = std::filesystem::path(BEATWRIGHT_TEST_TMP) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&out](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&out](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(dataBytes));
    return path.string();
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
    ASSERT_EQ(calls.timings.size(), 1U);
    EXPECT_EQ(calls.timings[0],
              std::make_pair(static_cast<float>(best.bpm), static_cast<float>(best.gapSeconds)));
    ASSERT_EQ(calls.listens.size(), 1U);
    EXPECT_EQ(calls.listens[0], best.gapSeconds);

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
    ASSERT_EQ(calls.timings.size(), 1U);
    EXPECT_EQ(calls.timings[0], std::make_pair(static_cast<float>(second.bpm),
                                               static_cast<float>(second.gapSeconds)));
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

// The window's side: Apply goes through the same path as the BPM and Gap
// controls, Listen plays from the Gap with the metronome on.
TEST(FindTempoWindow, AppliesLikeTheControlsAndListensWithTheMetronome) {
    fakes::Player player;
    fakes::Dialogs dialogs;
    fakes::Clock clock;
    fakes::Estimator estimator;
    app::CChartEditorDlg window({player, player, dialogs, clock, estimator, {}, {}, nullptr, {}});
    window.OnCommand(32800); // no song yet
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_EQ(dialogs.messages[0], "Open a music file first.");

    player.position = 2.0;
    window.ApplyFoundTempo(128.37f, 0.4567f);
    EXPECT_EQ(window.Timing().bpm, 128.37f);
    EXPECT_EQ(window.Timing().gapSeconds, 0.4567f);
    EXPECT_EQ(window.findChild<QLineEdit*>("1010")->text(), "128.4");
    EXPECT_EQ(window.findChild<QLineEdit*>("1012")->text(), "0.46");

    window.ToggleMetronome();
    ASSERT_FALSE(window.MetronomeOn());
    window.ListenFrom(0.4567);
    EXPECT_TRUE(window.MetronomeOn());
    EXPECT_EQ(player.position.load(), 0.4567);
    EXPECT_EQ(player.plays, 1);

    QAction* waveform = window.findChild<QAction*>("32801");
    ASSERT_NE(waveform, nullptr);
    EXPECT_FALSE(waveform->isChecked());
    window.OnCommand(32801);
    EXPECT_TRUE(waveform->isChecked());
    EXPECT_TRUE(window.WaveformShown());
}

} // namespace
