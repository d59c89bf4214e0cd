#pragma once

#include "app/AppServices.h"
#include "player/MediaPlayer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <deque>
#include <gtest/gtest.h>
#include <vector>

// Readable failure messages for Qt's strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    PrintTo(list.join(QStringLiteral(", ")), out);
}

// Scripted stand-ins for what the window talks to. The player is driven by
// the test (position, state) and records what the window asks of it; its
// position and state are atomics because the window's workers poll them.
namespace fakes {

// Dialogs and the player's loading belong to the window thread, whatever
// worker the window runs its heavy work on.
inline void ExpectWindowThread(const char* call) {
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread())
        << call << " called off the window thread";
}

// The next queued answer, or `otherwise` when none is queued.
template <typename T> T Next(std::deque<T>& queue, T otherwise = {}) {
    if (!queue.empty()) {
        otherwise = std::move(queue.front());
        queue.pop_front();
    }
    return otherwise;
}

class Player : public player::MediaPlayer, public player::ClickSound {
public:
    std::atomic<double> position{0.0};
    std::atomic<player::PlayState> state{player::PlayState::kStopped};
    double duration = 0.0;
    std::string fileName;
    std::optional<std::string> openError;
    double standIn = 0.0; // the silent stand-in's length; 0: none
    void OpenSilent(double seconds) override {
        fileName.clear();
        standIn = duration = seconds;
    }
    bool HasTimeline() const override { return !fileName.empty() || standIn > 0.0; }
    bool silent = false;
    std::vector<double> rates, seeks;
    std::vector<std::string> opened;
    int plays = 0, halts = 0;
    player::PlayerEvents events;
    // The position at a past moment of the steady clock; without one the
    // position now, as a player without a history answers.
    std::function<double(std::int64_t steadyNs)> history;

    double PositionSeconds() const override { return position.load(); }
    double PositionSecondsAt(std::int64_t ns) const override {
        return history ? history(ns) : PositionSeconds();
    }
    void SetPositionSeconds(double seconds) override {
        seeks.push_back(seconds);
        const double old = position.exchange(seconds);
        if (events.positionChange) {
            events.positionChange(old, seconds);
        }
    }
    double DurationSeconds() const override { return duration; }
    std::string FileName() const override { return fileName; }
    void SetRate(double rate) override { rates.push_back(rate); }
    void SetRepeat(std::int32_t) override {}
    void Play() override {
        ++plays;
        ChangeState(player::PlayState::kPlaying);
    }
    void Pause() override { ChangeState(player::PlayState::kPaused); }
    void Halt() override {
        ++halts;
        position = 0.0;
        ChangeState(player::PlayState::kStopped);
    }
    player::PlayState State() const override { return state.load(); }
    std::optional<std::string> Open(const std::string& path) override {
        ExpectWindowThread("Open");
        opened.push_back(path);
        fileName = openError ? std::string() : path;
        standIn = 0.0;
        return openError;
    }
    void SetEvents(player::PlayerEvents newEvents) override { events = std::move(newEvents); }
    bool PlaysSilently() const override { return silent; }
    void ChangeState(player::PlayState newState) {
        const player::PlayState old = state.exchange(newState);
        if (events.playStateChange) {
            events.playStateChange(old, newState);
        }
    }

    // The song time of the last click the metronome worker handed over.
    std::atomic<double> lastClick{-1.0};
    void PlayClick() override {}
    void PlayClickAt(double songSeconds) override { lastClick = songSeconds; }
    // The song time of the last note tick handed over.
    std::atomic<double> lastTick{-1.0};
    void PlayTickAt(double songSeconds) override { lastTick = songSeconds; }
};

// Every question is kept as "caption: text"; Yes and Discard answer when
// nothing is queued, Cancel when no path or number is.
class Dialogs : public app::UserDialogs {
public:
    std::vector<std::string> messages, questions, numberQuestions, filters, saveSuffixes;
    std::deque<bool> answers;
    std::deque<SaveChoice> saveChoices;
    std::deque<std::optional<std::string>> openPaths, savePaths;
    std::deque<std::optional<double>> numbers;
    std::deque<std::optional<std::string>> texts;
    int abouts = 0;

    void ShowMessage(std::string_view text) override {
        ExpectWindowThread("ShowMessage");
        messages.emplace_back(text);
    }
    bool AskYesNo(std::string_view text, std::string_view caption) override {
        ExpectWindowThread("AskYesNo");
        questions.push_back(std::string(caption) + ": " + std::string(text));
        return Next(answers, true);
    }
    SaveChoice AskSaveDiscardCancel(std::string_view text, std::string_view caption) override {
        questions.push_back(std::string(caption) + ": " + std::string(text));
        return Next(saveChoices, SaveChoice::kDiscard);
    }
    std::optional<std::string> GetOpenFileName(std::string_view filter) override {
        filters.emplace_back(filter);
        return Next(openPaths);
    }
    std::optional<std::string> GetSaveFileName(std::string_view filter,
                                               std::string_view suffix) override {
        filters.emplace_back(filter);
        saveSuffixes.emplace_back(suffix);
        return Next(savePaths);
    }
    std::vector<std::string> proposedSaves;
    std::optional<std::string> GetSaveFileNameProposing(std::string_view filter,
                                                        std::string_view suffix,
                                                        const std::string& proposed) override {
        proposedSaves.push_back(proposed);
        return GetSaveFileName(filter, suffix);
    }
    std::optional<double> AskNumber(std::string_view caption, std::string_view label, double,
                                    double, double, int) override {
        numberQuestions.push_back(std::string(caption) + ": " + std::string(label));
        return Next(numbers);
    }
    std::optional<std::string> AskText(std::string_view caption, std::string_view,
                                       const std::string&) override {
        numberQuestions.emplace_back(caption);
        return Next(texts);
    }
    void ShowAbout() override { ++abouts; }
};

class Clock : public app::TickClock {
public:
    std::uint32_t now = 0;
    std::uint32_t NowMs() override { return now; }
};

// Answers with `result` after reporting progress as the real one does.
class Estimator : public app::TempoEstimator {
public:
    app::TempoEstimate result{150.0f, {}};
    app::TempoEstimate Estimate(const std::string&,
                                const std::function<void(int)>& progress) override {
        progress(50);
        return result;
    }
};

} // namespace fakes
