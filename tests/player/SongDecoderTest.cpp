// Song time 0 for MP3: nothing trimmed, Xing frames skipped, Info frames
// decoded as one frame of silence. The MP3s come from Debian's lame.
#include "player/SongDecoder.h"

#include "PlayerTestSupport.h"
#include "TestSignals.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace player::test {
namespace {

constexpr std::int64_t kBurstFrame = 22050;
constexpr int kMp3FrameSamples = 1152;

// 1.5 s of silence with a loud 2 ms burst at kBurstFrame.
std::vector<std::int16_t> BurstSamples() {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(1.5 * kRate) * 2, 0);
    for (std::int64_t i = 0; i < 88; ++i) {
        const auto value = static_cast<std::int16_t>(i % 2 == 0 ? 20000 : -20000);
        samples[static_cast<std::size_t>(2 * (kBurstFrame + i))] = value;
        samples[static_cast<std::size_t>(2 * (kBurstFrame + i) + 1)] = value;
    }
    return samples;
}

class Mp3SongTime : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Each test runs in a process of its own, maybe side by side with
        // the others: each makes its own files.
        s_dir = ScratchDir("Mp3SongTime_" + std::to_string(::getpid()));
        WriteWav(s_dir + "/burst.wav", BurstSamples(), kRate, 2);
        Lame("-b 128 -t", "cbr_notag.mp3");
        Lame("-b 128", "cbr_info.mp3");
        Lame("-b 128 --id3v2-only --tt Title", "cbr_info_id3.mp3");
        Lame("-V 2", "vbr_xing.mp3");
        Lame("-V 2 -t", "vbr_notag.mp3");
    }
    static void Lame(const std::string& options, const std::string& output) {
        const std::string command = std::string(BEATWRIGHT_LAME) + " --quiet " + options + " " +
                                    s_dir + "/burst.wav " + s_dir + "/" + output;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static SongPcm Decode(const std::string& name) {
        SongDecodeResult result = DecodeSong(s_dir + "/" + name);
        EXPECT_TRUE(result.song) << name << ": " << result.error;
        return result.song ? std::move(*result.song) : SongPcm{};
    }
    static Mp3InfoTag TagOf(const std::string& name) {
        const std::vector<std::uint8_t> bytes = testsignals::ReadFile(s_dir + "/" + name);
        const std::size_t tag = Id3v2TagBytes(bytes);
        return FindMp3InfoTag(std::span(bytes).subspan(std::min(tag, bytes.size())));
    }
    static inline std::string s_dir;
};

TEST_F(Mp3SongTime, FirstFrameTagIsRecognised) {
    EXPECT_EQ(TagOf("cbr_notag.mp3"), Mp3InfoTag::kNone);
    EXPECT_EQ(TagOf("cbr_info.mp3"), Mp3InfoTag::kInfo);
    EXPECT_EQ(TagOf("cbr_info_id3.mp3"), Mp3InfoTag::kInfo);
    EXPECT_EQ(TagOf("vbr_xing.mp3"), Mp3InfoTag::kXing);
}

TEST_F(Mp3SongTime, InfoFrameIsOneFrameOfSilenceBeforeTheMusic) {
    const SongPcm plain = Decode("cbr_notag.mp3");
    for (const char* name : {"cbr_info.mp3", "cbr_info_id3.mp3"}) {
        const SongPcm info = Decode(name);
        ASSERT_EQ(info.Frames(), plain.Frames() + kMp3FrameSamples) << name;
        const std::size_t shift = 2 * kMp3FrameSamples;
        EXPECT_TRUE(std::all_of(info.samples.begin(), info.samples.begin() + shift,
                                [](std::int16_t s) { return s == 0; }));
        EXPECT_TRUE(
            std::equal(plain.samples.begin(), plain.samples.end(), info.samples.begin() + shift))
            << name;
    }
}

TEST_F(Mp3SongTime, XingFrameDecodesToNothing) {
    const SongPcm tagged = Decode("vbr_xing.mp3");
    const SongPcm plain = Decode("vbr_notag.mp3");
    EXPECT_EQ(tagged.samples, plain.samples);
}

TEST_F(Mp3SongTime, EncoderDelayAndPaddingAreNotTrimmed) {
    const SongPcm song = Decode("cbr_notag.mp3");
    EXPECT_EQ(song.sampleRate, kRate);
    EXPECT_EQ(song.channels, 2);
    // Whole frames, the padding included.
    EXPECT_EQ(song.Frames() % kMp3FrameSamples, 0);
    EXPECT_GE(song.Frames(), static_cast<std::int64_t>(1.5 * kRate));
    // LAME delays the music by 576 samples and the decoder by 529 more;
    // trimming would put the burst back at kBurstFrame. The burst's
    // pre-echo can rise up to one 576-sample granule early.
    const std::int64_t onset = FirstAbove(song.samples, 2, 0, 2000);
    EXPECT_GT(onset, kBurstFrame + 1105 - 576);
    EXPECT_LT(onset, kBurstFrame + 1105 + 64);
}

TEST(SongDecoder, Id3v2TagLengthCountsHeaderBodyAndFooter) {
    const std::uint8_t plain[10] = {'I', 'D', '3', 4, 0, 0x00, 0, 0, 0x02, 0x01};
    EXPECT_EQ(Id3v2TagBytes(plain), 10U + 257U);
    const std::uint8_t footer[10] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0x02, 0x01};
    EXPECT_EQ(Id3v2TagBytes(footer), 20U + 257U);
    const std::uint8_t notSyncsafe[10] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x80, 0};
    EXPECT_EQ(Id3v2TagBytes(notSyncsafe), 0U);
    const std::uint8_t noTag[10] = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Id3v2TagBytes(noTag), 0U);
}

TEST(SongDecoder, WavAndOggComeThroughTheAudioDecoders) {
    const std::string dir = ScratchDir("WavAndOgg");
    const SongPcm sine = SineSong(0.5, 440.0, 1);
    WriteWav(dir + "/song.wav", sine.samples, kRate, 1);
    const SongDecodeResult wav = DecodeSong(dir + "/song.wav");
    ASSERT_TRUE(wav.song) << wav.error;
    EXPECT_EQ(wav.song->samples, sine.samples);

    const std::string command =
        std::string(BEATWRIGHT_OGGENC) + " --quiet " + dir + "/song.wav -o " + dir + "/song.ogg";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const SongDecodeResult ogg = DecodeSong(dir + "/song.ogg");
    ASSERT_TRUE(ogg.song) << ogg.error;
    EXPECT_EQ(ogg.song->channels, 1);
    EXPECT_EQ(ogg.song->Frames(), sine.Frames()) << "Vorbis keeps the exact length";
}

} // namespace
} // namespace player::test
