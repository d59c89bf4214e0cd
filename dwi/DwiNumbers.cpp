#include "dwi/DwiNumbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
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

// Length of the decimal number at the start of `text` (no sign): digits
// with an optional fraction, then an exponent only when digits follow its
// sign. 0 when there is no digit before the exponent.
std::size_t DecimalLength(std::string_view text) {
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i;
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
    const std::size_t length = DecimalLength(text);
    if (length == 0) {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + length, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // from_chars does not say which way; an exponent of any size that
        // makes it out of range is too small when negative.
        const std::size_t e = text.substr(0, length).find_first_of("eE");
        const bool tooSmall = e != std::string_view::npos && text[e + 1] == '-';
        value = tooSmall ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
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
            return static_cast<std::uint32_t>(kMax); // ERANGE: the sign is not applied
        }
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

} // namespace dwi
