#include "audio/EstimateFiles.h"

#include "audio/EstimateBpm.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace audio {

namespace {

// What the workers share with the printing thread.
class Board {
public:
    explicit Board(std::size_t files) : m_percents(files), m_results(files) {}

    void SetPercent(std::size_t file, int percent) {
        {
            std::lock_guard lock(m_mutex);
            m_percents[file] = percent;
        }
        m_changed.notify_one();
    }

    void SetResult(std::size_t file, Result<float> result) {
        {
            std::lock_guard lock(m_mutex);
            m_percents[file] = 100;
            m_results[file].emplace(std::move(result));
        }
        m_changed.notify_one();
    }

    // Prints results in file order as they become ready; returns true when
    // all succeeded.
    bool PrintAll(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                  bool showProgress) {
        bool allOk = true;
        int shownPercent = -1;
        std::size_t next = 0;
        std::unique_lock lock(m_mutex);
        while (next < paths.size()) {
            m_changed.wait(lock, [&] { return m_results[next] || Overall() != shownPercent; });
            if (showProgress && m_results[next]) {
                std::fputs("\r\033[K", err); // the result line replaces the indicator
            }
            for (; next < paths.size() && m_results[next]; ++next) {
                const Result<float>& result = *m_results[next];
                if (result) {
                    std::fprintf(out, "%.2f\t%s\n", static_cast<double>(result.value()),
                                 paths[next].c_str());
                    std::fflush(out);
                } else {
                    std::fprintf(err, "%s\n", result.error().message.c_str());
                    allOk = false;
                }
            }
            shownPercent = Overall();
            if (showProgress && next < paths.size()) {
                std::fprintf(err, "\rEstimating tempo... %d%%", shownPercent);
            }
            std::fflush(err);
        }
        return allOk;
    }

private:
    int Overall() const {
        long sum = 0;
        for (const int percent : m_percents) {
            sum += percent;
        }
        return static_cast<int>(sum / static_cast<long>(m_percents.size()));
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_percents;
    std::vector<std::optional<Result<float>>> m_results;
};

} // namespace

bool EstimateFiles(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                   const EstimateFilesOptions& options) {
    if (paths.empty()) {
        return true;
    }
    Board board(paths.size());
    const DecodeOverlap overlap =
        paths.size() == 1 ? DecodeOverlap::kOverlapped : DecodeOverlap::kSequential;
    std::atomic<std::size_t> nextFile{0};
    auto work = [&] {
        for (std::size_t file = nextFile++; file < paths.size(); file = nextFile++) {
            auto onProgress = [&board, file](int percent) { board.SetPercent(file, percent); };
            board.SetResult(file, EstimateBpm(paths[file], onProgress, overlap));
        }
    };
    const std::size_t workers = std::clamp<std::size_t>(options.workers, 1, paths.size());
    std::vector<std::jthread> threads;
    threads.reserve(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        threads.emplace_back(work);
    }
    return board.PrintAll(paths, out, err, options.showProgress);
}

} // namespace audio
