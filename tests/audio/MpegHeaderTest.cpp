#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::SplitFrameHeader;
using Header = std::array<std::uint8_t, 4>;
using Bytes = std::vector<std::uint8_t>;

audio::MpegFrameInfo Describe(const Header& header) {
    return audio::DescribeFrame(SplitFrameHeader(header.data())).value_or(audio::MpegFrameInfo{});
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
