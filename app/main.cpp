#include "app/DwiTools.h"
#include "app/EditorMain.h"
#include "app/FormatTools.h"
#include "audio/EstimateFiles.h"
#include "audio/FindTempo.h"
#include "simfile/SongFiles.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: beatwright [SONG | CHART.dwi | CHART.sm | CHART.ssc]\n"
        "       beatwright --estimate-bpm FILE...\n"
        "       beatwright --find-tempo FILE...\n"
        "       beatwright --find-timing FILE...\n"
        "       beatwright --dwi-info FILE.dwi...\n"
        "       beatwright --dwi-copy IN.dwi OUT.dwi\n"
        "       beatwright --info FILE...\n"
        "       beatwright --convert IN OUT\n"
        "Beatwright, a step chart editor for dance-mat games (.dwi, .sm and .ssc files).\n"
        "\n"
        "  --estimate-bpm FILE...  print the estimated tempo of each MP3, WAV, Ogg\n"
        "                          Vorbis, FLAC or Opus file as \"BPM<TAB>PATH\",\n"
        "                          no window\n"
        "  --find-tempo FILE...    print each file's tempo candidates, best first, one\n"
        "                          per line: \"BPM<TAB>GAP_SECONDS<TAB>CONFIDENCE<TAB>PATH\"\n"
        "  --find-timing FILE...   print each file's timing (a map of BPM changes and\n"
        "                          stops when its tempo moves), one JSON object a line\n"
        "  --dwi-info FILE.dwi...  print what each .dwi file holds, one JSON object\n"
        "                          a line\n"
        "  --dwi-copy IN OUT       read IN and save it to OUT as Save would\n"
        "  --info FILE...          --dwi-info for .dwi, .sm and .ssc files alike\n"
        "  --convert IN OUT        convert between .dwi, .sm and .ssc by the names'\n"
        "                          extensions; what OUT's format cannot hold is named\n"
        "                          on stderr\n",
        out);
}

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--estimate-bpm") == 0) {
        if (argc < 3) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        const std::vector<std::string> paths(argv + 2, argv + argc);
        audio::EstimateFilesOptions options;
        options.workers = std::thread::hardware_concurrency();
        options.showProgress = isatty(STDERR_FILENO) != 0;
        return audio::EstimateFiles(paths, stdout, stderr, options) ? 0 : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--find-tempo") == 0) {
        if (argc < 3) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        const std::vector<std::string> paths(argv + 2, argv + argc);
        return audio::FindTempoFiles(paths, stdout, stderr, std::thread::hardware_concurrency())
                   ? 0
                   : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--find-timing") == 0) {
        if (argc < 3) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        const std::vector<std::string> paths(argv + 2, argv + argc);
        return app::PrintTimingMaps(paths, stdout, stderr, std::thread::hardware_concurrency())
                   ? 0
                   : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--dwi-info") == 0) {
        if (argc < 3) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        const std::vector<std::string> paths(argv + 2, argv + argc);
        return app::PrintDwiInfo(paths, stdout, stderr) ? 0 : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--info") == 0) {
        if (argc < 3) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        const std::vector<std::string> paths(argv + 2, argv + argc);
        return app::PrintInfo(paths, stdout, stderr, sm::ReadAnySongFile) ? 0 : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--convert") == 0) {
        if (argc != 4) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        return app::ConvertSongFile(argv[2], argv[3], stderr) ? 0 : kExitFailure;
    }
    if (argc > 1 && std::strcmp(argv[1], "--dwi-copy") == 0) {
        if (argc != 4) {
            PrintUsage(stderr);
            return kExitUsage;
        }
        return app::CopyDwi(argv[2], argv[3], stderr) ? 0 : kExitFailure;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    return app::RunEditor(argc, argv,
                          argc == 2 ? std::optional<std::string>(argv[1]) : std::nullopt);
}
