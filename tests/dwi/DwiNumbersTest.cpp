#include "dwi/DwiNumbers.h"

#include "dwi/DwiText.h"
#include "dwi/DwiWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The C library in the "C" locale is the reference these conversions must match.
std::string Printf(double value, int width, int precision) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, precision, value);
    return buffer;
}

TEST(FormatFixed, MatchesPrintfForManyValues) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    std::uniform_int_distribution<int> exponents(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double value = wide(random) * std::pow(10.0, exponents(random) / 5);
        for (auto [width, precision] : {std::pair{3, 6}, {5, 3}, {3, 5}}) {
            ASSERT_EQ(dwi::FormatFixed(value, width, precision), Printf(value, width, precision))
                << value;
        }
    }
    // Ties in binary, padding and the special values.
    for (double value : {0.0, -0.0, 0.5, 2.5, 1.0005, 0.0000005, 1e300, kInf, -kInf}) {
        EXPECT_EQ(dwi::FormatFixed(value, 5, 3), Printf(value, 5, 3)) << value;
        EXPECT_EQ(dwi::FormatFixed(value, 9, 1), Printf(value, 9, 1)) << value;
    }
}

TEST(ParseDouble, MatchesStrtodOnDecimalText) {
    // Signs, missing digits, out of range, white space, the extremes.
    // clang-format off
    const char* const kTexts[] = {
        "12.5xyz", "+7", "+-5", "-+5", ".5", "5.", "e5", "", " ", "-", "1e400", "-1e400", "1e-400",
        "-1e-400", "1e", "1e+", "1e-", "12e2x", "12E+2", "007", "-0", "1.e3", "4.9e-324",
        "0.000001e6", " -3.25e2;", "1.7976931348623157e308"};
    // clang-format on
    EXPECT_EQ(dwi::ParseDouble("\n\v\f\r\t 7"), 7.0);
    for (const char* text : kTexts) {
        const double expected = std::strtod(text, nullptr);
        const double actual = dwi::ParseDouble(text);
        EXPECT_EQ(actual, expected) << '"' << text << '"';
        EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << '"' << text << '"';
    }
}

// strtod would read these as hex, infinity or NaN; the files' grammar is
// decimal only, so each reads as the number it starts with.
TEST(ParseDouble, HexInfinityAndNanReadAsTheirDecimalPrefix) {
    for (const char* text : {"0xinf", "0xep-5000", "0x1p3", "-0X1.8p1", "inf", "-INFINITY", "nan",
                             " NaN(1)", "0x", "1x5"}) {
        EXPECT_EQ(dwi::ParseDouble(text), text[0] == '1' ? 1.0 : 0.0) << '"' << text << '"';
    }
}

// A 32-bit strtoul: leading white space and a sign; a minus negates modulo
// 2^32; above 2^32 - 1 it saturates and then ignores the sign.
TEST(ParseUnsigned, ReadsLeadingDecimalDigitsLikeA32BitStrtoul) {
    // clang-format off
    const std::pair<const char*, std::uint32_t> kCases[] = {
        {" 12abc", 12u}, {"\n+7", 7u}, {"-1", 4294967295u}, {"-3", 4294967293u}, {"x1", 0u},
        {"- 1", 0u}, {"", 0u}, {"09", 9u}, {"4294967295", 4294967295u}, {"-4294967295", 1u},
        {"4294967296", 4294967295u}, {"-4294967296", 4294967295u},
        {"+99999999999999999999", 4294967295u}, {"-18446744073709551617", 4294967295u}};
    // clang-format on
    for (const auto& [text, value] : kCases) {
        EXPECT_EQ(dwi::ParseUnsigned(text), value) << text;
        EXPECT_EQ(dwi::FootRatingFromText(text), value) << text; // the rating list's text
    }
}

// Boundaries of each sequence length, overlong forms, surrogates and the
// last code point.
TEST(Utf8, ValidatesAndConvertsLatin1) {
    // clang-format off
    const std::pair<const char*, bool> kCases[] = {
        {"plain\x7F", true}, {"\xC2\x80", true}, {"\xDF\xBF", true}, {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true}, {"\xEE\x80\x80", true}, {"\xEF\xBF\xBF", true},
        {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true}, {"\x80", false}, {"\xE9", false},
        {"\xC1\xBF", false}, {"\xE0\x9F\xBF", false}, {"\xED\xA0\x80", false},
        {"\xED\xBF\xBF", false}, {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false},
        {"\xF8\x88\x80\x80", false}, {"\xE2\x99", false}, {"a\xC3", false}, {"\xC3\x41", false}};
    // clang-format on
    for (const auto& [bytes, valid] : kCases) {
        EXPECT_EQ(dwi::IsValidUtf8(bytes), valid) << testing::PrintToString(bytes);
    }
    EXPECT_EQ(dwi::TextFromFileBytes("na\xEFve \xA9\x80\xFF"),
              "na\xC3\xAFve \xC2\xA9\xC2\x80\xC3\xBF");
    EXPECT_EQ(dwi::TextFromFileBytes("\xC3\xA9"), "\xC3\xA9");
}

} // namespace
