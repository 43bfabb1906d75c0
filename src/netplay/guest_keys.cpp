// SPDX-License-Identifier: MIT
// A guest's keys as actions.
#include "netplay/guest_keys.hpp"

#include <algorithm>
#include <iterator>

namespace netplay {

namespace {

constexpr Action allActions[] = {Action::Turn,   Action::Left,  Action::Right, Action::Drop,
                                 Action::Escape, Action::Enter, Action::Pause};

} // namespace

GuestKeys::GuestKeys() : keys_{playerOneKeys, playerTwoPositions} {}

void GuestKeys::bind(const Controls keys[2], bool pauses) {
    keys_[0] = keys[0];
    keys_[1] = keys[1];
    pauses_ = pauses;
}

void GuestKeys::setReportsReleases(bool on) { state_.setReportsReleases(on); }

// A key of the action, by what it types or by where it sits.
bool GuestKeys::bound(Action action, const KeyEvent& event) const {
    return std::any_of(std::begin(keys_), std::end(keys_), [&](const Controls& keys) {
        int key = keyOf(keys, action);
        return (event.key != 0 && key == event.key) ||
               (event.position != 0 && key == atPosition(event.position));
    });
}

bool GuestKeys::held(Action action) const {
    return std::any_of(std::begin(keys_), std::end(keys_),
                       [&](const Controls& keys) { return state_.held(keyOf(keys, action)); });
}

int GuestKeys::actions(const KeyEvent& event, ActionEvent* out, int room) {
    int count = 0;
    if (event.kind == KeyEvent::ReleaseAll) {
        state_.releaseAll();
        if (room > 0)
            out[count++] = {KeyEvent::ReleaseAll, Action::Turn};
        return count;
    }
    bool before[actionLimit] = {};
    for (Action action : allActions)
        before[static_cast<int>(action)] = held(action);
    state_.apply(event);
    for (Action action : allActions) {
        if (count == room || !bound(action, event) || (action == Action::Pause && !pauses_))
            continue;
        bool wasHeld = before[static_cast<int>(action)];
        bool send = event.kind == KeyEvent::Repeat || (event.kind == KeyEvent::Press && !wasHeld) ||
                    (event.kind == KeyEvent::Release && !held(action));
        if (send)
            out[count++] = {event.kind, action};
    }
    return count;
}

} // namespace netplay
