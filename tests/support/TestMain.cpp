#include "support/TestOs.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

// Every test binary starts in the same environment, whoever runs it: Japanese local time, the
// Japanese code page, and a Wine prefix and program folder that do not exist until a test makes
// its own. No test may reach the real ~/.wine.
int main(int argc, char** argv) {
    using pelorix::test::setEnvironment;
    setEnvironment("LC_ALL", "C.UTF-8");
    setEnvironment("TZ", "Asia/Tokyo");
    ::tzset();
    setEnvironment("WINEPREFIX", "/nonexistent/pelorix-test-prefix");
    setEnvironment("PELORIX_HOME", "/nonexistent/pelorix-test-home");
    setEnvironment("PELORIX_CODEPAGE", "CP932");
    setEnvironment("WINEDEBUG", "-all");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
