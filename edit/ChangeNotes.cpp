#include "edit/ChangeNotes.h"

namespace edit {

ChangeNotes::ChangeNotes(std::size_t chart, std::string text, NoteDiff diff,
                         std::int32_t lengthBefore, std::int32_t lengthAfter, std::uint64_t mergeId)
    : m_chart(chart), m_text(std::move(text)), m_diff(std::move(diff)),
      m_lengthBefore(lengthBefore), m_lengthAfter(lengthAfter), m_mergeId(mergeId) {}

void ChangeNotes::Redo(chart::Song& song) {
    chart::SongChart& target = song.charts.at(m_chart);
    ApplyNoteDiff(target.notes, m_diff.removed, m_diff.added);
    target.lengthRows = m_lengthAfter;
}

void ChangeNotes::Undo(chart::Song& song) {
    chart::SongChart& target = song.charts.at(m_chart);
    ApplyNoteDiff(target.notes, m_diff.added, m_diff.removed);
    target.lengthRows = m_lengthBefore;
}

bool ChangeNotes::MergeWith(const EditCommand& newer) {
    const auto* other = dynamic_cast<const ChangeNotes*>(&newer);
    if (other == nullptr || other->m_chart != m_chart) {
        return false;
    }
    m_diff = ComposeDiffs(m_diff, other->m_diff);
    m_lengthAfter = other->m_lengthAfter;
    m_text = other->m_text;
    return true;
}

} // namespace edit
