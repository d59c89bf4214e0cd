#include "edit/UndoHistory.h"

namespace edit {

void UndoHistory::Push(std::unique_ptr<EditCommand> command) {
    const bool wasClean = IsClean();
    command->Redo(m_song);
    ChangeNotice notice = command->Changes();
    if (m_index < m_commands.size()) {
        m_commands.erase(m_commands.begin() + static_cast<std::ptrdiff_t>(m_index),
                         m_commands.end());
        if (m_clean != kNoClean && m_clean > m_index) {
            m_clean = kNoClean;
        }
    }
    EditCommand* newest = m_index > 0 ? m_commands[m_index - 1].get() : nullptr;
    const bool mayMerge = newest != nullptr && !m_sealed && command->MergeId() != 0 &&
                          newest->MergeId() == command->MergeId() && m_clean != m_index;
    m_sealed = false;
    if (!(mayMerge && newest->MergeWith(*command))) {
        m_commands.push_back(std::move(command));
        ++m_index;
    }
    notice.kinds |= kHistoryChanged;
    Notify(notice, wasClean);
}

std::string UndoHistory::UndoText() const {
    return CanUndo() ? m_commands[m_index - 1]->Text() : std::string();
}

std::string UndoHistory::RedoText() const {
    return CanRedo() ? m_commands[m_index]->Text() : std::string();
}

void UndoHistory::Undo() {
    if (!CanUndo()) {
        return;
    }
    const bool wasClean = IsClean();
    EditCommand& command = *m_commands[--m_index];
    command.Undo(m_song);
    m_sealed = true;
    ChangeNotice notice = command.Changes();
    notice.kinds |= kHistoryChanged;
    Notify(notice, wasClean);
}

void UndoHistory::Redo() {
    if (!CanRedo()) {
        return;
    }
    const bool wasClean = IsClean();
    EditCommand& command = *m_commands[m_index++];
    command.Redo(m_song);
    m_sealed = true;
    ChangeNotice notice = command.Changes();
    notice.kinds |= kHistoryChanged;
    Notify(notice, wasClean);
}

void UndoHistory::SetClean() {
    const bool wasClean = IsClean();
    m_clean = m_index;
    m_sealed = true;
    Notify({}, wasClean);
}

void UndoHistory::Clear() {
    const bool wasClean = IsClean();
    m_commands.clear();
    m_index = 0;
    m_clean = 0;
    m_sealed = false;
    Notify({kHistoryChanged, std::nullopt}, wasClean);
}

void UndoHistory::Notify(ChangeNotice notice, bool wasClean) {
    if (wasClean != IsClean()) {
        notice.kinds |= kCleanChanged;
    }
    if (m_listener && notice.kinds != 0) {
        m_listener(notice);
    }
}

} // namespace edit
