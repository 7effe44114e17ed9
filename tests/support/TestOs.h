#pragma once

// The few operating-system calls the test support makes itself, for both systems the tests run on.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <stdlib.h>
#endif

namespace pelorix::test {

inline void setEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void unsetEnvironment(const std::string& name) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), "");
#else
    ::unsetenv(name.c_str());
#endif
}

// A new, empty folder of the system's temporary folder, named after the pattern's stem.
inline std::filesystem::path makeTemporaryFolder(const std::string& stem) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto folder =
            std::filesystem::temp_directory_path() / (stem + std::to_string(random() % 100000000));
        std::error_code ec;
        if (std::filesystem::create_directory(folder, ec))
            return std::filesystem::canonical(folder);
    }
    throw std::runtime_error("cannot create a temporary folder");
}

} // namespace pelorix::test
