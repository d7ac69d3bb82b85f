// The test program: GoogleTest, or a second user of the library when started with "--child".
#include <gtest/gtest.h>

#include "tests/tarvik/child_process.h"

int main(int argc, char** argv) {
    const int child = tarvik_test::RunChildMode(argc, argv);
    if (child >= 0) {
        return child;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
