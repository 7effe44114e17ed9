#pragma once

#include "support/TestOs.h"

#include <QApplication>
#include <QTest>
#include <cstdlib>

namespace pelorix::test {

// The environment every window test starts from, as for the other tests, plus the offscreen
// platform so that the tests run without a display.
inline void prepareWindowTestEnvironment() {
    prepareTestEnvironment();
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setEnvironment("QT_QPA_PLATFORM", "offscreen");
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
