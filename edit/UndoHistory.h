#pragma once

#include "edit/EditCommand.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The undo history of one document: unlimited depth, a clean mark for the
// saved state, and a notice after every change. Window thread only.
namespace edit {

class UndoHistory {
public:
    using Listener = std::function<void(const ChangeNotice&)>;

    explicit UndoHistory(chart::Song& song) : m_song(song) {}
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    void SetListener(Listener listener) { m_listener = std::move(listener); }

    // Does the command, then keeps it for undo; the commands undone before
    // are dropped. Merges into the newest command when both share a merge
    // id, unless that one is the saved state.
    void Push(std::unique_ptr<EditCommand> command);

    bool CanUndo() const { return m_index > 0; }
    bool CanRedo() const { return m_index < m_commands.size(); }
    // Texts of the commands Undo and Redo would take; empty when none.
    std::string UndoText() const;
    std::string RedoText() const;
    // Undone or redone command's notice; nothing when there is none.
    void Undo();
    void Redo();

    // The document as it is now is the saved one. Reached again by undo or
    // redo, it counts as clean again.
    void SetClean();
    bool IsClean() const { return m_clean == m_index; }
    // Forgets every command (a new document); the state is clean.
    void Clear();
    // Stops the newest command from merging with the next one (a drag or
    // a spin ended).
    void SealNewest() { m_sealed = true; }

    std::size_t Count() const { return m_commands.size(); }
    std::size_t Index() const { return m_index; }

private:
    void Notify(ChangeNotice notice, bool wasClean);

    static constexpr std::size_t kNoClean = static_cast<std::size_t>(-1);

    chart::Song& m_song;
    std::vector<std::unique_ptr<EditCommand>> m_commands;
    std::size_t m_index = 0; // commands before it are done
    std::size_t m_clean = 0; // kNoClean when the saved state cannot come back
    bool m_sealed = false;
    Listener m_listener;
};

} // namespace edit
