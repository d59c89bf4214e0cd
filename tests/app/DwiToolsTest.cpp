#include "app/DwiTools.h"

#include "dwi/DwiSong.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

TEST(DwiTools, InfoReportsEveryChartWithItsTimingAndCopyKeepsTheBytes) {
    const std::filesystem::path dir = std::filesystem::path(BEATWRIGHT_TEST_TMP) / "dwitools";
    std::filesystem::create_directories(dir);
    const std::string file = "#TITLE:Song;\n#ARTIST:Me;\n#BPM:120;\n#GAP:500;\n"
                             "#CHANGEBPM:16=240;\n#FREEZE:32=1000;\n"
                             "#SINGLE:BASIC:3:8!8000800<248>;\n#DOUBLE:SMANIAC:12:8:0002;\n";
    const std::string in = (dir / "in.dwi").string();
    std::ofstream(in, std::ios::binary) << file;

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_FALSE(app::PrintDwiInfo({in, (dir / "missing.dwi").string()}, out, err));
    const std::string printed = ReadAll(out);
    EXPECT_NE(ReadAll(err).find("missing.dwi"), std::string::npos);
    ASSERT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    const auto info = nlohmann::json::parse(printed);
    EXPECT_EQ(info["title"], "Song");
    EXPECT_EQ(info["bpm"], 120.0);
    EXPECT_EQ(info["gap_ms"], 500.0);
    EXPECT_EQ(info["changes"], nlohmann::json::parse("[[4.0, 240.0]]"));
    EXPECT_EQ(info["stops"], nlohmann::json::parse("[[8.0, 1000.0]]"));
    ASSERT_EQ(info["charts"].size(), 2u);
    const auto& single = info["charts"][0];
    EXPECT_EQ(single["style"], "SINGLE");
    EXPECT_EQ(single["taps"], 3); // the 8 that ends the hold is none
    EXPECT_EQ(single["holds"], 1);
    EXPECT_EQ(single["jumps"], 1);
    EXPECT_EQ(single["last_beat"], 3.5);
    // Beat 3.5 at 120 BPM from the Gap: 0.5 + 1.75 s; the change and the stop lie later.
    EXPECT_DOUBLE_EQ(single["last_note_seconds"].get<double>(), 2.25);
    const auto& doubles = info["charts"][1];
    EXPECT_EQ(doubles["difficulty"], "SMANIAC");
    EXPECT_EQ(doubles["rating"], 12);
    EXPECT_EQ(doubles["last_beat"], 1.5);

    const std::string copy = (dir / "copy.dwi").string();
    EXPECT_TRUE(app::CopyDwi(in, copy, err));
    std::FILE* copied = std::fopen(copy.c_str(), "rb");
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(ReadAll(copied), file);
    std::fclose(copied);
    std::fclose(out);
    std::fclose(err);
}

} // namespace
