// Damaged and hostile song files: each case once crashed, hung, misread or
// over-allocated. The sound result is an error naming the file, or the
// audio that is really there, in whole frames.
#include "AudioTestPaths.h"
#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/FindTempo.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <ranges>
#include <unistd.h>

namespace {

using audio::AudioErrorKind;
using Bytes = std::vector<std::uint8_t>;

Bytes Patched(Bytes file, std::size_t at, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    return file;
}

// A little-endian field of the Ogg page at `page` set, and the page's CRC
// made good again: polynomial 0x04C11DB7, not reflected, initial value 0,
// over the page with its CRC field zeroed.
Bytes OggPatched(Bytes file, std::size_t page, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        file[page + 22 + i] = 0;
    }
    std::size_t length = 27 + file[page + 26];
    for (std::size_t i = 0; i < file[page + 26]; ++i)
        length += file[page + 27 + i];
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length * 8; ++i) {
        crc ^= i % 8 == 0 ? std::uint32_t{file[page + i / 8]} << 24 : 0;
        crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (std::size_t i = 0; i < 4; ++i)
        file[page + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return file;
}

// Each path says why it cannot read a file, naming it as given: the tempo
// estimate through its source, the player and the tempo finder through the
// song stream; a source that fails to open reports no format, whatever it
// had open before. A WAV without samples opens for the estimate, but the
// player needs a first block (without a single whole frame, its decoder
// once did memcpy into the null data() of an empty vector, under UBSan). An
// MP3 whose sync patterns never hold up must
// not be read past its end, even when the last is cut short. Formats
// outside 8-384 kHz, 1-8 channels and 8/16/24/32 bits are refused before
// SoundTouch (which aborts above about 35.8 MHz) or an allocation sees
// them. An Ogg identification header's rate was read as a signed 32-bit
// value: one of 2^31 and above came out as a negative rate (the header is
// alone on the first page: 27 + 1 bytes of page header, then 0x01
// "vorbis", version and channels before the rate). Ogg granule positions
// that say the stream is shorter than it is (every page past the headers
// ending at sample 1000) made the progress run past 100 %. A Xing frame
// count of 0xFFFFFFFF made the decoder reserve two hours (1.4 GB) for a
// 24 KB file: at most 24 frames per byte of file, two channels of 2 bytes.
// An MP3 whose rate changes part-way ends there on every path. FLAC and
// Opus are told by their first bytes whatever the name; after the magic,
// a STREAMINFO cut short (30 of its 42 bytes), an Opus head cut short
// (the first page is 27 + 1 + 19 bytes) or garbage is damage, and a
// STREAMINFO rate (20 bits from byte 18) patched from 0x0AC44 to 0x00FA4
// is refused; a FLAC file cut in half reads what is there. Nothing is
// said on file descriptor 2 meanwhile (libmpg123 once complained there).
// In `valid`: RIFF header 0-11, "fmt " chunk 12-35, "data" at 36; in
// `list`, a LIST chunk's label at 12 and length at 16.
//
// WAV layouts every path reads: chunks skipped by their length and pad
// byte (a wrong skip shifts the data or fails the next label), labels
// checked up to a zero byte from space to 'z', data read up to the stated
// length or the end of the file; the source's chunks are at most 5512
// bytes of whole frames (1378 stereo 16-bit frames, 306 of six 24-bit
// channels), a partial frame at the end dropped. 8-bit samples are unsigned
// around 128 and keep their byte as the high one; 24 and 32-bit samples
// keep their two most significant bytes; the player's decoder reads the
// same samples.
TEST(HostileFiles, EveryPathRefusesThemOrReadsWhatIsThereInSilence) {
    using enum AudioErrorKind;
    using testsignals::MakeWav;
    const Bytes text = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};
    Bytes noFrames;
    for (int i = 0; i < 52; ++i) {
        noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
        noFrames.resize(noFrames.size() + 94, 0x21);
    }
    noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
    const auto valid = MakeWav({}, Bytes(400, 0x5A));
    const auto list = MakeWav({.chunksBeforeFmt = {{"LIST", Bytes(16, 'x')}}}, {});
    const auto fixture = [](const char* name) {
        return testsignals::ReadFile(testpaths::Fixture(name));
    };
    const auto ogg = fixture("stereo_137.ogg");
    const auto flac = fixture("stereo_137.flac");
    const auto opus = fixture("stereo48k_137.opus");
    Bytes flacGarbage = {'f', 'L', 'a', 'C'}, opusGarbage(opus.begin(), opus.begin() + 47);
    flacGarbage.resize(4000, 0x5A);
    opusGarbage.resize(4000, 0x5A);
    Bytes xing = fixture("burst_vbr.mp3");
    const auto tag = std::search(xing.begin(), xing.end(), "Xing", "Xing" + 4);
    ASSERT_TRUE(tag != xing.end() && (tag[7] & 1) != 0) << "the tag carries a frame count";
    std::fill_n(tag + 8, 4, std::uint8_t{0xFF});
    xing.resize(std::min<std::size_t>(xing.size(), 24 * 1024));
    const auto granules = [](Bytes file) {
        for (std::size_t at = 0; at + 27 < file.size(); ++at) {
            if (std::equal(file.begin() + long(at), file.begin() + long(at + 4), "OggS") &&
                file[at + 6] + file[at + 7] != 0)
                file = OggPatched(OggPatched(file, at, at + 6, 1000), at, at + 10, 0);
        }
        return file;
    };
    Bytes ramp(1800); // samples 0x0A03, 0x1811, ...
    std::ranges::generate(ramp, [i = 0]() mutable { return std::uint8_t(i++ * 7 + 3); });
    const testsignals::WavChunk info{"LIST",
                                     {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'S'}};
    const Bytes b24 = {0x11, 0x34, 0x12, 0x99, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0xFE, 0xFF};
    const Bytes b32 = {0x11, 0x22, 0x34, 0x12, 0xAA, 0xBB, 0x00, 0x80,
                       0,    0,    0xFF, 0x7F, 1,    2,    3,    4};
    const std::string mp3 = "File {} is corrupt or not an MP3 file.";
    const std::string wav = "File {} is corrupt or not a WAV file";
    const std::string coding = "File {} uses unsupported encoding.";
    const std::string flacs = "File {} is corrupt or not a FLAC file.";
    const std::string opuses = "File {} is corrupt or not an Opus file.";
    struct Case {
        std::string name;
        Bytes bytes;                        // not written for missing.mp3
        std::optional<AudioErrorKind> kind; // none: every path reads it
        std::string message;                // {} stands for the quoted path; empty: not checked
        bool estimateOpens = false;
        const char* sameAs = nullptr;        // the fixture it decodes to
        std::vector<std::int16_t> samples{}; // the first ones read
        std::vector<int> chunkBytes{};       // the estimate's source's, when given
    };
    // clang-format off
    std::vector<Case> cases = {
        {"missing.mp3", {}, kCannotOpen, "Error : Unable to open file {} for reading."},
        {"empty.mp3", {}, kNotThisFormat, mp3},
        {"text.mp3", text, kNotThisFormat, mp3},
        {"noframes.mp3", noFrames, kNotThisFormat, mp3},
        {"mp3.wav", fixture("stereo_137.mp3"), kNotThisFormat, wav},
        {"wav.ogg", valid, kNotThisFormat, "File {} is corrupt or not an Ogg Vorbis file."},
        {"song", text, kUnknownType, "File {} is not an MP3, WAV, Ogg Vorbis, FLAC or Opus file."},
        {"text.flac", text, kNotThisFormat, flacs},
        {"empty.opus", {}, kNotThisFormat, opuses},
        {"cut header.flac", Bytes(flac.begin(), flac.begin() + 30), kDamaged, flacs},
        {"garbage.flac", flacGarbage, kDamaged, flacs},
        {"rate 4004 Hz.flac", Patched(flac, 18, {0x00, 0xFA}), kUnsupported,
         "File {} uses an unsupported sample format (16 bits, 2 channels, 4004 Hz)."},
        {"cut header.opus", Bytes(opus.begin(), opus.begin() + 40), kDamaged, opuses},
        {"garbage.opus", opusGarbage, kDamaged, opuses},
        {"cut.flac", Bytes(flac.begin(), flac.begin() + long(flac.size() / 2)), std::nullopt, "", true},
        {"flac.mp3", flac, std::nullopt, "", true, "stereo_137.flac"},
        {"opus", opus, std::nullopt, "", true, "stereo48k_137.opus"},
        {"no samples.wav", MakeWav({}, {}), kDamaged, wav, true},
        {"no whole frame.wav", MakeWav({.bitsPerSample = 24}, {0x5A}), kDamaged, wav, true},
        {"empty.wav", {}, kNotThisFormat, wav},
        {"RIFF cut.wav", Bytes(valid.begin(), valid.begin() + 11), kNotThisFormat, wav},
        {"not RIFF.wav", Patched(valid, 0, {'R', 'I', 'F', 'X'}), kNotThisFormat, wav},
        {"not WAVE.wav", Patched(valid, 8, {'A', 'V', 'I', ' '}), kNotThisFormat, wav},
        {"data before fmt.wav", Patched(valid, 12, {'d', 'a', 't', 'a'}), kDamaged, wav},
        {"label above z.wav", Patched(valid, 36, {'d', '{', 't', 'a'}), kDamaged, wav},
        {"label above 7F.wav", Patched(valid, 36, {'d', 0x80, 't', 'a'}), kDamaged, wav},
        {"label below space.wav", Patched(valid, 36, {'d', 0x1F, 't', 'a'}), kDamaged, wav},
        {"bad label before fmt.wav", Patched(list, 12, {'L', 'I', 'S', '{'}), kDamaged, wav},
        {"chunk near 4 GiB.wav", Patched(list, 16, {0xF0, 0xFF, 0xFF, 0xFF}), kDamaged, wav},
        {"end in a skipped chunk.wav", Bytes(list.begin(), list.begin() + 30), kDamaged, wav},
        {"fmt cut short.wav", Bytes(valid.begin(), valid.begin() + 30), kDamaged, wav},
        {"no data chunk.wav", Bytes(valid.begin(), valid.begin() + 36), kDamaged, wav},
        {"float.wav", MakeWav({.formatTag = 3, .bitsPerSample = 32}, valid), kUnsupported, coding},
        {"wavex.wav", MakeWav({.formatTag = 0xFFFE, .fmtLength = 40}, valid), kUnsupported, coding},
        {"rate 2^31.ogg", OggPatched(ogg, 0, 40, 0x80000000u), kUnsupported, ""},
        {"rate 2^32-1.ogg", OggPatched(ogg, 0, 40, 0xFFFFFFFFu), kUnsupported, ""},
        {"rate 40 MHz.ogg", OggPatched(ogg, 0, 40, 40'000'000u), kUnsupported, ""},
        {"rate 4 kHz.ogg", OggPatched(ogg, 0, 40, 4000u), kUnsupported, ""},
        {"granules.ogg", granules(ogg), std::nullopt, "", true},
        {"chained granules.ogg", granules(fixture("chained_same.ogg")), std::nullopt, "", true},
        {"xing.mp3", xing, std::nullopt, "", true},
        {"rate change.mp3", fixture("rate_change.mp3"), std::nullopt, "", true, "stereo_137.mp3"}};
    // clang-format on
    const auto reads = [&](std::string name, Bytes bytes, std::vector<std::int16_t> samples,
                           std::vector<int> chunkBytes = {}) {
        cases.push_back(
            {name + ".wav", bytes, std::nullopt, "", true, nullptr, samples, chunkBytes});
    };
    const std::vector<std::int16_t> first = {0x0A03, 0x1811};
    // clang-format off
    reads("odd", MakeWav({.chunksBeforeData = {{"odd ", {1}}, info}}, ramp), first, {1800});
    reads("z", MakeWav({.chunksBeforeFmt = {{"z z ", {1}}, {{"a\0\177b", 4}, {}}}}, ramp), first);
    reads("fmt 17", MakeWav({.fmtLength = 17, .chunksBeforeData = {info}}, ramp), first);
    reads("fmt 40", MakeWav({.fmtLength = 40}, ramp), first);
    reads("cut", MakeWav({.dataLengthOverride = true, .dataLength = 1001}, ramp), {2563}, {1000});
    reads("six 24-bit", MakeWav({.channels = 6, .bitsPerSample = 24}, Bytes(12600, 0x5A)), {0x5A5A},
          {5508, 5508, 1584});
    reads("part frame", MakeWav({}, Bytes(8003, 0x5A)), {0x5A5A}, {5512, 2488});
    reads("8-bit", MakeWav({.bitsPerSample = 8}, {0, 127, 128, 255}), {-32768, -256, 0, 32512});
    reads("24-bit", MakeWav({.bitsPerSample = 24}, b24), {0x1234, -32768, 32767, -2});
    reads("32-bit", MakeWav({.bitsPerSample = 32}, b32), {0x1234, -32768, 32767, 0x0403});
    using F = std::tuple<std::uint16_t, std::uint32_t, std::uint16_t>; // channels, Hz, bits
    for (const auto& [channels, rate, bits] : {F{2, 40'000'000, 16}, F{2, 2147483647, 16},
             F{2, 4294967295u, 16}, F{2, 7999, 16}, F{2, 384001, 16}, F{0, 44100, 16},
             F{9, 44100, 16}, F{514, 44100, 16}, F{2, 44100, 12}}) {
        // clang-format on
        const std::string format = std::to_string(bits) + " bits, " + std::to_string(channels) +
                                   " channels, " + std::to_string(rate) + " Hz";
        cases.push_back({format + ".wav",
                         MakeWav({.channels = channels, .sampleRate = rate, .bitsPerSample = bits},
                                 Bytes(4096, 0)),
                         kUnsupported,
                         "File {} uses an unsupported sample format (" + format + ")."});
    }
    const std::string said = testpaths::Scratch("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int file = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, 2);
    ::close(file);
    audio::CAudioSource source;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = testpaths::Scratch(c.name);
        if (c.kind != kCannotOpen)
            testsignals::WriteFile(path, c.bytes);
        std::string message = c.message;
        if (!message.empty())
            message.replace(message.find("{}"), 2, "\"" + path + "\"");
        const auto expect = [&](const auto& result, bool opens) {
            EXPECT_EQ(result.ok(), opens);
            if (!result.ok()) {
                EXPECT_EQ(result.error().kind, c.kind);
                EXPECT_TRUE(c.message.empty() || result.error().message == message)
                    << result.error().message;
            }
        };
        EXPECT_TRUE(source.Open(testpaths::Fixture("mono_110.wav")));
        expect(source.Open(path), c.estimateOpens);
        const testpaths::Drained all = testpaths::Drain(source);
        EXPECT_TRUE(std::ranges::all_of(all.percents, [](int percent) { return percent <= 100; }));
        EXPECT_TRUE(c.estimateOpens || (source.SampleRate() == 0 && source.Channels() == 0 &&
                                        source.BitsPerSample() == 0 && all.samples.empty()));
        expect(audio::EstimateBpm(path), c.estimateOpens);
        const auto decoded = audio::DecodeWholeFile(path);
        expect(decoded, !c.kind.has_value());
        expect(audio::FindTempo(path), !c.kind.has_value());
        EXPECT_LE(decoded ? decoded.value().samples.capacity() * 2 : 0, c.bytes.size() * 24 * 4);
        for (const auto& samples : {all.samples, decoded ? decoded.value().samples : all.samples})
            EXPECT_TRUE(std::ranges::mismatch(c.samples, samples).in1 == c.samples.end());
        EXPECT_TRUE(c.chunkBytes.empty() || all.chunkBytes == c.chunkBytes);
        if (c.sameAs != nullptr && decoded) {
            EXPECT_EQ(decoded.value().samples,
                      audio::DecodeWholeFile(testpaths::Fixture(c.sameAs)).value().samples);
            EXPECT_TRUE(source.Open(testpaths::Fixture(c.sameAs)));
            EXPECT_EQ(all.samples, testpaths::Drain(source).samples);
        }
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    EXPECT_EQ(testsignals::ReadFile(said).size(), 0U);
    // Refused before anything is read: a sparse file, so the test is cheap.
    const std::string huge = testpaths::Scratch("huge.mp3");
    testsignals::WriteFile(huge, {});
    std::filesystem::resize_file(huge, audio::CAudioSource::kMaxMp3Bytes + 1);
    const auto opened = source.Open(huge);
    std::filesystem::remove(huge);
    ASSERT_FALSE(opened);
    EXPECT_EQ(std::pair(opened.error().kind, opened.error().message),
              std::pair(kUnsupported, "File \"" + huge + "\" is too large to analyse."));
}

} // namespace
