#include "support/TestOs.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    pelorix::test::prepareTestEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
