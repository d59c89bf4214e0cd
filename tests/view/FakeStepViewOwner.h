#pragma once

#include "view/StepViewOwner.h"

#include <cstdint>
#include <optional>
#include <string>

// A scripted owner for the step view: the player reports the position,
// duration and file name the test sets, and keeps the position a seek sets.
namespace view_test {

class FakePlayer final : public player::MediaPlayer {
public:
    double PositionSeconds() const override { return positionSeconds; }
    void SetPositionSeconds(double seconds) override { positionSeconds = seconds; }
    double DurationSeconds() const override { return durationSeconds; }
    std::string FileName() const override { return fileName; }
    void SetRate(double /*rate*/) override {}
    void SetRepeat(std::int32_t /*count*/) override {}
    void Play() override {}
    void Pause() override {}
    void Halt() override {}
    player::PlayState State() const override { return player::PlayState::kStopped; }
    std::optional<std::string> Open(const std::string& /*path*/) override {
        return std::string("no audio here");
    }
    void SetEvents(player::PlayerEvents /*events*/) override {}

    double positionSeconds = 0.0;
    double durationSeconds = 20.0;
    std::string fileName = "song.ogg";
};

class FakeOwner final : public view::StepViewOwner {
public:
    player::MediaPlayer& Player() override { return player; }
    float Bpm() const override { return bpm; }
    float GapSeconds() const override { return gapSeconds; }
    chart::StepChart& Chart() override { return chart; }
    void SetRangeStart(std::int32_t slot) override { rangeStart = slot; }
    void SetRangeEnd(std::int32_t slot) override { rangeEnd = slot; }

    FakePlayer player;
    // 120 BPM: a half-beat of 0.25 s and a Gap of 0.5 s are exact in binary,
    // so slot times hold no rounding.
    float bpm = 120.0f;
    float gapSeconds = 0.5f;
    chart::StepChart chart;
    std::optional<std::int32_t> rangeStart;
    std::optional<std::int32_t> rangeEnd;
};

} // namespace view_test
