#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::DescribeFrame;
using audio::FindFrameHeader;
using audio::Mp3InfoTag;
using audio::SplitFrameHeader;
using Header = std::array<std::uint8_t, 4>;
using Bytes = std::vector<std::uint8_t>;
using Info = audio::MpegFrameInfo;

// Bitrates (kbit/s) of indices 1-14 by layer: ISO/IEC 11172-3 for MPEG-1,
// ISO/IEC 13818-3 for the lower sample rates (MPEG-2 and MPEG-2.5 alike).
constexpr int kMpeg1Kbps[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
constexpr int kLowRateKbps[3][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};

// Every header of each version (id 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5), layer,
// bitrate index and sample rate index, without CRC.
TEST(MpegHeader, EveryBitrateSampleRateAndFrameSampleCountIsTheStandards) {
    const struct {
        const char* name;
        int versionId;
        int rates[3];
        const int (*kbps)[14];
        int layer3Samples;
    } versions[] = {{"MPEG-1", 3, {44100, 48000, 32000}, kMpeg1Kbps, 1152},
                    {"MPEG-2", 2, {22050, 24000, 16000}, kLowRateKbps, 576},
                    {"MPEG-2.5", 0, {11025, 12000, 8000}, kLowRateKbps, 576}};
    for (const auto& v : versions) {
        for (int layer = 1; layer <= 3; ++layer) {
            for (int index = 1; index <= 14; ++index) {
                for (int rate = 0; rate < 3; ++rate) {
                    const Header header = {
                        0xFF, static_cast<std::uint8_t>(0xE1 | v.versionId << 3 | (4 - layer) << 1),
                        static_cast<std::uint8_t>(index << 4 | rate << 2), 0};
                    const auto info =
                        DescribeFrame(SplitFrameHeader(header.data())).value_or(Info{});
                    const int samples = layer == 1 ? 384 : layer == 2 ? 1152 : v.layer3Samples;
                    EXPECT_EQ(
                        (std::array{info.layer, info.bitrateKbps, info.sampleRate,
                                    info.samplesPerFrame}),
                        (std::array{layer, v.kbps[layer - 1][index - 1], v.rates[rate], samples}))
                        << v.name << " Layer " << layer << ", bitrate " << index << ", rate "
                        << rate;
                }
            }
        }
    }
}

// Sizes worked out by hand: Layer I 4 × (12 × bitrate / rate + padding),
// Layer II and MPEG-1 Layer III 144 × bitrate / rate + padding, lower-rate
// Layer III 72 × ... The encoded fixtures are walked frame by frame in
// AudioSourceTest. Reserved values and free format (whose size the header
// does not give) describe no frame: 0 channels, 0 bytes.
TEST(MpegHeader, FrameSizesAndChannelsMatchTheStandard) {
    const struct {
        const char* name;
        Header header;
        int channels, frameBytes;
    } cases[] = {{"MPEG-1 Layer III 128k", {0xFF, 0xFB, 0x90, 0x64}, 2, 417},
                 {"MPEG-1 Layer III padded", {0xFF, 0xFB, 0x92, 0x64}, 2, 418},
                 {"MPEG-1 Layer III mono 64k 48k", {0xFF, 0xFB, 0x54, 0xC4}, 1, 192},
                 {"MPEG-2 Layer III dual 64k", {0xFF, 0xF3, 0x80, 0x84}, 2, 208},
                 {"MPEG-2.5 Layer III 8k padded", {0xFF, 0xE3, 0x1A, 0xC4}, 1, 73},
                 {"MPEG-1 Layer II 192k", {0xFF, 0xFD, 0xA0, 0x04}, 2, 626},
                 {"MPEG-2 Layer II 64k 24k", {0xFF, 0xF5, 0x86, 0x04}, 2, 385},
                 {"MPEG-1 Layer I 384k 48k", {0xFF, 0xFF, 0xC4, 0x04}, 2, 384},
                 {"MPEG-1 Layer I padded", {0xFF, 0xFF, 0xC6, 0x04}, 2, 388},
                 {"MPEG-1 Layer I 32k", {0xFF, 0xFF, 0x10, 0x04}, 2, 32},
                 {"MPEG-2 Layer I 32k", {0xFF, 0xF7, 0x10, 0xC4}, 1, 68},
                 {"reserved version", {0xFF, 0xEB, 0x90, 0x64}, 0, 0},
                 {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}, 0, 0},
                 {"bitrate index 15", {0xFF, 0xFB, 0xF0, 0x64}, 0, 0},
                 {"free format", {0xFF, 0xFB, 0x00, 0x64}, 0, 0},
                 {"reserved rate", {0xFF, 0xFB, 0x9C, 0x64}, 0, 0},
                 {"reserved emphasis", {0xFF, 0xFB, 0x90, 0x66}, 0, 0},
                 {"no sync", {0xFF, 0x7B, 0x90, 0x64}, 0, 0}};
    for (const auto& c : cases) {
        const auto info = DescribeFrame(SplitFrameHeader(c.header.data())).value_or(Info{});
        EXPECT_EQ(std::pair(info.channels, info.frameBytes), std::pair(c.channels, c.frameBytes))
            << c.name;
    }
}

TEST(MpegHeader, SplitsEveryFieldAtItsBits) {
    // 1111 1111 | 1111 0010 | 1010 0110 | 1011 0101: neighbouring fields
    // differ, so a field read one bit off comes out wrong.
    const Header bytes = {0xFF, 0xF2, 0xA6, 0xB5};
    const audio::MpegFrameHeader h = SplitFrameHeader(bytes.data());
    const std::array<std::uint32_t, 13> fields = {
        h.sync,         h.versionId,       h.layerId,   h.protectionAbsent,
        h.bitrateIndex, h.sampleRateIndex, h.padding,   h.privateBit,
        h.channelMode,  h.modeExtension,   h.copyright, h.original,
        h.emphasis};
    EXPECT_EQ(fields, (std::array<std::uint32_t, 13>{0x7FF, 2, 1, 0, 10, 1, 1, 0, 2, 3, 0, 1, 1}));
}

