// How long the window thread stops while huge or hostile files load: the
// longest gap between ticks of a 1 ms timer on the window thread (the time
// the window could neither paint nor take input), for
// - "Import DWI File" of a hostile 64 MiB .dwi ("\n#" repeated after a
//   chart),
// - "Save As" of that imported document after an edit,
// - "Open Chart..." of the same file (with a short song beside it),
// - opening a long song ("Open Music File": estimate and decode),
// - the crash-recovery copy of the unsaved hostile document,
// each through the real window with the real player, beside the reference:
// the same heavy calls made straight on the window thread, as the window
// made them before (reading and scanning the file, looking up its #FILE;
// writing, saving and reading back the document; PlaybackEngine::Open;
// writing the recovery copy).
//
//   load_stall_bench --write-song OUT.wav [SECONDS]   synthesize a long song
//   load_stall_bench DIR [SONG...]    measure, writing scratch files to DIR;
//                                     without SONG a 10-minute WAV is made
//
// Audio goes to SDL's dummy driver and the window to the offscreen platform
// unless the environment says otherwise.
#include "TestSignals.h"
#include "app/AudioTempoEstimator.h"
#include "app/ChartEditorDlg.h"
#include "app/CommandIds.h"
#include "app/CrashRecovery.h"
#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiSong.h"
#include "player/PlaybackEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 3;

// Answers every question with Yes and opens the files queued for it.
class BenchDialogs : public app::UserDialogs {
public:
    std::deque<std::string> openPaths;
    std::vector<std::string> messages;

    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view, std::string_view) override { return true; }
    std::optional<std::string> GetOpenFileName(std::string_view) override {
        if (openPaths.empty()) {
            return std::nullopt;
        }
        std::string path = openPaths.front();
        openPaths.pop_front();
        return path;
    }
    std::string savePath;
    std::optional<std::string> GetSaveFileName(std::string_view, std::string_view) override {
        return savePath;
    }
    void ShowAbout() override {}
    std::optional<double> AskNumber(std::string_view, std::string_view, double, double, double,
                                    int) override {
        return std::nullopt;
    }
    SaveChoice AskSaveDiscardCancel(std::string_view, std::string_view) override {
        return SaveChoice::kDiscard;
    }
};

class SteadyTicks : public app::TickClock {
public:
    std::uint32_t NowMs() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

struct Stall {
    double longestMs = 0.0;
    double seconds = 0.0; // the whole operation
};

// Runs `operation` from the window thread's event loop while a 1 ms timer
// ticks there. A tick can only come when the thread gets back to its event
// loop, so the longest gap between two ticks is the longest stall.
Stall Measure(const std::function<void()>& operation) {
    QElapsedTimer clock;
    qint64 lastNs = 0;
    qint64 longestNs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestNs = std::max(longestNs, now - lastNs);
        lastNs = now;
    });
    QEventLoop loop;
    Stall stall;
    // Some ticks before and after, so that both ends of the operation are
    // inside the measured gaps.
    constexpr int kMarginMs = 30;
    QTimer::singleShot(kMarginMs, [&] {
        QElapsedTimer run;
        run.start();
        operation();
        stall.seconds = static_cast<double>(run.nsecsElapsed()) * 1e-9;
        QTimer::singleShot(kMarginMs, &loop, &QEventLoop::quit);
    });
    clock.start();
    tick.start();
    loop.exec();
    stall.longestMs = static_cast<double>(longestNs) * 1e-6;
    return stall;
}

void WriteSong(const std::string& path, double seconds) {
    testsignals::WriteWav(path, {.channels = 2, .sampleRate = 44100},
                          testsignals::SynthesizeMusic(128.0, seconds, 44100, 2));
}

void WriteHostileDwi(const std::string& path) {
    std::string image = "#TITLE:Hostile;\r\n#BPM:140;\r\n#SINGLE:BASIC:3:08080808;\r\n";
    const std::string unit = "\n#";
    image.reserve(dwi::kMaxDwiFileBytes);
    while (image.size() + unit.size() <= dwi::kMaxDwiFileBytes) {
        image += unit;
    }
    std::ofstream(path, std::ios::binary) << image;
}

struct Row {
    std::string name;
    std::function<void()> ours;
    std::function<void()> reference;
};

