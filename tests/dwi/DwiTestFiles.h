#pragma once

#include <filesystem>
#include <string>

// Files for the .dwi tests, under the build's test folder.
namespace dwi_test {

inline std::filesystem::path FreshFolder(const std::string& name) {
    const auto folder = std::filesystem::path(BEATWRIGHT_TEST_TMP) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace dwi_test
