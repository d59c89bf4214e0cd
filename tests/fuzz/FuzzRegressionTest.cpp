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

using Harness = std::pair<const char*, void (*)(const std::uint8_t*, std::size_t)>;

class FuzzRegression : public ::testing::TestWithParam<Harness> {};

// A harness that never found anything has no folder; the empty input must
// still be handled. The audio tests' songs, as the encoders wrote them, go
// through every harness too: its promises must hold on real files.
TEST_P(FuzzRegression, EverySavedInputRunsClean) {
    const auto& [folder, harness] = GetParam();
    std::error_code none;
    for (const std::string& saved : {BEATWRIGHT_FUZZ_REGRESSIONS "/" + std::string(folder),
                                     std::string(BEATWRIGHT_AUDIO_FIXTURES)}) {
        for (const auto& entry : std::filesystem::directory_iterator(saved, none)) {
            SCOPED_TRACE(entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            harness(bytes.data(), bytes.size());
        }
    }
    harness(nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Harnesses, FuzzRegression,
    ::testing::Values(Harness{"wav", fuzz::FuzzWav}, Harness{"mpeg", fuzz::FuzzMpeg},
                      Harness{"ogg", fuzz::FuzzOgg}, Harness{"decode", fuzz::FuzzDecode},
                      Harness{"flacopus", fuzz::FuzzFlacOpus}, Harness{"dwi", fuzz::FuzzDwi},
                      Harness{"song", fuzz::FuzzSong}, Harness{"simfile", fuzz::FuzzSimfile}),
    [](const auto& test) { return std::string(test.param.first); });

} // namespace
