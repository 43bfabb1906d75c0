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

bool TokenBucket::take(long long nowMs) {
    long long elapsed = std::max(0LL, nowMs - lastMs_);
    lastMs_ = std::max(lastMs_, nowMs);
    // Past a whole burst's worth of time the bucket is full anyway, and
    // the product stays small.
    elapsed = std::min(elapsed, most_);
    credit_ = std::min(most_, credit_ + elapsed * perSecond_);
    if (credit_ < perToken)
        return false;
    credit_ -= perToken;
    return true;
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
