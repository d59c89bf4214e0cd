#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::DescribeFrame;
using audio::FindFrameHeader;
using audio::FindMp3InfoTag;
using audio::Mp3InfoTag;
using audio::SplitFrameHeader;
using Header = std::array<std::uint8_t, 4>;

// Expected sizes worked out by hand from ISO/IEC 11172-3 and 13818-3:
// Layer I 4 × (12 × bitrate / rate + padding), Layer II and MPEG-1
// Layer III 144 × bitrate / rate + padding, lower-rate Layer III 72 × ...
// The encoded fixtures are walked frame by frame in AudioSourceTest.
TEST(MpegHeader, FrameSizesMatchTheStandard) {
    const struct {
        const char* name;
        Header header;
        int layer, sampleRate, channels, bitrateKbps, samplesPerFrame, frameBytes;
    } cases[] = {
        {"MPEG-1 Layer III", {0xFF, 0xFB, 0x90, 0x64}, 3, 44100, 2, 128, 1152, 417},
        {"MPEG-1 Layer III padded", {0xFF, 0xFB, 0x92, 0x64}, 3, 44100, 2, 128, 1152, 418},
        {"MPEG-1 Layer III mono 48k", {0xFF, 0xFB, 0x54, 0xC4}, 3, 48000, 1, 64, 1152, 192},
        {"MPEG-2 Layer III", {0xFF, 0xF3, 0x80, 0x64}, 3, 22050, 2, 64, 576, 208},
        {"MPEG-2.5 Layer III", {0xFF, 0xE3, 0x18, 0xC4}, 3, 8000, 1, 8, 576, 72},
        {"MPEG-1 Layer II", {0xFF, 0xFD, 0xA0, 0x04}, 2, 44100, 2, 192, 1152, 626},
        {"MPEG-2 Layer II", {0xFF, 0xF5, 0x86, 0x04}, 2, 24000, 2, 64, 1152, 385},
        {"MPEG-1 Layer I", {0xFF, 0xFF, 0xC4, 0x04}, 1, 48000, 2, 384, 384, 384},
        {"MPEG-1 Layer I padded", {0xFF, 0xFF, 0xC6, 0x04}, 1, 48000, 2, 384, 384, 388},
        {"MPEG-1 Layer I low", {0xFF, 0xFF, 0x10, 0x04}, 1, 44100, 2, 32, 384, 32},
        {"MPEG-2 Layer I", {0xFF, 0xF7, 0x10, 0xC4}, 1, 22050, 1, 32, 384, 68}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto info = DescribeFrame(SplitFrameHeader(c.header.data()));
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->layer, c.layer);
        EXPECT_EQ(info->sampleRate, c.sampleRate);
        EXPECT_EQ(info->channels, c.channels);
        EXPECT_EQ(info->bitrateKbps, c.bitrateKbps);
        EXPECT_EQ(info->samplesPerFrame, c.samplesPerFrame);
        EXPECT_EQ(info->frameBytes, c.frameBytes);
    }
    const Header rejected[] = {
        {0xFF, 0xEB, 0x90, 0x64}, // reserved version
        {0xFF, 0xF9, 0x90, 0x64}, // reserved layer
        {0xFF, 0xFB, 0xF0, 0x64}, // bitrate index 15
        {0xFF, 0xFB, 0x00, 0x64}, // free format: size unknown
        {0xFF, 0xFB, 0x9C, 0x64}, // reserved sample rate
        {0xFF, 0xFB, 0x90, 0x66}, // reserved emphasis
    };
    for (const Header& header : rejected) {
        EXPECT_FALSE(DescribeFrame(SplitFrameHeader(header.data())).has_value())
            << std::hex << int{header[1]} << ' ' << int{header[2]} << ' ' << int{header[3]};
    }
}

