#include "dwi/DwiWriter.h"

#include "DwiTestFiles.h"
#include "dwi/DwiImporter.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Slots are 0.25 s apart at 120 BPM: the chart covers the slots the song
// reaches plus two. No beat grid (or no end) leaves the length alone.
TEST(ExtendChartToCoverSong, CoversTheSongPlusTwoSlots) {
    // clang-format off
    const std::tuple<const char*, double, float, float, std::size_t> kCases[] = {
        {"", 10.0, 120.0f, 0.0f, 42}, {"8", 0.2, 120.0f, 0.0f, 3}, {"8", 1.0, 120.0f, 0.0f, 6},
        {"8", 1.01, 120.0f, 0.0f, 7}, {"8", 1.0, 120.0f, 0.5f, 4}, {"8", 0.0, 120.0f, 0.0f, 3},
        {"8", 600.0, 0.01f, 0.0f, 3}, {"4444", 0.2, 120.0f, 0.0f, 4}, {"48", 600.0, 0.0f, 0.0f, 2},
        {"48", 600.0, 1e30f, 0.0f, 2}, {"48", 1e300, 120.0f, 0.0f, 2}};
    // clang-format on
    for (const auto& [before, songSeconds, bpm, gap, length] : kCases) {
        chart::StepChart steps = before;
        dwi::ExtendChartToCoverSong(steps, songSeconds, bpm, gap);
        EXPECT_EQ(steps, before + std::string(length - std::string(before).size(), '0'))
            << before << " " << songSeconds << " s at " << bpm << " BPM";
    }
}

// Random titles (printable ASCII and multi-byte UTF-8, no ";" and no line
// break), charts and numbers are saved and read back.
TEST(DwiRoundTrip, WhatTheWriterProducesImportsBack) {
    const std::string path = (dwi_test::FreshFolder("round_trip") / "round.dwi").string();
    std::mt19937 random(20261206);
    const auto text = [&random] {
        // clang-format off
        static const std::string kPieces[] = {"a", "Z", " ", ":", "#", "9", "-", "\xC3\xA9",
                                              "\xE2\x99\xAB", "(", "!", "\xF0\x9F\x8E\xB5"};
        // clang-format on
        std::string out;
        for (auto length = random() % 12; length > 0; --length) {
            out += kPieces[random() % std::size(kPieces)];
        }
        return out;
    };
    std::uniform_real_distribution<float> bpms(1.0f, 999.0f), gaps(-2.0f, 30.0f);
    for (int round = 0; round < 200; ++round) {
        const std::string title = text(), artist = text();
        const auto rating = static_cast<std::uint32_t>(random() % 10 + 1);
        const dwi::DwiSong song{title,  artist,       rating % 2 ? "BASIC" : "MANIAC",
                                rating, bpms(random), gaps(random)};
        chart::StepChart steps;
        for (auto n = random() % 300; n > 0; --n) {
            steps += "012346789AB"[random() % 11];
        }
        ASSERT_FALSE(dwi::SaveDwi(path, song, 60.0, steps));
        int questions = 0;
        const dwi::DwiImport back = dwi::ScanDwi(
            dwi::ReadDwiFile(path).bytes, [&](auto, auto) { return ++questions > 0; },
            [](auto) { FAIL() << "no message expected"; });
        EXPECT_EQ(std::tuple(questions, back.title, back.artist, back.difficulty, back.footRating,
                             back.steps),
                  std::tuple(1, song.title, song.artist, song.difficulty, song.footRating, steps));
        // Six decimals of BPM: 0.5e-6 plus one float step (0.1e-6 near 1);
        // from 32 BPM float steps are wider than that, so it reads back exactly.
        // The Gap in milliseconds with three decimals: 0.5 us, plus one float
        // step (2 us at 30 s).
        ASSERT_TRUE(back.bpm && back.gapSeconds);
        EXPECT_NEAR(*back.bpm, song.bpm, song.bpm < 32.0f ? 1e-6 : 0.0);
        EXPECT_NEAR(*back.gapSeconds, song.gapSeconds, 3e-6);
    }
}

} // namespace
