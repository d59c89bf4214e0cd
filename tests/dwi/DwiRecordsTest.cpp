#include "dwi/DwiRecords.h"

#include <gtest/gtest.h>

namespace {

// Each record as "begin-end KEY:field:field", with ";" after end when the
// record was terminated; records joined by " | ".
std::string Spans(std::string_view bytes) {
    std::string out;
    for (const dwi::Record& r : dwi::SplitRecords(bytes)) {
        out += (out.empty() ? "" : " | ") + std::to_string(r.span.begin) + "-" +
               std::to_string(r.span.end) + (r.span.terminated ? "; " : " ") + r.key;
        for (const std::string& field : r.fields) {
            out += ":" + field;
        }
    }
    return out;
}

// Worked by hand from the rules in dwi/DwiRecords.h: an unterminated record
// ends before the next line that starts with "#" (or at the end of the
// file), past its last value byte; "//" comments stay out of the fields.
TEST(SplitRecords, RecordBoundaries) {
    // clang-format off
    const std::pair<const char*, const char*> kCases[] = {
        {"#A:1;", "0-5; A:1"}, {"#A:1", "0-4 A:1"}, {"#A:1 \r\n", "0-4 A:1"},
        {"#A:x\n#B:y;", "0-4 A:x | 5-10; B:y"}, {"#A:x\r\n#B:y;", "0-4 A:x | 6-11; B:y"},
        {"#A:x\n  #B:y;", "0-4 A:x | 7-12; B:y"}, {"#A:x#y;", "0-7; A:x#y"}, {"##:;", "0-4; #:"},
        {"x#A:1", "1-5 A:1"}, {"#A:;", "0-4; A:"}, {"#A;", "0-3; A"}, {"#:;", "0-3; :"},
        {"#za:1::;", "0-8; ZA:1::"}, {"#\tbpm \n:1;", "0-10; BPM:1"},
        {"#A:1 // c;\n:2;", "0-14; A:1 \n:2"}, {"// #X:1;\n#A:1;", "9-14; A:1"},
        {"#A:1;// x;\n#B", "0-5; A:1 | 11-13 B"}, {"#A:1\n// c\n#B:2;", "0-4 A:1 | 10-15; B:2"},
        {"#A:x/", "0-5 A:x/"}, {"#A:x//", "0-4 A:x"}, {"#A:1;#", "0-5; A:1 | 5-6 "},
        {"#A:1\t\v\f\r\n\t#B", "0-4 A:1 | 10-12 B"}, {"no records\n", ""}};
    // clang-format on
    for (const auto& [bytes, records] : kCases) {
        EXPECT_EQ(Spans(bytes), records) << bytes;
    }
}

} // namespace
