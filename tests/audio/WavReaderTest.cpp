#include "audio/WavReader.h"

#include "AudioTestPaths.h"

#include <gtest/gtest.h>

namespace {

using audio::CWavReader;
using testsignals::MakeWav;
using testsignals::WavChunk;
using testsignals::WavLayout;

std::vector<std::uint8_t> Ramp(std::size_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return data;
}

const WavChunk kList{"LIST",
                     {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'S', 'o', 'n', 'g'}};
const WavChunk kOddChunk{"junk", {1, 2, 3, 4, 5, 6, 7}};
// Labels are checked up to a zero byte, from space to 'z'.
const WavChunk kEdgeLabels{"z z ", {1, 2}};
const WavChunk kZeroInLabel{std::string("ab\0\x7F", 4), {1, 2}};

// Every layout opens, reports its format as stated, and hands out exactly
// the data chunk's bytes: a chunk skipped by the wrong amount would shift
// the data or fail the next label. Reads stop at the stated data length
// and at the end of the file, whichever comes first.
TEST(WavReader, OpensEveryLayoutAndHandsOutExactlyTheData) {
    const std::vector<std::uint8_t> data = Ramp(6 * 3 * 100);
    const std::pair<const char*, WavLayout> layouts[] = {
        {"stereo 16-bit", {}},
        {"mono 8-bit 8 kHz", {.channels = 1, .sampleRate = 8000, .bitsPerSample = 8}},
        {"six channels 24-bit 96 kHz", {.channels = 6, .sampleRate = 96000, .bitsPerSample = 24}},
        {"LIST before data", {.chunksBeforeData = {kList}}},
        {"odd chunk before data", {.chunksBeforeData = {kOddChunk, kList}}},
        {"odd chunk before fmt", {.chunksBeforeFmt = {kOddChunk}}},
        {"labels of space and z", {.chunksBeforeData = {kEdgeLabels}}},
        {"label ended by a zero byte", {.chunksBeforeFmt = {kZeroInLabel}}},
        {"fmt of 18 bytes", {.fmtLength = 18}},
        {"fmt of 17 bytes and its pad", {.fmtLength = 17, .chunksBeforeData = {kList}}},
        {"fmt of 40 bytes", {.fmtLength = 40, .chunksBeforeData = {kList}}},
        {"more bytes than stated", {.dataLengthOverride = true, .dataLength = 1001}},
        {"fewer bytes than stated", {.dataLengthOverride = true, .dataLength = 5000}}};
    for (const auto& [name, layout] : layouts) {
        SCOPED_TRACE(name);
        auto reader = CWavReader::Open(testpaths::ScratchFile("song.wav", MakeWav(layout, data)));
        ASSERT_TRUE(reader) << reader.error().message;
        EXPECT_EQ(reader.value().GetNumChannels(), layout.channels);
        EXPECT_EQ(reader.value().GetNumBits(), layout.bitsPerSample);
        EXPECT_EQ(reader.value().GetSampleRate(), layout.sampleRate);
        // A stated length beyond the file counts as the bytes that are there.
        const std::size_t stated = std::min<std::size_t>(
            layout.dataLengthOverride ? layout.dataLength : data.size(), data.size());
        EXPECT_EQ(reader.value().GetDataSizeInBytes(), stated);
        std::vector<std::uint8_t> all;
        std::vector<std::uint8_t> buffer(1000);
        while (const std::size_t got = reader.value().ReadBytes(buffer.data(), buffer.size())) {
            all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
        }
        EXPECT_EQ(all, std::vector(data.begin(), data.begin() + static_cast<long>(stated)));
        reader.value().Close();
        EXPECT_EQ(reader.value().ReadBytes(buffer.data(), buffer.size()), 0U);
    }
}

} // namespace