TEST(MpegHeader, SearchSkipsJunkAndLoneSyncPatterns) {
    // A valid-looking header in the junk whose frame is not followed by
    // another header must not be taken for the first frame. Two 72-byte
    // MPEG-2.5 frames follow.
    std::vector<std::uint8_t> data = {0x00, 0xFF, 0x00, 0xFF, 0xFB, 0x90, 0x64, 0x12};
    data.resize(600, 0x55);
    for (int frame = 0; frame < 2; ++frame) {
        data.insert(data.end(), {0xFF, 0xE3, 0x18, 0xC4});
        data.resize(data.size() + 68, 0);
    }
    const auto lone = FindFrameHeader(data.data(), data.size());
    EXPECT_TRUE(lone.headerStartFound);
    EXPECT_EQ(lone.skippedBytes, 3U);
    EXPECT_EQ(lone.frameBytes, 0);

    const auto found = FindFrameHeader(data.data() + 4, data.size() - 4);
    EXPECT_EQ(found.skippedBytes, 596U);
    EXPECT_EQ(found.frameBytes, 72);
}

TEST(MpegHeader, Id3v2TagLengthCountsHeaderBodyAndFooter) {
    const std::uint8_t plain[10] = {'I', 'D', '3', 4, 0, 0x00, 0, 0, 0x02, 0x01};
    EXPECT_EQ(audio::Id3v2TagBytes(plain, 10), 10U + 257U);
    const std::uint8_t footer[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0x02, 0x01};
    EXPECT_EQ(audio::Id3v2TagBytes(footer, 10), 20U + 257U);
    EXPECT_EQ(audio::Id3v2TagBytes(footer, 9), 0U) << "cut short";
    const std::uint8_t notSyncsafe[10] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x80, 0};
    EXPECT_EQ(audio::Id3v2TagBytes(notSyncsafe, 10), 0U);
    const std::uint8_t noTag[10] = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(audio::Id3v2TagBytes(noTag, 10), 0U);
}

// Junk with a lone header in it, then a frame with `word` at `offset`, then
// the next frame's header.
std::vector<std::uint8_t> FrameWithWord(const Header& header, const char* word,
                                        std::size_t offset) {
    const auto info = DescribeFrame(SplitFrameHeader(header.data())).value();
    std::vector<std::uint8_t> data = {0x00, 0xFF, 0xFB, 0x90, 0x64, 0x00};
    const std::size_t frame = data.size();
    data.resize(frame + static_cast<std::size_t>(info.frameBytes), 0);
    std::copy(header.begin(), header.end(), data.begin() + static_cast<std::ptrdiff_t>(frame));
    std::copy(word, word + 4, data.begin() + static_cast<std::ptrdiff_t>(frame + offset));
    data.insert(data.end(), header.begin(), header.end());
    return data;
}

// The tag follows the 4-byte header, the 2-byte CRC when present and the
// side information: 32 bytes for MPEG-1 stereo, 17 for MPEG-1 mono and
// MPEG-2 stereo, 9 for MPEG-2 mono (ISO/IEC 11172-3 and 13818-3). Layer II
// has no side information and no tag.
TEST(MpegHeader, InfoTagIsReadAfterTheLayerThreeSideInformation) {
    const struct {
        const char* name;
        Header header;
        std::size_t tagOffset; // from the frame's first byte
        bool layer3;
    } cases[] = {{"MPEG-1 stereo", {0xFF, 0xFB, 0x90, 0x64}, 36, true},
                 {"MPEG-1 stereo CRC", {0xFF, 0xFA, 0x90, 0x64}, 38, true},
                 {"MPEG-1 mono", {0xFF, 0xFB, 0x90, 0xC4}, 21, true},
                 {"MPEG-2 stereo", {0xFF, 0xF3, 0x80, 0x64}, 21, true},
                 {"MPEG-2 mono", {0xFF, 0xF3, 0x80, 0xC4}, 13, true},
                 {"MPEG-1 Layer II", {0xFF, 0xFD, 0xA0, 0x04}, 36, false}};
    const auto tagOf = [](const Header& header, const char* word, std::size_t offset) {
        const auto data = FrameWithWord(header, word, offset);
        return FindMp3InfoTag(data.data(), data.size());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tagOf(c.header, "Xing", c.tagOffset),
                  c.layer3 ? Mp3InfoTag::kXing : Mp3InfoTag::kNone);
        EXPECT_EQ(tagOf(c.header, "Info", c.tagOffset),
                  c.layer3 ? Mp3InfoTag::kInfo : Mp3InfoTag::kNone);
        EXPECT_EQ(tagOf(c.header, "Info", c.tagOffset - 1), Mp3InfoTag::kNone);
        EXPECT_EQ(tagOf(c.header, "Info", c.tagOffset + 1), Mp3InfoTag::kNone);
    }
}

} // namespace
