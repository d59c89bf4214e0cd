#include "dwi/DwiImporter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Scripted user: answers the questions in order (Yes when the script runs
// out) and records every question and message.
struct User {
    std::vector<bool> answers;
    std::vector<std::string> questions;
    std::vector<std::string> messages;

    dwi::DwiImport Import(std::string_view bytes) {
        return dwi::ScanDwi(
            bytes,
            [this](std::string_view text, std::string_view caption) {
                EXPECT_EQ(caption, "Select Steps");
                questions.emplace_back(text);
                const std::size_t i = questions.size() - 1;
                return i < answers.size() ? answers[i] : true;
            },
            [this](std::string_view text) { messages.emplace_back(text); });
    }
};

TEST(ScanDwi, ReadsEveryRecordTheWriterWrites) {
    User user;
    const auto result = user.Import("#STATUS:NEW\r\n#TITLE:Song;\r\n#ARTIST:Band;\r\n"
                                    "#BPM:140.500000;\r\n#GAP:-120.000;\r\n\r\n"
                                    "#SAMPLESTART:1.00000;\r\n#SAMPLELENGTH:5.00000;\r\n"
                                    "#SINGLE:MANIAC:9:0824AB;\r\n");
    EXPECT_EQ(result.title, "Song");
    EXPECT_EQ(result.artist, "Band");
    EXPECT_EQ(result.bpm, 140.5f);
    EXPECT_EQ(result.gapSeconds, -0.12f);
    EXPECT_EQ(result.difficulty, "MANIAC");
    EXPECT_EQ(result.footRating, 9u);
    EXPECT_EQ(result.steps, "0824AB");
    ASSERT_EQ(user.questions.size(), 1u);
    EXPECT_EQ(user.questions[0], "Found: Difficulty - MANIAC ; FootRating - 9.\r\n"
                                 "Use these steps?  (You can only select one.)");
    EXPECT_TRUE(user.messages.empty());
}

TEST(ScanDwi, KeysMatchInAnyCaseButNotWithSpaces) {
    User user;
    auto result = user.Import("#bpm:140;\n#Title:x;\n#ARTIST :y;\n");
    EXPECT_EQ(result.bpm, 140.0f);
    EXPECT_EQ(result.title, "x");
    EXPECT_FALSE(result.artist);
}

TEST(ScanDwi, LastRecordWinsAndUnterminatedValuesAreIgnored) {
    User user;
    auto result = user.Import("#BPM:100;\n#BPM:150;\n#TITLE:kept;\n#TITLE:open\n#SINGLE:HARD:4");
    EXPECT_EQ(result.bpm, 150.0f);
    EXPECT_EQ(result.title, "kept");
    // The scan resumed inside the open title and still reached the chart record.
    EXPECT_EQ(result.difficulty, "HARD");
    // A value runs on to the first ";", across lines.
    result = user.Import("#TITLE:two\nlines;\n");
    EXPECT_EQ(result.title, "two\nlines");
}

TEST(ScanDwi, AsksAboutEachChartUntilOneIsAccepted) {
    const std::string twoCharts = "#SINGLE:BASIC:3:0808;\n#SINGLE:HEAVY:8:2222;\n";
    User yes;
    auto result = yes.Import(twoCharts);
    EXPECT_EQ(yes.questions.size(), 1u);
    EXPECT_EQ(result.steps, "0808");
    EXPECT_EQ(result.difficulty, "BASIC");
    EXPECT_EQ(result.footRating, 3u);

    User no;
    no.answers = {false, true};
    result = no.Import(twoCharts);
    EXPECT_EQ(no.questions.size(), 2u);
    EXPECT_EQ(result.steps, "2222");
    EXPECT_EQ(result.difficulty, "HEAVY");

    User never;
    never.answers = {false, false};
    result = never.Import(twoCharts);
    EXPECT_FALSE(result.steps);
    // The lists show the last chart offered even though none was taken.
    EXPECT_EQ(result.difficulty, "HEAVY");
    EXPECT_EQ(result.footRating, 8u);
}

TEST(ScanDwi, IncompleteChartRecordsStoreWhatWasCut) {
    User user;
    auto result = user.Import("#SINGLE:TRICK:5");
    EXPECT_EQ(result.difficulty, "TRICK");
    EXPECT_FALSE(result.footRating);
    result = user.Import("#SINGLE:TRICK:5:0808");
    EXPECT_EQ(result.footRating, 5u);
    EXPECT_FALSE(result.steps);
    EXPECT_TRUE(user.questions.empty());
}

