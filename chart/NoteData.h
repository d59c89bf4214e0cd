#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The notes of one chart on a grid of rows, 48 rows per beat, so every note
// length the .dwi format can express (8ths to 192nds) lands on a whole row.
// Row 0 is beat 0, the Gap. Rows are signed 32-bit; a chart holds rows
// 0 .. kMaxRows - 1.
namespace chart {

inline constexpr std::int32_t kRowsPerBeat = 48;
inline constexpr std::int32_t kRowsPerMeasure = 4 * kRowsPerBeat;
// Over ten hours at 400 BPM: far beyond any song, small enough that a row
// count times a column count never overflows.
inline constexpr std::int32_t kMaxRows = 1 << 26;

// What a note asks of the player. A Normal note is a tap, or a hold when it
// has a length; a Roll always has one. The others are single rows: a Mine is
// to be avoided, a Lift is hit on release, a Fake is shown and never judged,
// an AutoKeysound only sounds.
enum class NoteKind : std::uint8_t { Normal, Roll, Mine, Lift, Fake, AutoKeysound };

struct Note {
    std::int32_t row = 0;
    std::uint8_t column = 0;
    // 0 for a single row; otherwise a hold or roll from row to row + holdRows.
    std::int32_t holdRows = 0;
    NoteKind kind = NoteKind::Normal;
    // The file's keysound index + 1 (".ssc" "1[3]"); 0 for none.
    std::uint16_t keysound = 0;

    std::int32_t EndRow() const { return row + holdRows; }
    bool IsHold() const { return holdRows > 0; }
    bool IsRoll() const { return holdRows > 0 && kind == NoteKind::Roll; }
    // Taps, holds, rolls and lifts: the notes a player steps on.
    bool IsStep() const {
        return kind == NoteKind::Normal || kind == NoteKind::Roll || kind == NoteKind::Lift;
    }
    friend bool operator==(const Note&, const Note&) = default;
};

// Notes kept sorted by (row, column): lookups by row are binary searches,
// and a 192nd-dense chart of a long song stays one flat array (16 bytes a
// note). In one column notes never overlap: a hold's span, tail included,
// holds no other note of its column.
class NoteData {
public:
    NoteData() = default;
    explicit NoteData(std::uint8_t columns) : m_columns(columns) {}

    std::uint8_t Columns() const { return m_columns; }
    const std::vector<Note>& Notes() const { return m_notes; }
    bool Empty() const { return m_notes.empty(); }
    std::size_t Size() const { return m_notes.size(); }

    // The note whose head is at (row, column), or null.
    const Note* Find(std::int32_t row, std::uint8_t column) const;
    // The note whose span (head to tail) covers (row, column), or null.
    const Note* Covering(std::int32_t row, std::uint8_t column) const;
    // Notes whose heads lie in [beginRow, endRow).
    std::span<const Note> HeadsIn(std::int32_t beginRow, std::int32_t endRow) const;

    // Puts a note in, replacing whatever overlaps it in its column. False
    // (and nothing changed) for a column or row out of range.
    bool Set(const Note& note);
    // Removes the note whose head is at (row, column); false when none.
    bool Remove(std::int32_t row, std::uint8_t column);
    void Clear() { m_notes.clear(); }

    // Appends without checks; the caller keeps the order and the no-overlap
    // rule (the reader, which produces notes in order).
    void AppendSorted(const Note& note);

    // The row after the last head or tail; 0 when empty.
    std::int32_t EndRow() const;

    friend bool operator==(const NoteData& a, const NoteData& b) {
        return a.m_columns == b.m_columns && a.m_notes == b.m_notes;
    }

private:
    std::vector<Note>::iterator LowerBound(std::int32_t row, std::uint8_t column);
    std::vector<Note>::const_iterator LowerBound(std::int32_t row, std::uint8_t column) const;

    std::uint8_t m_columns = 4;
    std::vector<Note> m_notes;
    // The longest hold ever put in: bounds how far back Covering looks.
    std::int32_t m_longestHoldRows = 0;
};

} // namespace chart
