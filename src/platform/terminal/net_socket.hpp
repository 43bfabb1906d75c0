// SPDX-License-Identifier: MIT
// TCP for the network game: listening, connecting with a time limit,
// accepting, every socket non-blocking; the address a guest should type;
// the operating system's randomness for the join code.
#pragma once

#include <cstddef>
#include <string>

#include "net/address.hpp"
#include "net/admission.hpp"

namespace term::netio {

// A listening socket on `where` (every interface when its host is empty,
// IPv6 and IPv4 together where the system allows). -1 with `error` set on
// failure; `port` is the port it listens on (the system's choice for 0).
int listenOn(const net::Endpoint& where, int& port, std::string& error);

// A connected socket to `where`, trying each of its addresses, within
// `timeoutMs` in all; -1 with `error` set on failure.
int connectTo(const net::Endpoint& where, int timeoutMs, std::string& error);

// A new connection from a listening socket, set up like every other, and
// where it comes from; -1 with `error` set (EAGAIN when none is waiting).
int acceptFrom(int listenFd, net::PeerAddress& from, int& error);

// Non-blocking, closed on exec, no Nagle delay, a send buffer of modest
// size so that a guest that stops reading cannot pile up stale pictures,
// and no SIGPIPE from it.
void configure(int fd);

// The address to show in the join command: the listening address itself,
// or for every interface the first one that is up and not loopback (IPv4
// before IPv6, link-local IPv6 last), else the host's name.
std::string addressToJoin(const std::string& listeningHost);

// Fills `bytes` from the operating system's randomness; false if it has none.
bool randomBytes(unsigned char* bytes, std::size_t count);

// send() without SIGPIPE: bytes sent, 0 when the socket is full, -1 on error.
long sendSome(int fd, const char* data, std::size_t length);

} // namespace term::netio