TEST(ScanDwi, FiltersStepsAndWarnsOnceAboutFreezeArrows) {
    User user;
    auto result = user.Import("#SINGLE:BASIC:1:0\r\n8(\r\n2424)\r\n0<5a>b;\r\n");
    EXPECT_EQ(result.steps, "0824240");
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Found freeze arrow or steps smaller than half-beats.\r\n"
                                "Neither of these features are supported (yet).\r\n"
                                "These imported steps will probably be screwy.");

    User quiet;
    result = quiet.Import("#SINGLE:BASIC:1:0852ab c9;");
    EXPECT_EQ(result.steps, "0829");
    EXPECT_TRUE(quiet.messages.empty());
}

TEST(ScanDwi, OtherChartsAndUnknownRecordsAreSkipped) {
    User user;
    auto result = user.Import("#DOUBLE:BASIC:1:8888;\n#NOTES:x;\n#BPM:99;\n");
    EXPECT_EQ(result.bpm, 99.0f);
    EXPECT_TRUE(user.questions.empty());
}

TEST(ScanDwi, ARecordWithoutColonSwallowsTheNextOne) {
    User user;
    auto result = user.Import("#STATUS\r\n#TITLE:abc;\r\n#BPM:120;\r\n");
    EXPECT_FALSE(result.title);
    EXPECT_EQ(result.bpm, 120.0f);
}

TEST(ScanDwi, FirstRecordMustStartTheFileOrALine) {
    User user;
    auto result = user.Import(" #TITLE:lost;\n#BPM:130;\n");
    EXPECT_FALSE(result.title);
    EXPECT_EQ(result.bpm, 130.0f);
    result = user.Import("\xEF\xBB\xBF#TITLE:bom;\n");
    EXPECT_FALSE(result.title);
}

TEST(ScanDwi, DegenerateFilesEndTheScanInsideTheBuffer) {
    // Each of these once read past the end of the buffer or looped; the
    // sanitizer build checks the reads.
    for (std::string bytes : {"", "#", "\n#", "#:", "#TITLE:", "#SINGLE:", "#SINGLE:a:",
                              "\n#\n#\n#", "##:;", "#BPM:;", "x\n#"}) {
        User user;
        const auto result = user.Import(bytes);
        EXPECT_FALSE(result.steps) << bytes;
    }
    User user;
    EXPECT_EQ(user.Import("#BPM:;").bpm, 0.0f);
}

TEST(ScanDwi, AZeroByteEndsTheScan) {
    User user;
    const std::string bytes("#TITLE:a;\n\0#BPM:100;\n", 21);
    auto result = user.Import(bytes);
    EXPECT_EQ(result.title, "a");
    EXPECT_FALSE(result.bpm);
}

TEST(ScanDwi, TextThatIsNotUtf8IsReadAsLatin1) {
    User user;
    auto result = user.Import("#TITLE:Caf\xE9;\n#ARTIST:Bj\xC3\xB6rk;\n");
    EXPECT_EQ(result.title, "Caf\xC3\xA9");
    EXPECT_EQ(result.artist, "Bj\xC3\xB6rk");
}

TEST(ScanDwi, NumbersReadLikeTheCLibrary) {
    User user;
    EXPECT_EQ(user.Import("#BPM:  -5xyz;").bpm, -5.0f);
    EXPECT_EQ(user.Import("#BPM:abc;").bpm, 0.0f);
    EXPECT_EQ(user.Import("#BPM:1e30;").bpm, 1e30f);
    EXPECT_EQ(user.Import("#BPM:.5;").bpm, 0.5f);
    EXPECT_EQ(user.Import("#GAP:+2.5e3;").gapSeconds, 2.5f);
    // Hex and "inf" are not part of the grammar: they read as their "0".
    EXPECT_EQ(user.Import("#BPM:0xinf;").bpm, 0.0f);
    EXPECT_EQ(user.Import("#GAP:0xep-5000;").gapSeconds, 0.0f);
}

