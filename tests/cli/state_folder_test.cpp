// SPDX-License-Identifier: MIT
#include "cli/state_folder.hpp"

#include <gtest/gtest.h>

namespace {

TEST(StateFolder, FollowsTheXdgRulesAndWindowsOwn) {
    EXPECT_EQ(stateFolderPath("/x/state", "/home/ann"), "/x/state/blockduel");
    EXPECT_EQ(stateFolderPath(nullptr, "/home/ann"), "/home/ann/.local/state/blockduel");
    // A relative XDG_STATE_HOME is to be ignored, as the rules say.
    EXPECT_EQ(stateFolderPath("state", "/home/ann"), "/home/ann/.local/state/blockduel");
    EXPECT_EQ(stateFolderPath("", "/home/ann"), "/home/ann/.local/state/blockduel");
    EXPECT_EQ(stateFolderPath(nullptr, nullptr), "");
    EXPECT_EQ(stateFolderPath(nullptr, "relative"), "");
    EXPECT_EQ(windowsStateFolderPath("C:\\Users\\ann\\AppData\\Local"),
              "C:\\Users\\ann\\AppData\\Local\\blockduel");
    EXPECT_EQ(windowsStateFolderPath(""), "");
    EXPECT_EQ(windowsStateFolderPath(nullptr), "");
}

} // namespace
