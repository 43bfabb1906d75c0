// SPDX-License-Identifier: MIT
// A folder of a test's own under /tmp, made before each test and removed
// with everything in it after.
#pragma once

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

class ScratchFolder : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/blockduel-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + scratch + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string scratch;
};
