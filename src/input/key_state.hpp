// SPDX-License-Identifier: MIT
// Which keys count as pressed at a poll, from a keyboard's events. Where the
// keyboard reports presses and releases (the kitty keyboard protocol, the
// Windows console), a key is held from its press to its release (repeats
// change nothing), so several keys can be held at once. Elsewhere a key
// counts as pressed at a poll if it arrived since that key's previous poll,
// which autorepeat keeps true while it is held.
#pragma once

#include "input/key_event.hpp"

class KeyState {
public:
    // Whether the keyboard reports presses and releases.
    void setReportsReleases(bool on);
    void apply(const KeyEvent& event);
    // Pressed now, or pressed and released since this key's previous poll.
    // Clears what only that poll was owed.
    bool poll(int virtualKey);
    // What the next poll of the key will answer, without clearing anything.
    bool peek(int virtualKey) const;
    void releaseAll();

private:
    static constexpr int keyCount = 256;
    bool releases_ = false;
    bool held_[keyCount] = {};
    bool arrived_[keyCount] = {};
};
