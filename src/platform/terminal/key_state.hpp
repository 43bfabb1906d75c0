// SPDX-License-Identifier: MIT
// Which game keys count as pressed at a poll, from the decoder's events.
// With the kitty protocol, a key is held from its press to its release
// (repeats change nothing), so several keys can be held at once. Without
// it, a key counts as pressed at a poll if it arrived since that key's
// previous poll, which autorepeat keeps true while it is held.
#pragma once

#include "input_decoder.hpp"

namespace term {

class KeyState {
public:
    void setKitty(bool on);
    // Key events change the state; FocusOut releases every key.
    void apply(const InputEvent& event);
    // Pressed now, or pressed and released since this key's previous poll.
    // Clears what only that poll was owed.
    bool poll(int virtualKey);
    // What the next poll of the key will answer, without clearing anything.
    bool peek(int virtualKey) const;
    void releaseAll();

private:
    static constexpr int keyCount = 256;
    bool kitty_ = false;
    bool held_[keyCount] = {};
    bool arrived_[keyCount] = {};
};

} // namespace term
