#include "audio/MpegHeader.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

using audio::DescribeFrame;
using audio::FindFrameHeader;
using audio::FindMp3InfoTag;
using audio::Id3v2TagBytes;
using audio::Mp3InfoTag;
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

TEST(MpegHeader, Id3v2TagLengthCountsHeaderBodyAndFooter) {
    const std::uint8_t plain[10] = {'I', 'D', '3', 4, 0, 0x00, 0, 0, 0x02, 0x01};
    EXPECT_EQ(Id3v2TagBytes(plain, 10), 10U + 257U);
    const std::uint8_t footer[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0x02, 0x01};
    EXPECT_EQ(Id3v2TagBytes(footer, 10), 20U + 257U);
    EXPECT_EQ(Id3v2TagBytes(footer, 9), 0U) << "cut short";
    const std::uint8_t notSyncsafe[10] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x80, 0};
    EXPECT_EQ(Id3v2TagBytes(notSyncsafe, 10), 0U);
    const std::uint8_t noTag[10] = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Id3v2TagBytes(noTag, 10), 0U);
}

struct InfoTagCase {
    const char* name;
    std::array<std::uint8_t, 4> header;
    std::size_t tagOffset; // from the frame's first byte
};

void PrintTo(const InfoTagCase& c, std::ostream* os) {
    *os << c.name;
}

class MpegInfoTagPlace : public ::testing::TestWithParam<InfoTagCase> {};

// Junk with a lone header in it, then a frame with `word` at `offset`, then
// the next frame's header.
std::vector<std::uint8_t> FrameWithWord(const InfoTagCase& c, const char* word,
                                        std::size_t offset) {
    const auto info = DescribeFrame(SplitFrameHeader(c.header.data())).value();
    std::vector<std::uint8_t> data = {0x00, 0xFF, 0xFB, 0x90, 0x64, 0x00};
    const std::size_t frame = data.size();
    data.resize(frame + static_cast<std::size_t>(info.frameBytes), 0);
    std::copy(c.header.begin(), c.header.end(), data.begin() + static_cast<std::ptrdiff_t>(frame));
    std::copy(word, word + 4, data.begin() + static_cast<std::ptrdiff_t>(frame + offset));
    data.insert(data.end(), c.header.begin(), c.header.end());
    return data;
}

// The tag follows the 4-byte header, the 2-byte CRC when present and the
// side information: 32 bytes for MPEG-1 stereo, 17 for MPEG-1 mono and
// MPEG-2 stereo, 9 for MPEG-2 mono (ISO/IEC 11172-3 and 13818-3).
TEST_P(MpegInfoTagPlace, IsReadAfterTheSideInformation) {
    const InfoTagCase& c = GetParam();
    auto data = FrameWithWord(c, "Xing", c.tagOffset);
    EXPECT_EQ(FindMp3InfoTag(data.data(), data.size()), Mp3InfoTag::kXing);
    data = FrameWithWord(c, "Info", c.tagOffset);
    EXPECT_EQ(FindMp3InfoTag(data.data(), data.size()), Mp3InfoTag::kInfo);
    for (const std::size_t wrong : {c.tagOffset - 1, c.tagOffset + 1}) {
        data = FrameWithWord(c, "Info", wrong);
        EXPECT_EQ(FindMp3InfoTag(data.data(), data.size()), Mp3InfoTag::kNone) << wrong;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, MpegInfoTagPlace,
                         ::testing::Values(InfoTagCase{"Mpeg1Stereo", {0xFF, 0xFB, 0x90, 0x64}, 36},
                                           InfoTagCase{
                                               "Mpeg1StereoCrc", {0xFF, 0xFA, 0x90, 0x64}, 38},
                                           InfoTagCase{"Mpeg1Mono", {0xFF, 0xFB, 0x90, 0xC4}, 21},
                                           InfoTagCase{"Mpeg2Stereo", {0xFF, 0xF3, 0x80, 0x64}, 21},
                                           InfoTagCase{"Mpeg2Mono", {0xFF, 0xF3, 0x80, 0xC4}, 13}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(MpegHeader, InfoTagIsLookedForInLayerThreeOnly) {
    // A Layer II frame with "Info" where Layer III would have it.
    const InfoTagCase layer2{"Mpeg1Layer2", {0xFF, 0xFD, 0xA0, 0x04}, 36};
    const auto data = FrameWithWord(layer2, "Info", layer2.tagOffset);
    EXPECT_EQ(FindMp3InfoTag(data.data(), data.size()), Mp3InfoTag::kNone);
}

struct EncodedTagCase {
    const char* file;
    Mp3InfoTag tag;
};

void PrintTo(const EncodedTagCase& c, std::ostream* os) {
    *os << c.file;
}

class MpegInfoTagOfEncoder : public ::testing::TestWithParam<EncodedTagCase> {};

// LAME writes "Info" for CBR and "Xing" for VBR unless told not to (-t);
// twolame writes neither.
TEST_P(MpegInfoTagOfEncoder, IsFoundAfterAnyId3v2Tag) {
    const auto file = testsignals::ReadFile(testpaths::Fixture(GetParam().file));
    const std::size_t tag = std::min(Id3v2TagBytes(file.data(), file.size()), file.size());
    EXPECT_EQ(FindMp3InfoTag(file.data() + tag, file.size() - tag), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(Encoders, MpegInfoTagOfEncoder,
                         ::testing::Values(EncodedTagCase{"stereo_137.mp3", Mp3InfoTag::kInfo},
                                           EncodedTagCase{"tagged_137.mp3", Mp3InfoTag::kInfo},
                                           EncodedTagCase{"mono_110.mp3", Mp3InfoTag::kInfo},
                                           EncodedTagCase{"mpeg2_122.mp3", Mp3InfoTag::kInfo},
                                           EncodedTagCase{"layer2_137.mp3", Mp3InfoTag::kNone},
                                           EncodedTagCase{"burst_cbr_notag.mp3", Mp3InfoTag::kNone},
                                           EncodedTagCase{"burst_vbr.mp3", Mp3InfoTag::kXing},
                                           EncodedTagCase{"burst_vbr_notag.mp3",
                                                          Mp3InfoTag::kNone}),
                         [](const auto& test) {
                             std::string name = test.param.file;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
