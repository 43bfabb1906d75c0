// SPDX-License-Identifier: MIT
// Where to listen and where to connect, as typed on the command line:
// HOST[:PORT] with a name, an IPv4 address or an IPv6 address in brackets
// ([::1]:7416); an IPv6 address without a port may also stand bare (::1).
// The port is 7416 unless given.
#pragma once

#include <string>
#include <string_view>

namespace net {

constexpr int defaultPort = 7416;

struct Endpoint {
    std::string host; // empty when listening: every interface
    int port = defaultPort;
};

// Reads `text` for --host (`listening`: the address may be left out, as in
// ":7416" or "", and port 0 asks the system for a free one) or for --join
// and --watch. Returns "" and fills `out`, or says what is wrong.
std::string parseEndpoint(std::string_view text, bool listening, Endpoint& out);

// HOST:PORT as a person types it back: an IPv6 address in brackets.
std::string formatEndpoint(const std::string& host, int port);

} // namespace net
