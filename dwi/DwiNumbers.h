#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Number conversions of the .dwi format. They behave like the C library's
// printf("%W.Pf"), strtod and strtoul in the "C" locale, whatever locale the
// process runs in: a file written in Germany must read back in Japan.
namespace dwi {

// printf("%<width>.<precision>f", value) with "." as the decimal point.
std::string FormatFixed(double value, int width, int precision);

// strtod's decimal grammar on the text's prefix: leading white space,
// optional sign, digits with optional fraction and exponent; 0 when the text
// does not start with one. Hex, "inf" and "nan" are not numbers here: they
// read as the prefix they start with ("0x10" is 0, "inf" is 0). +-inf on
// overflow, 0 on underflow; the caller decides whether that is usable.
double ParseDouble(std::string_view text);

// strtoul with a 32-bit unsigned long: leading white space, optional sign,
// decimal digits up to the first non-digit; 0 when there are none. A
// magnitude above 2^32 - 1 gives 2^32 - 1 whatever the sign; otherwise a
// minus sign negates modulo 2^32.
std::uint32_t ParseUnsigned(std::string_view text);

} // namespace dwi
