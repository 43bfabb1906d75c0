// SPDX-License-Identifier: MIT
// Held and arrived keys, from the decoder's events.
#include "key_state.hpp"

namespace term {

namespace {

bool inRange(int code, int size) { return code >= 0 && code < size; }

} // namespace

void KeyState::setKitty(bool on) {
    kitty_ = on;
    // Held state only comes from kitty releases; across a switch nothing
    // would release what is marked held now. Arrivals stay owed.
    for (bool& held : held_)
        held = false;
}

void KeyState::apply(const InputEvent& event) {
    if (event.kind == InputEvent::FocusOut) {
        releaseAll();
        return;
    }
    int key = event.key;
    if (!inRange(key, keyCount))
        return;
    switch (event.kind) {
    case InputEvent::KeyPress:
        arrived_[key] = true;
        held_[key] = kitty_;
        break;
    case InputEvent::KeyRepeat:
        // Only the latest key repeats, so a repeat says nothing about the
        // others; but it does say that this one is down, which matters when
        // its press came before focus or before the switch to kitty mode.
        if (kitty_)
            held_[key] = true;
        else
            arrived_[key] = true;
        break;
    case InputEvent::KeyRelease:
        held_[key] = false; // what arrived is still owed to the next poll
        break;
    default: break;
    }
}

bool KeyState::poll(int virtualKey) {
    if (!inRange(virtualKey, keyCount))
        return false;
    bool pressed = held_[virtualKey] || arrived_[virtualKey];
    arrived_[virtualKey] = false;
    return pressed;
}

bool KeyState::peek(int virtualKey) const {
    return inRange(virtualKey, keyCount) && (held_[virtualKey] || arrived_[virtualKey]);
}

void KeyState::releaseAll() {
    for (int key = 0; key < keyCount; ++key)
        held_[key] = arrived_[key] = false;
}

} // namespace term
