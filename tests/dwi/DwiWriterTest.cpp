#include "dwi/DwiWriter.h"

#include "dwi/DwiImporter.h"

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

fs::path FreshFolder(const std::string& name) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(FormatDwi, WritesTheEightRecordsByteForByte) {
    const std::string text =
        dwi::FormatDwi("My Song", "Me", 120.0f, 0.125f, 12.5f, 7.25f, "MANIAC", 7, "0802");
    EXPECT_EQ(text, "#STATUS:NEW\r\n"
                    "#TITLE:My Song;\r\n"
                    "#ARTIST:Me;\r\n"
                    "#BPM:120.000000;\r\n"
                    "#GAP:125.000;\r\n"
                    "\r\n"
                    "#SAMPLESTART:12.50000;\r\n"
                    "#SAMPLELENGTH:7.25000;\r\n"
                    "#SINGLE:MANIAC:7:0802;\r\n");
}

TEST(FormatDwi, FieldWidthsSignsAndUnescapedText) {
    const std::string text = dwi::FormatDwi("", "a;b:c", 9.5f, -0.25f, 0.0f, 0.0f, "BASIC", 0, "");
    EXPECT_NE(text.find("#TITLE:;\r\n"), std::string::npos);
    EXPECT_NE(text.find("#ARTIST:a;b:c;\r\n"), std::string::npos);
    EXPECT_NE(text.find("#BPM:9.500000;\r\n"), std::string::npos);
    EXPECT_NE(text.find("#GAP:-250.000;\r\n\r\n#SAMPLESTART:0.00000;"), std::string::npos);
    EXPECT_NE(text.find("#SAMPLELENGTH:0.00000;"), std::string::npos);
    EXPECT_NE(text.find("#SINGLE:BASIC:0:;\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(FormatDwi, DecimalPointIsAlwaysAFullStop) {
    const std::string expected =
        dwi::FormatDwi("T", "A", 133.25f, 1.5f, 2.5f, 3.5f, "BASIC", 1, "8");
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "setup generates this locale";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    EXPECT_STREQ(buffer, "1,5") << "the locale must really use a comma for this test to count";
    const std::string underComma =
        dwi::FormatDwi("T", "A", 133.25f, 1.5f, 2.5f, 3.5f, "BASIC", 1, "8");
    const dwi::DwiImport back = dwi::ScanDwi(
        underComma, [](auto, auto) { return true; }, [](auto) {});
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(underComma, expected);
    EXPECT_NE(underComma.find("#BPM:133.250000;"), std::string::npos);
    ASSERT_TRUE(back.bpm);
    EXPECT_EQ(*back.bpm, 133.25f);
    EXPECT_EQ(*back.gapSeconds, 1.5f);
}

TEST(SampleLength, NegativeBecomesFiveSecondsZeroStays) {
    EXPECT_EQ(dwi::SampleLengthSeconds(10.0f, 4.0f), 5.0f);
    EXPECT_EQ(dwi::SampleLengthSeconds(4.0f, 4.0f), 0.0f);
    EXPECT_EQ(dwi::SampleLengthSeconds(4.0f, 10.5f), 6.5f);
}

TEST(FootRating, FollowsTheLibraryStringToIntegerRule) {
    EXPECT_EQ(dwi::FootRatingFromText("10"), 10u);
    EXPECT_EQ(dwi::FootRatingFromText("  7 feet"), 7u);
    EXPECT_EQ(dwi::FootRatingFromText("+3"), 3u);
    EXPECT_EQ(dwi::FootRatingFromText("hard"), 0u);
    EXPECT_EQ(dwi::FootRatingFromText(""), 0u);
    EXPECT_EQ(dwi::FootRatingFromText("-3"), 4294967293u);
    EXPECT_EQ(dwi::FootRatingFromText("99999999999"), 4294967295u);
}

TEST(ExtendChartToCoverSong, CoversTheSongPlusTwoSlots) {
    chart::StepChart steps;
    dwi::ExtendChartToCoverSong(steps, 10.0, 120.0f, 0.0f);
    EXPECT_EQ(steps, std::string(42, '0'));

    steps = "8";
    dwi::ExtendChartToCoverSong(steps, 0.2, 120.0f, 0.0f);
    EXPECT_EQ(steps, "800");

    steps = std::string(100, '4');
    dwi::ExtendChartToCoverSong(steps, 10.0, 120.0f, 0.0f);
    EXPECT_EQ(steps, std::string(100, '4'));

    // A 10-minute song at 0.01 BPM: one slot lasts 3000 s.
    steps.clear();
    dwi::ExtendChartToCoverSong(steps, 600.0, 0.01f, 0.0f);
    EXPECT_EQ(steps, "000");
}

TEST(ExtendChartToCoverSong, LeavesTheLengthAloneWithoutABeatGrid) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bpm : {0.0f, -5.0f, 1e30f, nan, std::numeric_limits<float>::infinity()}) {
        chart::StepChart steps = "48";
        dwi::ExtendChartToCoverSong(steps, 600.0, bpm, 0.0f);
        EXPECT_EQ(steps, "48") << bpm;
    }
    chart::StepChart steps = "48";
    dwi::ExtendChartToCoverSong(steps, std::numeric_limits<double>::infinity(), 120.0f, 0.0f);
    EXPECT_EQ(steps, "48");
}

dwi::DwiSong SampleSong() {
    dwi::DwiSong song;
    song.title = "Title";
    song.artist = "Artist";
    song.difficulty = "BASIC";
    song.bpm = 120.0f;
    return song;
}

