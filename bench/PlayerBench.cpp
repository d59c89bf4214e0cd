// Playback engine figures for a 3-minute song:
// - open time (decode + device) for MP3 and Ogg against `mpg123 -t` and
//   `oggdec -o /dev/null` on the same files, fastest of three runs each;
// - CPU share of one core while playing 20 s at rate 1.0 and at 0.5;
// - resident memory while playing;
// - position error against the samples actually delivered (10 s).
//
//   player_bench --write-song OUT.wav     synthesize the 3-minute song
//   player_bench MP3 OGG                  measure and print
//
// Playing and the position run each run in a child process of their own,
// so that memory figures are those of one open song.
//
// Audio goes to SDL's dummy driver unless SDL_AUDIODRIVER says otherwise:
// the figures are the engine's own work, not a sound server's.
#include "TestSignals.h"
#include "audio/DecodeWholeFile.h"
#include "player/PlaybackEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kSongSeconds = 180.0;
constexpr int kSampleRate = 44100;
constexpr int kRepeats = 3;
constexpr auto kPlaySeconds = 20s;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Wall time of a child process, fastest of kRepeats.
double TimeCommand(std::vector<std::string> args) {
    double best = 1e9;
    for (int run = 0; run < kRepeats; ++run) {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const auto start = Clock::now();
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            std::fprintf(stderr, "cannot run %s\n", argv[0]);
            return 0.0;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

// "VmRSS" or "VmHWM" from /proc/self/status, in MiB.
double MemoryMiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtod(line.c_str() + field.size() + 1, nullptr) / 1024.0;
        }
    }
    return 0.0;
}

void ReportOpen(player::PlaybackEngine& engine, const std::string& path,
                std::vector<std::string> reference) {
    double decodeBest = 1e9;
    double openBest = 1e9;
    for (int run = 0; run < kRepeats; ++run) {
        auto start = Clock::now();
        {
            const auto decoded = audio::DecodeWholeFile(path);
            decodeBest = std::min(decodeBest, Seconds(Clock::now() - start));
            if (!decoded) {
                std::fprintf(stderr, "%s\n", decoded.error().message.c_str());
                std::exit(1);
            }
        }
        start = Clock::now();
        if (engine.Open(path)) {
            std::exit(1);
        }
        openBest = std::min(openBest, Seconds(Clock::now() - start));
    }
    const double referenceSeconds = TimeCommand(std::move(reference));
    std::printf("  %-28s decode %6.3f s  open %6.3f s  reference %6.3f s  open/reference %5.2f\n",
                path.substr(path.find_last_of('/') + 1).c_str(), decodeBest, openBest,
                referenceSeconds, openBest / referenceSeconds);
}

void ReportPlaying(const std::string& path, double rate) {
    player::PlaybackEngine engine;
    if (engine.Open(path)) {
        std::exit(1);
    }
    engine.SetRate(rate);
    engine.Play();
    std::this_thread::sleep_for(1s); // past the start: SoundTouch's first buffers
    const double cpuStart = CpuSeconds();
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(kPlaySeconds);
    const double cpu = CpuSeconds() - cpuStart;
    const double wall = Seconds(Clock::now() - wallStart);
    std::printf(
        "  rate %.2f: CPU %5.2f %% of one core over %.0f s; resident %.1f MiB, peak %.1f MiB\n",
        rate, 100.0 * cpu / wall, wall, MemoryMiB("VmRSS"), MemoryMiB("VmHWM"));
}

