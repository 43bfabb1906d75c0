// SPDX-License-Identifier: MIT
// What the terminal back end's own waits need of its sockets
// (network_posix.cpp) beyond the network game's contract: the descriptors
// to poll for the sockets the game watches. A listener on every address is
// two descriptors where the system's IPv6 sockets take no IPv4, and both
// are polled for it.
#pragma once

#include <poll.h>

#include "netplay/network.hpp"

namespace term {

// How many descriptors `watches` sockets may need: each at most two.
constexpr int pollFdsFor(int watches) { return 2 * watches; }

// Fills in the descriptors to poll for `watches`; returns how many.
int socketPollFds(const SocketWatch* watches, int count, pollfd* fds);

// What the poll found on those descriptors, as readable and writable;
// nothing when `found` is false (a poll that timed out or was interrupted).
void socketsFound(SocketWatch* watches, int count, const pollfd* fds, bool found);

// Listeners on every address as a system whose IPv6 sockets take no IPv4
// (OpenBSD) has them: an IPv6 and an IPv4 socket. For tests on systems
// that have one socket for both.
void listenPerFamily(bool apart);

} // namespace term
