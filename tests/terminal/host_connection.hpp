// SPDX-License-Identifier: MIT
// A guest's connection to a host in the same process: a socket pair whose
// one end the host adopts.
#pragma once

#include <cstdlib>
#include <sys/socket.h>

#include "netplay/host.hpp"

namespace term {

// The host's end adopted, the other end returned.
inline int connectTo(netplay::GameHost& host) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        std::abort();
    host.adopt(pair[0]);
    return pair[1];
}

} // namespace term
