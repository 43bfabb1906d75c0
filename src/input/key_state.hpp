// SPDX-License-Identifier: MIT
// Which keys count as pressed at a poll, from a keyboard's events. Where the
// keyboard reports presses and releases (the kitty keyboard protocol, the
// Windows console), a key is held from its press to its release (repeats
// change nothing), so several keys can be held at once. Elsewhere a key
// counts as pressed at a poll if it arrived since that key's previous poll,
// which autorepeat keeps true while it is held. A key is held by its own
// code and by its position code at once (see game/keys.hpp).
#pragma once

#include "game/keys.hpp"
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
    // Held from a reported press to its release.
    bool held(int virtualKey) const;
    void releaseAll();

private:
    static constexpr int keyCount = keyCodeLimit;
    void applyTo(int key, KeyEvent::Kind kind);
    bool releases_ = false;
    bool held_[keyCount] = {};
    bool arrived_[keyCount] = {};
};
