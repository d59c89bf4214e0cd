#pragma once

#include "TestSignals.h"
#include "audio/AudioSource.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// What the audio tests share: build-tree locations passed by compile
// definition (so the tests run from any working directory), scratch files
// and a source drained to its end.
namespace testpaths {

inline std::string Fixture(const std::string& name) {
    return std::string(BEATWRIGHT_AUDIO_FIXTURES) + "/" + name;
}

// A path in the scratch folder, unique to the running test (ctest runs
// tests in parallel processes).
inline std::string Scratch(const std::string& name) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    return std::string(BEATWRIGHT_TEST_TMP) + "/" + test->test_suite_name() + "." + test->name() +
           "." + name;
}

// Writes `bytes` to Scratch(name) and returns that path.
inline std::string ScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    testsignals::WriteFile(Scratch(name), bytes);
    return Scratch(name);
}

// What was written to a temporary file; closes it.
inline std::string Contents(std::FILE* file) {
    std::rewind(file);
    std::string text(1 << 16, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

// Everything a source hands out until it ends, with the chunk sizes (in
// file bytes) and the progress after each.
struct Drained {
    std::vector<int> chunkBytes;
    std::vector<std::uint8_t> pcm; // 16-bit, whatever the file's width
    std::vector<int> percents;
};

inline Drained Drain(audio::CAudioSource& source) {
    Drained all;
    for (int got = source.DecodeNextChunk(); got > 0; got = source.DecodeNextChunk()) {
        all.chunkBytes.push_back(got);
        const auto* chunk = source.GetChunkBuffer();
        all.pcm.insert(all.pcm.end(), chunk, chunk + got * 16 / source.BitsPerSample());
        all.percents.push_back(source.ProgressPercent());
    }
    return all;
}

inline Drained DrainFile(const std::string& path) {
    audio::CAudioSource source;
    const auto opened = source.Open(path);
    EXPECT_TRUE(opened) << opened.error().message;
    return Drain(source);
}

} // namespace testpaths
