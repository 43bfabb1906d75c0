// SPDX-License-Identifier: MIT
// A client of a server on this machine's loopback, for the server's tests:
// blocking sockets with a bound on every wait, so that a server that does
// not answer fails the test instead of hanging it.
#pragma once

#include <string>

namespace loopback {

// A connected socket to 127.0.0.1:port, -1 when it cannot connect; reads
// and writes give up after 5 s.
int connectTo(int port);
// Sends all of `bytes`; false when the connection does not take them.
bool sendAll(int fd, const std::string& bytes);
// What comes until the server closes the connection (or 5 s pass).
std::string readToEnd(int fd);
// One request on a connection of its own, and the whole answer.
std::string fetch(int port, const std::string& request);
// "GET path HTTP/1.1" with a Host, as a balancer's check sends it.
std::string get(const std::string& path);

} // namespace loopback