// F is a 72-byte MPEG-2.5 Layer III frame (8 kbit/s, 8 kHz, mono). A frame
// holds up when it ends the range or the next header of its stream follows.
TEST(MpegHeader, SearchTakesTheFirstHeaderThatHoldsUp) {
    // The first `bytes` of F, with its second and third header byte.
    const auto f = [](std::size_t bytes = 72, std::uint8_t b1 = 0xE3, std::uint8_t b2 = 0x18) {
        Bytes data = {0xFF, b1, b2, 0xC4};
        data.resize(bytes, 0);
        return data;
    };
    const auto join = [](Bytes a, const Bytes& b, const Bytes& c = {}) {
        a.insert(a.end(), b.begin(), b.end());
        a.insert(a.end(), c.begin(), c.end());
        return a;
    };
    Bytes junk = {0x00, 0xFF, 0x00, 0xFF, 0xFB, 0x90, 0x64, 0x12};
    junk.resize(600, 0x55);
    const struct {
        const char* name;
        Bytes data;
        bool found;
        std::size_t skipped;
        int frameBytes;
    } cases[] = {{"lone MPEG-1 header in junk", join(junk, f(), f()), true, 3, 0},
                 {"after the lone header", join(Bytes(junk.begin() + 4, junk.end()), f(), f()),
                  true, 596, 72},
                 {"almost sync patterns", join({0xFE, 0xE3, 0xFF, 0xDF}, f(), f()), true, 4, 72},
                 {"F alone", f(), true, 0, 72},
                 {"F one byte short", f(71), true, 0, 0},
                 {"F, 3 bytes of the next", join(f(), f(3)), true, 0, 0},
                 {"F, 4 bytes of the next", join(f(), f(4)), true, 0, 72},
                 {"F, next of another bitrate", join(f(), f(4, 0xE3, 0x28)), true, 0, 72},
                 {"F, next of another version", join(f(), f(4, 0xF3)), true, 0, 0},
                 {"F, next of another layer", join(f(), f(4, 0xE5)), true, 0, 0},
                 {"F, next of another rate", join(f(), f(4, 0xE3, 0x14)), true, 0, 0},
                 {"sync in the last four bytes", {0, 0, 0xFF, 0xE3, 0x18, 0xC4}, true, 2, 0},
                 {"sync in the last three bytes", {0, 0, 0, 0xFF, 0xE3, 0x18}, false, 0, 0}};
    for (const auto& c : cases) {
        const auto search = FindFrameHeader(c.data.data(), c.data.size());
        EXPECT_EQ(std::tuple(search.headerStartFound, search.skippedBytes, search.frameBytes,
                             search.bitrateKbps),
                  std::tuple(c.found, c.skipped, c.frameBytes, c.frameBytes > 0 ? 8 : 0))
            << c.name;
    }
}

// ID3v2: "ID3", version, flags (0x10: footer), then the body's length in
// four bytes of 7 bits each.
TEST(MpegHeader, Id3v2TagLengthCountsHeaderBodyAndFooter) {
    const struct {
        const char* name;
        Bytes data;
        std::size_t tagBytes;
    } cases[] = {
        {"plain", {'I', 'D', '3', 4, 0, 0, 1, 2, 3, 4}, 10 + (1 << 21) + (2 << 14) + (3 << 7) + 4},
        {"footer", {'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 1}, 20 + 257},
        {"other flags", {'I', 'D', '3', 4, 0, 0xEF, 0, 0, 2, 1}, 10 + 257},
        {"largest", {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, 10 + (1 << 28) - 1},
        {"frame after it", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0, 0xFF, 0xFB}, 10},
        {"cut short", {'I', 'D', '3', 4, 0, 0, 0, 0, 2}, 0},
        {"not syncsafe first", {'I', 'D', '3', 4, 0, 0, 0x80, 0, 0, 0}, 0},
        {"not syncsafe last", {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0x80}, 0},
        {"JD3", {'J', 'D', '3', 4, 0, 0, 0, 0, 2, 1}, 0},
        {"IE3", {'I', 'E', '3', 4, 0, 0, 0, 0, 2, 1}, 0},
        {"ID4", {'I', 'D', '4', 4, 0, 0, 0, 0, 2, 1}, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(audio::Id3v2TagBytes(c.data.data(), c.data.size()), c.tagBytes) << c.name;
    }
}

// The tag follows the 4-byte header, the 2-byte CRC when present and the
// side information: 32 bytes for MPEG-1 stereo, 17 for MPEG-1 mono and
// MPEG-2 stereo, 9 for MPEG-2 mono. Layer II has no side information and
// no tag. A lone header in junk comes first: the search must go past it.
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
        Bytes data = {0x00, 0xFF, 0xFB, 0x90, 0x64, 0x00};
        const std::size_t frame = data.size();
        data.resize(frame + static_cast<std::size_t>(
                                DescribeFrame(SplitFrameHeader(header.data()))->frameBytes));
        std::copy(header.begin(), header.end(), data.begin() + static_cast<std::ptrdiff_t>(frame));
        std::copy(word, word + 4, data.begin() + static_cast<std::ptrdiff_t>(frame + offset));
        data.insert(data.end(), header.begin(), header.end());
        return audio::FindMp3InfoTag(data.data(), data.size());
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
