#include "edit/UndoHistory.h"

#include "edit/ChangeSongInfo.h"
#include "edit/ChangeTiming.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

// A script of history operations, one letter each: 'p' pushes a new title
// ("a", "b", ... in order), 'm' the same with a shared merge id, 'u' undo,
// 'r' redo, 's' save (the clean mark), 'x' seal the newest command, 'c'
// clear. After each operation the state is the title ("." for none) and
// "+" when clean, "-" when not.
struct Script {
    const char* operations;
    const char* states;
    std::size_t count; // commands kept at the end
};

// Worked by hand from the rules in edit/UndoHistory.h.
constexpr Script kScripts[] = {
    // Nothing to undo or redo: no change.
    {"urpr", ".+ .+ a- a-", 1},
    {"pur", "a- .+ a-", 1},
    // Saved, undone past the save and redone back: clean again.
    {"ppsuurr", "a- b- b+ a- .- a- b+", 2},
    // Undone past the save, then a new command: the saved state is gone for good.
    {"ppsuupuu", "a- b- b+ a- .- c- .- .-", 1},
    {"ppsupuu", "a- b- b+ a- c- a- .-", 2},
    // Saved below the commands a new one drops: the save stays reachable.
    {"ppuspu", "a- b- a- a+ c- a+", 2},
    {"puspu", "a- .+ .+ b- .+", 1},
    // Merges: one command for the run, never across a save, a seal, an undo
    // or a redo; a command after a merge may merge again.
    {"mmmu", "a- b- c- .+", 1},
    {"msmu", "a- a+ b- a+", 2},
    {"mxmm", "a- a- b- c-", 2},
    {"mxmmum", "a- a- b- c- a- d-", 2},
    {"mmurm", "a- b- .+ b- c-", 2},
    {"pmm", "a- b- c-", 2},
    // Clearing forgets the commands and makes the state clean.
    {"ppcur", "a- b- b+ b+ b+", 0},
};

std::string State(const chart::Song& song, const edit::UndoHistory& history) {
    return (song.title.empty() ? "." : song.title) + (history.IsClean() ? "+" : "-");
}

TEST(UndoHistory, CleanMarkAndMergesFollowTheSavedState) {
    for (const Script& script : kScripts) {
        SCOPED_TRACE(script.operations);
        chart::Song song;
        edit::UndoHistory history(song);
        std::vector<edit::ChangeNotice> notices;
        history.SetListener([&](const edit::ChangeNotice& n) { notices.push_back(n); });
        char next = 'a';
        std::string states;
        for (const char operation : std::string_view(script.operations)) {
            const bool wasClean = history.IsClean();
            notices.clear();
            switch (operation) {
            case 'p':
            case 'm':
                history.Push(std::make_unique<edit::ChangeSongInfo>(
                    edit::SongInfoField::kTitle, std::string(1, next++), operation == 'm' ? 7 : 0));
                break;
            case 'u':
                history.Undo();
                break;
            case 'r':
                history.Redo();
                break;
            case 's':
                history.SetClean();
                break;
            case 'x':
                history.SealNewest();
                break;
            case 'c':
                history.Clear();
                break;
            default:
                ADD_FAILURE() << "no such operation: " << operation;
            }
            states += (states.empty() ? "" : " ") + State(song, history);
            // The window hears of every change of the clean state, and only then.
            const bool announced =
                !notices.empty() && (notices.back().kinds & edit::kCleanChanged) != 0;
            EXPECT_EQ(announced, wasClean != history.IsClean()) << operation;
        }
        EXPECT_EQ(states, script.states);
        EXPECT_EQ(history.Count(), script.count);
        EXPECT_EQ(history.CanUndo(), history.Index() > 0);
        EXPECT_EQ(history.CanRedo(), history.Index() < history.Count());
    }
}

TEST(UndoHistory, TextsNoticesAndKindsOfCommand) {
    chart::Song song;
    edit::UndoHistory history(song);
    std::vector<edit::ChangeNotice> notices;
    history.SetListener([&](const edit::ChangeNotice& n) { notices.push_back(n); });
    EXPECT_EQ(history.UndoText(), "");
    history.Push(std::make_unique<edit::ChangeSongInfo>(edit::SongInfoField::kArtist, "Me", 9));
    edit::SongTimingValues timing = edit::SongTimingValues::Of(song);
    timing.gapSeconds = 1.5f;
    // Another kind of command with the same merge id never merges.
    history.Push(std::make_unique<edit::ChangeTiming>("Change Gap", timing, 9));
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_EQ(notices.back().kinds, edit::kTimingChanged | edit::kHistoryChanged);
    history.Undo();
    EXPECT_EQ(song.gapSeconds, 0.0f);
    EXPECT_EQ(song.artist, "Me");
    EXPECT_EQ(notices.back().kinds, edit::kTimingChanged | edit::kHistoryChanged);
    EXPECT_EQ(history.UndoText(), "Change Artist");
    EXPECT_EQ(history.RedoText(), "Change Gap");
    history.Undo();
    EXPECT_EQ(notices.back().kinds,
              edit::kSongInfoChanged | edit::kHistoryChanged | edit::kCleanChanged);
    EXPECT_EQ(history.RedoText(), "Change Artist");
    EXPECT_EQ(notices.size(), 4u);
    history.Undo(); // nothing to undo: no notice
    EXPECT_EQ(notices.size(), 4u);
}

} // namespace
