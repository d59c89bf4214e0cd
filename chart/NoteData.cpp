#include "chart/NoteData.h"

#include <algorithm>

namespace chart {

namespace {

bool Before(const Note& note, std::int32_t row, std::uint8_t column) {
    return note.row < row || (note.row == row && note.column < column);
}

} // namespace

std::vector<Note>::iterator NoteData::LowerBound(std::int32_t row, std::uint8_t column) {
    return std::lower_bound(
        m_notes.begin(), m_notes.end(), row,
        [column](const Note& note, std::int32_t r) { return Before(note, r, column); });
}

std::vector<Note>::const_iterator NoteData::LowerBound(std::int32_t row,
                                                       std::uint8_t column) const {
    return std::lower_bound(
        m_notes.begin(), m_notes.end(), row,
        [column](const Note& note, std::int32_t r) { return Before(note, r, column); });
}

const Note* NoteData::Find(std::int32_t row, std::uint8_t column) const {
    const auto it = LowerBound(row, column);
    return it != m_notes.end() && it->row == row && it->column == column ? &*it : nullptr;
}

const Note* NoteData::Covering(std::int32_t row, std::uint8_t column) const {
    // The covering note is the last one of the column with its head at or
    // before the row. Holds are short against a whole chart, so walking back
    // over other columns' notes stays cheap.
    auto it = LowerBound(row, static_cast<std::uint8_t>(column + 1));
    while (it != m_notes.begin()) {
        --it;
        if (it->row < row - m_longestHoldRows) {
            return nullptr;
        }
        if (it->column == column) {
            return it->EndRow() >= row ? &*it : nullptr;
        }
    }
    return nullptr;
}

std::span<const Note> NoteData::HeadsIn(std::int32_t beginRow, std::int32_t endRow) const {
    if (endRow <= beginRow) {
        return {};
    }
    const auto first = LowerBound(beginRow, 0);
    const auto last = LowerBound(endRow, 0);
    return {first, last};
}

bool NoteData::Set(const Note& note) {
    if (note.column >= m_columns || note.row < 0 || note.holdRows < 0 ||
        note.row >= kMaxRows - note.holdRows) {
        return false;
    }
    // Drop what overlaps the new note's span in its column: a hold reaching
    // into it from before, and every head inside it.
    if (const Note* before = Covering(note.row, note.column)) {
        Remove(before->row, before->column);
    }
    auto it = LowerBound(note.row, note.column);
    while (it != m_notes.end() && it->row <= note.EndRow()) {
        if (it->column == note.column) {
            it = m_notes.erase(it);
        } else {
            ++it;
        }
    }
    m_notes.insert(LowerBound(note.row, note.column), note);
    m_longestHoldRows = std::max(m_longestHoldRows, note.holdRows);
    return true;
}

void NoteData::AppendSorted(const Note& note) {
    m_notes.push_back(note);
    m_longestHoldRows = std::max(m_longestHoldRows, note.holdRows);
}

bool NoteData::Remove(std::int32_t row, std::uint8_t column) {
    const auto it = LowerBound(row, column);
    if (it == m_notes.end() || it->row != row || it->column != column) {
        return false;
    }
    m_notes.erase(it);
    return true;
}

std::int32_t NoteData::EndRow() const {
    std::int32_t end = 0;
    // Holds can reach past later heads, so look at every note once.
    for (const Note& note : m_notes) {
        end = std::max(end, note.EndRow() + 1);
    }
    return end;
}

} // namespace chart
