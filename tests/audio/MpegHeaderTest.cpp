#include "audio/MpegHeader.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

using audio::DescribeFrame;
using audio::FindFrameHeader;
using audio::SplitFrameHeader;

struct FrameCase {
    const char* name;
    std::array<std::uint8_t, 4> header;
    int layer, sampleRate, channels, bitrateKbps, samplesPerFrame, frameBytes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class MpegFrameSizes : public ::testing::TestWithParam<FrameCase> {};

// Expected sizes worked out by hand from ISO/IEC 11172-3 and 13818-3:
// Layer I 4 × (12 × bitrate / rate + padding), Layer II and MPEG-1
// Layer III 144 × bitrate / rate + padding, lower-rate Layer III 72 × ...
TEST_P(MpegFrameSizes, MatchTheStandard) {
    const FrameCase& c = GetParam();
    const auto info = DescribeFrame(SplitFrameHeader(c.header.data()));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->layer, c.layer);
    EXPECT_EQ(info->sampleRate, c.sampleRate);
    EXPECT_EQ(info->channels, c.channels);
    EXPECT_EQ(info->bitrateKbps, c.bitrateKbps);
    EXPECT_EQ(info->samplesPerFrame, c.samplesPerFrame);
    EXPECT_EQ(info->frameBytes, c.frameBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MpegFrameSizes,
    ::testing::Values(
        FrameCase{"Mpeg1Layer3", {0xFF, 0xFB, 0x90, 0x64}, 3, 44100, 2, 128, 1152, 417},
        FrameCase{"Mpeg1Layer3Padded", {0xFF, 0xFB, 0x92, 0x64}, 3, 44100, 2, 128, 1152, 418},
        FrameCase{"Mpeg1Layer3Mono48k", {0xFF, 0xFB, 0x54, 0xC4}, 3, 48000, 1, 64, 1152, 192},
        FrameCase{"Mpeg2Layer3", {0xFF, 0xF3, 0x80, 0x64}, 3, 22050, 2, 64, 576, 208},
        FrameCase{"Mpeg25Layer3", {0xFF, 0xE3, 0x18, 0xC4}, 3, 8000, 1, 8, 576, 72},
        FrameCase{"Mpeg1Layer2", {0xFF, 0xFD, 0xA0, 0x04}, 2, 44100, 2, 192, 1152, 626},
        FrameCase{"Mpeg2Layer2", {0xFF, 0xF5, 0x86, 0x04}, 2, 24000, 2, 64, 1152, 385},
        FrameCase{"Mpeg1Layer1", {0xFF, 0xFF, 0xC4, 0x04}, 1, 48000, 2, 384, 384, 384},
        FrameCase{"Mpeg1Layer1Padded", {0xFF, 0xFF, 0xC6, 0x04}, 1, 48000, 2, 384, 384, 388},
        FrameCase{"Mpeg1Layer1Low", {0xFF, 0xFF, 0x10, 0x04}, 1, 44100, 2, 32, 384, 32},
        FrameCase{"Mpeg2Layer1", {0xFF, 0xF7, 0x10, 0xC4}, 1, 22050, 1, 32, 384, 68}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(MpegHeader, RejectsReservedAndFreeFormatHeaders) {
    const std::array<std::uint8_t, 4> rejected[] = {
        {0xFF, 0xEB, 0x90, 0x64}, // reserved version
        {0xFF, 0xF9, 0x90, 0x64}, // reserved layer
        {0xFF, 0xFB, 0xF0, 0x64}, // bitrate index 15
        {0xFF, 0xFB, 0x00, 0x64}, // free format: size unknown
        {0xFF, 0xFB, 0x9C, 0x64}, // reserved sample rate
        {0xFF, 0xFB, 0x90, 0x66}, // reserved emphasis
    };
    for (const auto& header : rejected) {
        EXPECT_FALSE(DescribeFrame(SplitFrameHeader(header.data())).has_value())
            << std::hex << int{header[1]} << ' ' << int{header[2]} << ' ' << int{header[3]};
    }
}

// Two 72-byte MPEG-2.5 frames, each a header and zeros.
std::vector<std::uint8_t> TwoSmallFrames() {
    std::vector<std::uint8_t> frames(144, 0);
    for (std::size_t at : {std::size_t{0}, std::size_t{72}}) {
        frames[at] = 0xFF;
        frames[at + 1] = 0xE3;
        frames[at + 2] = 0x18;
        frames[at + 3] = 0xC4;
    }
    return frames;
}

TEST(MpegHeader, SearchSkipsJunkAndLoneSyncPatterns) {
    // A valid-looking header in the junk whose frame is not followed by
    // another header must not be taken for the first frame.
    std::vector<std::uint8_t> data = {0x00, 0xFF, 0x00, 0xFF, 0xFB, 0x90, 0x64, 0x12};
    data.resize(600, 0x55);
    const auto frames = TwoSmallFrames();
    data.insert(data.end(), frames.begin(), frames.end());

    const auto lone = FindFrameHeader(data.data(), data.size());
    EXPECT_TRUE(lone.headerStartFound);
    EXPECT_EQ(lone.skippedBytes, 3U);
    EXPECT_EQ(lone.frameBytes, 0);

    const auto found = FindFrameHeader(data.data() + 4, data.size() - 4);
    EXPECT_EQ(found.skippedBytes, 596U);
    EXPECT_EQ(found.frameBytes, 72);
}

class MpegFrameChain : public ::testing::TestWithParam<const char*> {};

// Walking an encoder's output by our frame sizes lands on every frame
// header and ends exactly at the end of the file; any size error in one
// padding or bitrate case would derail the walk.
TEST_P(MpegFrameChain, CoversAnEncodedFileExactly) {
    const auto file = testsignals::ReadFile(testpaths::Fixture(GetParam()));
    std::size_t at = 0;
    int frames = 0;
    while (at + 4 <= file.size()) {
        const auto info = DescribeFrame(SplitFrameHeader(&file[at]));
        ASSERT_TRUE(info.has_value()) << "no header at byte " << at << " after " << frames;
        at += static_cast<std::size_t>(info->frameBytes);
        ++frames;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_GT(frames, 100);
}

INSTANTIATE_TEST_SUITE_P(Encoders, MpegFrameChain,
                         ::testing::Values("stereo_137.mp3", "mono_110.mp3", "mpeg2_122.mp3",
                                           "layer2_137.mp3"),
                         [](const auto& test) {
                             std::string name = test.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
