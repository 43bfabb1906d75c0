// SPDX-License-Identifier: MIT
// Waiting on the sockets and the console's keys together, in turns of the
// event loop: the sockets the game watches are its file events, and the
// game's next deadline its timer.
#include "platform/win32/serving_wait.hpp"

#include <algorithm>

#include "loop/event_loop.hpp"
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

// The loop of the waits and what its turns watch; made at the first wait.
struct Serving {
    loop::EventLoop loop{NetService::maxSockets};
    SocketWatch watches[NetService::maxSockets] = {};
    int count = 0;
    loop::TimerId due = loop::noTimer;
};

Serving& serving() {
    static Serving s;
    return s;
}

void passKeys() {
    KeyEvent events[maxKeysPerLook];
    int count = readConsoleKeys(events, maxKeysPerLook);
    for (int i = 0; i < count; ++i)
        service->keyEvent(events[i]);
}

void socketCame(loop::EventLoop& /*loop*/, loop::Handle /*socket*/, unsigned mask, void* watch) {
    auto& w = *static_cast<SocketWatch*>(watch);
    w.readable = (mask & loop::readable) != 0;
    w.writable = (mask & loop::writable) != 0;
}

// Before each look: last look's sockets let go, the ones the game watches
// now watched, and its next deadline armed.
void beforeLook(loop::EventLoop& loop, void* /*none*/) {
    Serving& s = serving();
    for (int i = 0; i < s.count; ++i)
        loop.removeFile(s.watches[i].socket);
    s.count = service->watched(s.watches, NetService::maxSockets);
    for (int i = 0; i < s.count; ++i) {
        SocketWatch& w = s.watches[i];
        w.readable = w.writable = false;
        loop.addFile(w.socket, w.write ? loop::readable | loop::writable : loop::readable,
                     socketCame, &w);
    }
    loop.cancelTimer(s.due);
    long long due = service->due();
    s.due = due >= 0 ? loop.addTimer(due - netClockMs(), loop::wakeOnly, nullptr) : loop::noTimer;
}

// When the next look ends at the latest: at the end of the wait, at the
// service's next deadline, one slice from now at most.
long long lookEnd(long long now, long long untilMs) {
    long long end = std::min(untilMs, now + sliceMs);
    long long due = service->due();
    return due >= 0 ? std::max(std::min(end, due), now) : std::max(end, now);
}

} // namespace

void setServed(NetService* s) {
    service = s;
    serving().loop.setBeforeSleep(s != nullptr ? beforeLook : nullptr, nullptr);
}

NetService* served() { return service; }

void serveFor(int ms) {
    if (service == nullptr)
        return;
    Serving& s = serving();
    long long until = netClockMs() + std::max(ms, 0);
    for (;;) {
        passKeys();
        if (service->endsWait())
            return;
        long long now = netClockMs();
        long long end = lookEnd(now, until);
        setAcceptShare(static_cast<int>(std::max(until - end, fewestAccepts)));
        s.loop.processEvents(static_cast<int>(std::max(std::min(until, now + sliceMs) - now, 0LL)));
        service->serve(s.watches, s.count);
        consoleScreen().show();
        if (netClockMs() >= until)
            return;
    }
}
