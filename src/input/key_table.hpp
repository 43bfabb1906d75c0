// SPDX-License-Identifier: MIT
// Every key a player can bind, named once: the terminal decoder, the
// Windows console, the command line and the keys file take their keys from
// here, so that a key that can be bound works on every back end and over
// the network.
#pragma once

#include <span>
#include <string_view>

struct BindableKey {
    int key;           // its own code (game/keys.hpp): the Windows virtual-key code
    const char* name;  // as --keys and the keys file write it: "a", "7", "up", ","
    const char* label; // as the help and the key legend show it: "A", "7", "Up", ","
    char character;    // what it types without Shift on a US keyboard; 0 for the arrows
};

// The letters a to z, the digits, the four arrows and , . / ; ' [ ] - =.
// P is among the letters but pauses; Escape and Enter are not bindable.
std::span<const BindableKey> bindableKeys();

// The key that `name` names (in either case), or nullptr.
const BindableKey* bindableKeyNamed(std::string_view name);

// The entry of an own code (not a position code), or nullptr.
const BindableKey* bindableKey(int key);

// The own code of the key that types `character` (a letter in either
// case), or 0 when no bindable key types it.
int keyTyping(int character);

// The own code of the key that sits at `scanCode` (the PC keyboard's set 1
// scan code, as the Windows console reports it) on a US keyboard, or 0.
int keyAtScanCode(int scanCode);
// And back: the scan code of the place where `key` sits on a US keyboard,
// or 0 for a key that is not bindable.
int scanCodeOf(int key);
