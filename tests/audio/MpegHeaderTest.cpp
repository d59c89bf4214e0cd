#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::DescribeFrame;
using audio::SplitFrameHeader;
using Header = std::array<std::uint8_t, 4>;
using Bytes = std::vector<std::uint8_t>;

audio::MpegFrameInfo Describe(const Header& header) {
    return DescribeFrame(SplitFrameHeader(header.data())).value_or(audio::MpegFrameInfo{});
}

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
        int versionId, rates[3];
        const int (*kbps)[14];
        int layer3Samples;
    } versions[] = {{3, {44100, 48000, 32000}, kMpeg1Kbps, 1152},
                    {2, {22050, 24000, 16000}, kLowRateKbps, 576},
                    {0, {11025, 12000, 8000}, kLowRateKbps, 576}};
    for (int n = 0; n < 3 * 3 * 14 * 3; ++n) { // version, layer, bitrate index and rate index
        const auto& v = versions[n / 126];
        const int layer = n / 42 % 3 + 1, index = n / 3 % 14 + 1, rate = n % 3;
        const auto info =
            Describe({0xFF, static_cast<std::uint8_t>(0xE1 | v.versionId << 3 | (4 - layer) << 1),
                      static_cast<std::uint8_t>(index << 4 | rate << 2), 0});
        const int samples = layer == 1 ? 384 : layer == 2 ? 1152 : v.layer3Samples;
        EXPECT_EQ((std::array{info.layer, info.bitrateKbps, info.sampleRate, info.samplesPerFrame}),
                  (std::array{layer, v.kbps[layer - 1][index - 1], v.rates[rate], samples}))
            << "version " << v.versionId << " Layer " << layer << ", bitrate " << index << ", rate "
            << rate;
    }
}

// F is a 72-byte MPEG-2.5 Layer III frame (8 kbit/s, 8 kHz, mono): 72 ×
// bitrate / rate, as for every lower-rate Layer III frame. A frame holds up
// when it ends the range or the next header of its stream follows. Reserved
// values and free format (whose size the header does not give) describe no
// frame.
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
    const std::tuple<const char*, Bytes, bool, std::size_t, int> cases[] = {
        {"lone MPEG-1 header in junk", join(junk, f(), f()), true, 3, 0},
        {"after the lone header", join(Bytes(junk.begin() + 4, junk.end()), f(), f()), true, 596,
         72},
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
        {"sync in the last three bytes", {0, 0, 0, 0xFF, 0xE3, 0x18}, false, 0, 0},
        {"F padded", f(73, 0xE3, 0x1A), true, 0, 73},
        {"reserved version", f(72, 0xEB), true, 0, 0},
        {"reserved layer", f(72, 0xE1), true, 0, 0},
        {"bitrate index 15", f(72, 0xE3, 0xF8), true, 0, 0},
        {"free format", f(72, 0xE3, 0x08), true, 0, 0},
        {"reserved rate", f(72, 0xE3, 0x1C), true, 0, 0}};
    for (const auto& [name, data, found, skipped, frameBytes] : cases) {
        const auto search = audio::FindFrameHeader(data.data(), data.size());
        EXPECT_EQ(std::tuple(search.headerStartFound, search.skippedBytes, search.frameBytes,
                             search.bitrateKbps),
                  std::tuple(found, skipped, frameBytes, frameBytes > 0 ? 8 : 0))
            << name;
    }
}

// ID3v2: "ID3", version, flags (0x10: footer), then the body's length in
// four bytes of 7 bits each.
TEST(MpegHeader, Id3v2TagLengthCountsHeaderBodyAndFooter) {
    const std::tuple<const char*, Bytes, std::size_t> cases[] = {
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
    for (const auto& [name, data, tagBytes] : cases)
        EXPECT_EQ(audio::Id3v2TagBytes(data.data(), data.size()), tagBytes) << name;
}

} // namespace
