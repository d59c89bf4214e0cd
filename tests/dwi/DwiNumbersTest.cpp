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
    // Ties in binary and the special values.
    for (double value :
         {0.0, -0.0, 0.5, 2.5, 1.0005, 0.0000005, 1e300, std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(dwi::FormatFixed(value, 5, 3), Printf(value, 5, 3)) << value;
    }
}

TEST(ParseDouble, MatchesStrtodOnDecimalText) {
    for (const char* text : {"12.5xyz",
                             "  \t-3.25e2;",
                             "+7",
                             "+-5",
                             "-+5",
                             ".5",
                             "5.",
                             "e5",
                             "",
                             " ",
                             "-",
                             "1e400",
                             "-1e400",
                             "1e-400",
                             "1e",
                             "1e+",
                             "12e2x",
                             "007",
                             "-0",
                             "1.e3",
                             "1.7976931348623157e308",
                             "4.9e-324"}) {
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
        const double value = dwi::ParseDouble(text);
        EXPECT_TRUE(std::isfinite(value)) << '"' << text << '"';
        EXPECT_EQ(value, text[0] == '1' ? 1.0 : 0.0) << '"' << text << '"';
    }
}

TEST(ParseUnsigned, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(dwi::ParseUnsigned(" 12abc"), 12u);
    EXPECT_EQ(dwi::ParseUnsigned("\n+7"), 7u);
    EXPECT_EQ(dwi::ParseUnsigned("-1"), 4294967295u);
    EXPECT_EQ(dwi::ParseUnsigned("x1"), 0u);
    EXPECT_EQ(dwi::ParseUnsigned("- 1"), 0u);
    EXPECT_EQ(dwi::ParseUnsigned("4294967295"), 4294967295u);
    EXPECT_EQ(dwi::ParseUnsigned("-4294967295"), 1u);
}

// A 32-bit strtoul saturates on overflow and then ignores the sign.
TEST(ParseUnsigned, OverflowSaturatesBeforeTheSign) {
    for (const char* text :
         {"4294967296", "-4294967296", "+99999999999999999999", "-18446744073709551617"}) {
        EXPECT_EQ(dwi::ParseUnsigned(text), 4294967295u) << text;
    }
    EXPECT_EQ(dwi::FootRatingFromText("-4294967296"), 4294967295u);
}

TEST(Utf8, ValidatesAndConvertsLatin1) {
    EXPECT_TRUE(dwi::IsValidUtf8("plain"));
    EXPECT_TRUE(dwi::IsValidUtf8("\xC3\xA9\xE2\x99\xAB\xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(dwi::IsValidUtf8("\xE9"));
    EXPECT_FALSE(dwi::IsValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(dwi::IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(dwi::IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(dwi::IsValidUtf8("\xE2\x99"));         // cut short
    EXPECT_EQ(dwi::TextFromFileBytes("na\xEFve \xA9"), "na\xC3\xAFve \xC2\xA9");
    EXPECT_EQ(dwi::TextFromFileBytes("\xC3\xA9"), "\xC3\xA9");
}

} // namespace
