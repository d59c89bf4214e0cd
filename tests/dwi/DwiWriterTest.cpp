#include "dwi/DwiWriter.h"

#include "DwiTestFiles.h"
#include "dwi/DwiImporter.h"

#include <clocale>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

namespace fs = std::filesystem;

TEST(FormatDwi, WritesTheEightRecordsByteForByte) {
    EXPECT_EQ(dwi::FormatDwi("My Song", "Me", 120.0f, 0.125f, 12.5f, 7.25f, "MANIAC", 7, "0802"),
              "#STATUS:NEW\r\n#TITLE:My Song;\r\n#ARTIST:Me;\r\n#BPM:120.000000;\r\n"
              "#GAP:125.000;\r\n\r\n#SAMPLESTART:12.50000;\r\n#SAMPLELENGTH:7.25000;\r\n"
              "#SINGLE:MANIAC:7:0802;\r\n");
    // Text is written as it is, separators and all; negative Gaps keep their sign.
    EXPECT_EQ(dwi::FormatDwi("", "a;b:c", 9.5f, -0.25f, 0.0f, 0.0f, "BASIC", 0, ""),
              "#STATUS:NEW\r\n#TITLE:;\r\n#ARTIST:a;b:c;\r\n#BPM:9.500000;\r\n"
              "#GAP:-250.000;\r\n\r\n#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:0.00000;\r\n"
              "#SINGLE:BASIC:0:;\r\n");
}

TEST(FormatDwi, DecimalPointIsAlwaysAFullStop) {
    const std::string expected = dwi::FormatDwi("T", "A", 133.25f, 1.5f, 2.5f, 3.5f, "B", 1, "8");
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "setup generates this locale";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    EXPECT_STREQ(buffer, "1,5") << "the locale must really use a comma for this test to count";
    const std::string underComma = dwi::FormatDwi("T", "A", 133.25f, 1.5f, 2.5f, 3.5f, "B", 1, "8");
    const dwi::DwiImport back = dwi::ScanDwi(
        underComma, [](auto, auto) { return true; }, [](auto) {});
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(underComma, expected);
    EXPECT_NE(underComma.find("#BPM:133.250000;"), std::string::npos);
    EXPECT_EQ(back.bpm, 133.25f);
    EXPECT_EQ(back.gapSeconds, 1.5f);
}

TEST(SampleLength, NegativeBecomesFiveSecondsZeroStays) {
    EXPECT_EQ(dwi::SampleLengthSeconds(10.0f, 4.0f), 5.0f);
    EXPECT_EQ(dwi::SampleLengthSeconds(4.0f, 4.0f), 0.0f);
    EXPECT_EQ(dwi::SampleLengthSeconds(4.0f, 10.5f), 6.5f);
}

// Slots are 0.25 s apart at 120 BPM: the chart covers the slots the song
// reaches plus two. No beat grid (or no end) leaves the length alone.
TEST(ExtendChartToCoverSong, CoversTheSongPlusTwoSlots) {
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* steps;
        double songSeconds;
        float bpm;
        float gap;
        std::size_t length;
    };
    for (const Case& c : {Case{"", 10.0, 120.0f, 0.0f, 42}, Case{"8", 0.2, 120.0f, 0.0f, 3},
                          Case{"8", 1.0, 120.0f, 0.0f, 6}, Case{"8", 1.01, 120.0f, 0.0f, 7},
                          Case{"8", 1.0, 120.0f, 0.5f, 4}, Case{"8", 0.0, 120.0f, 0.0f, 3},
                          Case{"8", 600.0, 0.01f, 0.0f, 3}, Case{"4444", 0.2, 120.0f, 0.0f, 4},
                          Case{"48", 600.0, 0.0f, 0.0f, 2}, Case{"48", 600.0, -5.0f, 0.0f, 2},
                          Case{"48", 600.0, 1e30f, 0.0f, 2}, Case{"48", 600.0, kNan, 0.0f, 2},
                          Case{"48", 600.0, kInf, 0.0f, 2}, Case{"48", kInf, 120.0f, 0.0f, 2}}) {
        chart::StepChart steps = c.steps;
        dwi::ExtendChartToCoverSong(steps, c.songSeconds, c.bpm, c.gap);
        EXPECT_EQ(steps, c.steps + std::string(c.length - std::string(c.steps).size(), '0'))
            << c.steps << " " << c.songSeconds << " s at " << c.bpm << " BPM";
    }
}

std::string RandomText(std::mt19937& random) {
    // Printable ASCII and some multi-byte UTF-8, but no ";" (which ends the
    // value) and no line break (which could start a record).
    static const std::string pieces[] = {"a", "Z",        " ",
                                         ":", "#",        "9",
                                         "-", "\xC3\xA9", "\xE2\x99\xAB",
                                         "(", "!",        "\xF0\x9F\x8E\xB5"};
    std::string text;
    for (auto length = random() % 12; length > 0; --length) {
        text += pieces[random() % std::size(pieces)];
    }
    return text;
}

TEST(DwiRoundTrip, WhatTheWriterProducesImportsBack) {
    const fs::path path = dwi_test::FreshFolder("round_trip") / "round.dwi";
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
        for (auto n = random() % 300; n > 0; --n) {
            steps += "012346789AB"[random() % 11];
        }
        ASSERT_FALSE(dwi::SaveDwi(path.string(), song, 60.0, steps));
        const dwi::DwiFileBytes file = dwi::ReadDwiFile(path.string());
        int questions = 0;
        const dwi::DwiImport back = dwi::ScanDwi(
            file.bytes, [&](auto, auto) { return ++questions > 0; },
            [](auto) { FAIL() << "no message expected"; });
        EXPECT_EQ(questions, 1);
        EXPECT_EQ(back.title, song.title);
        EXPECT_EQ(back.artist, song.artist);
        EXPECT_EQ(back.difficulty, song.difficulty);
        EXPECT_EQ(back.footRating, song.footRating);
        EXPECT_EQ(back.steps, steps);
        ASSERT_TRUE(back.bpm && back.gapSeconds);
        // Six decimals of BPM: 0.5e-6 plus one float step (0.1e-6 near 1);
        // from 32 BPM float steps are wider than that, so it reads back exactly.
        EXPECT_NEAR(static_cast<double>(*back.bpm), static_cast<double>(song.bpm), 1e-6);
        if (song.bpm >= 32.0f) {
            EXPECT_EQ(*back.bpm, song.bpm);
        }
        // Gap in milliseconds with three decimals: 0.5 us, plus one float
        // step (2 us at 30 s).
        EXPECT_NEAR(static_cast<double>(*back.gapSeconds), static_cast<double>(song.gapSeconds),
                    3e-6);
    }
}

} // namespace
