// SPDX-License-Identifier: MIT
// What the network game hands a back end's waits: its connections, served
// from the game's single thread at every wait (game/platform.hpp's sleepMs,
// endFrame and key polls) once the console is taken (game/local.hpp).
#pragma once

#include "input/key_event.hpp"
#include "netplay/network.hpp"

// What the waits serve besides the keyboard: a game's connections. A back
// end's wait watches the sockets watched() gives, calls serve() after every
// look (one that found nothing too), wakes for due() even when nothing
// comes, and hands it every key event it reads while the game reads keys.
class NetService {
public:
    static constexpr int maxSockets = 128;
    virtual ~NetService() = default;
    // Fills in up to `room` sockets to watch; returns how many.
    virtual int watched(SocketWatch* watches, int room) = 0;
    // The sockets as watched() gave them, with what the wait found.
    virtual void serve(const SocketWatch* watches, int count) = 0;
    // When serve() is next due with nothing ready, in netClockMs(); -1 for no time.
    virtual long long due() const = 0;
    virtual void keyEvent(const KeyEvent& event) = 0;
    // True when the wait under way should end now.
    virtual bool endsWait() const { return false; }
};

// Whom the waits serve; nullptr for none.
void localServe(NetService* service);
