#pragma once

#include "app/AppServices.h"
#include "player/MediaPlayer.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

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

class Player : public player::MediaPlayer, public player::ClickSound {
public:
    std::atomic<double> position{0.0};
    std::atomic<player::PlayState> state{player::PlayState::kStopped};
    double duration = 0.0;
    std::string fileName;
    std::optional<std::string> openError;
    std::vector<double> rates;
    std::vector<double> seeks;
    std::vector<std::string> opened;
    int plays = 0;
    int halts = 0;
    player::PlayerEvents events;

    mutable std::mutex clickMutex;
    std::vector<double> clicksAt;

    // The position at a past moment of the steady clock; without one the
    // position now, as a player without a history answers.
    std::function<double(std::int64_t steadyNs)> history;

    double PositionSeconds() const override { return position.load(); }
    double PositionSecondsAt(std::int64_t steadyNs) const override {
        return history ? history(steadyNs) : PositionSeconds();
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
    double standIn = 0.0; // the silent stand-in's length; 0: none
    void OpenSilent(double seconds) override {
        fileName.clear();
        standIn = duration = seconds;
    }
    bool HasTimeline() const override { return !fileName.empty() || standIn > 0.0; }
    bool silent = false;
    bool PlaysSilently() const override { return silent; }

    void PlayClick() override { PlayClickAt(position.load()); }
    void PlayClickAt(double songSeconds) override {
        std::lock_guard<std::mutex> lock(clickMutex);
        clicksAt.push_back(songSeconds);
    }
    std::vector<double> Clicks() const {
        std::lock_guard<std::mutex> lock(clickMutex);
        return clicksAt;
    }
    void ClearClicks() {
        std::lock_guard<std::mutex> lock(clickMutex);
        clicksAt.clear();
    }

    void ChangeState(player::PlayState newState) {
        const player::PlayState old = state.exchange(newState);
        if (events.playStateChange) {
            events.playStateChange(old, newState);
        }
    }
};

class Dialogs : public app::UserDialogs {
public:
    std::vector<std::string> messages;
    std::vector<std::string> questions; // "caption: text"
    std::deque<bool> answers;           // Yes when empty
    std::deque<std::optional<std::string>> openPaths;
    std::deque<std::optional<std::string>> savePaths;
    std::vector<std::string> openFilters;
    std::vector<std::string> saveSuffixes;
    int abouts = 0;

    void ShowMessage(std::string_view text) override {
        ExpectWindowThread("ShowMessage");
        messages.emplace_back(text);
    }
    bool AskYesNo(std::string_view text, std::string_view caption) override {
        ExpectWindowThread("AskYesNo");
        questions.push_back(std::string(caption) + ": " + std::string(text));
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> GetOpenFileName(std::string_view filter) override {
        openFilters.emplace_back(filter);
        return Next(openPaths);
    }
    std::optional<std::string> GetSaveFileName(std::string_view filter,
                                               std::string_view defaultSuffix) override {
        openFilters.emplace_back(filter);
        saveSuffixes.emplace_back(defaultSuffix);
        return Next(savePaths);
    }
    std::vector<std::string> proposedSaves;
    std::optional<std::string> GetSaveFileNameProposing(std::string_view filter,
                                                        std::string_view defaultSuffix,
                                                        const std::string& proposed) override {
        proposedSaves.push_back(proposed);
        return GetSaveFileName(filter, defaultSuffix);
    }
    void ShowAbout() override { ++abouts; }
    // Number questions as "caption: label"; the next of numbers is the
    // answer (nothing: cancelled).
    std::vector<std::string> numberQuestions;
    std::deque<std::optional<double>> numbers;
    std::optional<double> AskNumber(std::string_view caption, std::string_view label,
                                    double /*value*/, double /*min*/, double /*max*/,
                                    int /*decimals*/) override {
        numberQuestions.push_back(std::string(caption) + ": " + std::string(label));
        return Next(numbers);
    }
    // Save questions go with the others in questions; Discard when no
    // choice is queued.
    std::deque<SaveChoice> saveChoices;
    SaveChoice AskSaveDiscardCancel(std::string_view text, std::string_view caption) override {
        questions.push_back(std::string(caption) + ": " + std::string(text));
        if (saveChoices.empty()) {
            return SaveChoice::kDiscard;
        }
        const SaveChoice choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }

private:
    template <typename T> static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        auto value = queue.front();
        queue.pop_front();
        return value;
    }
};

class Clock : public app::TickClock {
public:
    std::uint32_t now = 0;
    std::uint32_t NowMs() override { return now; }
};

class Estimator : public app::TempoEstimator {
public:
    app::TempoEstimate result{150.0f, {}};
    std::vector<int> progressSent{0, 25, 50, 100};

    app::TempoEstimate Estimate(const std::string&,
                                const std::function<void(int)>& progress) override {
        for (int percent : progressSent) {
            progress(percent);
        }
        return result;
    }
};

} // namespace fakes
