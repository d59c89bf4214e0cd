#include "audio/WavReader.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::CWavReader;
using testsignals::WavChunk;
using testsignals::WavLayout;

std::vector<std::uint8_t> Ramp(std::size_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return data;
}

std::vector<std::uint8_t> ReadAll(CWavReader& reader) {
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> buffer(1000);
    while (const std::size_t got = reader.ReadBytes(buffer.data(), buffer.size())) {
        all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
    }
    return all;
}

struct OpenCase {
    const char* name;
    WavLayout layout;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class WavReaderOpens : public ::testing::TestWithParam<OpenCase> {};

// Every layout opens, reports its format as stated, and hands out exactly
// the data chunk's bytes: a chunk skipped by the wrong amount would shift
// the data or fail the next label.
TEST_P(WavReaderOpens, ReportsFormatAndHandsOutExactlyTheData) {
    const WavLayout& layout = GetParam().layout;
    const std::vector<std::uint8_t> data = Ramp(6 * 3 * 100);
    const std::string path = testpaths::Scratch("song.wav");
    testsignals::WriteFile(path, testsignals::MakeWav(layout, data));

    auto reader = CWavReader::Open(path);
    ASSERT_TRUE(reader) << reader.error().message;
    EXPECT_EQ(reader.value().GetNumChannels(), layout.channels);
    EXPECT_EQ(reader.value().GetNumBits(), layout.bitsPerSample);
    EXPECT_EQ(reader.value().GetSampleRate(), layout.sampleRate);
    EXPECT_EQ(reader.value().GetDataSizeInBytes(), data.size());
    EXPECT_EQ(ReadAll(reader.value()), data);
}

WavLayout Layout(std::uint16_t channels, std::uint16_t bits) {
    WavLayout layout;
    layout.channels = channels;
    layout.bitsPerSample = bits;
    return layout;
}

WavLayout With(WavLayout layout, std::vector<WavChunk> beforeFmt, std::vector<WavChunk> beforeData,
               std::uint32_t fmtLength = 16) {
    layout.chunksBeforeFmt = std::move(beforeFmt);
    layout.chunksBeforeData = std::move(beforeData);
    layout.fmtLength = fmtLength;
    return layout;
}

const WavChunk kList{"LIST",
                     {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'S', 'o', 'n', 'g'}};
const WavChunk kOddChunk{"junk", {1, 2, 3, 4, 5, 6, 7}};

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavReaderOpens,
    ::testing::Values(OpenCase{"Stereo16", Layout(2, 16)}, OpenCase{"Mono8", Layout(1, 8)},
                      OpenCase{"Stereo24", Layout(2, 24)}, OpenCase{"SixChannels", Layout(6, 16)},
                      OpenCase{"ListBeforeData", With(Layout(2, 16), {}, {kList})},
                      OpenCase{"OddChunkBeforeData", With(Layout(2, 16), {}, {kOddChunk, kList})},
                      OpenCase{"OddChunkBeforeFmt", With(Layout(2, 16), {kOddChunk}, {})},
                      OpenCase{"Fmt18", With(Layout(2, 16), {}, {}, 18)},
                      OpenCase{"Fmt40", With(Layout(2, 16), {}, {kList}, 40)}),
    [](const auto& test) { return std::string(test.param.name); });

struct RejectCase {
    const char* name;
    std::vector<std::uint8_t> file;
    AudioErrorKind kind;
    bool unsupported; // the encoding text rather than the corrupt-file text
};

void PrintTo(const RejectCase& c, std::ostream* os) {
    *os << c.name;
}

class WavReaderRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(WavReaderRejects, WithTheMessageNamingThePath) {
    const std::string path = testpaths::Scratch("bad.wav");
    testsignals::WriteFile(path, GetParam().file);

    auto reader = CWavReader::Open(path);
    ASSERT_FALSE(reader);
    EXPECT_EQ(reader.error().kind, GetParam().kind);
    const std::string expected = GetParam().unsupported
                                     ? "File \"" + path + "\" uses unsupported encoding."
                                     : "File \"" + path + "\" is corrupt or not a WAV file";
    EXPECT_EQ(reader.error().message, expected);
}

