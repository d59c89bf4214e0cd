// Writes the synthesized songs that the build encodes into the MP3 and Ogg
// fixtures of the audio tests. Usage: audio_fixture_maker OUTPUT_DIR
#include "TestSignals.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr double kFixtureSeconds = 8.0; // enough beats for the detector, short under ASan

void WriteSong(const std::string& dir, const char* name, double bpm, int rate, int channels) {
    testsignals::WriteWav(dir + "/" + name,
                          {.channels = static_cast<std::uint16_t>(channels),
                           .sampleRate = static_cast<std::uint32_t>(rate)},
                          testsignals::SynthesizeMusic(bpm, kFixtureSeconds, rate, channels));
}

// 1.5 s of stereo silence with a loud 2 ms burst at kBurstFrame: its onset
// shows where the decoder puts the music.
void WriteBurst(const std::string& dir, const char* name) {
    constexpr int kRate = 44100;
    constexpr std::size_t kBurstFrame = 22050;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(1.5 * kRate) * 2, 0);
    for (std::size_t i = 0; i < 88; ++i) {
        const auto value = static_cast<std::int16_t>(i % 2 == 0 ? 20000 : -20000);
        samples[2 * (kBurstFrame + i)] = value;
        samples[2 * (kBurstFrame + i) + 1] = value;
    }
    testsignals::WriteWav(dir + "/" + name, {}, samples);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: audio_fixture_maker OUTPUT_DIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    WriteSong(dir, "stereo_137.wav", 137.0, 44100, 2);
    WriteSong(dir, "mono_110.wav", 110.0, 44100, 1);
    WriteSong(dir, "stereo22k_122.wav", 122.0, 22050, 2);
    WriteBurst(dir, "burst.wav");
    return 0;
}
