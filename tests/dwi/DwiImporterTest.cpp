#include "dwi/DwiImporter.h"

#include "DwiTestFiles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

template <typename T> std::string Field(const char* name, const std::optional<T>& value) {
    std::ostringstream out;
    out << (value ? std::string(" ") + name + "=" : "");
    if (value) {
        out << *value;
    }
    return out.str();
}

// What a scan found, field by field (none left out), with the user's answers
// given in order ('n' for No, Yes when they run out): "asked" counts the
// questions, each "told" is one message.
std::string Scan(std::string_view bytes, std::string_view answers = "") {
    std::size_t asked = 0;
    std::string told;
    const dwi::DwiImport found = dwi::ScanDwi(
        bytes,
        [&](std::string_view, std::string_view caption) {
            EXPECT_EQ(caption, "Select Steps");
            return ++asked > answers.size() || answers[asked - 1] != 'n';
        },
        [&](std::string_view text) { told += text == dwi::kFreezeArrowMessage ? " told" : " ?"; });
    const std::string out =
        Field("title", found.title) + Field("artist", found.artist) + Field("bpm", found.bpm) +
        Field("gap", found.gapSeconds) + Field("difficulty", found.difficulty) +
        Field("rating", found.footRating) + Field("steps", found.steps) +
        (found.unusableBpm ? " unusable-bpm" : "") + (found.unusableGap ? " unusable-gap" : "") +
        (asked ? " asked=" + std::to_string(asked) : "") + told;
    return out.substr(out.empty() ? 0 : 1);
}

// The file, the answers, what was found.
using ScanCase = std::tuple<const char*, const char*, const char*>;
constexpr const char* kTwo = "#SINGLE:BASIC:3:0808;\n#SINGLE:HEAVY:8:2222;\n";

// A record starts the file or a line, its key runs to the first ":" and its
// value to the first ";" (across lines); the last usable record wins.
// clang-format off
const ScanCase kScanCases[] = {
    {"#STATUS:NEW\r\n#TITLE:Song;\r\n#ARTIST:Band;\r\n#BPM:140.500000;\r\n#GAP:-120.000;\r\n\r\n"
     "#SAMPLESTART:1.00000;\r\n#SAMPLELENGTH:5.00000;\r\n#SINGLE:MANIAC:9:0824AB;\r\n", "",
     "title=Song artist=Band bpm=140.5 gap=-0.12 difficulty=MANIAC rating=9 steps=0824AB asked=1"},
    {"#bpm:140;\n#Title:x;\n#artist:y;\n#ARTIST :z;\n", "", "title=x artist=y bpm=140"},
    {"#BPM:100;\n#BPM:150;\n#TITLE:kept;\n#TITLE:open\n#SINGLE:HARD:4", "",
     "title=kept bpm=150 difficulty=HARD"},
    {"#TITLE:two\r\nlines;", "", "title=two\r\nlines"}, {"#BPM:90;#GAP:10;\n#GAP:20", "", "bpm=90"},
    // A record without ":" swallows the next key; one not at a line start is no record.
    {"#STATUS\r\n#TITLE:abc;\r\n#BPM:120;\r\n", "", "bpm=120"},
    {" #TITLE:lost;\n#BPM:130;\n", "", "bpm=130"}, {"\xEF\xBB\xBF#TITLE:bom;\n", "", ""},
    {"XTITLE:lost;\n#BPM:1;", "", "bpm=1"}, {"\n#TITLE:a;", "", "title=a"},
    // Each #SINGLE offered is asked about until one is taken; the last one
    // offered stays in the lists even when none was taken.
    {kTwo, "", "difficulty=BASIC rating=3 steps=0808 asked=1"},
    {kTwo, "n", "difficulty=HEAVY rating=8 steps=2222 asked=2"},
    {kTwo, "nn", "difficulty=HEAVY rating=8 asked=2"},
    {"#SINGLE:TRICK:5", "", "difficulty=TRICK"},
    {"#SINGLE:TRICK:5:0808", "", "difficulty=TRICK rating=5"},
    {"#DOUBLE:BASIC:1:8888;\n#NOTES:x;\n#BPM:99;\n", "", "bpm=99"},
    // Steps are filtered to the 11 codes; freeze arrows and brackets warn once.
    {"#SINGLE:BASIC:1:0\r\n8(\r\n2424)\r\n0<5a>b;\r\n", "",
     "difficulty=BASIC rating=1 steps=0824240 asked=1 told"},
    {"#SINGLE:BASIC:1:0852ab c9;", "", "difficulty=BASIC rating=1 steps=0829 asked=1"},
    // Numbers as the C library's strtod reads decimal text; a Gap in ms.
    // Beyond a float: ignored (the earlier record stands) and reported.
    {"#BPM:  -5xyz;\n#GAP:+2.5e3;\n#BPM:1e38;", "", "bpm=1e+38 gap=2.5"},
    {"#BPM:120;\n#BPM:1e39;\n#BPM:-1e400;\n#GAP:-4e41;\n#GAP:250;\n", "",
     "bpm=120 gap=0.25 unusable-bpm unusable-gap"},
    // Fixed faults: each of these once read past the end of the buffer or
    // looped.
    {"#SINGLE:a:", "", "difficulty=a"}, {"#BPM:;", "", "bpm=0"}, {"#TITLE:a;\n#", "", "title=a"}};
