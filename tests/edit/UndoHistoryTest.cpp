#include "edit/UndoHistory.h"

#include "edit/ChangeSongInfo.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

// A script of history operations, one letter each: 'p' pushes a new title
// ("a", "b", ... in order), 'm' the same with a shared merge id, 'u' undo,
// 'r' redo, 's' save (the clean mark), 'x' seal the newest command, 'c'
// clear. After each operation the state is the title ("." for none) and
// "+" when clean, "-" when not.
// Also the number of commands kept at the end. Worked by hand from the rules
// in edit/UndoHistory.h.
// clang-format off
const std::tuple<const char*, const char*, std::size_t> kScripts[] = {
    // Nothing to undo or redo: no change.
    {"urpr", ".+ .+ a- a-", 1}, {"pur", "a- .+ a-", 1},
    // Saved, undone past the save and redone back: clean again.
    {"ppsuurr", "a- b- b+ a- .- a- b+", 2},
    // Undone past the save, then a new command: the saved state is gone for good.
    {"ppsuupuu", "a- b- b+ a- .- c- .- .-", 1}, {"ppsupuu", "a- b- b+ a- c- a- .-", 2},
    // Saved below the commands a new one drops: the save stays reachable.
    {"ppuspu", "a- b- a- a+ c- a+", 2}, {"puspu", "a- .+ .+ b- .+", 1},
    // Merges: one command for the run, never across a save, a seal, an undo
    // or a redo; a command after a merge may merge again.
    {"mmmu", "a- b- c- .+", 1}, {"msmu", "a- a+ b- a+", 2}, {"mxmm", "a- a- b- c-", 2},
    {"mxmmum", "a- a- b- c- a- d-", 2}, {"mmurm", "a- b- .+ b- c-", 2}, {"pmm", "a- b- c-", 2},
    // Clearing forgets the commands and makes the state clean.
    {"ppcur", "a- b- b+ b+ b+", 0}};
// clang-format on

TEST(UndoHistory, CleanMarkAndMergesFollowTheSavedState) {
    using History = edit::UndoHistory;
    constexpr void (History::*kOperations[])() = {
        &History::Undo, &History::Redo, &History::SetClean, &History::SealNewest, &History::Clear};
    for (const auto& [operations, expected, count] : kScripts) {
        SCOPED_TRACE(operations);
        chart::Song song;
        History history(song);
        std::uint32_t kinds = 0;
        history.SetListener([&kinds](const edit::ChangeNotice& notice) {
            EXPECT_NE(notice.kinds, 0u); // a notice always says what changed
            kinds |= notice.kinds;
        });
        char next = 'a';
        std::string states;
        for (const char operation : std::string_view(operations)) {
            const bool wasClean = history.IsClean();
            kinds = 0;
            if (operation == 'p' || operation == 'm') {
                history.Push(std::make_unique<edit::ChangeSongInfo>(
                    edit::SongInfoField::kTitle, std::string(1, next++), operation == 'm' ? 7 : 0));
            } else {
                (history.*kOperations[std::string_view("ursxc").find(operation)])();
            }
            states += (states.empty() ? "" : " ") + (song.title.empty() ? "." : song.title) +
                      (history.IsClean() ? "+" : "-");
            // The window hears of every change of the clean state, and only then.
            EXPECT_EQ((kinds & edit::kCleanChanged) != 0, wasClean != history.IsClean());
        }
        EXPECT_EQ(std::tuple(states, history.Count(), history.CanUndo(), history.CanRedo()),
                  std::tuple(expected, count, history.Index() > 0, history.Index() < count));
    }
}

} // namespace
