#include "dwi/DwiImporter.h"

#include "DwiTestFiles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// What a scan found, field by field ("" for none), with the user's answers
// given in order ('n' for No, Yes when they run out): "asked" counts the
// questions, "told" the messages.
std::string Scan(std::string_view bytes, std::string_view answers = "") {
    std::size_t asked = 0;
    std::size_t told = 0;
    const dwi::DwiImport found = dwi::ScanDwi(
        bytes,
        [&](std::string_view, std::string_view caption) {
            EXPECT_EQ(caption, "Select Steps");
            const bool yes = asked >= answers.size() || answers[asked] != 'n';
            ++asked;
            return yes;
        },
        [&](std::string_view text) {
            EXPECT_EQ(text, dwi::kFreezeArrowMessage);
            ++told;
        });
    std::ostringstream out;
    const auto put = [&out](const char* name, const auto& value) {
        if (value) {
            out << " " << name << "=" << *value;
        }
    };
    put("title", found.title);
    put("artist", found.artist);
    put("bpm", found.bpm);
    put("gap", found.gapSeconds);
    put("difficulty", found.difficulty);
    put("rating", found.footRating);
    put("steps", found.steps);
    out << (found.unusableBpm ? " unusable-bpm" : "") << (found.unusableGap ? " unusable-gap" : "");
    out << (asked ? " asked=" + std::to_string(asked) : "") << (told ? " told" : "");
    return out.str().substr(out.tellp() > 0 ? 1 : 0);
}

struct ScanCase {
    const char* bytes;
    const char* answers;
    const char* found;
};

// A record starts the file or a line, its key runs to the first ":" and its
// value to the first ";" (across lines); the last usable record wins.
const ScanCase kScanCases[] = {
    {"#STATUS:NEW\r\n#TITLE:Song;\r\n#ARTIST:Band;\r\n#BPM:140.500000;\r\n#GAP:-120.000;\r\n\r\n"
     "#SAMPLESTART:1.00000;\r\n#SAMPLELENGTH:5.00000;\r\n#SINGLE:MANIAC:9:0824AB;\r\n",
     "",
     "title=Song artist=Band bpm=140.5 gap=-0.12 difficulty=MANIAC rating=9 steps=0824AB asked=1"},
    {"#bpm:140;\n#Title:x;\n#artist:y;\n#ARTIST :z;\n", "", "title=x artist=y bpm=140"},
    {"#BPM:100;\n#BPM:150;\n#TITLE:kept;\n#TITLE:open\n#SINGLE:HARD:4", "",
     "title=kept bpm=150 difficulty=HARD"},
    {"#TITLE:two\r\nlines;", "", "title=two\r\nlines"},
    {"#BPM:90;#GAP:10;\n#GAP:20", "", "bpm=90"},
    {"#TITLE:a;\n#", "", "title=a"},
    {"#GAP:5;\n\n#BPM:90;", "", "bpm=90 gap=0.005"},
    // A record without ":" swallows the next key; one not at a line start is no record.
    {"#STATUS\r\n#TITLE:abc;\r\n#BPM:120;\r\n", "", "bpm=120"},
    {" #TITLE:lost;\n#BPM:130;\n", "", "bpm=130"},
    {"\xEF\xBB\xBF#TITLE:bom;\n", "", ""},
    {"#TITLE:Caf\xE9;\n#ARTIST:Bj\xC3\xB6rk;\n", "", "title=Caf\xC3\xA9 artist=Bj\xC3\xB6rk"},
    // Each #SINGLE offered is asked about until one is taken; the last one
    // offered stays in the lists even when none was taken.
    {"#SINGLE:BASIC:3:0808;\n#SINGLE:HEAVY:8:2222;\n", "",
     "difficulty=BASIC rating=3 steps=0808 asked=1"},
    {"#SINGLE:BASIC:3:0808;\n#SINGLE:HEAVY:8:2222;\n", "n",
     "difficulty=HEAVY rating=8 steps=2222 asked=2"},
    {"#SINGLE:BASIC:3:0808;\n#SINGLE:HEAVY:8:2222;\n", "nn", "difficulty=HEAVY rating=8 asked=2"},
    {"#SINGLE:TRICK:5", "", "difficulty=TRICK"},
    {"#SINGLE:TRICK:5:0808", "", "difficulty=TRICK rating=5"},
    {"#DOUBLE:BASIC:1:8888;\n#NOTES:x;\n#BPM:99;\n", "", "bpm=99"},
    // Steps are filtered to the 11 codes; freeze arrows and brackets warn once.
    {"#SINGLE:BASIC:1:0\r\n8(\r\n2424)\r\n0<5a>b;\r\n", "",
     "difficulty=BASIC rating=1 steps=0824240 asked=1 told"},
    {"#SINGLE:BASIC:1:0852ab c9;", "", "difficulty=BASIC rating=1 steps=0829 asked=1"},
    // Numbers read as the C library's strtod on decimal text only.
    {"#BPM:  -5xyz;\n#GAP:+2.5e3;", "", "bpm=-5 gap=2.5"},
    {"#BPM:.5;\n#GAP:0xep-5000;", "", "bpm=0.5 gap=0"},
    {"#BPM:0xinf;", "", "bpm=0"},
    {"#BPM:1e38;", "", "bpm=1e+38"},
    // Beyond a float: ignored (the earlier record stands) and reported.
    {"#BPM:120;\n#BPM:1e39;\n#BPM:-1e400;\n#GAP:-4e41;\n#GAP:250;\n", "",
     "bpm=120 gap=0.25 unusable-bpm unusable-gap"},
    {"#GAP:1e42;", "", "unusable-gap"},
    // Fixed faults: these two, like the files that find nothing in the test
    // below, once read past the end of the buffer or looped.
    {"#SINGLE:a:", "", "difficulty=a"},
    {"#BPM:;", "", "bpm=0"},
};

