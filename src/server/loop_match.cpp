// SPDX-License-Identifier: MIT
#include "server/loop_match.hpp"

#include <algorithm>

namespace server {

LoopMatch::LoopMatch(loop::EventLoop& loop, const GameSetup& setup, FrameEnded frameEnded,
                     void* context, long long startInMs)
    : loop_(loop), match_(setup, outside_), frameEnded_(frameEnded), context_(context),
      dueMs_(loop.nowMs() + startInMs) {
    timer_ = loop_.addTimer(startInMs, step, this);
}

LoopMatch::~LoopMatch() {
    if (timer_ != loop::noTimer)
        loop_.cancelTimer(timer_);
}

// The timer fires at the step's due time or after it: every step due by
// then runs, the match's own waits moving its time on, so that a loop
// that fell behind catches the match up rather than slowing it. The timer
// is armed again from the time it was due for.
long long LoopMatch::step(loop::EventLoop& loop, loop::TimerId /*id*/, void* self) {
    auto& m = *static_cast<LoopMatch*>(self);
    long long now = std::max(loop.nowMs(), m.dueMs_);
    long long armedFor = m.dueMs_;
    m.going_ = advanceDue(m.match_, m.outside_, m.dueMs_, now, m.frameEnded_, m.context_);
    if (m.going_)
        return m.dueMs_ - armedFor;
    m.timer_ = loop::noTimer;
    if (m.frameEnded_ != nullptr)
        m.frameEnded_(m.context_, m.match_);
    return loop::noMore;
}

} // namespace server
