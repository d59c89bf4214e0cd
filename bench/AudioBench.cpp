// Tempo estimation figures for one song in several formats: open-to-estimate
// time (overlapped and sequential, the latter split into decoding and
// detection), peak memory, and reference figures: the decoder library's own
// full-file decode plus the detector alone on the same samples, and
// Debian's soundstretch doing the same job on the WAV.
//
//   audio_bench --write-song OUT.wav [BPM]     synthesize the 3-minute song
//   audio_bench SOUNDSTRETCH WAV [MORE FILES]  measure and print
//
// Each measurement runs in its own child process so that its peak resident
// memory (wait4's ru_maxrss) is its own.
#include "TestSignals.h"
#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/TempoDetector.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mpg123.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSongSeconds = 180.0;
constexpr int kRepeats = 3; // the fastest of three runs counts

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
    double overlappedSeconds = 1e9;
    double sequentialSeconds = 1e9;
    double decodeSeconds = 1e9;
    double detectSeconds = 1e9;
    double referenceDecodeSeconds = 1e9;
    double referenceDetectSeconds = 1e9;
    float bpm = 0.0f;
    bool ok = false;
};

// Our run, sequential, with the time in the decoder and in the detector
// (conversion to float included) measured apart.
void MeasureSequential(const std::string& path, Figures& figures) {
    const auto start = Clock::now();
    audio::CAudioSource source;
    if (!source.Open(path)) {
        return;
    }
    auto detector = audio::TempoDetector::Create(source.Channels(), source.SampleRate());
    const auto frameBytes =
        static_cast<std::size_t>(source.BitsPerSample() / 8 * source.Channels());
    double decode = 0.0;
    double detect = 0.0;
    for (;;) {
        const auto beforeDecode = Clock::now();
        const int got = source.DecodeNextChunk();
        decode += SecondsSince(beforeDecode);
        if (got <= 0) {
            break;
        }
        const auto beforeDetect = Clock::now();
        detector->InputS16(source.GetChunkBuffer(), static_cast<std::size_t>(got) / frameBytes);
        detect += SecondsSince(beforeDetect);
    }
    const auto beforeResult = Clock::now();
    detector->GetBpm();
    detect += SecondsSince(beforeResult);
    figures.sequentialSeconds = std::min(figures.sequentialSeconds, SecondsSince(start));
    figures.decodeSeconds = std::min(figures.decodeSeconds, decode);
    figures.detectSeconds = std::min(figures.detectSeconds, detect);
}

// libmpg123 decoding the file itself into one buffer.
std::vector<std::int16_t> Mpg123Decode(const std::string& path, int& rate, int& channels) {
    std::vector<std::int16_t> samples;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param2(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
        long longRate = 0;
        int encoding = 0;
        mpg123_getformat(handle, &longRate, &channels, &encoding);
        rate = static_cast<int>(longRate);
        samples.resize(static_cast<std::size_t>(kSongSeconds + 10) * 48000 * 2);
        std::size_t filled = 0;
        for (;;) {
            std::size_t got = 0;
            const int status =
                mpg123_read(handle, samples.data() + filled, (samples.size() - filled) * 2, &got);
            filled += got / 2;
            if (status != MPG123_OK || filled == samples.size()) {
                break;
            }
        }
        samples.resize(filled);
    }
    mpg123_delete(handle);
    return samples;
}

void MeasureReference(const std::string& path, Figures& figures) {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    const auto start = Clock::now();
    if (audio::SongTypeFromPath(path) == audio::SongType::kMp3) {
        samples = Mpg123Decode(path, rate, channels);
    } else {
        auto song = audio::DecodeWholeFile(path);
        if (!song) {
            return;
        }
        samples = std::move(song.value().samples);
        rate = song.value().sampleRate;
        channels = song.value().channels;
    }
    figures.referenceDecodeSeconds = std::min(figures.referenceDecodeSeconds, SecondsSince(start));

    const auto detectStart = Clock::now();
    auto detector = audio::TempoDetector::Create(channels, rate);
    const auto stride = static_cast<std::size_t>(channels);
    const std::size_t frames = samples.size() / stride;
    constexpr std::size_t kPiece = 4096;
    for (std::size_t at = 0; at < frames; at += kPiece) {
        const std::size_t piece = std::min(kPiece, frames - at);
        detector->InputS16(reinterpret_cast<const std::uint8_t*>(samples.data() + at * stride),
                           piece);
    }
    detector->GetBpm();
    figures.referenceDetectSeconds =
        std::min(figures.referenceDetectSeconds, SecondsSince(detectStart));
}

