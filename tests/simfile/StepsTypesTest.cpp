#include "simfile/StepsTypes.h"

#include <gtest/gtest.h>

namespace {

TEST(StepsTypes, DifficultyNamesMapBetweenTheFormats) {
    struct Case {
        const char* name;
        const char* sm;
        const char* dwi; // "" for none
    };
    const Case cases[] = {
        {"BASIC", "Easy", "BASIC"},
        {"another", "Medium", "ANOTHER"},
        {" Maniac ", "Hard", "MANIAC"},
        {"SMANIAC", "Challenge", "SMANIAC"},
        {"Beginner", "Beginner", "BEGINNER"},
        {"Trick", "Medium", "ANOTHER"},
        {"Heavy", "Hard", "MANIAC"},
        {"Expert", "Challenge", "SMANIAC"},
        {"Edit", "Edit", ""},
        {"my own", "Edit", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sm::SmDifficulty(c.name), c.sm);
        EXPECT_EQ(sm::DwiDifficulty(c.name).value_or(""), c.dwi);
    }
}

TEST(StepsTypes, StepsTypesAndExtensions) {
    EXPECT_EQ(sm::StyleOfStepsType(" Dance-Double"), chart::ChartStyle::Double);
    EXPECT_EQ(sm::StyleOfStepsType("dance-solo"), chart::ChartStyle::Solo);
    EXPECT_FALSE(sm::StyleOfStepsType("pump-single"));
    EXPECT_EQ(sm::StepsTypeOf(chart::ChartStyle::Couple), "dance-couple");
    EXPECT_EQ(sm::FormatOfPath("/a/Song.SSC"), chart::SongFormat::Ssc);
    EXPECT_EQ(sm::FormatOfPath("x.sm"), chart::SongFormat::Sm);
    EXPECT_EQ(sm::FormatOfPath("x.dwi"), chart::SongFormat::Dwi);
    EXPECT_FALSE(sm::FormatOfPath("/a.sm/song"));
    EXPECT_FALSE(sm::FormatOfPath("song.smx"));
}

} // namespace
