#pragma once

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <ctime>

namespace pelorix::test {

// The environment every window test starts from, as for the other tests (see TestMain.cpp), plus
// the offscreen platform so that the tests run without a display.
inline void prepareWindowTestEnvironment() {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    ::setenv("WINEPREFIX", "/nonexistent/pelorix-test-prefix", 1);
    ::setenv("PELORIX_HOME", "/nonexistent/pelorix-test-home", 1);
    ::setenv("PELORIX_CODEPAGE", "CP932", 1);
    ::setenv("WINEDEBUG", "-all", 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

} // namespace pelorix::test

// The main of a Qt Test executable holding the test class TestClass.
#define PELORIX_QTEST_MAIN(TestClass)                                                                        \
    int main(int argc, char** argv) {                                                                        \
        pelorix::test::prepareWindowTestEnvironment();                                                       \
        QApplication app(argc, argv);                                                                        \
        TestClass test;                                                                                      \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
