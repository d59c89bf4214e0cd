// .ssc figures beside the .dwi reader's: a synthesized 1 MiB .ssc (many
// charts of dense measures: 16ths, 24ths, 192nds, holds, rolls, mines,
// keysounds) read, and read, edited and written; then the .dwi pack file of
// dwi_bench's size class read for reference. The fastest of five runs.
//
//   simfile_bench
#include "dwi/DwiSong.h"
#include "simfile/SmSong.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

template <typename Job> double FastestMs(Job job) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        job();
        best =
            std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

std::string SscFile(std::size_t bytes) {
    std::mt19937 random(1);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    std::string file = "#VERSION:0.83;\n#TITLE:Benchmark;\n#ARTIST:Nobody;\n#OFFSET:-0.12;\n"
                       "#BPMS:0=174,128=87,256=174;\n#STOPS:192=0.5;\n#DELAYS:;\n#WARPS:;\n";
    static const char* const kRows[] = {"1000", "0100", "0010", "0001", "1001", "0000",
                                        "2000", "3000", "0M00", "0040", "0030", "1[3]000"};
    static const int kResolutions[] = {4, 8, 16, 24, 192};
    for (int chart = 0; file.size() < bytes; ++chart) {
        file += "#NOTEDATA:;\n#STEPSTYPE:dance-single;\n#DIFFICULTY:Hard;\n#METER:" +
                std::to_string(chart % 20) + ";\n#NOTES:\n";
        for (int measure = 0; measure < 400 && file.size() < bytes; ++measure) {
            if (measure > 0) {
                file += ",\n";
            }
            const int rows = kResolutions[pick(5)];
            for (int row = 0; row < rows; ++row) {
                file += kRows[pick(12)];
                file += '\n';
            }
        }
        file += ";\n";
    }
    return file;
}

std::string DwiFile(std::size_t bytes) {
    std::string file = "#TITLE:Benchmark;\r\n#BPM:174.000;\r\n#GAP:120;\r\n";
    while (file.size() < bytes) {
        file += "#SINGLE:MANIAC:9:\r\n";
        for (int measure = 0; measure < 400; ++measure) {
            file += "(2846)(0808)0B02A0[808000808000]08020406\r\n";
        }
        file += ";\r\n";
    }
    return file;
}

volatile std::size_t g_sink;

} // namespace

int main() {
    const std::string ssc = SscFile(1u << 20);
    const chart::Song song = sm::ReadSong(ssc, chart::SongFormat::Ssc);
    std::size_t notes = 0;
    for (const auto& chart : song.charts) {
        notes += chart.notes.Size();
    }
    const double read =
        FastestMs([&] { g_sink = sm::ReadSong(ssc, chart::SongFormat::Ssc).charts.size(); });
    const double unchanged = FastestMs([&] { g_sink = sm::WriteSong(song).size(); });
    chart::Song edited = song;
    for (auto& chart : edited.charts) {
        chart.notes.Set({0, 0, 0}); // every chart written anew
    }
    const double rewritten = FastestMs([&] { g_sink = sm::WriteSong(edited).size(); });
    const std::string dwi = DwiFile(1u << 20);
    const double dwiRead = FastestMs([&] { g_sink = dwi::ReadSong(dwi).charts.size(); });
    std::printf(".ssc %.2f MiB, %zu charts, %zu notes\n",
                static_cast<double>(ssc.size()) / 1048576.0, song.charts.size(), notes);
    std::printf("  read %.1f ms, write unchanged %.1f ms, write with every chart changed %.1f ms\n",
                read, unchanged, rewritten);
    std::printf(".dwi %.2f MiB read %.1f ms (reference)\n",
                static_cast<double>(dwi.size()) / 1048576.0, dwiRead);
    return 0;
}
