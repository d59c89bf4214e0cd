#include "player/ClickSamples.h"

#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

namespace player::test {
namespace {

// The original click: 625 unsigned 8-bit samples at 11127 Hz.
TEST(ClickSamples, BuiltInClickIsAShortTickThatEndsInSilence) {
    const auto resource = BuiltInClickResource();
    ASSERT_EQ(resource.size(), 625U);
    const auto [low, high] = std::minmax_element(resource.begin(), resource.end());
    EXPECT_LT(*low, 40) << "loud enough to hear over music";
    EXPECT_GT(*high, 216);
    // The last 10 ms are silent (128), so back-to-back clicks do not click
    // at their seams.
    EXPECT_TRUE(std::all_of(resource.end() - 111, resource.end(), [](auto s) { return s == 128; }));
    const ClickPcm click = BuiltInClick();
    EXPECT_EQ(click.sampleRate, 11127);
    EXPECT_EQ(click.channels, 1);
    EXPECT_EQ(click.samples[1], (resource[1] - 128) * 256);
}

TEST(ClickSamples, ReadsAnyIntegerPcmWidthAndLayout) {
    const std::string path = ScratchDir("ClickWav") + "/PLINK.WAV";
    for (const auto& [bits, channels, rate] : {std::tuple{8, 1, 11025},
                                               {16, 2, 44100},
                                               {24, 1, 48000},
                                               {32, 2, 22050},
                                               {16, 6, 44100}}) {
        SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " channels");
        // A ramp on every channel, the channels told apart by sign.
        std::vector<std::int16_t> samples;
        for (int i = 0; i < 300; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                samples.push_back(static_cast<std::int16_t>((ch % 2 == 0 ? 1 : -1) * i * 100));
            }
        }
        testsignals::WriteWav(path,
                              {.channels = static_cast<std::uint16_t>(channels),
                               .sampleRate = static_cast<std::uint32_t>(rate),
                               .bitsPerSample = static_cast<std::uint16_t>(bits)},
                              samples);
        const std::optional<ClickPcm> click = LoadClickWav(path);
        ASSERT_TRUE(click);
        EXPECT_EQ(click->sampleRate, rate);
        EXPECT_EQ(click->channels, channels);
        ASSERT_EQ(click->samples.size(), samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            // 8-bit keeps only the top byte of each sample.
            ASSERT_NEAR(click->samples[i], samples[i], bits == 8 ? 256 : 0) << i;
        }
    }
}

TEST(ClickSamples, ConvertsRateAndChannelsForTheOutput) {
    ClickPcm stereo{{1000, -1000, 2000, -2000, 3000, -3000, 4000, -4000}, 22050, 2};
    // Same channel count: kept apart; double rate: every other sample is
    // halfway between its neighbours, the last towards silence.
    EXPECT_EQ(ConvertClick(stereo, 44100, 2),
              (std::vector<std::int16_t>{1000, -1000, 1500, -1500, 2000, -2000, 2500, -2500, 3000,
                                         -3000, 3500, -3500, 4000, -4000, 2000, -2000}));
    // Other channel count: mixed to mono, then copied to every channel.
    ClickPcm mono{{1000, 3000}, 44100, 1};
    EXPECT_EQ(ConvertClick(mono, 44100, 3),
              (std::vector<std::int16_t>{1000, 1000, 1000, 3000, 3000, 3000}));
    EXPECT_EQ(ConvertClick(stereo, 22050, 1), (std::vector<std::int16_t>{0, 0, 0, 0}));
    // The built-in click at 44.1 kHz lasts as long as at 11127 Hz.
    EXPECT_EQ(ConvertClick(BuiltInClick(), 44100, 2).size() / 2,
              static_cast<std::size_t>(std::ceil(625.0 * 44100 / 11127)));
}

} // namespace
} // namespace player::test
