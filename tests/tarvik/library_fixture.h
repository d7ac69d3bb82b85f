// Each test gets a clean registry and a freshly loaded library (its region table and shared
// blocks are built on the first call), and leaves both behind clean.
#pragma once

#include <gtest/gtest.h>

#include "tests/tarvik/test_support.h"

class TarvikLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        tarvik_test::CleanRegistry();
        ASSERT_TRUE(lib.Load()) << "Tarvik.dll or one of its exports is missing";
    }
    void TearDown() override {
        lib.Unload();
        tarvik_test::CleanRegistry();
    }
    tarvik_test::Tarvik lib;
};