std::vector<std::uint8_t> Valid() {
    return testsignals::MakeWav(Layout(2, 16), Ramp(400));
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file, std::size_t at,
                                  std::vector<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    return file;
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> file, std::size_t size) {
    file.resize(size);
    return file;
}

// Offsets in Valid(): RIFF header 0-11, "fmt " chunk 12-35, "data" at 36.
// With a LIST chunk first, its length field sits at 16.
std::vector<std::uint8_t> WithHugeChunk() {
    return Patched(testsignals::MakeWav(With(Layout(2, 16), {kList}, {}), Ramp(400)), 16,
                   {0xF0, 0xFF, 0xFF, 0xFF});
}

WavLayout Encoded(std::uint16_t tag, std::uint16_t bits, std::uint32_t fmtLength) {
    WavLayout layout = Layout(2, bits);
    layout.formatTag = tag;
    layout.fmtLength = fmtLength;
    return layout;
}

INSTANTIATE_TEST_SUITE_P(
    Files, WavReaderRejects,
    ::testing::Values(
        RejectCase{"NotRiff", Patched(Valid(), 0, {'R', 'I', 'F', 'X'}),
                   AudioErrorKind::kNotThisFormat, false},
        RejectCase{"NotWave", Patched(Valid(), 8, {'A', 'V', 'I', ' '}),
                   AudioErrorKind::kNotThisFormat, false},
        RejectCase{"DataBeforeFmt", Patched(Valid(), 12, {'d', 'a', 't', 'a'}),
                   AudioErrorKind::kDamaged, false},
        RejectCase{"LabelAbove7F", Patched(Valid(), 36, {'d', 0x80, 't', 'a'}),
                   AudioErrorKind::kDamaged, false},
        RejectCase{"LabelBelowSpace", Patched(Valid(), 36, {'d', 0x1F, 't', 'a'}),
                   AudioErrorKind::kDamaged, false},
        RejectCase{"ChunkNear4GiB", WithHugeChunk(), AudioErrorKind::kDamaged, false},
        RejectCase{"EndInsideSkippedChunk",
                   Cut(testsignals::MakeWav(With(Layout(2, 16), {}, {kList}), {}), 50),
                   AudioErrorKind::kDamaged, false},
        RejectCase{"NoDataChunk", Cut(Valid(), 36), AudioErrorKind::kDamaged, false},
        RejectCase{"Float", testsignals::MakeWav(Encoded(3, 32, 16), Ramp(400)),
                   AudioErrorKind::kUnsupported, true},
        RejectCase{"Extensible16Bit", testsignals::MakeWav(Encoded(0xFFFE, 16, 40), Ramp(400)),
                   AudioErrorKind::kUnsupported, true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(WavReader, MissingFileGivesTheOpenFailureText) {
    const std::string path = testpaths::Scratch("missing.wav");
    auto reader = CWavReader::Open(path);
    ASSERT_FALSE(reader);
    EXPECT_EQ(reader.error().kind, AudioErrorKind::kCannotOpen);
    EXPECT_EQ(reader.error().message, "Error : Unable to open file \"" + path + "\" for reading.");
}

TEST(WavReader, ReadsStopAtTheDataLengthAndAtTheEndOfTheFile) {
    struct Case {
        std::uint32_t stated;
        std::size_t present;
        std::vector<std::size_t> reads;
    };
    for (const Case& c : {Case{10000, 10000, {5512, 4488, 0}}, Case{10000, 12000, {5512, 4488, 0}},
                          Case{10000, 6000, {5512, 488, 0}}}) {
        WavLayout layout = Layout(2, 16);
        layout.dataLengthOverride = true;
        layout.dataLength = c.stated;
        const std::string path = testpaths::Scratch("song.wav");
        testsignals::WriteFile(path, testsignals::MakeWav(layout, Ramp(c.present)));
        auto reader = CWavReader::Open(path);
        ASSERT_TRUE(reader);
        std::vector<std::uint8_t> buffer(5512);
        for (const std::size_t expected : c.reads) {
            EXPECT_EQ(reader.value().ReadBytes(buffer.data(), buffer.size()), expected)
                << "stated " << c.stated << ", present " << c.present;
        }
    }
}

} // namespace
