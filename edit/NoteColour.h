#pragma once

#include <cstdint>

// How dance games colour a note: by the finest beat division its row needs.
namespace edit {

enum class NoteColour : std::uint8_t {
    k4th,
    k8th,
    k12th,
    k16th,
    k24th,
    k32nd,
    k48th,
    k64th,
    kFiner, // 96ths and 192nds
};

// The colour class of a row (48 rows a beat); negative rows as their beat
// position.
NoteColour NoteColourOf(std::int32_t row);

} // namespace edit