TEST(SaveDwi, WritesAndReplacesTheFile) {
    const fs::path folder = FreshFolder("save_replace");
    const fs::path path = folder / "song.dwi";
    chart::StepChart steps = "8";
    ASSERT_FALSE(dwi::SaveDwi(path.string(), SampleSong(), 1.0, steps));
    // One second at 120 BPM is four half-beats; the chart covers three plus three.
    EXPECT_EQ(steps, "800000");
    EXPECT_NE(ReadAll(path).find("#SINGLE:BASIC:1:800000;\r\n"), std::string::npos);

    steps = "2";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_FALSE(dwi::SaveDwi(path.string(), SampleSong(), 0.1, steps));
    EXPECT_NE(ReadAll(path).find("#SINGLE:BASIC:1:200;\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // Nothing but the saved file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(SaveDwi, FailureKeepsTheOldFileAndReportsWhy) {
    const fs::path folder = FreshFolder("save_fail");
    chart::StepChart steps = "8";
    const auto missing =
        dwi::SaveDwi((folder / "no/such/folder/x.dwi").string(), SampleSong(), 1.0, steps);
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("No such file"), std::string::npos) << *missing;

    // A folder in the way of the target: the save fails, the folder stays.
    fs::create_directory(folder / "taken.dwi");
    const auto blocked = dwi::SaveDwi((folder / "taken.dwi").string(), SampleSong(), 1.0, steps);
    ASSERT_TRUE(blocked);
    EXPECT_TRUE(fs::is_directory(folder / "taken.dwi"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(SaveDwi, FollowsASymbolicLinkToItsTarget) {
    const fs::path folder = FreshFolder("save_link");
    { std::ofstream(folder / "real.dwi") << "old"; }
    fs::create_symlink("real.dwi", folder / "link.dwi");
    chart::StepChart steps = "6";
    ASSERT_FALSE(dwi::SaveDwi((folder / "link.dwi").string(), SampleSong(), 0.0, steps));
    EXPECT_TRUE(fs::is_symlink(folder / "link.dwi"));
    EXPECT_NE(ReadAll(folder / "real.dwi").find("#SINGLE:BASIC:1:600;"), std::string::npos);
}

std::string RandomText(std::mt19937& random) {
    // Printable ASCII and some multi-byte UTF-8, but no ";" (which ends the
    // value) and no line break (which could start a record).
    static const std::string pieces[] = {"a", "Z",        " ",
                                         ":", "#",        "9",
                                         "-", "\xC3\xA9", "\xE2\x99\xAB",
                                         "(", "!",        "\xF0\x9F\x8E\xB5"};
    std::string text;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) {
        text += pieces[random() % std::size(pieces)];
    }
    return text;
}

TEST(DwiRoundTrip, WhatTheWriterProducesImportsBack) {
    const fs::path folder = FreshFolder("round_trip");
    const std::string difficulties[] = {"BASIC",    "LIGHT",  "ANOTHER", "TRICK",
                                        "STANDARD", "MANIAC", "SSR",     "HEAVY"};
    std::mt19937 random(20261206);
    std::uniform_real_distribution<float> bpms(1.0f, 999.0f);
    std::uniform_real_distribution<float> gaps(-2.0f, 30.0f);
    for (int round = 0; round < 200; ++round) {
        dwi::DwiSong song;
        song.title = RandomText(random);
        song.artist = RandomText(random);
        song.difficulty = difficulties[random() % 8];
        song.footRating = static_cast<std::uint32_t>(random() % 10 + 1);
        song.bpm = bpms(random);
        song.gapSeconds = gaps(random);
        chart::StepChart steps;
        const std::string codes = "012346789AB";
        for (auto n = random() % 300; n > 0; --n) {
            steps += codes[random() % codes.size()];
        }
        const fs::path path = folder / "round.dwi";
        ASSERT_FALSE(dwi::SaveDwi(path.string(), song, 60.0, steps));

        const dwi::DwiFileBytes file = dwi::ReadDwiFile(path.string());
        ASSERT_TRUE(file.error.empty()) << file.error;
        int questions = 0;
        const dwi::DwiImport back = dwi::ScanDwi(
            file.bytes,
            [&](auto, auto) {
                ++questions;
                return true;
            },
            [](auto) { FAIL() << "no message expected"; });
        EXPECT_EQ(questions, 1);
        EXPECT_EQ(back.title, song.title);
        EXPECT_EQ(back.artist, song.artist);
        EXPECT_EQ(back.difficulty, song.difficulty);
        EXPECT_EQ(back.footRating, song.footRating);
        EXPECT_EQ(back.steps, steps);
        ASSERT_TRUE(back.bpm && back.gapSeconds);
        // Six decimals of BPM: 0.5e-6 plus one float step (0.1e-6 near 1).
        EXPECT_NEAR(static_cast<double>(*back.bpm), static_cast<double>(song.bpm), 1e-6);
        if (song.bpm >= 32.0f) {
            // There float steps are wider than the written precision.
            EXPECT_EQ(*back.bpm, song.bpm);
        }
        // Gap is written in milliseconds with three decimals: 0.5 us, plus
        // one float step (2 us at 30 s).
        EXPECT_NEAR(static_cast<double>(*back.gapSeconds), static_cast<double>(song.gapSeconds),
                    3e-6);
    }
}

} // namespace
