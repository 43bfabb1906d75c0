// SPDX-License-Identifier: MIT
// The event loop's wait and clock on Windows: WSAPoll on the sockets, and
// the tick count, which the network game's clock is too. Windows keeps no
// set between waits (loop/no_loop_set.cpp): its loops poll.
#include "loop/loop_poll.hpp"

#include <winsock2.h>

#include <windows.h>

#include "loop/poll_items.hpp"

namespace loop {

// WSAPoll cannot wait without a socket, and one that fails at once would
// leave the caller to spin: either way the time is slept instead.
int loopPoll(PollItem* items, int count, int timeoutMs) {
    constexpr PollBits bits = {POLLRDNORM, POLLWRNORM, POLLHUP | POLLERR | POLLNVAL};
    return pollItems<WSAPOLLFD>(items, count, bits, [timeoutMs](WSAPOLLFD* fds, int n) {
        int found = n > 0 ? WSAPoll(fds, static_cast<ULONG>(n), timeoutMs) : SOCKET_ERROR;
        if (found == SOCKET_ERROR && timeoutMs > 0)
            Sleep(static_cast<DWORD>(timeoutMs));
        return found;
    });
}

long long loopClockMs() { return static_cast<long long>(GetTickCount64()); }

} // namespace loop
