// Reading song files: the source that hands out 16-bit chunks to the tempo
// estimate, and the whole decoded song the player and the tempo finder
// take (sample 0 is song time 0 as the games that play our charts have
// it). The MP3 and Ogg fixtures come from Debian's lame, twolame and
// oggenc (tests/CMakeLists.txt), made from 8 s songs; WAV layouts are read
// in HostileFilesTest.
#include "audio/AudioSource.h"

#include "AudioTestPaths.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/MpegHeader.h"
#include "audio/SongStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using audio::CAudioSource;
using testpaths::Fixture;
using testsignals::ReadFile;

// Each encoding is read at its format by the source that feeds the
// estimate, with progress rising to 100, or to the share of the file read
// where a chained Ogg stream changes its channel count (an Ogg run's stream
// stays open after its source is gone, so the next Ogg file must clear it
// and still read its own). The estimate lies within 1 % of the song's
// tempo. The whole song the player takes: an Ogg file keeps its exact
// length, and a chained stream plays on while its format stays. Untrimmed,
// a LAME file decodes to its Info frame (one frame of silence, also behind
// an ID3v2 tag; a Xing frame decodes to nothing), the encoder's and the
// decoder's delay (576 + 529), the music and the padding that completes
// the last frame; a 2 ms burst at frame 22050 of the song lands there after
// that lead-in (its pre-echo can rise up to one 576-frame granule early).
// The decoding is the same whether or not it overlaps the estimate's
// detector, whose progress rises from 0 to 100 in at least ten steps; the
// player's song stream ends at 100 % of its file. FLAC decodes to its
// source exactly (a 24-bit file to its top 16 bits), also in an Ogg stream
// named as Vorbis; Opus is perceptual: this song comes back from opusenc's
// defaults with an RMS error of 311 against its own RMS of 2240 (17 dB),
// while a decode off by a packet or with swapped channels errs by about
// the song's own RMS.
TEST(AudioSource, EveryEncodingIsReadWholeAtItsFormatAndTempo) {
    // clang-format off
    const struct {
        const char* file;
        int rate, channels, lastPercent;
        const char* source; // the WAV it was made from
        double bpm; // 0: not checked
        std::size_t links, frameSamples, leadIn; // frameSamples 0: Ogg; leadIn 0: not checked
        double rmsError = -1; // against the source's samples; -1: not compared, 0: exact
    } cases[] = {{"stereo_137.mp3", 44100, 2, 100, "stereo_137.wav", 137, 1, 1152, 1152 + 1105},
                 {"tagged_137.mp3", 44100, 2, 100, "stereo_137.wav", 137, 1, 1152, 1152 + 1105},
                 {"mono_110.mp3", 44100, 1, 100, "mono_110.wav", 110, 1, 1152, 1152 + 1105},
                 {"mpeg2_122.mp3", 22050, 2, 100, "stereo22k_122.wav", 122, 1, 576, 576 + 1105},
                 {"layer2_137.mp3", 44100, 2, 100, "stereo_137.wav", 137, 1, 1152, 0},
                 {"burst_cbr_id3.mp3", 44100, 2, 100, "burst.wav", 0, 1, 1152, 1152 + 1105},
                 {"burst_vbr.mp3", 44100, 2, 100, "burst.wav", 0, 1, 1152, 1105},
                 {"burst_cbr_notag.mp3", 44100, 2, 100, "burst.wav", 0, 1, 1152, 1105},
                 {"stereo_137.ogg", 44100, 2, 100, "stereo_137.wav", 137, 1, 0, 0},
                 {"mono_110.ogg", 44100, 1, 100, "mono_110.wav", 110, 1, 0, 0},
                 {"chained_same.ogg", 44100, 2, 100, "stereo_137.wav", 0, 2, 0, 0},
                 {"chained_mono.ogg", 44100, 2, 50, "stereo_137.wav", 0, 1, 0, 0},
                 {"chained_mono_first.ogg", 44100, 1, 50, "mono_110.wav", 0, 1, 0, 0},
                 {"stereo_137.flac", 44100, 2, 100, "stereo_137.wav", 137, 1, 0, 0, 0},
                 {"mono24_110.flac", 44100, 1, 100, "mono_110.wav", 110, 1, 0, 0, 0},
                 {"stereo_137_flac.ogg", 44100, 2, 100, "stereo_137.wav", 137, 1, 0, 0, 0},
                 {"stereo48k_137.opus", 48000, 2, 100, "stereo48k_137.wav", 137, 1, 0, 0, 600}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CAudioSource source;
        ASSERT_TRUE(source.Open(Fixture(c.file)));
        EXPECT_EQ(std::tuple(source.SampleRate(), source.Channels(), source.BitsPerSample()),
                  std::tuple(c.rate, c.channels, 16));
        const testpaths::Drained all = testpaths::Drain(source);
        EXPECT_TRUE(std::ranges::is_sorted(all.percents) && all.percents.back() == c.lastPercent);
        std::vector<int> percents; // the estimate's, decoding overlapped with the detector
        const auto bpm = audio::EstimateBpm(Fixture(c.file), [&](int p) { percents.push_back(p); });
        EXPECT_EQ(
            bpm.value(),
            audio::EstimateBpm(Fixture(c.file), {}, audio::DecodeOverlap::kSequential).value());
        EXPECT_TRUE(c.bpm == 0 || std::abs(double(bpm.value()) - c.bpm) < c.bpm * 0.01);
        EXPECT_TRUE(percents.size() >= 10 && percents.front() == 0 &&
                    percents.back() == c.lastPercent &&
                    std::ranges::adjacent_find(percents, std::greater_equal<>()) == percents.end());
        auto stream = std::move(audio::SongStream::Open(Fixture(c.file)).value());
        while (!stream->Next().empty()) {
        }
        EXPECT_EQ(stream->ProgressPercent(), 100);
        const auto song = audio::DecodeWholeFile(Fixture(c.file)).value();
        EXPECT_EQ(std::pair(song.sampleRate, song.channels), std::pair(c.rate, c.channels));
        const std::size_t frames = song.samples.size() / std::size_t(c.channels);
        const std::size_t music =
            (ReadFile(Fixture(c.source)).size() - 44) / 2 / std::size_t(c.channels);
        EXPECT_TRUE(c.frameSamples > 0 || frames == c.links * music) << frames;
        EXPECT_TRUE(c.leadIn == 0 || (frames % c.frameSamples == 0 && frames >= c.leadIn + music &&
                                      frames < c.leadIn + music + 2 * c.frameSamples))
            << frames;
        if (c.rmsError >= 0) {
            const auto bytes = ReadFile(Fixture(c.source));
            std::vector<std::int16_t> original((bytes.size() - 44) / 2);
            std::memcpy(original.data(), bytes.data() + 44, original.size() * 2);
            ASSERT_EQ(song.samples.size(), original.size());
            double squares = 0;
            for (std::size_t i = 0; i < original.size(); ++i)
                squares += std::pow(song.samples[i] - original[i], 2);
            EXPECT_LE(std::sqrt(squares / double(original.size())), c.rmsError);
        }
        std::size_t onset = 0;
        while (std::string(c.source) == "burst.wav" && std::abs(song.samples[2 * onset]) <= 2000)
            ++onset;
        EXPECT_TRUE(onset == 0 || (onset > 22050 + c.leadIn - 576 && onset < 22050 + c.leadIn + 64))
            << onset;
    }
}

} // namespace
