// SPDX-License-Identifier: MIT
// A guest's keys as the actions it sends: both sets of keys move its
// board, by what a key types or where it sits; an action is let go only
// when its last key is; keys it has not bound send nothing.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "netplay/guest_keys.hpp"

namespace netplay {
namespace {

// The actions a run of key events sends, as "+Turn -Left *Drop !".
std::string sent(GuestKeys& keys, std::initializer_list<KeyEvent> events) {
    static const char* const kinds[] = {"+", "*", "-", "!"};
    static const char* const names[] = {"",     "Turn", "Left",  "Right",
                                        "Drop", "Esc",  "Enter", "Pause"};
    std::string text;
    for (const KeyEvent& event : events) {
        ActionEvent out[actionLimit];
        int count = keys.actions(event, out, actionLimit);
        for (int i = 0; i < count; ++i) {
            text += text.empty() ? "" : " ";
            text += kinds[out[i].kind];
            if (out[i].kind != KeyEvent::ReleaseAll)
                text += names[static_cast<int>(out[i].action)];
        }
    }
    return text;
}

KeyEvent press(int key, int position) { return {KeyEvent::Press, key, position}; }
KeyEvent release(int key, int position) { return {KeyEvent::Release, key, position}; }

TEST(GuestKeys, BothSetsMoveTheGuestsBoardByTypeOrPlace) {
    GuestKeys keys; // the arrows, and the places of W A S D
    keys.setReportsReleases(true);
    EXPECT_EQ("+Left -Left", sent(keys, {press(vkLeft, vkLeft), release(vkLeft, vkLeft)}));
    // The key that types z on a French keyboard sits where W does.
    EXPECT_EQ("+Turn -Turn", sent(keys, {press('Z', vkW), release('Z', vkW)}));
    // The key that types w there sits where Z does: it is no key of the game.
    EXPECT_EQ("", sent(keys, {press(vkW, 'Z'), release(vkW, 'Z')}));
    EXPECT_EQ("+Esc -Esc +Enter",
              sent(keys, {press(vkEscape, vkEscape), release(vkEscape, vkEscape),
                          press(vkReturn, vkReturn)}));
    EXPECT_EQ("", sent(keys, {press('Q', 'Q'), press(0, '2')}));
}

// Chosen keys replace the game's own; P pauses from a guest too, by what
// it types, whatever keys were chosen.
TEST(GuestKeys, ChosenKeysReplaceTheGamesOwnButPIsThePauseOfEveryPlayer) {
    for (bool chosen : {false, true}) {
        GuestKeys keys;
        keys.setReportsReleases(true);
        const Controls mine[2] = {{'I', 'J', 'L', 'K'}, {'T', 'F', 'H', 'G'}};
        if (chosen) {
            keys.bind(mine);
            EXPECT_EQ("+Left +Drop", sent(keys, {press('J', 'J'), press('G', 'G')}));
            EXPECT_EQ("", sent(keys, {press(vkLeft, vkLeft), press(vkA, vkA)}));
        }
        EXPECT_EQ("+Pause -Pause", sent(keys, {press(vkP, vkP), release(vkP, vkP)}));
        EXPECT_EQ("", sent(keys, {press('O', vkP)})) << "the key where P sits types o";
    }
    // The second player's guest at one keyboard leaves P to the first,
    // so that one press pauses once; Escape and Enter stay every player's.
    GuestKeys second;
    second.bind(std::array<Controls, 2>{playerTwoKeys, playerTwoKeys}.data(), false);
    EXPECT_EQ("", sent(second, {press(vkP, vkP)}));
    EXPECT_EQ("+Esc +Enter", sent(second, {press(vkEscape, 0), press(vkReturn, 0)}));
}

// Left held by the arrow and by A at once: the host hears one press, and
// the release only when both are up; a repeat goes through as it comes.
TEST(GuestKeys, AnActionIsLetGoWithItsLastKey) {
    GuestKeys keys;
    keys.setReportsReleases(true);
    EXPECT_EQ("+Left", sent(keys, {press(vkLeft, vkLeft), press(vkA, vkA)}));
    EXPECT_EQ("*Left", sent(keys, {{KeyEvent::Repeat, vkA, vkA}}));
    EXPECT_EQ("", sent(keys, {release(vkLeft, vkLeft)}));
    EXPECT_EQ("-Left", sent(keys, {release(vkA, vkA)}));
    EXPECT_EQ("+Drop !", sent(keys, {press(vkS, vkS), {KeyEvent::ReleaseAll, 0}}));
    EXPECT_EQ("+Drop", sent(keys, {press(vkDown, vkDown)})) << "nothing held after ReleaseAll";
}

// Without releases every key arrives as a tap, and every tap is sent.
TEST(GuestKeys, EveryTapIsSentWhereTheTerminalReportsNoReleases) {
    GuestKeys keys;
    keys.setReportsReleases(false);
    EXPECT_EQ("+Right -Right +Right -Right",
              sent(keys, {press(vkD, vkD), release(vkD, vkD), press(vkRight, vkRight),
                          release(vkRight, vkRight)}));
}

} // namespace
} // namespace netplay
