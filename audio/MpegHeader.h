#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// MPEG audio frame headers (ISO/IEC 11172-3 and the lower sample rates of
// ISO/IEC 13818-3, plus the unofficial MPEG-2.5): splitting the four header
// bytes, frame sizes, the search for the first frame in a byte range, and
// what sits in front of it (an ID3v2 tag) or inside it (a Xing/Info tag).
namespace audio {

// The 13 header fields in stream order, each as its raw bit value.
struct MpegFrameHeader {
    std::uint32_t sync = 0;             // 11 bits, all set
    std::uint32_t versionId = 0;        // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    std::uint32_t layerId = 0;          // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    std::uint32_t protectionAbsent = 0; // 1: no CRC after the header
    std::uint32_t bitrateIndex = 0;     // 0 free format, 15 invalid
    std::uint32_t sampleRateIndex = 0;  // 3 reserved
    std::uint32_t padding = 0;          // 1: one extra slot in this frame
    std::uint32_t privateBit = 0;
    std::uint32_t channelMode = 0; // 3 mono
    std::uint32_t modeExtension = 0;
    std::uint32_t copyright = 0;
    std::uint32_t original = 0;
    std::uint32_t emphasis = 0; // 2 reserved
};

// What a valid header says about its frame.
struct MpegFrameInfo {
    int layer = 0; // 1, 2 or 3
    int sampleRate = 0;
    int channels = 0;
    int bitrateKbps = 0;
    int samplesPerFrame = 0;
    int frameBytes = 0; // header included
};

// Splits four header bytes into fields. No checks.
MpegFrameHeader SplitFrameHeader(const std::uint8_t* bytes);

// The frame a header describes, or none for reserved versions, layers,
// sample rates and emphasis, for free format (its size cannot be computed
// from the header) and for the invalid bitrate index.
std::optional<MpegFrameInfo> DescribeFrame(const MpegFrameHeader& header);

// True when the four bytes at `bytes` begin with the 11 sync bits.
bool HasFrameSync(const std::uint8_t* bytes);

struct HeaderSearch {
    bool headerStartFound = false; // a sync pattern with four bytes after it
    std::size_t skippedBytes = 0;  // bytes before it, when found
    int frameBytes = 0;            // 0 when none was found or it does not hold up
    int bitrateKbps = 0;
    MpegFrameHeader header;
    MpegFrameInfo info;
};

// Looks at data[0, length) only. Finds the first sync pattern and parses the
// header there. The header holds up when its frame fits in the range and
// either ends it exactly or is followed by a header of the same version,
// layer and sample rate: a lone sync pattern inside a tag or other junk
// rarely passes that test, and decoding one would lock onto noise.
HeaderSearch FindFrameHeader(const std::uint8_t* data, std::size_t length);

// The length of the ID3v2 tag (header, body, footer) that starts `data`, or 0
// when there is none. Looks at the first 10 bytes only.
std::size_t Id3v2TagBytes(const std::uint8_t* data, std::size_t length);

// The word an encoder's info frame carries just after the Layer III side
// information: "Xing" (VBR files) or "Info" (CBR files, as LAME writes them).
enum class Mp3InfoTag { kNone, kXing, kInfo };

// The tag of the first frame in data[0, length) that holds up as
// FindFrameHeader judges it; kNone when that frame is not Layer III. `data`
// starts after the ID3v2 tag; a few kilobytes are enough.
Mp3InfoTag FindMp3InfoTag(const std::uint8_t* data, std::size_t length);

} // namespace audio
