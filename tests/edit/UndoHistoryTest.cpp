#include "edit/UndoHistory.h"

#include "edit/ChangeSongInfo.h"
#include "edit/ChangeTiming.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<edit::EditCommand> Retitle(const std::string& title, std::uint64_t mergeId = 0) {
    return std::make_unique<edit::ChangeSongInfo>(edit::SongInfoField::kTitle, title, mergeId);
}

struct Recorder {
    std::vector<edit::ChangeNotice> notices;
    edit::UndoHistory::Listener Listener() {
        return [this](const edit::ChangeNotice& notice) { notices.push_back(notice); };
    }
    bool LastHas(std::uint32_t kind) const {
        return !notices.empty() && (notices.back().kinds & kind) != 0;
    }
};

TEST(UndoHistory, UndoAndRedoWalkTheCommandsWithTheirTexts) {
    chart::Song song;
    edit::UndoHistory history(song);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.UndoText(), "");
    history.Push(Retitle("One"));
    history.Push(std::make_unique<edit::ChangeSongInfo>(edit::SongInfoField::kArtist, "Me"));
    EXPECT_EQ(song.title, "One");
    EXPECT_EQ(song.artist, "Me");
    EXPECT_EQ(history.UndoText(), "Change Artist");
    history.Undo();
    EXPECT_EQ(song.artist, "");
    EXPECT_EQ(history.UndoText(), "Change Title");
    EXPECT_EQ(history.RedoText(), "Change Artist");
    history.Undo();
    EXPECT_EQ(song.title, "");
    EXPECT_FALSE(history.CanUndo());
    history.Undo(); // nothing left: no change
    history.Redo();
    history.Redo();
    EXPECT_EQ(song.title, "One");
    EXPECT_EQ(song.artist, "Me");
    EXPECT_FALSE(history.CanRedo());
}

TEST(UndoHistory, ANewCommandDropsTheUndoneOnes) {
    chart::Song song;
    edit::UndoHistory history(song);
    history.Push(Retitle("One"));
    history.Push(Retitle("Two"));
    history.Undo();
    history.Push(Retitle("Three"));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Count(), 2u);
    history.Undo();
    EXPECT_EQ(song.title, "One");
}

TEST(UndoHistory, TheCleanMarkFollowsTheSavedState) {
    chart::Song song;
    edit::UndoHistory history(song);
    Recorder recorder;
    history.SetListener(recorder.Listener());
    EXPECT_TRUE(history.IsClean());
    history.Push(Retitle("One"));
    EXPECT_FALSE(history.IsClean());
    EXPECT_TRUE(recorder.LastHas(edit::kCleanChanged));
    history.Push(Retitle("Two"));
    EXPECT_FALSE(recorder.LastHas(edit::kCleanChanged)); // still unsaved
    history.SetClean();
    EXPECT_TRUE(history.IsClean());
    history.Undo();
    EXPECT_FALSE(history.IsClean());
    history.Redo(); // the saved state again
    EXPECT_TRUE(history.IsClean());
    EXPECT_TRUE(recorder.LastHas(edit::kCleanChanged));
    // Undo past the save, then a new edit: the saved state is gone for good.
    history.Undo();
    history.Push(Retitle("Other"));
    history.Undo();
    EXPECT_EQ(song.title, "One");
    EXPECT_FALSE(history.IsClean());
    history.Clear();
    EXPECT_TRUE(history.IsClean());
    EXPECT_FALSE(history.CanUndo());
}

TEST(UndoHistory, CommandsWithOneMergeIdBecomeOneUnlessSealedOrSaved) {
    chart::Song song;
    edit::UndoHistory history(song);
    history.Push(Retitle("T", 5));
    history.Push(Retitle("Ti", 5));
    history.Push(Retitle("Tit", 5));
    EXPECT_EQ(history.Count(), 1u);
    history.Undo();
    EXPECT_EQ(song.title, "");
    history.Redo();
    EXPECT_EQ(song.title, "Tit");

    history.SealNewest();
    history.Push(Retitle("Title", 5));
    EXPECT_EQ(history.Count(), 2u);
    history.SetClean();
    history.Push(Retitle("Titles", 5)); // the saved state stays reachable
    EXPECT_EQ(history.Count(), 3u);
    history.Undo();
    EXPECT_TRUE(history.IsClean());
}

TEST(UndoHistory, DifferentKindsOfCommandNeverMerge) {
    chart::Song song;
    edit::UndoHistory history(song);
    history.Push(Retitle("T", 9));
    edit::SongTimingValues timing = edit::SongTimingValues::Of(song);
    timing.bpm = 150.0f;
    history.Push(std::make_unique<edit::ChangeTiming>("Change BPM", timing, 9));
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.UndoText(), "Change BPM");
}

TEST(UndoHistory, NoticesSayWhatChanged) {
    chart::Song song;
    edit::UndoHistory history(song);
    Recorder recorder;
    history.SetListener(recorder.Listener());
    edit::SongTimingValues timing = edit::SongTimingValues::Of(song);
    timing.gapSeconds = 1.5f;
    history.Push(std::make_unique<edit::ChangeTiming>("Change Gap", timing));
    EXPECT_TRUE(recorder.LastHas(edit::kTimingChanged));
    EXPECT_TRUE(recorder.LastHas(edit::kHistoryChanged));
    EXPECT_FALSE(recorder.LastHas(edit::kSongInfoChanged));
    history.Undo();
    EXPECT_TRUE(recorder.LastHas(edit::kTimingChanged));
    EXPECT_EQ(song.gapSeconds, 0.0f);
    EXPECT_EQ(recorder.notices.size(), 2u);
}

} // namespace
