// SPDX-License-Identifier: MIT
// Held and arrived keys, from a keyboard's events.
#include "input/key_state.hpp"

namespace {

bool inRange(int code, int size) { return code >= 0 && code < size; }

} // namespace

void KeyState::setReportsReleases(bool on) {
    releases_ = on;
    // Held state only comes from reported releases; across a switch nothing
    // would release what is marked held now. Arrivals stay owed.
    for (bool& down : held_)
        down = false;
}

void KeyState::apply(const KeyEvent& event) {
    if (event.kind == KeyEvent::ReleaseAll) {
        releaseAll();
        return;
    }
    if (event.key > 0 && event.key < positionBase)
        applyTo(event.key, event.kind);
    if (event.position > 0 && event.position < positionBase)
        applyTo(atPosition(event.position), event.kind);
}

void KeyState::applyTo(int key, KeyEvent::Kind kind) {
    switch (kind) {
    case KeyEvent::Press:
        arrived_[key] = true;
        held_[key] = releases_;
        break;
    case KeyEvent::Repeat:
        // Only the latest key repeats, so a repeat says nothing about the
        // others; but it does say that this one is down, which matters when
        // its press came before focus or before the switch to kitty mode.
        if (releases_)
            held_[key] = true;
        else
            arrived_[key] = true;
        break;
    case KeyEvent::Release:
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

bool KeyState::held(int virtualKey) const {
    return inRange(virtualKey, keyCount) && held_[virtualKey];
}

bool KeyState::peek(int virtualKey) const {
    return inRange(virtualKey, keyCount) && (held_[virtualKey] || arrived_[virtualKey]);
}

void KeyState::releaseAll() {
    for (int key = 0; key < keyCount; ++key)
        held_[key] = arrived_[key] = false;
}
