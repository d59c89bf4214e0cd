#pragma once

#include "chart/Song.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// One undoable change of the song document. Redo and Undo are handed the
// document; a command holds only what it needs to go both ways.
namespace edit {

// What a change touched, so that views repaint only that.
enum SongChangeKind : std::uint32_t {
    kNotesChanged = 1u << 0,     // notes or length of one chart
    kTimingChanged = 1u << 1,    // BPM, Gap, sample bounds, changes, stops
    kSongInfoChanged = 1u << 2,  // title, artist
    kChartInfoChanged = 1u << 3, // difficulty, rating of one chart
    kChartListChanged = 1u << 4, // a chart added or removed
    kSelectionChanged = 1u << 5, // the editor selected another chart
    kSnapChanged = 1u << 6,
    kCleanChanged = 1u << 7,   // unsaved changes appeared or went away
    kHistoryChanged = 1u << 8, // undo/redo availability or texts
};

struct ChangeNotice {
    std::uint32_t kinds = 0;          // SongChangeKind bits
    std::optional<std::size_t> chart; // the chart concerned, when one is
};

class EditCommand {
public:
    virtual ~EditCommand() = default;

    virtual void Redo(chart::Song& song) = 0;
    virtual void Undo(chart::Song& song) = 0;

    // What the menu shows after "Undo " / "Redo ": "Add Note", "Randomize"...
    virtual std::string Text() const = 0;
    virtual ChangeNotice Changes() const = 0;

    // Commands with the same non-zero id may merge: the newer one, just
    // done, is folded into this one (already done too), which then stands
    // for both. Used for live drags and a key held from press to release.
    virtual std::uint64_t MergeId() const { return 0; }
    virtual bool MergeWith(const EditCommand& /*newer*/) { return false; }
};

} // namespace edit
