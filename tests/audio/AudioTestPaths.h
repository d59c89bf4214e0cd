#pragma once

#include "TestSignals.h"
#include "audio/AudioSource.h"

#include <cstdio>
#include <cstring>
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

// What was written to a temporary file; closes it.
inline std::string Contents(std::FILE* file) {
    std::rewind(file);
    std::string text(1 << 16, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

// Everything a source hands out until it ends: the chunk sizes (in file
// bytes), the samples (16-bit, whatever the file's width) and the progress
// after each chunk.
struct Drained {
    std::vector<int> chunkBytes, percents;
    std::vector<std::int16_t> samples;
};

inline Drained Drain(audio::CAudioSource& source) {
    Drained all;
    for (int got = source.DecodeNextChunk(); got > 0; got = source.DecodeNextChunk()) {
        const auto samples = static_cast<std::size_t>(got / (source.BitsPerSample() / 8));
        all.samples.resize(all.samples.size() + samples);
        std::memcpy(&all.samples[all.samples.size() - samples], source.GetChunkBuffer(),
                    samples * 2);
        all.chunkBytes.push_back(got);
        all.percents.push_back(source.ProgressPercent());
    }
    return all;
}

} // namespace testpaths