void PrintRow(const Row& row) {
    std::vector<Stall> ours;
    std::vector<Stall> reference;
    for (int run = 0; run < kRuns; ++run) {
        ours.push_back(Measure(row.ours));
        reference.push_back(Measure(row.reference));
    }
    const auto longest = [](const std::vector<Stall>& stalls) {
        return std::max_element(
                   stalls.begin(), stalls.end(),
                   [](const Stall& a, const Stall& b) { return a.longestMs < b.longestMs; })
            ->longestMs;
    };
    const auto shortest = [](const std::vector<Stall>& stalls) {
        return std::min_element(
                   stalls.begin(), stalls.end(),
                   [](const Stall& a, const Stall& b) { return a.longestMs < b.longestMs; })
            ->longestMs;
    };
    const auto fastest = [](const std::vector<Stall>& stalls) {
        return std::min_element(
                   stalls.begin(), stalls.end(),
                   [](const Stall& a, const Stall& b) { return a.seconds < b.seconds; })
            ->seconds;
    };
    std::printf("%-34s %7.1f-%-7.1f %7.2f %10.1f-%-8.1f %7.2f\n", row.name.c_str(), shortest(ours),
                longest(ours), fastest(ours), shortest(reference), longest(reference),
                fastest(reference));
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--write-song") {
        WriteSong(argv[2], argc >= 4 ? std::atof(argv[3]) : 600.0);
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_stall_bench DIR [SONG...]\n");
        return 2;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    const fs::path dir = argv[1];
    fs::create_directories(dir / "chart");
    const std::string shortSong = (dir / "chart" / "short.wav").string();
    const std::string hostile = (dir / "chart" / "hostile.dwi").string();
    WriteSong(shortSong, 10.0);
    WriteHostileDwi(hostile);
    std::vector<std::string> songs(argv + 2, argv + argc);
    if (songs.empty()) {
        songs.push_back((dir / "long.wav").string());
        WriteSong(songs.back(), 600.0);
    }

    player::PlaybackEngine engine;
    BenchDialogs dialogs;
    SteadyTicks ticks;
    app::AudioTempoEstimator estimator;
    app::CChartEditorDlg window(app::CChartEditorDlg::Services{
        engine, engine, dialogs, ticks, estimator, {}, {}, nullptr, {}});
    window.show();
    if (!window.OpenMusicFile(shortSong)) {
        std::fprintf(stderr, "cannot open %s\n", shortSong.c_str());
        return 1;
    }

    std::vector<Row> rows;
    rows.push_back({"import hostile 64 MiB .dwi",
                    [&] {
                        dialogs.openPaths.push_back(hostile);
                        window.OnCommand(app::kCmdImportDwiFile);
                    },
                    [&] {
                        const dwi::DwiFileBytes file = dwi::ReadDwiFile(hostile);
                        (void)dwi::ScanDwi(
                            file.bytes, [](std::string_view, std::string_view) { return true; },
                            [](std::string_view) {});
                        (void)dwi::ReadSong(file.bytes);
                    }});
    const std::string saved = (dir / "chart" / "saved.dwi").string();
    const chart::Song hostileSong = dwi::ReadSong(dwi::ReadDwiFile(hostile).bytes);
    rows.push_back({"save the imported hostile .dwi",
                    [&] {
                        // An edit, so that the document is written anew.
                        window.SetSteps(window.Steps() + "8");
                        dialogs.savePath = saved;
                        window.OnCommand(app::kCmdSaveAs);
                    },
                    [&] {
                        const chart::Song copy = hostileSong;
                        const std::string bytes = dwi::WriteSong(copy);
                        (void)dwi::WriteFileAtomically(saved, bytes);
                        (void)dwi::ReadSong(bytes);
                    }});
    rows.push_back({"open chart hostile 64 MiB .dwi", [&] { window.OpenChartFile(hostile); },
                    [&] { (void)dwi::KeptRecordValue(dwi::ReadSongFile(hostile).song, "FILE"); }});
    for (const std::string& song : songs) {
        rows.push_back({"open song " + fs::path(song).filename().string() + " (" +
                            std::to_string(fs::file_size(song) >> 20) + " MiB)",
                        [&window, song] { window.OpenMusicFile(song); },
                        [&engine, song] { (void)engine.Open(song); }});
    }

    std::printf("Longest stall of the window thread in ms (shortest-longest of %d runs) and "
                "the fastest whole operation in s\n",
                kRuns);
    std::printf("%-34s %15s %7s %19s %7s\n", "operation", "ours ms", "ours s", "reference ms",
                "ref s");
    for (const Row& row : rows) {
        PrintRow(row);
    }
    // The crash-recovery copy of the unsaved hostile document after an edit:
    // the snapshot on the window thread and the write on a worker, beside
    // writing the document text and the copy on the window thread.
    dialogs.openPaths.push_back(hostile);
    window.OnCommand(app::kCmdImportDwiFile);
    const fs::path recoveryDir = dir / "recovery";
    app::CrashRecovery recovery(window, edit::RecoveryStore(recoveryDir.string(), 1));
    edit::RecoveryStore reference(recoveryDir.string(), 2);
    PrintRow({"recovery copy of the hostile .dwi",
              [&] {
                  window.SetSteps(window.Steps() + "8");
                  recovery.Check();
                  while (recovery.Writing()) {
                      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                  }
                  recovery.Wait();
              },
              [&] {
                  window.SetSteps(window.Steps() + "8");
                  (void)reference.Write(window.DocumentInfo(), window.DocumentText());
              }});
    // The recovery's snapshot alone: built the first time, then assigned
    // over the buffers of the one before.
    chart::Song snapshot;
    const double firstMs = Measure([&] { snapshot = window.Editor().Song(); }).longestMs;
    const double againMs = Measure([&] { snapshot = window.Editor().Song(); }).longestMs;
    std::printf("%-34s %7.1f ms first, %.1f ms again (window thread)\n",
                "snapshot of the hostile song", firstMs, againMs);
    recovery.Finish();
    reference.Remove();
    for (const std::string& message : dialogs.messages) {
        std::printf("message: %s\n", message.c_str());
    }
    return 0;
}
