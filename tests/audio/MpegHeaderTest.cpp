#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::SplitFrameHeader;
using Header = std::array<std::uint8_t, 4>;

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

} // namespace
