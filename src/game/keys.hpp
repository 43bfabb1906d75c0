// SPDX-License-Identifier: MIT
// The keys of the game, as virtual-key codes.
#pragma once

constexpr int vkReturn = 0x0D; // between the rounds of a match: the next round
constexpr int vkEscape = 0x1B;
constexpr int vkLeft = 0x25;
constexpr int vkUp = 0x26;
constexpr int vkRight = 0x27;
constexpr int vkDown = 0x28;
constexpr int vkA = 0x41;
constexpr int vkD = 0x44;
constexpr int vkP = 0x50; // pauses a game against the computer
constexpr int vkS = 0x53;
constexpr int vkW = 0x57;

// One player's controls.
struct Controls {
    int rotate;
    int left;
    int right;
    int drop;
};

constexpr Controls playerOneKeys = {vkUp, vkLeft, vkRight, vkDown};
constexpr Controls playerTwoKeys = {vkW, vkA, vkD, vkS};
