// Replays every input the fuzzers once crashed on (tests/fuzz/regressions/
// HARNESS/) through the same harness code, in the normal and the sanitizer
// builds. The harnesses check the readers' promises themselves and abort
// when one is broken; reaching the end of each input is the pass.
#include "FuzzTargets.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Harness = void (*)(const std::uint8_t*, std::size_t);

struct Case {
    const char* folder;
    Harness harness;
};

class FuzzRegression : public ::testing::TestWithParam<Case> {};

TEST_P(FuzzRegression, EverySavedInputRunsClean) {
    const fs::path folder = fs::path(BEATWRIGHT_FUZZ_REGRESSIONS) / GetParam().folder;
    int replayed = 0;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                                  std::istreambuf_iterator<char>()};
            SCOPED_TRACE(entry.path().string());
            GetParam().harness(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    // The folder may be empty for a harness that never found anything;
    // the empty input must still be handled.
    GetParam().harness(nullptr, 0);
    RecordProperty("replayed", replayed);
}

INSTANTIATE_TEST_SUITE_P(Harnesses, FuzzRegression,
                         ::testing::Values(Case{"wav", fuzz::FuzzWav}, Case{"mpeg", fuzz::FuzzMpeg},
                                           Case{"ogg", fuzz::FuzzOgg},
                                           Case{"decode", fuzz::FuzzDecode},
                                           Case{"dwi", fuzz::FuzzDwi},
                                           Case{"song", fuzz::FuzzSong}),
                         [](const auto& test) { return std::string(test.param.folder); });

} // namespace
