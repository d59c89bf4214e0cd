// The Edit menu's toolkit as keys reach it: moves, the selection in the
// range fields, the clipboard and Go To.
#include "WindowFixture.h"
#include "edit/Clipboard.h"

#include <QClipboard>

namespace {

// 120 BPM, Gap 0: an 8th is 0.25 s. Notes on 8ths 1, 3, 5, 7, 8, 9 and 11;
// the chart is 12 8ths (3 s) long.
constexpr char kSteps[] = "080808084A0B";

TEST_F(Window, ToolkitKeysMoveSelectCopyAndPaste) {
    LoadSong(120.0f);
    window->SetSteps(kSteps);
    ASSERT_DOUBLE_EQ(window->Timing().gapSeconds, 0.0);
    struct Move {
        double from;
        int key;
        Qt::KeyboardModifiers modifiers;
        double to;
    };
    const Move moves[] = {
        {0.0, Qt::Key_Down, Qt::ControlModifier, 0.25},
        {0.25, Qt::Key_Down, Qt::ControlModifier, 0.75},
        {2.75, Qt::Key_Down, Qt::ControlModifier, 2.75},
        {1.0, Qt::Key_Up, Qt::ControlModifier, 0.75},
        {1.0, Qt::Key_PageDown, {}, 2.0},
        {2.0, Qt::Key_PageUp, {}, 0.0},
        {2.5, Qt::Key_PageUp, {}, 2.0},
        {1.3, Qt::Key_End, {}, 3.0},
        {1.3, Qt::Key_Home, {}, 0.0},
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(::testing::Message() << move.from << " key " << move.key);
        player.position = move.from;
        Press(move.key, move.modifiers);
        EXPECT_NEAR(player.position.load(), move.to, 1e-9);
    }

    // Shift+arrows grow the selection from the cell at the target line.
    player.position = 0.5;
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Texts({1027, 1028}), "2|4");
    Press(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Texts({1027, 1028}), "1|4");

    // Cut all, paste at the start: the same chart; no chart text: refused.
    const chart::SongChart before = Shown();
    player.position = 0.0;
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Texts({1027, 1028}), "0|11");
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(Shown().notes.Empty());
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Shown().SameContent(before));
    QGuiApplication::clipboard()->setText("shopping list");
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Shown().SameContent(before));
    EXPECT_EQ(dialogs.messages.back(), edit::kNotAChartMessage);

    // Go To takes a measure; text it cannot read is said so.
    dialogs.texts = {std::string("m2"), std::string("soon")};
    Press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(player.position.load(), 2.0);
    Press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(dialogs.messages.back().rfind("\"soon\" is no beat", 0), 0u);
}

// The menu item reaches the worker: a note ahead of the play position is
// handed to the player as a tick, and only while the item is on.
TEST_F(Window, NoteTickHandsTheNextNoteToThePlayer) {
    LoadSong(120.0f);
    window->SetSteps("08080808");
    QAction* tick = window->findChild<QAction*>("noteTick");
    player.position = 0.1; // the note at 0.25 s lies within the hand-over lead
    player.ChangeState(player::PlayState::kPlaying);
    QTest::qWait(50);
    EXPECT_DOUBLE_EQ(player.lastTick.load(), -1.0);
    tick->trigger();
    for (int i = 0; i < 100 && player.lastTick.load() < 0; ++i) {
        QTest::qWait(10);
    }
    EXPECT_DOUBLE_EQ(player.lastTick.load(), 0.25);
    player.ChangeState(player::PlayState::kPaused);
}

} // namespace
