// Writes the demo song: 24 s of drums and a bass line at 128 BPM, first beat
// at 0.5 s, as 16-bit stereo WAV at 44.1 kHz. Everything is synthesized here.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kBpm = 128.0;
constexpr double kGapSeconds = 0.5;
constexpr double kLengthSeconds = 24.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

void AddKick(std::vector<double>& mix, double atSeconds) {
    const auto start = static_cast<std::size_t>(atSeconds * kRate);
    double phase = 0.0;
    for (std::size_t i = 0; i < kRate / 4 && start + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        // A falling pitch sweep gives the thump.
        phase += kTwoPi * (50.0 + 120.0 * std::exp(-t * 30.0)) / kRate;
        mix[start + i] += 0.9 * std::sin(phase) * std::exp(-t * 9.0);
    }
}

void AddNoiseHit(std::vector<double>& mix, double atSeconds, double level, double decay,
                 std::mt19937& noise) {
    std::uniform_real_distribution<double> white(-1.0, 1.0);
    const auto start = static_cast<std::size_t>(atSeconds * kRate);
    double previous = 0.0;
    for (std::size_t i = 0; i < kRate / 5 && start + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double sample = white(noise);
        // A first difference tilts the noise bright, like a hat or a snare.
        mix[start + i] += level * (sample - previous) * 0.5 * std::exp(-t * decay);
        previous = sample;
    }
}

void AddBassNote(std::vector<double>& mix, double atSeconds, double lengthSeconds, double hz) {
    const auto start = static_cast<std::size_t>(atSeconds * kRate);
    const auto length = static_cast<std::size_t>(lengthSeconds * kRate);
    for (std::size_t i = 0; i < length && start + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double envelope = std::min(1.0, t * 200.0) * std::exp(-t * 3.0);
        const double tone = std::sin(kTwoPi * hz * t) + 0.3 * std::sin(kTwoPi * 2.0 * hz * t);
        mix[start + i] += 0.35 * envelope * tone;
    }
}

void PutLe(std::FILE* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xFFu), out);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.wav\n", argv[0]);
        return 2;
    }
    std::vector<double> mix(static_cast<std::size_t>(kLengthSeconds * kRate), 0.0);
    std::mt19937 noise(128);
    const double beat = 60.0 / kBpm;
    // A minor riff, one note per beat, root E.
    const double riff[] = {41.2, 41.2, 49.0, 55.0, 41.2, 41.2, 61.7, 55.0};
    int index = 0;
    for (double t = kGapSeconds; t + beat < kLengthSeconds; t += beat, ++index) {
        AddKick(mix, t);
        if (index % 2 == 1) {
            AddNoiseHit(mix, t, 0.6, 18.0, noise); // snare on 2 and 4
        }
        AddNoiseHit(mix, t + beat / 2.0, 0.25, 60.0, noise); // hats on the off-beat
        AddBassNote(mix, t, beat * 0.9, riff[index % 8]);
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const auto frames = static_cast<std::uint32_t>(mix.size());
    const std::uint32_t dataBytes = frames * 4;
    std::fputs("RIFF", out);
    PutLe(out, 36 + dataBytes, 4);
    std::fputs("WAVEfmt ", out);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, 2, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * 4, 4);
    PutLe(out, 4, 2);
    PutLe(out, 16, 2);
    std::fputs("data", out);
    PutLe(out, dataBytes, 4);
    for (double sample : mix) {
        const double clipped = std::clamp(sample * 0.8, -1.0, 1.0);
        const auto value = static_cast<std::int16_t>(std::lround(clipped * 32767.0));
        const auto bits = static_cast<std::uint16_t>(value);
        PutLe(out, bits, 2); // left
        PutLe(out, bits, 2); // right
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
