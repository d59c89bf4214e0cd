// Song-document figures: reading and writing a large real-size pack file
// (10 charts of 2000 measures with 16ths, 24ths, jumps and holds) and
// reading a hostile 64 MiB file, each in its own child process so that its
// peak resident memory (wait4's ru_maxrss) is its own. The reference beside
// each is the bare cost of the same bytes: a copy of the file image and a
// scan over it for '#', which any reader must at least do.
//
//   dwi_bench            make the files in /tmp, measure and print
#include "dwi/DwiSong.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 3; // the fastest of three counts

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string PackFile() {
    std::mt19937 random(1);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    static const char* const kDifficulties[] = {"BEGINNER", "BASIC", "ANOTHER", "MANIAC",
                                                "SMANIAC"};
    std::string file = "#TITLE:Benchmark Song;\r\n#ARTIST:Nobody;\r\n#BPM:174.000;\r\n#GAP:120;"
                       "\r\n#CHANGEBPM:512=87,1024=174;\r\n#FREEZE:768=500;\r\n";
    for (int chart = 0; chart < 10; ++chart) {
        const bool doubles = chart >= 5;
        file += std::string(doubles ? "#DOUBLE:" : "#SINGLE:") + kDifficulties[chart % 5] + ":" +
                std::to_string(3 + chart) + ":\r\n";
        for (int pad = 0; pad < (doubles ? 2 : 1); ++pad) {
            for (int measure = 0; measure < 2000; ++measure) {
                switch (pick(4)) {
                case 0:
                    file += "(2846)(0808)0B02A0\r\n";
                    break;
                case 1:
                    file += "[808000808000]08020406\r\n";
                    break;
                case 2:
                    file += "8!8000800<248>04060\r\n";
                    break;
                default:
                    file += "2468A0B0\r\n";
                    break;
                }
            }
            file += pad == 0 && doubles ? ":\r\n" : ";\r\n";
        }
    }
    return file;
}

std::string HostileFile() {
    std::string file;
    file.reserve(64u << 20);
    while (file.size() + 64 < (64u << 20)) {
        file += "\n#";
        if (file.size() % 4096 == 0) {
            file += "SINGLE:X:1:(((((<<<<8!8!8!";
        }
    }
    return file;
}

struct Result {
    double seconds = 0.0;
    long peakKiB = 0;
};

// Runs the job kRepeats times in a child and reports the fastest time and
// the child's peak memory.
template <typename Job> Result InChild(Job job) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        double best = 1e9;
        for (int i = 0; i < kRepeats; ++i) {
            const auto start = Clock::now();
            job();
            best = std::min(best, SecondsSince(start));
        }
        const ssize_t written = write(pipeFds[1], &best, sizeof best);
        _exit(written == sizeof best ? 0 : 1);
    }
    close(pipeFds[1]);
    Result result;
    if (read(pipeFds[0], &result.seconds, sizeof result.seconds) != sizeof result.seconds) {
        result.seconds = -1.0;
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.peakKiB = usage.ru_maxrss;
    return result;
}

volatile std::size_t g_sink;

void Report(const char* name, const std::string& file) {
    const Result read = InChild([&file] {
        const chart::Song song = dwi::ReadSong(file);
        g_sink = song.charts.size();
    });
    const Result readWrite = InChild([&file] {
        chart::Song song = dwi::ReadSong(file);
        if (!song.charts.empty()) {
            song.charts.front().notes.Set({0, 0, 0}); // one edit: that chart is written anew
        }
        g_sink = dwi::WriteSong(song).size();
    });
    const Result reference = InChild([&file] {
        const std::string copy = file;
        g_sink = static_cast<std::size_t>(std::count(copy.begin(), copy.end(), '#'));
    });
    std::printf("%-28s %8.1f MiB  read %7.3f s (%6.1f MiB peak)  read+edit+write %7.3f s "
                "(%6.1f MiB)  reference copy+scan %6.3f s (%6.1f MiB)  read/reference %5.1fx\n",
                name, static_cast<double>(file.size()) / 1048576.0, read.seconds,
                static_cast<double>(read.peakKiB) / 1024.0, readWrite.seconds,
                static_cast<double>(readWrite.peakKiB) / 1024.0, reference.seconds,
                static_cast<double>(reference.peakKiB) / 1024.0,
                read.seconds / std::max(reference.seconds, 1e-9));
}

} // namespace

int main() {
    const std::string pack = PackFile();
    const chart::Song song = dwi::ReadSong(pack);
    std::size_t notes = 0;
    for (const auto& chart : song.charts) {
        notes += chart.notes.Size();
    }
    std::printf("pack file: %zu charts, %zu notes; the peak memory includes the file image the "
                "parent made\n",
                song.charts.size(), notes);
    Report("pack (10 x 2000 measures)", pack);
    Report("hostile (64 MiB of \\n#)", HostileFile());
    return 0;
}
