// SPDX-License-Identifier: MIT
// The keys of the game, as virtual-key codes, and what they do.
//
// A key has two codes. Its own (vkW) is the key that types w, wherever it
// sits: the letters by what they type, as the game without options has
// always read them. Its position code (atPosition(vkW)) is the key where W
// sits on a US keyboard, whatever the layout prints on it: Z on a French
// one. Back ends that can tell where a key sits (the kitty keyboard
// protocol's base-layout key, the Windows console's scan code) report both;
// the others report a key's position as the key itself.
#pragma once

constexpr int vkReturn = 0x0D; // between the rounds of a match: the next round
constexpr int vkEscape = 0x1B;
constexpr int vkSpace = 0x20; // a replay's pause; no player's key
constexpr int vkLeft = 0x25;
constexpr int vkUp = 0x26;
constexpr int vkRight = 0x27;
constexpr int vkDown = 0x28;
constexpr int vkA = 0x41;
constexpr int vkD = 0x44;
constexpr int vkP = 0x50; // pauses and resumes a match
constexpr int vkS = 0x53;
constexpr int vkW = 0x57;

// Own codes are below positionBase; a position code is positionBase plus
// the own code of the key found there on a US keyboard.
constexpr int positionBase = 0x100;
constexpr int keyCodeLimit = 2 * positionBase;
constexpr int atPosition(int key) { return positionBase + key; }

// One player's controls.
struct Controls {
    int rotate;
    int left;
    int right;
    int drop;
};

// The keys of the game without options, by what they type.
constexpr Controls playerOneKeys = {vkUp, vkLeft, vkRight, vkDown};
constexpr Controls playerTwoKeys = {vkW, vkA, vkD, vkS};
// Player two's keys in every other mode unless chosen: where W A S D sit.
constexpr Controls playerTwoPositions = {atPosition(vkW), atPosition(vkA), atPosition(vkD),
                                         atPosition(vkS)};

// What a player's key does. A guest over the network sends these, never
// its keys, so that the host needs nothing of the guest's keyboard.
enum class Action : unsigned char { Turn = 1, Left, Right, Drop, Escape, Enter, Pause };
constexpr int actionLimit = 8; // one past the last action's number

// The moves pressed in one frame, as a set of their actions: the
// computer's decision, as the game polls it by action like any seat's.
class Moves {
public:
    constexpr bool has(Action a) const { return (bits_ & bit(a)) != 0; }
    constexpr void press(Action a) { bits_ |= bit(a); }
    constexpr bool any() const { return bits_ != 0; }

private:
    static constexpr unsigned bit(Action a) { return 1U << static_cast<unsigned>(a); }
    unsigned bits_ = 0;
};

// The key of an action in `keys`: one of its four moves, or a key that
// every player shares.
constexpr int keyOf(const Controls& keys, Action action) {
    switch (action) {
    case Action::Turn: return keys.rotate;
    case Action::Left: return keys.left;
    case Action::Right: return keys.right;
    case Action::Drop: return keys.drop;
    case Action::Escape: return vkEscape;
    case Action::Pause: return vkP;
    case Action::Enter: break;
    }
    return vkReturn;
}
