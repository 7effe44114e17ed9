#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

// Every test binary starts in the same environment, whoever runs it: Japanese local time, the
// Japanese code page, and a Wine prefix and program folder that do not exist until a test makes
// its own. No test may reach the real ~/.wine.
int main(int argc, char** argv) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    ::setenv("WINEPREFIX", "/nonexistent/pelorix-test-prefix", 1);
    ::setenv("PELORIX_HOME", "/nonexistent/pelorix-test-home", 1);
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    ::setenv("WINEDEBUG", "-all", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
