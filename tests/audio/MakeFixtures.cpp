// Writes the synthesized songs that the build encodes into the MP3, Ogg,
// FLAC and Opus fixtures of the audio tests. Usage: audio_fixture_maker OUTPUT_DIR
#include "TestSignals.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: audio_fixture_maker OUTPUT_DIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    // 8 s: enough beats for the detector, short under ASan.
    using Song = std::tuple<const char*, double, std::uint32_t, std::uint16_t>; // BPM, Hz, channels
    for (const auto& [name, bpm, rate, channels] :
         {Song{"stereo_137.wav", 137, 44100, 2}, Song{"mono_110.wav", 110, 44100, 1},
          Song{"stereo22k_122.wav", 122, 22050, 2}, Song{"stereo48k_137.wav", 137, 48000, 2}})
        testsignals::WriteWav(dir + "/" + name, {.channels = channels, .sampleRate = rate},
                              testsignals::SynthesizeMusic(bpm, 8.0, int(rate), channels));
    // mono_110.wav at 24 bits (each sample's low byte zero), for FLAC.
    testsignals::WriteWav(dir + "/mono24_110.wav", {.channels = 1, .bitsPerSample = 24},
                          testsignals::SynthesizeMusic(110, 8.0, 44100, 1));
    // 1.5 s of stereo silence with a loud 2 ms burst at frame 22050: its
    // onset shows where a decoder puts the music.
    std::vector<std::int16_t> burst(66150 * 2, 0);
    for (std::size_t i = 0; i < 176; ++i)
        burst[2 * 22050 + i] = static_cast<std::int16_t>(i / 2 % 2 == 0 ? 20000 : -20000);
    testsignals::WriteWav(dir + "/burst.wav", {}, burst);
    return 0;
}
