#include "edit/ImportedSong.h"

#include "dwi/DwiSong.h"

#include <gtest/gtest.h>

namespace {

const std::string kFile = "#TITLE:Song;\r\n#BPM:150.000;\r\n#GAP:-120;\r\n#CHANGEBPM:64=300;\r\n"
                          "#SAMPLESTART:30.00000;\r\n#SAMPLELENGTH:12.00000;\r\n#SINGLE:BASIC:3:"
                          "\r\n0808\r\n;\r\n#SINGLE:SMANIAC:12:\r\n(8888)8!80008;\r\n"
                          "#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";

// The window's values right after importing the SMANIAC chart: the lists
// cannot show "SMANIAC" or 12, so they still show what they showed; the
// steps are the chart flattened to half-beat slots.
const edit::WindowValues kAfterImport{"Song", "",    "BASIC",        1, 150.0f, -0.12f,
                                      30.0f,  42.0f, "8888808000800"};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// Each window value changed alone: the file comes back with that record
// (re)written and nothing else touched. The save pads the chart, which is
// no change.
TEST(ImportedSong, OnlyWhatTheUserChangedGoesIntoTheFile) {
    const chart::Song song = dwi::ReadSong(kFile);
    const std::string shown = "#SINGLE:SMANIAC:12:\r\n(8888)8!80008;";
    // clang-format off
    const std::tuple<void (*)(edit::WindowValues&), std::string, std::string> kCases[] = {
        {[](auto& v) { v.steps += "000000"; }, "", ""},
        {[](auto& v) { v.title = "Renamed"; }, "#TITLE:Song;", "#TITLE:Renamed;"},
        {[](auto& v) { v.artist = "Me"; }, "#SINGLE:B", "#ARTIST:Me;\r\n#SINGLE:B"},
        {[](auto& v) { v.bpm = 151.0f; }, "#BPM:150.000;", "#BPM:151.000000;"},
        {[](auto& v) { v.gapSeconds = 0.5f; }, "#GAP:-120;", "#GAP:500.000;"},
        {[](auto& v) { v.sampleEndSeconds = 40.0f; }, "LENGTH:12.", "LENGTH:10."},
        {[](auto& v) { v.sampleStartSeconds = 34.0f; }, "30.00000;\r\n#SAMPLELENGTH:12.",
         "34.00000;\r\n#SAMPLELENGTH:8."},
        {[](auto& v) { v.rating = 5; }, shown, "#SINGLE:SMANIAC:5:\r\n(8888)8!80008;"},
        {[](auto& v) { v.difficulty = "HARD"; }, shown, "#SINGLE:HARD:12:\r\n(8888)8!80008;"},
        {[](auto& v) { v.steps[0] = '0'; }, shown, "#SINGLE:SMANIAC:12:\r\n08888080\r\n00800;"}};
    // clang-format on
    for (const auto& [change, from, to] : kCases) {
        edit::ImportedSong imported;
        imported.Start(song, edit::FindOfferedChart(song, 1, "SMANIAC", 12), kAfterImport);
        edit::WindowValues now = kAfterImport;
        change(now);
        const std::string written = dwi::WriteSong(imported.SongToSave(now));
        EXPECT_EQ(written, from.empty() ? kFile : Replaced(kFile, from, to));
        // After the save the file holds the edit; a second save changes nothing.
        imported.Saved(dwi::ReadSong(written), now);
        EXPECT_EQ(dwi::WriteSong(imported.SongToSave(now)), written);
    }
}

TEST(ImportedSong, AChartTheFileDidNotHaveIsAddedNotSwapped) {
    const chart::Song song = dwi::ReadSong(kFile);
    edit::WindowValues values = kAfterImport;
    values.steps = "0400"; // the user's own chart; every offered chart declined
    // No chart shown, or an index the document does not have.
    for (const std::optional<std::size_t> shown : {std::optional<std::size_t>(), {3}}) {
        edit::ImportedSong imported;
        imported.Start(song, shown, values);
        const std::string saved = dwi::WriteSong(imported.SongToSave(values));
        EXPECT_EQ(saved, kFile + "#SINGLE:BASIC:1:\r\n0400;\r\n");
        imported.Saved(dwi::ReadSong(saved), values);
        EXPECT_EQ(imported.ShownChart(), 3u);
        EXPECT_EQ(dwi::WriteSong(imported.SongToSave(values)), saved);
    }
}

TEST(ImportedSong, TheOfferedChartIsFoundByOrderOrElseByDifficultyAndRating) {
    const chart::Song song = dwi::ReadSong(kFile);
    EXPECT_EQ(edit::FindOfferedChart(song, 1, "SMANIAC", 12), 1u);
    EXPECT_EQ(edit::FindOfferedChart(song, 0, "SMANIAC", 12), 1u);
    EXPECT_EQ(edit::FindOfferedChart(song, 1, "BASIC", 3), 0u);
    EXPECT_EQ(edit::FindOfferedChart(song, 0, "BASIC", 4), std::nullopt);
    EXPECT_EQ(edit::FindOfferedChart(song, 2, "HEAVY", 9), std::nullopt); // not a single chart
}

} // namespace
