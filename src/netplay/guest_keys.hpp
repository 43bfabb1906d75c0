// SPDX-License-Identifier: MIT
// A guest's keys as the actions they stand for, which is what it sends the
// host: its own keys (both players' sets, chosen or the game's) move its
// board, and Escape, Enter and P are every player's, so the host needs
// nothing of the guest's keyboard or layout. An
// action is pressed while any of its keys is held; it is released once
// the last of them comes up.
#pragma once

#include "game/keys.hpp"
#include "input/key_event.hpp"
#include "input/key_state.hpp"

namespace netplay {

struct ActionEvent {
    KeyEvent::Kind kind;
    Action action; // nothing meaningful with ReleaseAll
};

class GuestKeys {
public:
    GuestKeys();
    // `pauses` false leaves P to another guest at this keyboard, so that
    // one press pauses once.
    void bind(const Controls keys[2], bool pauses = true);
    // Whether the keyboard reports presses and releases.
    void setReportsReleases(bool on);
    // The action events that `event` makes, at most `room` of them, into
    // `out`; how many.
    int actions(const KeyEvent& event, ActionEvent* out, int room);

private:
    bool bound(Action action, const KeyEvent& event) const;
    bool held(Action action) const;

    Controls keys_[2];
    bool pauses_ = true;
    KeyState state_; // the guest's own keys, to tell whether another still holds an action
};

} // namespace netplay
