// SPDX-License-Identifier: MIT
// How many connections the Windows host's netAccept takes between two
// waits. A Winsock call costs far more than a POSIX system call (under Wine
// each is a round trip to Wine's server, up to a millisecond on a busy
// machine), and the frame goes on only after the look at the sockets that
// takes them; so the serving wait gives each look a share that fits the
// time left in its wait (platform/win32/serving_wait.cpp).
#pragma once

// From now on, and again from each netWait, at least 1 (the host's door
// takes at most 64 a look in any case). The serving wait sets it before
// each of its looks, which wait in the event loop rather than in netWait.
void setAcceptShare(int connections);
