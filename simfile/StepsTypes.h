#pragma once

#include "chart/Song.h"

#include <optional>
#include <string>
#include <string_view>

// The names the three formats give the same things: steps types against the
// pad layouts, and the difficulties.
namespace sm {

// "dance-single" and the other dance layouts; none for other games'
// layouts. Case is ignored, as the games do.
std::optional<chart::ChartStyle> StyleOfStepsType(std::string_view stepsType);
// "dance-single", "dance-double", "dance-couple", "dance-solo".
std::string_view StepsTypeOf(chart::ChartStyle style);

// A .sm/.ssc difficulty as the games name it ("Beginner", "Easy", "Medium",
// "Hard", "Challenge", "Edit"), from any spelling the games accept,
// including the .dwi names (BASIC is Easy, ANOTHER Medium, MANIAC Hard,
// SMANIAC Challenge). "Edit" for names none of them know.
std::string SmDifficulty(std::string_view name);
// The .dwi name of a difficulty given in any of the formats' spellings:
// "BEGINNER", "BASIC", "ANOTHER", "MANIAC", "SMANIAC"; none for an Edit
// chart and for names none of the games know.
std::optional<std::string> DwiDifficulty(std::string_view name);

// ".dwi", ".sm", ".ssc".
std::string_view ExtensionOf(chart::SongFormat format);
// By the path's extension, case ignored; none for other extensions.
std::optional<chart::SongFormat> FormatOfPath(std::string_view path);

} // namespace sm