// Runs `work` in a child; returns what it wrote and the child's peak memory.
template <typename Work> Figures InChild(Work work, long& peakKiB) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const Figures figures = work();
        const ssize_t written = write(fds[1], &figures, sizeof figures);
        _exit(written == static_cast<ssize_t>(sizeof figures) ? 0 : 1);
    }
    close(fds[1]);
    Figures figures;
    if (read(fds[0], &figures, sizeof figures) != static_cast<ssize_t>(sizeof figures)) {
        figures.ok = false;
    }
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    peakKiB = usage.ru_maxrss;
    return figures;
}

struct ToolRun {
    double seconds = 0.0;
    long peakKiB = 0;
    std::string output;
};

ToolRun RunSoundstretch(const std::string& tool, const std::string& wav) {
    const std::string out = wav + ".soundstretch.wav";
    const std::string log = wav + ".soundstretch.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args = {tool, wav, out, "-bpm"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    ToolRun run;
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", tool.c_str());
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.seconds = SecondsSince(start);
    run.peakKiB = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    if (std::FILE* file = std::fopen(log.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file)) {
            if (std::strstr(line, "BPM") != nullptr) {
                run.output += line;
            }
        }
        std::fclose(file);
    }
    std::remove(out.c_str());
    std::remove(log.c_str());
    return run;
}

int WriteSong(const char* path, double bpm) {
    testsignals::WavLayout layout;
    const auto song = testsignals::SynthesizeMusic(bpm, kSongSeconds, 44100, 2);
    testsignals::WriteFile(path, testsignals::MakeWav(layout, testsignals::SampleBytes(song)));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--write-song") == 0) {
        return WriteSong(argv[2], argc > 3 ? std::atof(argv[3]) : 128.0);
    }
    if (argc < 3) {
        std::fputs("usage: audio_bench --write-song OUT.wav [BPM]\n"
                   "       audio_bench SOUNDSTRETCH WAV [MORE FILES]\n",
                   stderr);
        return 2;
    }
    const std::string soundstretch = argv[1];
    const std::string wav = argv[2];

    ToolRun tool;
    tool.seconds = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        ToolRun run = RunSoundstretch(soundstretch, wav);
        if (run.seconds < tool.seconds) {
            tool = run;
        }
    }

    std::printf("%-5s %9s %9s %9s %11s %10s %9s %10s %11s %12s\n", "file", "decode_s", "detect_s",
                "seq_s", "overlap_s", "peak_MiB", "bpm", "ref_dec_s", "ref_detect_s",
                "overlap/ref");
    double wavOverlapped = 0.0;
    for (int i = 2; i < argc; ++i) {
        const std::string path = argv[i];
        long peakKiB = 0;
        const Figures timed = InChild(
            [&] {
                Figures figures;
                for (int r = 0; r < kRepeats; ++r) {
                    const auto start = Clock::now();
                    const auto bpm = audio::EstimateBpm(path);
                    figures.overlappedSeconds =
                        std::min(figures.overlappedSeconds, SecondsSince(start));
                    figures.ok = bpm.ok();
                    figures.bpm = bpm ? bpm.value() : 0.0f;
                }
                return figures;
            },
            peakKiB);
        long ignored = 0;
        const Figures split = InChild(
            [&] {
                Figures figures;
                for (int r = 0; r < kRepeats; ++r) {
                    MeasureSequential(path, figures);
                    MeasureReference(path, figures);
                }
                figures.ok = true;
                return figures;
            },
            ignored);
        if (!timed.ok) {
            std::printf("%s: estimation failed\n", path.c_str());
            continue;
        }
        const double reference = split.referenceDecodeSeconds + split.referenceDetectSeconds;
        const char* name = std::strrchr(path.c_str(), '.') + 1;
        std::printf("%-5s %9.3f %9.3f %9.3f %11.3f %10.1f %9.2f %10.3f %11.3f %12.2f\n", name,
                    split.decodeSeconds, split.detectSeconds, split.sequentialSeconds,
                    timed.overlappedSeconds, static_cast<double>(peakKiB) / 1024.0,
                    static_cast<double>(timed.bpm), split.referenceDecodeSeconds,
                    split.referenceDetectSeconds, timed.overlappedSeconds / reference);
        if (i == 2) {
            wavOverlapped = timed.overlappedSeconds;
        }
    }
    std::printf("\nsoundstretch %s -bpm: %.3f s, peak %.1f MiB; %s", wav.c_str(), tool.seconds,
                static_cast<double>(tool.peakKiB) / 1024.0,
                tool.output.empty() ? "(no BPM line)\n" : tool.output.c_str());
    std::printf("our WAV run / soundstretch: %.2f\n", wavOverlapped / tool.seconds);
    return 0;
}
