// SPDX-License-Identifier: MIT
// Token buckets in whole thousandths, so that no rate is rounded away.
#include "net/rate_limit.hpp"

#include <algorithm>

namespace net {

namespace {

constexpr long long perToken = 1000; // a token in thousandths, and a second in milliseconds

} // namespace

TokenBucket::TokenBucket(int perSecond, int burst)
    : perSecond_(perSecond), most_(perToken * burst), credit_(most_) {}

// Past a whole burst's worth of time the bucket is full anyway, and the
// product stays small.
long long TokenBucket::creditAt(long long nowMs) const {
    long long elapsed = std::min(std::max(0LL, nowMs - lastMs_), most_);
    return std::min(most_, credit_ + elapsed * perSecond_);
}

bool TokenBucket::take(long long nowMs) {
    credit_ = creditAt(nowMs);
    lastMs_ = std::max(lastMs_, nowMs);
    if (credit_ < perToken)
        return false;
    credit_ -= perToken;
    return true;
}

long long TokenBucket::readyAt(long long nowMs) const {
    long long missing = perToken - creditAt(nowMs);
    return missing <= 0 ? nowMs : nowMs + (missing + perSecond_ - 1) / perSecond_;
}

// The flood counts first: a dropped key is still a message read. Only
// presses and repeats count against the keys kept.
Pace GuestPace::message(bool droppable, long long nowMs) {
    if (!tolerated_.take(nowMs))
        return Pace::End;
    if (droppable && !kept_.take(nowMs))
        return Pace::Drop;
    return Pace::Take;
}

} // namespace net
