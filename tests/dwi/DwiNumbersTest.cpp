#include "dwi/DwiNumbers.h"

#include "dwi/DwiText.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// The C library in the "C" locale is the reference: strtod on decimal
// text.
TEST(ParseDouble, MatchesStrtodOnDecimalText) {
    // Signs, missing digits, out of range, white space, the extremes.
    // clang-format off
    const char* const kTexts[] = {
        "12.5xyz", "+7", "+-5", "-+5", ".5", "5.", "e5", "", " ", "-", "1e400", "-1e400", "1e-400",
        "-1e-400", "1e", "1e+", "1e-", "12e2x", "12E+2", "007", "-0", "1.e3", "4.9e-324",
        "0.000001e6", " -3.25e2;", "1.7976931348623157e308", "\n\v\f\r\t 7"};
    // clang-format on
    for (const char* text : kTexts) {
        const double expected = std::strtod(text, nullptr);
        EXPECT_EQ(dwi::ParseDouble(text), expected) << '"' << text << '"';
        EXPECT_EQ(std::signbit(dwi::ParseDouble(text)), std::signbit(expected)) << text;
    }
    // strtod would read these as hex, infinity or NaN; the files' grammar is
    // decimal only, so each reads as the number it starts with.
    for (const char* text : {"0xinf", "0xep-5000", "0x1p3", "-0X1.8p1", "inf", "-INFINITY", "nan",
                             " NaN(1)", "0x", "1x5"}) {
        EXPECT_EQ(dwi::ParseDouble(text), text[0] == '1' ? 1.0 : 0.0) << '"' << text << '"';
    }
}

// Boundaries of each sequence length, overlong forms, surrogates and the
// last code point; text that is no UTF-8 is read as Latin-1.
TEST(Utf8, ValidatesAndConvertsLatin1) {
    for (const char* valid :
         {"plain\x7F", "\xC2\x80", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(dwi::IsValidUtf8(valid)) << testing::PrintToString(valid);
    }
    for (const char* invalid :
         {"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
          "\xF4\x90\x80\x80", "\xF8\x88\x80\x80", "\xE2\x99", "\xC3\x41"}) {
        EXPECT_FALSE(dwi::IsValidUtf8(invalid)) << testing::PrintToString(invalid);
    }
    EXPECT_EQ(dwi::TextFromFileBytes("na\xEFve \xA9\x80\xFF"),
              "na\xC3\xAFve \xC2\xA9\xC2\x80\xC3\xBF");
    EXPECT_EQ(dwi::TextFromFileBytes("\xC3\xA9"), "\xC3\xA9");
}

} // namespace
