// SPDX-License-Identifier: MIT
// The event loop's wait and clock on POSIX: poll(2) and CLOCK_MONOTONIC.
#include "loop/loop_poll.hpp"

#include <poll.h>
#include <time.h>

#include "loop/poll_items.hpp"

namespace loop {

int loopPoll(PollItem* items, int count, int timeoutMs) {
    constexpr PollBits bits = {POLLIN, POLLOUT, POLLHUP | POLLERR | POLLNVAL};
    // A signal (-1) found nothing: the caller looks again.
    return pollItems<pollfd>(items, count, bits, [timeoutMs](pollfd* fds, int n) {
        return poll(fds, static_cast<nfds_t>(n), timeoutMs);
    });
}

long long loopClockMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace loop
