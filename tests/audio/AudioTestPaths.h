#pragma once

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
    for (char& c : prefix) {
        if (c == '/') {
            c = '_';
        }
    }
    std::filesystem::create_directories(BEATWRIGHT_TEST_TMP);
    return std::string(BEATWRIGHT_TEST_TMP) + "/" + prefix + "." + name;
}

} // namespace testpaths