// Runs this program again with `args` and waits for it.
void RunChild(char* self, std::vector<std::string> args) {
    std::vector<char*> argv{self};
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

// Song frame indices written into the samples themselves (as the tests do):
// left = low 15 bits of frame + 1, right = the next 15.
player::SongPcm IndexedSong(double seconds) {
    player::SongPcm song;
    song.sampleRate = kSampleRate;
    song.channels = 2;
    const auto frames = static_cast<std::size_t>(seconds * kSampleRate);
    for (std::size_t i = 0; i < frames; ++i) {
        song.samples.push_back(static_cast<std::int16_t>((i + 1) & 0x7FFF));
        song.samples.push_back(static_cast<std::int16_t>(((i + 1) >> 15) & 0x7FFF));
    }
    return song;
}

struct Delivered {
    struct Buffer {
        std::int64_t atNs;
        std::int64_t firstFrame;
        int frames;
    };
    std::vector<Buffer> buffers;
    static void Observe(void* context, const std::int16_t* samples, int frames, int,
                        std::int64_t callbackNs) {
        const std::int64_t tag = std::int64_t{samples[0]} | (std::int64_t{samples[1]} << 15);
        static_cast<Delivered*>(context)->buffers.push_back({callbackNs, tag - 1, frames});
    }
};

void ReportPositionError() {
    Delivered delivered;
    delivered.buffers.reserve(100000);
    std::vector<std::pair<std::int64_t, double>> readings;
    readings.reserve(20000);
    {
        player::PlaybackEngine engine(
            player::PlaybackEngine::Options{"PLINK.WAV", &Delivered::Observe, &delivered});
        engine.OpenDecoded(IndexedSong(10.0), "indexed");
        engine.Play();
        while (engine.State() == player::PlayState::kPlaying) {
            const std::int64_t at = NowNs();
            readings.emplace_back(at, engine.PositionSeconds());
            std::this_thread::sleep_for(1ms);
        }
    }
    double sum = 0.0;
    double worst = 0.0;
    std::vector<double> errors;
    for (const auto& [at, seconds] : readings) {
        const auto next =
            std::upper_bound(delivered.buffers.begin(), delivered.buffers.end(), at,
                             [](std::int64_t t, const Delivered::Buffer& b) { return t < b.atNs; });
        if (next == delivered.buffers.begin() || std::prev(next)->firstFrame < 0) {
            continue; // before the song is heard
        }
        const Delivered::Buffer& last = *std::prev(next);
        const double since = std::min(static_cast<double>(at - last.atNs) * 1e-9,
                                      static_cast<double>(last.frames) / kSampleRate);
        const double truth = static_cast<double>(last.firstFrame) / kSampleRate + since;
        const double error = std::abs(seconds - truth) * 1000.0;
        errors.push_back(error);
        sum += error;
        worst = std::max(worst, error);
    }
    std::sort(errors.begin(), errors.end());
    std::printf("  %zu readings: mean %.3f ms, 99th percentile %.3f ms, max %.3f ms\n",
                errors.size(), sum / static_cast<double>(errors.size()),
                errors[errors.size() * 99 / 100], worst);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-song") {
        const std::vector<std::int16_t> samples =
            testsignals::SynthesizeMusic(128.0, kSongSeconds, kSampleRate, 2);
        testsignals::WavLayout layout;
        testsignals::WriteFile(argv[2],
                               testsignals::MakeWav(layout, testsignals::SampleBytes(samples)));
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: player_bench --write-song OUT.wav | player_bench MP3 OGG\n");
        return 2;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (std::string(argv[1]) == "--play") {
        ReportPlaying(argv[2], std::strtod(argv[3], nullptr));
        return 0;
    }
    if (std::string(argv[1]) == "--position") {
        ReportPositionError();
        return 0;
    }
    const std::string mp3 = argv[1];
    const std::string ogg = argv[2];
    {
        player::PlaybackEngine engine;
        std::printf("== open (fastest of %d; reference: mpg123 -t, oggdec -o /dev/null)\n",
                    kRepeats);
        ReportOpen(engine, mp3, {"mpg123", "-q", "-t", mp3});
        ReportOpen(engine, ogg, {"oggdec", "-Q", "-o", "/dev/null", ogg});
    }
    std::printf("== playing the MP3\n");
    RunChild(argv[0], {"--play", mp3, "1.0"});
    RunChild(argv[0], {"--play", mp3, "0.5"});
    std::printf("== position against the delivered samples, 10 s at rate 1.0\n");
    RunChild(argv[0], {"--position", "-"});
    return 0;
}
