// SPDX-License-Identifier: MIT
#include "history/heard_replay.hpp"

#include <algorithm>

#include "game/local.hpp"
#include "game/platform.hpp"
#include "history/replay_keys.hpp"

namespace history {

namespace {

struct Playing {
    std::string title;
    HeardPicture shown;
    ReplayKeys keys;
    bool stepping = false; // one picture, then paused again
    bool skipping = false; // no waits up to the next round
    std::string line;
};

void showLine(Playing& p) {
    showReplayLine(
        replayLine(p.title, p.shown.round(), p.keys.quarters, p.keys.paused || p.stepping), p.line);
}

// The keys; false when Escape leaves.
bool readKeys(Playing& p) {
    ReplayKeys::Asked asked = p.keys.read();
    p.skipping = p.skipping || asked.next;
    return !asked.leave;
}

// Until Space again or Right (a step: true), or Escape (false).
bool holdWhilePaused(Playing& p) {
    while (p.keys.paused) {
        showLine(p);
        localScreen().show();
        sleepMs(pausedWaitMs);
        if (!readKeys(p))
            return false;
        if (p.keys.step()) {
            p.stepping = true;
            return true;
        }
    }
    return true;
}

// The wait before the next message, `ms` of the match at the chosen speed,
// in slices that read the keys; false when Escape leaves.
bool waitHeard(Playing& p, long long ms) {
    bool wasStepping = p.stepping;
    p.stepping = false;
    // Left of the wait in quarters of a millisecond of the match: a
    // millisecond at a speed of q quarters takes q of them.
    long long left = ms * normalQuarters;
    for (;;) {
        if (!readKeys(p))
            return false;
        p.keys.paused = p.keys.paused || wasStepping;
        wasStepping = false;
        if (p.keys.paused)
            return holdWhilePaused(p);
        if (p.skipping || left <= 0)
            return true;
        showLine(p); // a change of speed shows at once, however long the wait
        localScreen().show();
        long long slice =
            std::min<long long>((left + p.keys.quarters - 1) / p.keys.quarters, pausedWaitMs);
        sleepMs(static_cast<int>(slice));
        left -= slice * p.keys.quarters;
    }
}

} // namespace

void playHeard(const std::vector<std::string_view>& heard, const std::string& title) {
    Playing p;
    p.title = title;
    record::HeardMessage message;
    for (std::string_view stretch : heard) {
        for (std::size_t at = 0; at < stretch.size();) {
            if (!record::readHeardAt(stretch, at, message) || !waitHeard(p, message.afterMs))
                return;
            int round = p.shown.round();
            p.shown.apply(message);
            p.skipping = p.skipping && p.shown.round() == round;
            paintHeardPicture(p.shown.picture());
            showLine(p);
            localScreen().show();
        }
    }
}

} // namespace history
