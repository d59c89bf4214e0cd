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
}

// Boundaries of each sequence length, overlong forms, surrogates and the
// last code point; text that is no UTF-8 is read as Latin-1.
TEST(Utf8, ValidatesAndConvertsLatin1) {
    // clang-format off
    for (const auto& [bytes, valid] : {std::pair{"plain\x7F", true}, {"\xC2\x80", true},
             {"\xE0\xA0\x80", true}, {"\xED\x9F\xBF", true}, {"\xF4\x8F\xBF\xBF", true},
             {"\x80", false}, {"\xC1\xBF", false}, {"\xE0\x9F\xBF", false}, {"\xED\xA0\x80", false},
             {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false}, {"\xF8\x88\x80\x80", false},
             {"\xE2\x99", false}, {"\xC3\x41", false}}) {
        // clang-format on
        EXPECT_EQ(dwi::IsValidUtf8(bytes), valid) << testing::PrintToString(bytes);
    }
    EXPECT_EQ(dwi::TextFromFileBytes("na\xEFve \xA9\x80\xFF\xC3"),
              "na\xC3\xAFve \xC2\xA9\xC2\x80\xC3\xBF\xC3\x83");
}

} // namespace
