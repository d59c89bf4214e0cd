#include "edit/Navigation.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace edit {

namespace {

constexpr double kBeatsPerMeasure = chart::kRowsPerMeasure / chart::kRowsPerBeat;

std::string Lowered(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    std::string out;
    for (char c : text) {
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

// Takes prefix (and the blanks after it) off text when it starts with it.
bool Strip(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return true;
}

// The whole text as a plain decimal number ("12", "-2.5"; no exponent,
// infinity or NaN).
std::optional<double> Number(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789.-") != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Seconds(std::string_view text) {
    std::string_view rest = text;
    if (rest.ends_with('s')) {
        rest.remove_suffix(1);
        while (!rest.empty() && rest.back() == ' ') {
            rest.remove_suffix(1);
        }
        const auto seconds = Number(rest);
        return seconds && *seconds >= 0.0 ? seconds : std::nullopt;
    }
    const auto colon = rest.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view minutesText = rest.substr(0, colon);
    const auto minutes = Number(minutesText);
    const auto seconds = Number(rest.substr(colon + 1));
    if (!minutes || !seconds ||
        minutesText.find_first_not_of("0123456789") != std::string_view::npos || *seconds < 0.0 ||
        *seconds >= 60.0) {
        return std::nullopt;
    }
    return *minutes * 60.0 + *seconds;
}

std::optional<double> Beat(std::string_view text) {
    if (Strip(text, "measure") || Strip(text, "m")) {
        const auto measure = Number(text);
        if (!measure || *measure != std::floor(*measure)) {
            return std::nullopt;
        }
        return (*measure - 1.0) * kBeatsPerMeasure;
    }
    if (!Strip(text, "beat")) {
        Strip(text, "b");
    }
    return Number(text);
}

} // namespace

std::optional<std::int32_t> NextNoteRow(const chart::SongChart& chart, std::int32_t row) {
    if (row >= chart::kMaxRows - 1) {
        return std::nullopt;
    }
    const auto heads = chart.notes.HeadsIn(std::max(row + 1, 0), chart::kMaxRows);
    return heads.empty() ? std::nullopt : std::optional(heads.front().row);
}

std::optional<std::int32_t> PreviousNoteRow(const chart::SongChart& chart, std::int32_t row) {
    if (row <= 0) {
        return std::nullopt;
    }
    const auto heads = chart.notes.HeadsIn(0, row);
    return heads.empty() ? std::nullopt : std::optional(heads.back().row);
}

std::optional<double> GoToSeconds(const chart::Song& song, std::string_view text,
                                  const chart::SongChart* chart) {
    const std::string lowered = Lowered(text);
    if (const auto seconds = Seconds(lowered)) {
        return seconds;
    }
    const auto beat = Beat(lowered);
    if (!beat) {
        return std::nullopt;
    }
    // A tempo that takes no time leaves the beats after it no place of their own.
    const chart::TimingMap timing = chart ? song.TimingOf(*chart) : song.Timing();
    const double seconds = timing.SecondsAt(*beat);
    return timing.HasUsableTempo() && std::isfinite(seconds) ? std::optional(seconds)
                                                             : std::nullopt;
}

} // namespace edit
