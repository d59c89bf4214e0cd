#include "dwi/DwiNumbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

namespace dwi {

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

// Consumes an optional sign; returns true for "-".
bool TakeSign(std::string_view& text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        const bool negative = text.front() == '-';
        text.remove_prefix(1);
        return negative;
    }
    return false;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// from_chars reports a value it cannot represent without saying which way;
// a negative exponent means it was too small, anything else too large.
double OutOfRangeValue(std::string_view parsed) {
    const std::size_t e = parsed.find_first_of("eEpP");
    if (e != std::string_view::npos && e + 1 < parsed.size() && parsed[e + 1] == '-') {
        return 0.0;
    }
    return std::numeric_limits<double>::infinity();
}

// None when the text does not start with a number at all.
std::optional<double> ParseMagnitude(std::string_view text) {
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    auto format = std::chars_format::general;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view hex = text.substr(2);
        if (hex.empty() || hex.front() == '+' || hex.front() == '-') {
            return 0.0;
        }
        text = hex;
        format = std::chars_format::hex;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, format);
    if (error == std::errc::result_out_of_range) {
        return OutOfRangeValue(text.substr(0, static_cast<std::size_t>(end - text.data())));
    }
    if (error != std::errc{}) {
        // "0x" followed by no hex digit still reads as the "0" before the "x".
        return format == std::chars_format::hex ? std::optional(0.0) : std::nullopt;
    }
    return value;
}

} // namespace

std::string FormatFixed(double value, int width, int precision) {
    // Room for the largest double written out in full with its decimals.
    std::array<char, 512> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::fixed, precision);
    std::string text = error == std::errc{} ? std::string(digits.data(), end) : std::string("nan");
    if (text.size() < static_cast<std::size_t>(width)) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return text;
}

double ParseDouble(std::string_view text) {
    text = SkipSpace(text);
    const bool negative = TakeSign(text);
    const std::optional<double> magnitude = ParseMagnitude(text);
    if (!magnitude) {
        return 0.0;
    }
    return negative ? -*magnitude : *magnitude;
}

std::uint32_t ParseUnsigned(std::string_view text) {
    text = SkipSpace(text);
    const bool negative = TakeSign(text);
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t magnitude = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        if (magnitude > kMax) {
            magnitude = kMax;
        }
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

} // namespace dwi
