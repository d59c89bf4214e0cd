#include "simfile/StepsTypes.h"

#include "dwi/DwiSongRecords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace sm {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

using dwi::detail::Trimmed;

constexpr std::array<std::pair<std::string_view, chart::ChartStyle>, 4> kStepsTypes{{
    {"dance-single", chart::ChartStyle::Single},
    {"dance-double", chart::ChartStyle::Double},
    {"dance-couple", chart::ChartStyle::Couple},
    {"dance-solo", chart::ChartStyle::Solo},
}};

// Every spelling the games read, lower case, and the difficulty it means.
constexpr std::array<std::pair<std::string_view, std::string_view>, 18> kDifficulties{{
    {"beginner", "Beginner"},
    {"easy", "Easy"},
    {"basic", "Easy"},
    {"light", "Easy"},
    {"medium", "Medium"},
    {"another", "Medium"},
    {"trick", "Medium"},
    {"standard", "Medium"},
    {"difficult", "Medium"},
    {"hard", "Hard"},
    {"ssr", "Hard"},
    {"maniac", "Hard"},
    {"heavy", "Hard"},
    {"challenge", "Challenge"},
    {"smaniac", "Challenge"},
    {"expert", "Challenge"},
    {"oni", "Challenge"},
    {"edit", "Edit"},
}};

} // namespace

std::optional<chart::ChartStyle> StyleOfStepsType(std::string_view stepsType) {
    const std::string lower = Lower(Trimmed(stepsType));
    for (const auto& [name, style] : kStepsTypes) {
        if (lower == name) {
            return style;
        }
    }
    return std::nullopt;
}

std::string_view StepsTypeOf(chart::ChartStyle style) {
    for (const auto& [name, s] : kStepsTypes) {
        if (s == style) {
            return name;
        }
    }
    return kStepsTypes.front().first;
}

std::string SmDifficulty(std::string_view name) {
    const std::string lower = Lower(Trimmed(name));
    for (const auto& [spelling, difficulty] : kDifficulties) {
        if (lower == spelling) {
            return std::string(difficulty);
        }
    }
    return "Edit";
}

std::optional<std::string> DwiDifficulty(std::string_view name) {
    const std::string lower = Lower(Trimmed(name));
    const auto known = std::find_if(kDifficulties.begin(), kDifficulties.end(),
                                    [&lower](const auto& d) { return d.first == lower; });
    if (known == kDifficulties.end()) {
        return std::nullopt;
    }
    const std::string_view difficulty = known->second;
    if (difficulty == "Beginner") {
        return "BEGINNER";
    }
    if (difficulty == "Easy") {
        return "BASIC";
    }
    if (difficulty == "Medium") {
        return "ANOTHER";
    }
    if (difficulty == "Hard") {
        return "MANIAC";
    }
    if (difficulty == "Challenge") {
        return "SMANIAC";
    }
    return std::nullopt;
}

std::string_view ExtensionOf(chart::SongFormat format) {
    switch (format) {
    case chart::SongFormat::Dwi:
        return ".dwi";
    case chart::SongFormat::Sm:
        return ".sm";
    case chart::SongFormat::Ssc:
        return ".ssc";
    }
    return ".dwi";
}

std::optional<chart::SongFormat> FormatOfPath(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return std::nullopt;
    }
    const std::string extension = Lower(path.substr(dot));
    for (const chart::SongFormat format :
         {chart::SongFormat::Dwi, chart::SongFormat::Sm, chart::SongFormat::Ssc}) {
        if (extension == ExtensionOf(format)) {
            return format;
        }
    }
    return std::nullopt;
}

} // namespace sm