// A value beyond a float is ignored (the earlier record stands) and named
// once per import, however often it occurs.
TEST(ScanDwi, NumbersBeyondAFloatKeepTheCurrentValue) {
    User user;
    const dwi::DwiImport found =
        user.Import("#BPM:120;\n#BPM:1e39;\n#BPM:-1e400;\n#GAP:-4e41;\n#GAP:250;\n");
    EXPECT_EQ(found.bpm, 120.0f);
    EXPECT_EQ(found.gapSeconds, 0.25f);
    EXPECT_EQ(dwi::UnusableNumberMessages(found, "/songs/a.dwi"),
              (std::vector<std::string>{"The BPM in /songs/a.dwi is not a usable number",
                                        "The Gap in /songs/a.dwi is not a usable number"}));
    const dwi::DwiImport fine = user.Import("#BPM:1e38;");
    EXPECT_EQ(fine.bpm, 1e38f);
    EXPECT_TRUE(dwi::UnusableNumberMessages(fine, "a.dwi").empty());
    EXPECT_FALSE(user.Import("#BPM:1e39;").bpm.has_value());
}

TEST(HasDwiExtension, ComparesTheLastExtensionIgnoringCase) {
    EXPECT_TRUE(dwi::HasDwiExtension("/songs/a.dwi"));
    EXPECT_TRUE(dwi::HasDwiExtension("/songs/a.DwI"));
    EXPECT_TRUE(dwi::HasDwiExtension("x.txt.dwi"));
    EXPECT_FALSE(dwi::HasDwiExtension("/songs/a.txt"));
    EXPECT_FALSE(dwi::HasDwiExtension("/songs/dwi"));
    EXPECT_FALSE(dwi::HasDwiExtension("/songs.dwi/readme"));
    EXPECT_FALSE(dwi::HasDwiExtension("a.dwi."));
    EXPECT_FALSE(dwi::HasDwiExtension("a.dwix"));
}

TEST(ReadDwiFile, ReportsFilesItCannotRead) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "read_dwi";
    fs::remove_all(folder);
    fs::create_directories(folder);

    auto missing = dwi::ReadDwiFile((folder / "none.dwi").string());
    EXPECT_TRUE(missing.bytes.empty());
    EXPECT_NE(missing.error.find("none.dwi"), std::string::npos) << missing.error;

    auto directory = dwi::ReadDwiFile(folder.string());
    EXPECT_FALSE(directory.error.empty());

    const fs::path huge = folder / "huge.dwi";
    std::ofstream(huge).put('#');
    fs::resize_file(huge, dwi::kMaxDwiFileBytes + 1);
    auto tooLarge = dwi::ReadDwiFile(huge.string());
    EXPECT_TRUE(tooLarge.bytes.empty());
    EXPECT_NE(tooLarge.error.find("64 MiB"), std::string::npos) << tooLarge.error;

    const fs::path good = folder / "good.dwi";
    std::ofstream(good, std::ios::binary) << "#BPM:1\r\n";
    auto read = dwi::ReadDwiFile(good.string());
    EXPECT_TRUE(read.error.empty());
    EXPECT_EQ(read.bytes, "#BPM:1\r\n");
}

} // namespace

namespace {

// Hostile shapes that once made the scan quadratic (searching to the end of
// the file from every record) still read as the rules say; the time is
// measured by bench/DwiScanBench.cpp.
TEST(ScanDwi, HostileRepetitionsReadAsTheRulesSay) {
    auto repeat = [](std::string_view unit, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += unit;
        }
        return text;
    };
    User user;
    // The first key runs to the only ':' and swallows every record.
    const dwi::DwiImport noColon = user.Import(repeat("\n#", 50000) + "\n#BPM:90;");
    EXPECT_FALSE(noColon.bpm.has_value());
    EXPECT_EQ(user.Import(repeat("\n#BPM:80;", 50000) + "\n#BPM:90;").bpm, 90.0f);
    const dwi::DwiImport noSemicolon = user.Import(repeat("\n#BPM:", 50000) + "\n#GAP:5");
    EXPECT_FALSE(noSemicolon.bpm.has_value());
    EXPECT_FALSE(noSemicolon.gapSeconds.has_value());
    // Each cut chart's fields are stored; none has a ";" so none is offered.
    const dwi::DwiImport charts = user.Import(repeat("\n#SINGLE:A:7:", 20000));
    EXPECT_EQ(charts.difficulty, "A");
    EXPECT_EQ(charts.footRating, 7u);
    EXPECT_TRUE(user.questions.empty());
}

} // namespace
