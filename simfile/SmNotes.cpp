#include "simfile/SmNotes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <numeric>
#include <span>
#include <utility>
#include <vector>

namespace sm {

namespace {

using chart::kRowsPerMeasure;
using chart::Note;
using chart::NoteKind;

// The steps types of the dance games' readers and their column counts.
constexpr std::array<std::pair<std::string_view, std::uint8_t>, 37> kStepsTypeColumns{{
    {"dance-single", 4},      {"dance-double", 8},     {"dance-couple", 8},
    {"dance-solo", 6},        {"dance-threepanel", 3}, {"dance-routine", 8},
    {"pump-single", 5},       {"pump-halfdouble", 6},  {"pump-double", 10},
    {"pump-couple", 10},      {"pump-routine", 10},    {"kb7-single", 7},
    {"ez2-single", 5},        {"ez2-double", 10},      {"ez2-real", 7},
    {"para-single", 5},       {"ds3ddx-single", 8},    {"beat-single5", 6},
    {"beat-double5", 12},     {"beat-single7", 8},     {"beat-double7", 16},
    {"maniax-single", 4},     {"maniax-double", 8},    {"techno-single4", 4},
    {"techno-single5", 5},    {"techno-single8", 8},   {"techno-double4", 8},
    {"techno-double5", 10},   {"techno-double8", 16},  {"pnm-five", 5},
    {"pnm-nine", 9},          {"lights-cabinet", 8},   {"kickbox-human", 4},
    {"kickbox-quadarm", 4},   {"kickbox-insect", 6},   {"kickbox-arachnid", 8},
    {"dance-threedouble", 6},
}};

bool IsLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The row of line r of a measure of n lines: r * 192 / n to the nearest
// row, ties to even (the games' lrintf on beats times 48).
std::int32_t RowInMeasure(std::int64_t r, std::int64_t n) {
    const std::int64_t scaled = r * kRowsPerMeasure;
    std::int64_t row = scaled / n;
    const std::int64_t twice = 2 * (scaled % n);
    if (twice > n || (twice == n && row % 2 == 1)) {
        ++row;
    }
    return static_cast<std::int32_t>(row);
}

// "[n]" as sscanf("%d") reads it: blanks, a sign, digits.
std::uint16_t KeysoundOf(std::string_view inside) {
    std::size_t i = 0;
    while (i < inside.size() && (inside[i] == ' ' || inside[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < inside.size() && (inside[i] == '+' || inside[i] == '-')) {
        negative = inside[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    bool digits = false;
    while (i < inside.size() && inside[i] >= '0' && inside[i] <= '9') {
        value = std::min<std::int64_t>(value * 10 + (inside[i] - '0'), 1 << 20);
        digits = true;
        ++i;
    }
    // The file counts from 0 and -1 means none; the note keeps index + 1.
    if (!digits || negative || value > 65534) {
        return 0;
    }
    return static_cast<std::uint16_t>(value + 1);
}

// Width of a row: its note characters, without keysounds and attacks.
std::uint8_t RowWidth(std::string_view line) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '[' || line[i] == '{') {
            const std::size_t close = line.find(line[i] == '[' ? ']' : '}', i);
            if (close == std::string_view::npos) {
                break;
            }
            i = close;
        } else {
            ++width;
        }
    }
    return static_cast<std::uint8_t>(std::min<std::size_t>(width, kMaxColumns));
}

constexpr std::int32_t kOpen = -1; // holdRows of a head no tail has closed yet

struct ColumnNotes {
    std::vector<Note> notes;

    void Put(const Note& note) {
        // Two lines of a dense measure can round to one row: the later wins.
        if (!notes.empty() && notes.back().row == note.row) {
            notes.back() = note;
        } else {
            notes.push_back(note);
        }
    }

    void Tail(std::int32_t row) {
        std::size_t i = notes.size();
        while (i > 0 && notes[i - 1].kind == NoteKind::AutoKeysound) {
            --i;
        }
        if (i == 0) {
            return;
        }
        Note& head = notes[i - 1];
        const bool isHead = head.holdRows == kOpen || head.holdRows > 0;
        if (!isHead || head.row >= row || (head.holdRows > 0 && head.EndRow() < row)) {
            return;
        }
        head.holdRows = row - head.row;
        notes.resize(i); // keysounds inside the hold: one note a cell
    }
};

} // namespace

std::uint8_t ColumnsOfStepsType(std::string_view stepsType) {
    while (!stepsType.empty() && IsLineSpace(stepsType.front())) {
        stepsType.remove_prefix(1);
    }
    while (!stepsType.empty() && IsLineSpace(stepsType.back())) {
        stepsType.remove_suffix(1);
    }
    std::string lower(stepsType);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [name, columns] : kStepsTypeColumns) {
        if (lower == name) {
            return columns;
        }
    }
    return 0;
}

DecodedNotes DecodeNotes(std::string_view text, std::uint8_t columns) {
    text = text.substr(0, std::min(text.find('&'), text.size()));
    constexpr std::int32_t kMaxMeasures = chart::kMaxRows / kRowsPerMeasure;
    std::vector<ColumnNotes> perColumn(columns);
    bool widthKnown = columns != 0;
    std::vector<std::string_view> lines;
    std::int32_t measure = 0;
    std::size_t start = 0;
    while (start < text.size() && measure < kMaxMeasures) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view measureText = text.substr(start, comma - start);
        start = comma + 1;
        if (measureText.empty()) {
            continue;
        }
        lines.clear();
        std::size_t lineStart = 0;
        while (lineStart < measureText.size()) {
            const std::size_t newline =
                std::min(measureText.find('\n', lineStart), measureText.size());
            std::string_view line = measureText.substr(lineStart, newline - lineStart);
            lineStart = newline + 1;
            while (!line.empty() && IsLineSpace(line.front())) {
                line.remove_prefix(1);
            }
            while (!line.empty() && IsLineSpace(line.back())) {
                line.remove_suffix(1);
            }
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        if (!widthKnown && !lines.empty()) {
            columns = RowWidth(lines.front());
            perColumn.resize(columns);
            widthKnown = true;
        }
        const std::int32_t base = measure * kRowsPerMeasure;
        for (std::size_t l = 0; l < lines.size(); ++l) {
            const std::string_view line = lines[l];
            const std::int32_t row =
                base + RowInMeasure(static_cast<std::int64_t>(l), std::ssize(lines));
            std::size_t p = 0;
            for (std::uint8_t column = 0; column < columns && p < line.size(); ++column) {
                const char c = line[p++];
                Note note{row, column, 0, NoteKind::Normal, 0};
                bool put = true;
                switch (c) {
                case '1':
                    break;
                case '2':
                    note.holdRows = kOpen;
                    break;
                case '4':
                    note.holdRows = kOpen;
                    note.kind = NoteKind::Roll;
                    break;
                case 'M':
                    note.kind = NoteKind::Mine;
                    break;
                case 'L':
                    note.kind = NoteKind::Lift;
                    break;
                case 'F':
                    note.kind = NoteKind::Fake;
                    break;
                case 'K':
                    note.kind = NoteKind::AutoKeysound;
                    break;
                case '3':
                    perColumn[column].Tail(row);
                    put = false;
                    break;
                default: // "0" and what the games do not know: nothing
                    put = false;
                    break;
                }
                // Attack blocks and the keysound, in either order.
                while (p < line.size() && (line[p] == '{' || line[p] == '[')) {
                    const char close = line[p] == '{' ? '}' : ']';
                    const std::size_t end = std::min(line.find(close, p), line.size());
                    if (close == ']') {
                        note.keysound = KeysoundOf(line.substr(p + 1, end - p - 1));
                    }
                    p = std::min(end + 1, line.size());
                }
                if (put) {
                    perColumn[column].Put(note);
                }
            }
        }
        ++measure;
    }
    DecodedNotes decoded{chart::NoteData(columns), measure * kRowsPerMeasure};
    std::vector<Note> all;
    for (const ColumnNotes& column : perColumn) {
        for (const Note& note : column.notes) {
            if (note.holdRows != kOpen) {
                all.push_back(note);
            }
        }
    }
    std::sort(all.begin(), all.end(), [](const Note& a, const Note& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (const Note& note : all) {
        decoded.notes.AppendSorted(note);
    }
    return decoded;
}

namespace {

struct Cell {
    std::int32_t row = 0;
    std::uint8_t column = 0;
    char symbol = '0';
    std::uint16_t keysound = 0;
};

char HeadSymbol(const Note& note) {
    if (note.holdRows > 0) {
        return note.kind == NoteKind::Roll ? '4' : '2';
    }
    switch (note.kind) {
    case NoteKind::Mine:
        return 'M';
    case NoteKind::Lift:
        return 'L';
    case NoteKind::Fake:
        return 'F';
    case NoteKind::AutoKeysound:
        return 'K';
    case NoteKind::Normal:
    case NoteKind::Roll:
        break;
    }
    return '1';
}

std::vector<Cell> CellsOf(const chart::NoteData& notes) {
    std::vector<Cell> cells;
    cells.reserve(notes.Size());
    bool sorted = true;
    for (const Note& note : notes.Notes()) {
        cells.push_back({note.row, note.column, HeadSymbol(note), note.keysound});
        if (note.holdRows > 0) {
            cells.push_back({note.EndRow(), note.column, '3', 0});
            sorted = false;
        }
    }
    if (!sorted) {
        std::stable_sort(cells.begin(), cells.end(),
                         [](const Cell& a, const Cell& b) { return a.row < b.row; });
    }
    return cells;
}

// The fewest rows that place every offset exactly are 192 / gcd(192,
// offsets); below 4 the next multiple that divides 192 (3 rows become 6).
int RowsFor(std::span<const Cell> cells) {
    int step = kRowsPerMeasure;
    for (const Cell& cell : cells) {
        step = std::gcd(step, static_cast<int>(cell.row % kRowsPerMeasure));
    }
    const int rows = kRowsPerMeasure / step;
    return rows == 3 ? 6 : std::max(rows, 4);
}

} // namespace

int RowsPerMeasure(const chart::NoteData& notes, std::int32_t measure) {
    std::vector<Cell> cells = CellsOf(notes);
    std::erase_if(cells,
                  [measure](const Cell& cell) { return cell.row / kRowsPerMeasure != measure; });
    return RowsFor(cells);
}

std::string EncodeNotes(const chart::NoteData& notes, std::int32_t lengthRows,
                        std::string_view lineEnd) {
    const std::vector<Cell> cells = CellsOf(notes);
    std::int32_t measures = (std::max(lengthRows, 0) + kRowsPerMeasure - 1) / kRowsPerMeasure;
    if (!cells.empty()) {
        measures = std::max(measures, cells.back().row / kRowsPerMeasure + 1);
    }
    const std::size_t columns = notes.Columns();
    std::string out;
    out.reserve(static_cast<std::size_t>(measures) * 4 * (columns + lineEnd.size()) +
                cells.size() * 4);
    std::string grid;
    std::vector<std::pair<std::size_t, std::uint16_t>> keysounds;
    std::size_t next = 0;
    for (std::int32_t measure = 0; measure < measures; ++measure) {
        std::size_t last = next;
        while (last < cells.size() && cells[last].row / kRowsPerMeasure == measure) {
            ++last;
        }
        const std::span<const Cell> inMeasure(cells.data() + next, last - next);
        const int rows = RowsFor(inMeasure);
        const int step = kRowsPerMeasure / rows;
        grid.assign(static_cast<std::size_t>(rows) * columns, '0');
        keysounds.clear();
        for (const Cell& cell : inMeasure) {
            const std::size_t at =
                static_cast<std::size_t>(cell.row % kRowsPerMeasure / step) * columns + cell.column;
            grid[at] = cell.symbol;
            if (cell.keysound != 0) {
                keysounds.emplace_back(at, cell.keysound);
            }
        }
        std::sort(keysounds.begin(), keysounds.end());
        if (measure > 0) {
            out += ',';
            out += lineEnd;
        }
        auto keysound = keysounds.begin();
        for (std::size_t r = 0; r < static_cast<std::size_t>(rows); ++r) {
            const std::size_t begin = r * columns;
            if (keysound == keysounds.end() || keysound->first >= begin + columns) {
                out.append(grid, begin, columns);
            } else {
                for (std::size_t at = begin; at < begin + columns; ++at) {
                    out += grid[at];
                    if (keysound != keysounds.end() && keysound->first == at) {
                        out += '[' + std::to_string(keysound->second - 1) + ']';
                        ++keysound;
                    }
                }
            }
            out += lineEnd;
        }
        next = last;
    }
    return out;
}

} // namespace sm
