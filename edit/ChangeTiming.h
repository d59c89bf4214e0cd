#pragma once

#include "edit/EditCommand.h"

#include <string>
#include <vector>

// The song's timing as one value: BPM, Gap, sample bounds, tempo changes
// and stops. Small enough to be swapped whole by every timing edit.
namespace edit {

struct SongTimingValues {
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    float sampleStartSeconds = 0.0f;
    float sampleLengthSeconds = 5.0f;
    std::vector<chart::BpmChange> changes;
    std::vector<chart::Stop> stops;

    static SongTimingValues Of(const chart::Song& song);
    void ApplyTo(chart::Song& song) const;
    friend bool operator==(const SongTimingValues&, const SongTimingValues&) = default;
};

// Holds the other timing and exchanges it with the song's: redo and undo
// are the same swap.
class ChangeTiming final : public EditCommand {
public:
    ChangeTiming(std::string text, SongTimingValues other, std::uint64_t mergeId = 0)
        : m_text(std::move(text)), m_other(std::move(other)), m_mergeId(mergeId) {}

    void Redo(chart::Song& song) override { Swap(song); }
    void Undo(chart::Song& song) override { Swap(song); }
    std::string Text() const override { return m_text; }
    ChangeNotice Changes() const override { return {kTimingChanged, std::nullopt}; }
    std::uint64_t MergeId() const override { return m_mergeId; }
    // A spin or drag: this command keeps the timing from before the first
    // step, so there is nothing to take from the newer one.
    bool MergeWith(const EditCommand& newer) override {
        return dynamic_cast<const ChangeTiming*>(&newer) != nullptr;
    }

private:
    void Swap(chart::Song& song);

    std::string m_text;
    SongTimingValues m_other;
    std::uint64_t m_mergeId;
};

} // namespace edit
