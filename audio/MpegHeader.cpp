#include "audio/MpegHeader.h"

#include <array>
#include <string_view>

namespace audio {

namespace {

constexpr std::uint32_t kVersionMpeg1 = 3;
constexpr std::uint32_t kModeMono = 3;

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][bitrate index]; index 0 (free
// format) and 15 (invalid) are rejected before the lookup.
constexpr std::array<std::array<std::array<int, 16>, 3>, 2> kBitratesKbps{{
    {{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    }},
    {{
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    }},
}};

// Hz by version id (MPEG-2.5, reserved, MPEG-2, MPEG-1) and rate index.
constexpr std::array<std::array<int, 3>, 4> kSampleRates{{
    {11025, 12000, 8000},
    {0, 0, 0},
    {22050, 24000, 16000},
    {44100, 48000, 32000},
}};

// Where the Xing/Info word sits: after the header, the CRC when present and
// the side information, whose size depends on version and channel count.
Mp3InfoTag InfoTagInFrame(const std::uint8_t* frame, const HeaderSearch& search) {
    if (search.info.layer != 3) {
        return Mp3InfoTag::kNone;
    }
    const bool mpeg1 = search.header.versionId == kVersionMpeg1;
    const bool mono = search.header.channelMode == kModeMono;
    const std::size_t sideInfoBytes = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::size_t crcBytes = search.header.protectionAbsent != 0 ? 0 : 2;
    const std::size_t tagAt = 4 + crcBytes + sideInfoBytes;
    if (tagAt + 4 > static_cast<std::size_t>(search.frameBytes)) {
        return Mp3InfoTag::kNone;
    }
    const std::string_view word(reinterpret_cast<const char*>(frame + tagAt), 4);
    if (word == "Xing") {
        return Mp3InfoTag::kXing;
    }
    if (word == "Info") {
        return Mp3InfoTag::kInfo;
    }
    return Mp3InfoTag::kNone;
}

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
    return a.versionId == b.versionId && a.layerId == b.layerId &&
           a.sampleRateIndex == b.sampleRateIndex;
}

} // namespace

MpegFrameHeader SplitFrameHeader(const std::uint8_t* bytes) {
    const std::uint32_t word = static_cast<std::uint32_t>(bytes[0]) << 24 |
                               static_cast<std::uint32_t>(bytes[1]) << 16 |
                               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    MpegFrameHeader header;
    header.sync = word >> 21;
    header.versionId = (word >> 19) & 3U;
    header.layerId = (word >> 17) & 3U;
    header.protectionAbsent = (word >> 16) & 1U;
    header.bitrateIndex = (word >> 12) & 15U;
    header.sampleRateIndex = (word >> 10) & 3U;
    header.padding = (word >> 9) & 1U;
    header.privateBit = (word >> 8) & 1U;
    header.channelMode = (word >> 6) & 3U;
    header.modeExtension = (word >> 4) & 3U;
    header.copyright = (word >> 3) & 1U;
    header.original = (word >> 2) & 1U;
    header.emphasis = word & 3U;
    return header;
}

bool HasFrameSync(const std::uint8_t* bytes) {
    return bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
}

std::optional<MpegFrameInfo> DescribeFrame(const MpegFrameHeader& header) {
    if (header.sync != 0x7FF || header.versionId == 1 || header.layerId == 0 ||
        header.bitrateIndex == 0 || header.bitrateIndex == 15 || header.sampleRateIndex == 3 ||
        header.emphasis == 2) {
        return std::nullopt;
    }
    const bool mpeg1 = header.versionId == kVersionMpeg1;
    MpegFrameInfo info;
    info.layer = 4 - static_cast<int>(header.layerId);
    info.sampleRate = kSampleRates[header.versionId][header.sampleRateIndex];
    info.channels = header.channelMode == kModeMono ? 1 : 2;
    info.bitrateKbps =
        kBitratesKbps[mpeg1 ? 0 : 1][static_cast<std::size_t>(info.layer - 1)][header.bitrateIndex];
    const int bitsPerSecond = info.bitrateKbps * 1000;
    const int padding = static_cast<int>(header.padding);
    // Layer I counts in 4-byte slots of 384 samples; Layers II and III in
    // bytes, 1152 samples a frame, except Layer III below MPEG-1 with 576.
    if (info.layer == 1) {
        info.samplesPerFrame = 384;
        info.frameBytes = (12 * bitsPerSecond / info.sampleRate + padding) * 4;
    } else if (info.layer == 3 && !mpeg1) {
        info.samplesPerFrame = 576;
        info.frameBytes = 72 * bitsPerSecond / info.sampleRate + padding;
    } else {
        info.samplesPerFrame = 1152;
        info.frameBytes = 144 * bitsPerSecond / info.sampleRate + padding;
    }
    return info;
}

HeaderSearch FindFrameHeader(const std::uint8_t* data, std::size_t length) {
    HeaderSearch search;
    std::size_t at = 0;
    while (at + 4 <= length && !HasFrameSync(data + at)) {
        ++at;
    }
    if (at + 4 > length) {
        return search;
    }
    search.headerStartFound = true;
    search.skippedBytes = at;
    search.header = SplitFrameHeader(data + at);
    const std::optional<MpegFrameInfo> info = DescribeFrame(search.header);
    if (!info) {
        return search;
    }
    const std::size_t left = length - at;
    const auto frameBytes = static_cast<std::size_t>(info->frameBytes);
    if (frameBytes > left) {
        return search;
    }
    if (frameBytes != left) {
        const std::uint8_t* next = data + at + frameBytes;
        if (left - frameBytes < 4 || !HasFrameSync(next) ||
            !SameStream(SplitFrameHeader(next), search.header)) {
            return search;
        }
    }
    search.frameBytes = info->frameBytes;
    search.bitrateKbps = info->bitrateKbps;
    search.info = *info;
    return search;
}

std::size_t Id3v2TagBytes(const std::uint8_t* data, std::size_t length) {
    if (length < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3') {
        return 0;
    }
    for (std::size_t i = 6; i < 10; ++i) {
        if (data[i] >= 0x80) {
            return 0; // sizes are 7 bits per byte ("syncsafe")
        }
    }
    const std::size_t body = std::size_t{data[6]} << 21 | std::size_t{data[7]} << 14 |
                             std::size_t{data[8]} << 7 | data[9];
    constexpr std::uint8_t kFooterPresent = 0x10;
    return 10 + body + ((data[5] & kFooterPresent) != 0 ? 10 : 0);
}

Mp3InfoTag FindMp3InfoTag(const std::uint8_t* data, std::size_t length) {
    std::size_t at = 0;
    while (at < length) {
        const HeaderSearch search = FindFrameHeader(data + at, length - at);
        if (!search.headerStartFound) {
            break;
        }
        if (search.frameBytes > 0) {
            return InfoTagInFrame(data + at + search.skippedBytes, search);
        }
        at += search.skippedBytes + 1;
    }
    return Mp3InfoTag::kNone;
}

} // namespace audio
