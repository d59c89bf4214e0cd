#include "app/DwiTools.h"

#include "WindowFixture.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

TEST(DwiTools, InfoReportsEveryChartWithItsTimingAndCopyKeepsTheBytes) {
    const std::string dir = TempFolder("dwitools");
    const std::string file = "#TITLE:Song;\n#ARTIST:Me;\n#BPM:120;\n#GAP:500;\n"
                             "#CHANGEBPM:16=240;\n#FREEZE:32=1000;\n"
                             "#SINGLE:BASIC:3:8!8000800<248>;\n#DOUBLE:SMANIAC:12:8:0002;\n";
    const std::string in = WriteFile(dir, "in.dwi", file);

    std::FILE* out = std::fopen((dir + "/out.json").c_str(), "w");
    std::FILE* err = std::fopen((dir + "/err.txt").c_str(), "w");
    EXPECT_FALSE(app::PrintDwiInfo({in, dir + "/missing.dwi"}, out, err));
    EXPECT_TRUE(app::CopyDwi(in, dir + "/copy.dwi", err));
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(FileText(dir + "/err.txt"),
              "Could not read \"" + dir + "/missing.dwi\":\r\nNo such file or directory\n");
    // Worked by hand. The change and the stop stand at beats 16/4 and 32/4.
    // SINGLE: a hold from beat 0 (the 8 at slot 4 ends it), a three-arrow
    // jump at slot 7: beat 3.5, 0.5 s + 3.5 beats of 0.5 s. DOUBLE: up on
    // the first pad at slot 0, down on the second at slot 3.
    nlohmann::json expected = nlohmann::json::parse(R"({
        "file": "", "title": "Song", "artist": "Me", "bpm": 120, "gap_ms": 500,
        "changes": [[4, 240]], "stops": [[8, 1000]],
        "charts": [{"style": "SINGLE", "difficulty": "BASIC", "rating": 3, "taps": 3,
                    "holds": 1, "jumps": 1, "last_beat": 3.5, "last_note_seconds": 2.25},
                   {"style": "DOUBLE", "difficulty": "SMANIAC", "rating": 12, "taps": 2,
                    "holds": 0, "jumps": 0, "last_beat": 1.5, "last_note_seconds": 1.25}]})");
    expected["file"] = in;
    EXPECT_EQ(nlohmann::json::parse(FileText(dir + "/out.json")), expected);
    EXPECT_EQ(FileText(dir + "/copy.dwi"), file);
}

} // namespace
