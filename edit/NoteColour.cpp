#include "edit/NoteColour.h"

#include "chart/NoteData.h"

namespace edit {

NoteColour NoteColourOf(std::int32_t row) {
    std::int32_t inBeat = row % chart::kRowsPerBeat;
    if (inBeat < 0) {
        inBeat += chart::kRowsPerBeat;
    }
    // Coarsest first: row 0 of a beat divides by everything.
    struct Division {
        std::int32_t rows;
        NoteColour colour;
    };
    static constexpr Division kDivisions[] = {
        {48, NoteColour::k4th},  {24, NoteColour::k8th}, {16, NoteColour::k12th},
        {12, NoteColour::k16th}, {8, NoteColour::k24th}, {6, NoteColour::k32nd},
        {4, NoteColour::k48th},  {3, NoteColour::k64th},
    };
    for (const Division& division : kDivisions) {
        if (inBeat % division.rows == 0) {
            return division.colour;
        }
    }
    return NoteColour::kFiner;
}

} // namespace edit
