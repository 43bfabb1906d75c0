// SPDX-License-Identifier: MIT
// The waits of a game over the network on Windows. The console's input and
// the sockets cannot be waited on together, so a wait looks at the sockets
// in short slices, each a turn of the event loop (loop/event_loop.hpp), and
// reads the console's key events between them.
#pragma once

#include "netplay/serving.hpp"

// Whom the waits serve; nullptr for none.
void setServed(NetService* service);
NetService* served();

// Serves the connections for `ms` milliseconds, or once without waiting
// for 0, and shows the console's picture after every look; returns early
// when the service ends the wait. Each look takes new connections in a
// share that fits the time left (platform/win32/accept_share.hpp).
void serveFor(int ms);
