#include "dwi/DwiSteps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <vector>

namespace dwi {

namespace {

using chart::ChartStyle;
using chart::Note;
using chart::NoteData;

// The six panels a step character can name.
enum Panel : std::uint8_t {
    kLeft = 1 << 0,
    kUpLeft = 1 << 1,
    kDown = 1 << 2,
    kUp = 1 << 3,
    kUpRight = 1 << 4,
    kRight = 1 << 5,
};
constexpr int kPanelCount = 6;

struct StepChar {
    char code;
    std::uint8_t panels;
};

// Digits follow the numeric keypad; C-M are the solo pad's up-left and
// up-right panels and their pairs. "5" is an empty step.
constexpr std::array<StepChar, 24> kStepChars{{
    {'0', 0},
    {'1', kDown | kLeft},
    {'2', kDown},
    {'3', kDown | kRight},
    {'4', kLeft},
    {'5', 0},
    {'6', kRight},
    {'7', kUp | kLeft},
    {'8', kUp},
    {'9', kUp | kRight},
    {'A', kUp | kDown},
    {'B', kLeft | kRight},
    {'C', kUpLeft},
    {'D', kUpRight},
    {'E', kLeft | kUpLeft},
    {'F', kUpLeft | kDown},
    {'G', kUpLeft | kUp},
    {'H', kUpLeft | kRight},
    {'I', kLeft | kUpRight},
    {'J', kDown | kUpRight},
    {'K', kUp | kUpRight},
    {'L', kUpRight | kRight},
    {'M', kUpLeft | kUpRight},
}};

int PanelsOf(char c) {
    for (const StepChar& entry : kStepChars) {
        if (entry.code == c) {
            return entry.panels;
        }
    }
    return -1;
}

char CharOf(std::uint8_t panels) {
    for (const StepChar& entry : kStepChars) {
        if (entry.panels == panels) {
            return entry.code;
        }
    }
    return '\0';
}

// Column of a panel on one pad of the style; -1 when the pad has none.
int ColumnOfPanel(ChartStyle style, int panelIndex) {
    // Panels in bit order: Left, Up-Left, Down, Up, Up-Right, Right.
    static constexpr std::array<int, kPanelCount> kFourPanel{0, -1, 1, 2, -1, 3};
    static constexpr std::array<int, kPanelCount> kSixPanel{0, 1, 2, 3, 4, 5};
    return style == ChartStyle::Solo ? kSixPanel[static_cast<std::size_t>(panelIndex)]
                                     : kFourPanel[static_cast<std::size_t>(panelIndex)];
}

int PanelOfColumn(ChartStyle style, int padColumn) {
    for (int panel = 0; panel < kPanelCount; ++panel) {
        if (ColumnOfPanel(style, panel) == padColumn) {
            return panel;
        }
    }
    return -1;
}

int PadColumns(ChartStyle style) {
    return style == ChartStyle::Solo ? 6 : 4;
}

int RowsOfBracket(char c) {
    switch (c) {
    case '(':
        return 12;
    case '[':
        return 8;
    case '{':
        return 3;
    case '`':
        return 1;
    case ')':
    case ']':
    case '}':
    case '\'':
        return 24;
    default:
        return 0;
    }
}

struct PadReader {
    ChartStyle style;
    std::uint8_t offset;
    std::vector<Note> notes;
    // Per column of the pad: the open hold's index in notes, and the last
    // row a note of the column starts or ends on.
    std::array<long, kPanelCount> openHold{-1, -1, -1, -1, -1, -1};
    std::array<std::int32_t, kPanelCount> lastRow{-1, -1, -1, -1, -1, -1};

    // Puts the character's arrows on the row; returns the columns that ended
    // a hold here, which "!" must not start again.
    unsigned Step(int panels, std::int32_t row) {
        unsigned ended = 0;
        for (int panel = 0; panel < kPanelCount; ++panel) {
            const int column = (panels >> panel) & 1 ? ColumnOfPanel(style, panel) : -1;
            if (column < 0) {
                continue;
            }
            const auto c = static_cast<std::size_t>(column);
            if (lastRow[c] == row) {
                continue;
            }
            lastRow[c] = row;
            if (openHold[c] >= 0) {
                Note& head = notes[static_cast<std::size_t>(openHold[c])];
                head.holdRows = row - head.row;
                openHold[c] = -1;
                ended |= 1u << column;
                continue;
            }
            notes.push_back({row, static_cast<std::uint8_t>(offset + column), 0});
        }
        return ended;
    }

