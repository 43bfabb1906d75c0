// SPDX-License-Identifier: MIT
// A match that an event loop steps: its timer runs every step of the match
// that is due, on the loop's clock, and is armed again for the next. One
// thread's loop so steps any number of matches, each at its own pace, as
// it serves their sockets, and never waits on any of them.
#pragma once

#include "game/match.hpp"
#include "loop/event_loop.hpp"

namespace server {

class LoopMatch {
public:
    // Called at the end of each of the match's frames, and once more when
    // it has ended (over() true), with the match.
    using FrameEnded = void (*)(void* context, const SteppedMatch& match);

    // `setup` is seeded already; its seats are the computer's or remote
    // ones. The first step runs `startInMs` from now.
    LoopMatch(loop::EventLoop& loop, const GameSetup& setup, FrameEnded frameEnded = nullptr,
              void* context = nullptr, long long startInMs = 0);
    ~LoopMatch();
    LoopMatch(const LoopMatch&) = delete;
    LoopMatch& operator=(const LoopMatch&) = delete;

    const SteppedMatch& match() const { return match_; }
    bool over() const { return !going_; }
    // When the step under way was due, on the loop's clock: at a frame's
    // end, when that frame was due to end.
    long long dueMs() const { return dueMs_; }

private:
    static long long step(loop::EventLoop& loop, loop::TimerId id, void* self);

    loop::EventLoop& loop_;
    UnattendedOutside outside_;
    SteppedMatch match_;
    FrameEnded frameEnded_;
    void* context_;
    long long dueMs_;
    loop::TimerId timer_ = loop::noTimer;
    bool going_ = true;
};

} // namespace server
