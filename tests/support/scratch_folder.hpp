// SPDX-License-Identifier: MIT
// A folder of a test's own under /tmp, removed with everything in it after:
// as a value, or made before each test of a fixture.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

struct TempFolder {
    TempFolder() {
        char pattern[] = "/tmp/blockduel-test-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
};

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