TEST(ScanDwi, ReadsTheRecordsTheWayTheFormatHasAlwaysBeenRead) {
    for (const ScanCase& c : kScanCases) {
        EXPECT_EQ(Scan(c.bytes, c.answers), c.found) << c.bytes;
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
    dwi::DwiImport unusable;
    unusable.unusableBpm = unusable.unusableGap = true;
    EXPECT_EQ(dwi::UnusableNumberMessages(unusable, "/songs/a.dwi"),
              (std::vector<std::string>{"The BPM in /songs/a.dwi is not a usable number",
                                        "The Gap in /songs/a.dwi is not a usable number"}));
    EXPECT_TRUE(dwi::UnusableNumberMessages({}, "a.dwi").empty());
}

// Fixed fault: these shapes made the scan quadratic (searching to the end of
// the file from every record); they still read as the rules say. The time
// is measured by bench/DwiScanBench.cpp.
TEST(ScanDwi, HostileRepetitionsReadAsTheRulesSay) {
    const auto repeat = [](std::string_view unit, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += unit;
        }
        return text;
    };
    // The first key runs to the only ':' and swallows every record.
    EXPECT_EQ(Scan(repeat("\n#", 50000) + "\n#BPM:90;"), "");
    EXPECT_EQ(Scan(repeat("\n#BPM:80;", 50000) + "\n#BPM:90;"), "bpm=90");
    EXPECT_EQ(Scan(repeat("\n#BPM:", 50000) + "\n#GAP:5"), "");
    // Each cut chart's fields are stored; none has a ";" so none is offered.
    EXPECT_EQ(Scan(repeat("\n#SINGLE:A:7:", 20000)), "difficulty=A rating=7");
}

TEST(HasDwiExtension, ComparesTheLastExtensionOfTheFileNameIgnoringCase) {
    for (const auto& [path, dwi] : {std::pair{"/songs/a.dwi", true},
                                    {"/songs/a.DwI", true},
                                    {"x.txt.dwi", true},
                                    {"/songs/.dwi", true},
                                    {"/songs/a.txt", false},
                                    {"/songs/dwi", false},
                                    {"/songs.dwi/readme", false},
                                    {"a.dwi.", false},
                                    {"a.dwix", false},
                                    {"a.dw", false}}) {
        EXPECT_EQ(dwi::HasDwiExtension(path), dwi) << path;
    }
}

TEST(ReadDwiFile, ReadsWholeFilesAndNamesTheOnesItCannotRead) {
    const fs::path folder = dwi_test::FreshFolder("read_dwi");
    const auto missing = dwi::ReadDwiFile((folder / "none.dwi").string());
    EXPECT_EQ(missing.error, "Could not read \"" + (folder / "none.dwi").string() +
                                 "\":\r\nNo such file or directory");
    EXPECT_EQ(dwi::ReadDwiFile(folder.string()).error,
              "Could not read \"" + folder.string() + "\":\r\nIt is not a regular file.");
    const fs::path huge = folder / "huge.dwi";
    std::ofstream(huge).put('#');
    fs::resize_file(huge, dwi::kMaxDwiFileBytes + 1);
    const auto tooLarge = dwi::ReadDwiFile(huge.string());
    EXPECT_TRUE(tooLarge.bytes.empty());
    EXPECT_NE(tooLarge.error.find("larger than 64 MiB"), std::string::npos) << tooLarge.error;
    fs::remove(huge);
    std::ofstream(folder / "good.dwi", std::ios::binary) << "#BPM:1\r\n";
    const auto read = dwi::ReadDwiFile((folder / "good.dwi").string());
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.bytes, "#BPM:1\r\n");
}

} // namespace
