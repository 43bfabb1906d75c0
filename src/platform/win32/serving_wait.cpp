// SPDX-License-Identifier: MIT
// Waiting on the sockets and the console's keys together.
#include "platform/win32/serving_wait.hpp"

#include <algorithm>

#include "platform/win32/accept_share.hpp"
#include "platform/win32/console_keys.hpp"
#include "platform/win32/console_screen.hpp"

namespace {

// The longest look at the sockets alone: a key waits no longer to be read.
constexpr long long sliceMs = 5;
// Key events handed on per look: enough for any burst of keys, and the
// connections are still served when the keys never stop coming.
constexpr int maxKeysPerLook = 64;

// A look takes a connection for each millisecond left in its wait after it,
// and a few when none is left, for frames that have no delay left.
constexpr long long fewestAccepts = 4;

NetService* service = nullptr;

void passKeys() {
    KeyEvent events[maxKeysPerLook];
    int count = readConsoleKeys(events, maxKeysPerLook);
    for (int i = 0; i < count; ++i)
        service->keyEvent(events[i]);
}

// How long the next look may wait: to the end of the wait, to the
// service's next deadline, and one slice at most.
int lookMs(long long now, long long untilMs) {
    long long wait = std::min(untilMs - now, sliceMs);
    long long due = service->due();
    if (due >= 0)
        wait = std::min(wait, due - now);
    return static_cast<int>(std::max(wait, 0LL));
}

} // namespace

void setServed(NetService* s) { service = s; }

NetService* served() { return service; }

void serveFor(int ms) {
    if (service == nullptr)
        return;
    long long until = netClockMs() + std::max(ms, 0);
    for (;;) {
        passKeys();
        if (service->endsWait())
            return;
        SocketWatch watches[NetService::maxSockets];
        int count = service->watched(watches, NetService::maxSockets);
        long long now = netClockMs();
        int wait = lookMs(now, until);
        setAcceptShare(static_cast<int>(std::max(until - now - wait, fewestAccepts)));
        netWait(watches, count, wait);
        service->serve(watches, count);
        consoleScreen().show();
        if (netClockMs() >= until)
            return;
    }
}
