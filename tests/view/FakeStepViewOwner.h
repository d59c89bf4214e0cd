#pragma once

#include "chart/StepChart.h"
#include "view/StepViewOwner.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Keeps its chart as half-beat slots, the way the view's tests state
// charts; the view reads them as the document's notes (slot k at row 24 k)
// and its edits come back as slot edits.
class FakeOwner final : public view::StepViewOwner {
public:
    player::MediaPlayer& Player() override { return player; }
    const chart::Song& Song() const override {
        // Built again only after the test changed the slots, so that the
        // view's reads cost what reading a document costs.
        if (m_built && m_builtFrom == chart && m_song.bpm == bpm &&
            m_song.gapSeconds == gapSeconds) {
            return m_song;
        }
        m_built = true;
        m_builtFrom = chart;
        m_song.bpm = bpm;
        m_song.gapSeconds = gapSeconds;
        m_song.charts.assign(1, chart::SongChart{});
        chart::SongChart& shown = m_song.charts[0];
        for (std::size_t slot = 0; slot < chart.size(); ++slot) {
            const chart::ArrowSet arrows = chart::ArrowsOfCode(chart[slot]);
            for (std::uint8_t column = 0; column < 4; ++column) {
                if (arrows & kColumnArrows[column]) {
                    shown.notes.AppendSorted(
                        {static_cast<std::int32_t>(slot) * kRowsPerSlot, column, 0});
                }
            }
        }
        shown.lengthRows = static_cast<std::int32_t>(chart.size()) * kRowsPerSlot;
        return m_song;
    }
    const chart::SongChart* ShownChart() const override { return &Song().charts[0]; }
    std::int32_t CellRows() const override { return cellRows; }
    int PixelsPerBeat() const override { return pixelsPerBeat; }
    void SetPixelsPerBeat(int pixels) override { pixelsPerBeat = pixels; }
    void RowsShown(std::int32_t endRow) override {
        if (endRow > 0) {
            chart::EnsureChartLength(chart, endRow / kRowsPerSlot - 1);
        }
    }
    void ToggleNote(std::int32_t row, std::uint8_t column) override {
        const std::int32_t slot = row / kRowsPerSlot;
        if (row % kRowsPerSlot == 0 && column < 4 && chart::EnsureChartLength(chart, slot)) {
            char& step = chart[static_cast<std::size_t>(slot)];
            step = chart::CombineStep(step, chart::CodeOfArrow(kColumnArrows[column]), true);
        }
    }
    void SetHold(std::int32_t /*row*/, std::uint8_t /*column*/, std::int32_t /*holdRows*/,
                 std::uint64_t /*mergeId*/) override {
        ++holdRequests;
    }
    void SetRangeStart(std::int32_t cell) override { rangeStart = cell; }
    void SetRangeEnd(std::int32_t cell) override { rangeEnd = cell; }
    void AddBpmChangeAt(std::int32_t row) override { timingRequests.push_back(row); }
    void AddStopAt(std::int32_t row) override { timingRequests.push_back(row); }
    void EditBpmChange(std::size_t /*index*/) override {}
    void EditStop(std::size_t /*index*/) override {}
    void RemoveBpmChange(std::size_t /*index*/) override {}
    void RemoveStop(std::size_t /*index*/) override {}

    FakePlayer player;
    // 120 BPM: a half-beat of 0.25 s and a Gap of 0.5 s are exact in binary,
    // so slot times hold no rounding.
    float bpm = 120.0f;
    float gapSeconds = 0.5f;
    chart::StepChart chart;
    std::int32_t cellRows = 24;
    int pixelsPerBeat = 18;
    int holdRequests = 0;
    std::vector<std::int32_t> timingRequests;
    std::optional<std::int32_t> rangeStart;
    std::optional<std::int32_t> rangeEnd;

private:
    static constexpr std::int32_t kRowsPerSlot = chart::kRowsPerBeat / 2;
    static constexpr chart::Arrow kColumnArrows[4] = {chart::kArrowLeft, chart::kArrowDown,
                                                      chart::kArrowUp, chart::kArrowRight};
    mutable chart::Song m_song;
    mutable chart::StepChart m_builtFrom;
    mutable bool m_built = false;
};

} // namespace view_test