    void Hold(int panels, std::int32_t row, unsigned ended) {
        for (int panel = 0; panel < kPanelCount; ++panel) {
            const int column = (panels >> panel) & 1 ? ColumnOfPanel(style, panel) : -1;
            if (column < 0 || (ended >> column) & 1) {
                continue;
            }
            const auto c = static_cast<std::size_t>(column);
            const auto padColumn = static_cast<std::uint8_t>(offset + column);
            // The head is the tap just put on this row, or a new note.
            long index = -1;
            for (auto i = static_cast<long>(notes.size()) - 1; i >= 0; --i) {
                const Note& note = notes[static_cast<std::size_t>(i)];
                if (note.row != row) {
                    break;
                }
                if (note.column == padColumn) {
                    index = i;
                    break;
                }
            }
            if (index < 0) {
                if (lastRow[c] == row) {
                    continue;
                }
                notes.push_back({row, padColumn, 0});
                index = static_cast<long>(notes.size()) - 1;
                lastRow[c] = row;
            }
            openHold[c] = index;
        }
    }
};

} // namespace

namespace {

// Reads one pad, appending its notes (in row order) to out.
std::int32_t ReadPad(std::string_view text, ChartStyle style, std::uint8_t columnOffset,
                     std::vector<Note>& out) {
    PadReader reader{style, columnOffset, std::move(out), {}, {}};
    reader.openHold.fill(-1);
    reader.lastRow.fill(-1);
    std::int32_t row = 0;
    std::int32_t step = 24;
    bool inGroup = false;
    for (std::size_t i = 0; i < text.size() && row < chart::kMaxRows; ++i) {
        const char c = text[i];
        if (const int rows = RowsOfBracket(c)) {
            step = rows;
            continue;
        }
        if (c == '<') {
            inGroup = true;
            continue;
        }
        if (c == '>') {
            if (inGroup) {
                inGroup = false;
                row += step;
            }
            continue;
        }
        const int panels = PanelsOf(c);
        if (panels < 0) {
            continue;
        }
        const unsigned ended = reader.Step(panels, row);
        if (i + 1 < text.size() && text[i + 1] == '!') {
            ++i;
            if (i + 1 < text.size()) {
                const int held = PanelsOf(text[i + 1]);
                if (held >= 0) {
                    ++i;
                    reader.Hold(held, row, ended);
                }
            }
        }
        if (!inGroup) {
            row += step;
        }
    }
    if (inGroup) {
        row += step;
    }
    // Holds that never end stay taps (holdRows is still 0).
    out = std::move(reader.notes);
    return std::min(row, chart::kMaxRows);
}

void SortedInto(std::vector<Note>& found, NoteData& notes) {
    std::stable_sort(found.begin(), found.end(), [](const Note& a, const Note& b) {
        return a.row < b.row || (a.row == b.row && a.column < b.column);
    });
    for (const Note& note : found) {
        notes.AppendSorted(note);
    }
}

} // namespace

std::int32_t ReadPadSteps(std::string_view text, ChartStyle style, std::uint8_t columnOffset,
                          NoteData& notes) {
    std::vector<Note> found;
    const std::int32_t length = ReadPad(text, style, columnOffset, found);
    SortedInto(found, notes);
    return length;
}

void ReadChartSteps(const std::string* pad1, const std::string* pad2, chart::SongChart& chart) {
    chart.notes = NoteData(chart::ColumnsOf(chart.style));
    std::vector<Note> found;
    std::int32_t length = 0;
    if (pad1) {
        length = ReadPad(*pad1, chart.style, 0, found);
    }
    if (pad2 && chart::ColumnsOf(chart.style) == 8) {
        length = std::max(length, ReadPad(*pad2, chart.style, 4, found));
    }
    SortedInto(found, chart.notes);
    chart.lengthRows = length;
}

namespace {

// What one row of one pad shows: every arrow that starts or ends there,
// and the hold heads among them.
struct RowArrows {
    std::uint8_t shown = 0;
    std::uint8_t heads = 0;
};

std::map<std::int32_t, RowArrows> PadRows(const chart::SongChart& chart, std::uint8_t offset) {
    std::map<std::int32_t, RowArrows> rows;
    const int padColumns = PadColumns(chart.style);
    for (const Note& note : chart.notes.Notes()) {
        const int padColumn = note.column - offset;
        if (padColumn < 0 || padColumn >= padColumns) {
            continue;
        }
        const int panel = PanelOfColumn(chart.style, padColumn);
        const auto bit = static_cast<std::uint8_t>(1u << panel);
        rows[note.row].shown |= bit;
        if (note.IsHold()) {
            rows[note.row].heads |= bit;
            rows[note.EndRow()].shown |= bit;
        }
    }
    return rows;
}

std::string RowText(const RowArrows& arrows) {
    const auto withHolds = [](std::uint8_t shown, std::uint8_t heads) {
        std::string text(1, CharOf(shown));
        if (heads != 0) {
            text += '!';
            text += CharOf(heads);
        }
        return text;
    };
    if (std::popcount(arrows.shown) <= 2) {
        return withHolds(arrows.shown, arrows.heads);
    }
    std::string text = "<";
    std::uint8_t rest = arrows.shown;
    while (rest != 0) {
        std::uint8_t pair = 0;
        for (int panel = 0; panel < kPanelCount && std::popcount(pair) < 2; ++panel) {
            if ((rest >> panel) & 1) {
                pair |= static_cast<std::uint8_t>(1u << panel);
            }
        }
        rest &= static_cast<std::uint8_t>(~pair);
        text += withHolds(pair, static_cast<std::uint8_t>(arrows.heads & pair));
    }
    return text + ">";
}

char OpeningOf(int rows) {
    switch (rows) {
    case 12:
        return '(';
    case 8:
        return '[';
    case 3:
        return '{';
    default:
        return '`';
    }
}

char ClosingOf(int rows) {
    switch (rows) {
    case 12:
        return ')';
    case 8:
        return ']';
    case 3:
        return '}';
    default:
        return '\'';
    }
}

// The chart's own length; when notes reach past it, up to the half-beat
// after the last one.
std::int32_t WrittenLength(const chart::SongChart& chart) {
    const std::int32_t end = chart.notes.EndRow();
    return end <= chart.lengthRows ? chart.lengthRows : (end + 23) / 24 * 24;
}

} // namespace

bool IsPlainEighths(const chart::SongChart& chart) {
    if (chart.style != ChartStyle::Single || WrittenLength(chart) % 24 != 0) {
        return false;
    }
    for (const auto& [row, arrows] : PadRows(chart, 0)) {
        if (row % 24 != 0 || arrows.heads != 0 || std::popcount(arrows.shown) > 2) {
            return false;
        }
    }
    return true;
}

std::string PlainEighths(const chart::SongChart& chart) {
    const std::int32_t slots = WrittenLength(chart) / 24;
    std::string text(static_cast<std::size_t>(slots), '0');
    for (const auto& [row, arrows] : PadRows(chart, 0)) {
        text[static_cast<std::size_t>(row / 24)] = CharOf(arrows.shown);
    }
    return text;
}

std::string WritePadSteps(const chart::SongChart& chart, std::uint8_t columnOffset,
                          std::string_view lineEnd) {
    const auto rows = PadRows(chart, columnOffset);
    const std::int32_t length = WrittenLength(chart);
    std::string text;
    int open = 0; // rows per step of the bracket that is open, 0 for none
    auto next = rows.begin();
    for (std::int32_t half = 0; half < length; half += 24) {
        if (half > 0 && half % chart::kRowsPerMeasure == 0) {
            if (open) {
                text += ClosingOf(open);
                open = 0;
            }
            text += lineEnd;
        }
        const std::int32_t width = std::min(24, length - half);
        auto end = next;
        while (end != rows.end() && end->first < half + width) {
            ++end;
        }
        int grid = 1;
        for (int candidate : {24, 12, 8, 3}) {
            bool fits = width % candidate == 0;
            for (auto it = next; fits && it != end; ++it) {
                fits = (it->first - half) % candidate == 0;
            }
            if (fits) {
                grid = candidate;
                break;
            }
        }
        if (open != (grid == 24 ? 0 : grid)) {
            if (open) {
                text += ClosingOf(open);
            }
            open = grid == 24 ? 0 : grid;
            if (open) {
                text += OpeningOf(open);
            }
        }
        for (std::int32_t row = half; row < half + width; row += grid) {
            if (next != end && next->first == row) {
                text += RowText(next->second);
                ++next;
            } else {
                text += '0';
            }
        }
        next = end;
    }
    if (open) {
        text += ClosingOf(open);
    }
    return text;
}

} // namespace dwi
