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
    TempFolder temp;
    std::string scratch = temp.path;
};
