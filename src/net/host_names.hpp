// SPDX-License-Identifier: MIT
// The names a browser may reach this host by, and whether a request's Host
// header is one of them. A browser sends the name it looked up, so a page
// on a stranger's site whose name was pointed at this machine (or at the
// player's own loopback, for a host kept for an SSH tunnel) names that
// site: refused, such a page cannot try codes through the player's browser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace net {

// `s` with its ASCII capitals made small, as names and header values
// compare.
std::string lowered(std::string_view s);

// HOST[:PORT]: a name or IPv4 address, or an IPv6 address in brackets
// (kept without them), lowercase; port -1 when none is given.
struct HostAndPort {
    std::string host;
    int port = -1;
};

// Reads HOST[:PORT] as a Host header carries it; false for anything else
// (an empty name, a bare IPv6 address, a port that is no number up to
// 65535, a byte no name has).
bool parseHostAndPort(std::string_view text, HostAndPort& out);

// The names a browser reaches this host by, lowercase.
using HostNames = std::vector<std::string>;
// Among a host's names: any name at all. A server on the internet is
// reached by whatever name its operator gave it, or a balancer's; what
// keeps another site's page off its game is the switch's origin check.
constexpr std::string_view anyHostName = "*";

// The names of a host: each of `addresses` (the one it listens at, the one
// its notice shows, this machine's; an IPv6 zone is dropped, a browser
// sends none), localhost, and `given` (HOST[:PORT], a name of this host in
// DNS or a proxy's; its port is no matter; empty for none).
HostNames hostNamesOf(const std::vector<std::string>& addresses, std::string_view given);

// Whether `header` names this host. Only the name counts: a tunnel, a
// forward or a proxy brings a browser in at a port of its own, and a page
// at another port of a name of ours is refused by its origin, not here.
bool namesThisHost(std::string_view header, const HostNames& names);

} // namespace net
