#pragma once

// The few operating-system calls the test support makes itself, for both systems the tests run on.

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <stdlib.h>
#endif

namespace pelorix::test {

#ifdef _WIN32
// UTF-8 text as the system's wide characters (the program reads its environment so).
inline std::wstring wideText(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}
#endif

inline void setEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_wputenv_s(wideText(name).c_str(), wideText(value).c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void unsetEnvironment(const std::string& name) {
#ifdef _WIN32
    ::_wputenv_s(wideText(name).c_str(), L"");
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

// Every test program starts in the same environment, whoever runs it: Japanese local time, the
// Japanese code page, and a Wine prefix and program folder that do not exist until a test makes
// its own. No test may reach the real ~/.wine.
inline void prepareTestEnvironment() {
    setEnvironment("LC_ALL", "C.UTF-8");
    setEnvironment("TZ", "Asia/Tokyo");
    ::tzset();
    setEnvironment("WINEPREFIX", "/nonexistent/pelorix-test-prefix");
    setEnvironment("PELORIX_HOME", "/nonexistent/pelorix-test-home");
    setEnvironment("PELORIX_CODEPAGE", "CP932");
    setEnvironment("WINEDEBUG", "-all");
}

} // namespace pelorix::test
