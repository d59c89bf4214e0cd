#pragma once

#include "TestSignals.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// Build-tree locations passed by compile definition, so the tests run from
// any working directory.
namespace testpaths {

inline std::string Fixture(const std::string& name) {
    return std::string(BEATWRIGHT_AUDIO_FIXTURES) + "/" + name;
}

// A path in the scratch folder, unique to the running test (ctest runs
// tests in parallel processes).
inline std::string Scratch(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string prefix = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(prefix.begin(), prefix.end(), '/', '_');
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    return std::string(BEATWRIGHT_TEST_TMP) + "/" + prefix + "." + name;
}

// Writes `bytes` to Scratch(name) and returns that path.
inline std::string ScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = Scratch(name);
    testsignals::WriteFile(path, bytes);
    return path;
}

// Writes a WAV of `samples` at the layout's width to Scratch(name) and
// returns that path.
inline std::string ScratchWav(const std::string& name, const testsignals::WavLayout& layout,
                              const std::vector<std::int16_t>& samples) {
    return ScratchFile(name, testsignals::MakeWav(layout, testsignals::ToWavSampleBytes(
                                                              samples, layout.bitsPerSample)));
}

} // namespace testpaths