// clang-format on

TEST(ScanDwi, ReadsTheRecordsTheWayTheFormatHasAlwaysBeenRead) {
    for (const auto& [bytes, answers, found] : kScanCases) {
        EXPECT_EQ(Scan(bytes, answers), found) << bytes;
    }
    // Fixed faults: each of these once read past the end of the buffer or looped.
    for (const char* bytes :
         {"", "#", "\n#", "#:", "#TITLE:", "#SINGLE:", "\n#\n#\n#", "##:;", "x\n#"}) {
        EXPECT_EQ(Scan(bytes), "") << bytes;
    }
    // A 0 byte ends the file.
    EXPECT_EQ(Scan(std::string_view("#TITLE:a;\n\0#BPM:100;\n", 21)), "title=a");
    EXPECT_EQ(dwi::SelectStepsQuestion("MANIAC", 9),
              "Found: SINGLE steps, Difficulty - MANIAC ; FootRating - 9.\r\nShow these steps "
              "first?  (Every chart of the file is loaded; the others are in the chart list.)");
}

// Fixed fault: these shapes made the scan quadratic (searching to the end of
// the file from every record); they still read as the rules say. The time
// is measured by bench/DwiScanBench.cpp.
TEST(ScanDwi, HostileRepetitionsReadAsTheRulesSay) {
    std::string records[4];
    for (int i = 0; i < 50000; ++i) {
        records[0] += "\n#";
        records[1] += "\n#BPM:80;";
        records[2] += "\n#BPM:";
        records[3] += i < 20000 ? "\n#SINGLE:A:7:" : "";
    }
    // The first key runs to the only ':' and swallows every record.
    // Each cut chart's fields are stored; none has a ";" so none is offered.
    EXPECT_EQ((std::vector{Scan(records[0] + "\n#BPM:90;"), Scan(records[1] + "\n#BPM:90;"),
                           Scan(records[2] + "\n#GAP:5"), Scan(records[3])}),
              (std::vector<std::string>{"", "bpm=90", "", "difficulty=A rating=7"}));
}

// A .dwi file is one whose last extension is "dwi" in any case. A file that
// is missing, no regular file or over 64 MiB is named with the reason.
TEST(ReadDwiFile, ReadsWholeDwiFilesAndNamesTheOnesItCannotRead) {
    for (const char* path : {"/s/a.DwI", "x.txt.dwi", "/s/.dwi"}) {
        EXPECT_TRUE(dwi::HasDwiExtension(path)) << path;
    }
    for (const char* path : {"/s.dwi/readme", "a.dwi.", "a.dwix", "/s/dwi", "a.dw"}) {
        EXPECT_FALSE(dwi::HasDwiExtension(path)) << path;
    }
    const std::filesystem::path folder = dwi_test::FreshFolder("read_dwi");
    std::ofstream(folder / "good.dwi", std::ios::binary) << "#BPM:1\r\n";
    std::ofstream(folder / "huge.dwi").put('#');
    std::filesystem::resize_file(folder / "huge.dwi", dwi::kMaxDwiFileBytes + 1);
    for (const auto& [name, reason] :
         {std::pair{"none.dwi", "No such file or directory"},
          {"", "It is not a regular file."},
          {"huge.dwi", "The file is larger than 64 MiB; a DWI file is far smaller."}}) {
        const std::string path = (folder / name).string();
        EXPECT_EQ(dwi::ReadDwiFile(path).error, "Could not read \"" + path + "\":\r\n" + reason);
    }
    EXPECT_EQ(dwi::ReadDwiFile((folder / "good.dwi").string()).bytes, "#BPM:1\r\n");
    std::filesystem::remove(folder / "huge.dwi");
}

} // namespace
