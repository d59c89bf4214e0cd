#include "dwi/DwiRecords.h"

#include <gtest/gtest.h>

namespace {

// Each record as "begin-end KEY:field:field", with ";" after end when the
// record was terminated; records joined by " | ".
std::string Spans(std::string_view bytes) {
    std::string out;
    for (const dwi::Record& record : dwi::SplitRecords(bytes)) {
        out += (out.empty() ? "" : " | ") + std::to_string(record.span.begin) + "-" +
               std::to_string(record.span.end) + (record.span.terminated ? "; " : " ") + record.key;
        for (const std::string& field : record.fields) {
            out += ":" + field;
        }
    }
    return out;
}

// Worked by hand from the rules in dwi/DwiRecords.h: an unterminated record
// ends before the next line that starts with "#" (or at the end of the
// file), past its last value byte; "//" comments stay out of the fields.
TEST(SplitRecords, RecordBoundaries) {
    struct Case {
        const char* bytes;
        const char* records;
    };
    for (const Case& c : {
             Case{"#A:1;", "0-5; A:1"},
             Case{"#A:1", "0-4 A:1"},
             Case{"#A:1 \r\n", "0-4 A:1"},
             Case{"#A:x\n#B:y;", "0-4 A:x | 5-10; B:y"},
             Case{"#A:x\r\n#B:y;", "0-4 A:x | 6-11; B:y"},
             Case{"#A:x\n  #B:y;", "0-4 A:x | 7-12; B:y"},
             Case{"#A:x#y;", "0-7; A:x#y"},
             Case{"##:;", "0-4; #:"},
             Case{"x#A:1", "1-5 A:1"},
             Case{"#A:;", "0-4; A:"},
             Case{"#A;", "0-3; A"},
             Case{"#:;", "0-3; :"},
             Case{"#za:1::;", "0-8; ZA:1::"},
             Case{"# bpm :1;", "0-9; BPM:1"},
             Case{"#A:1 // c;\n:2;", "0-14; A:1 \n:2"},
             Case{"// #X:1;\n#A:1;", "9-14; A:1"},
             Case{"#A:1;// x;\n#B", "0-5; A:1 | 11-13 B"},
             Case{"#A:1\n// c\n#B:2;", "0-4 A:1 | 10-15; B:2"},
             Case{"#A:x/", "0-5 A:x/"},
             Case{"#A:x//", "0-4 A:x"},
             Case{"#A:1;#", "0-5; A:1 | 5-6 "},
             Case{"no records\n", ""},
         }) {
        EXPECT_EQ(Spans(c.bytes), c.records) << c.bytes;
    }
}

} // namespace
