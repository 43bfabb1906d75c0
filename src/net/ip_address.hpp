// SPDX-License-Identifier: MIT
// Numeric IP addresses between text and the 16 bytes a PeerAddress holds
// (IPv4 as ::ffff:a.b.c.d), without the system's resolver: for addresses
// that arrive in text from outside (a balancer's PROXY header, a
// forwarded-for header, an option naming trusted balancers).
#pragma once

#include <string>
#include <string_view>

#include "net/admission.hpp"

namespace net {

// Reads "203.0.113.7" or "2001:db8::1" (no zone, no brackets, no port):
// strict, so that "1.2.3" or "01.2.3.4" or ":::" is refused. False, with
// `address` unchanged, when it is no address.
bool parseIpAddress(std::string_view text, PeerAddress& address);

// The address as text: dotted for IPv4, RFC 5952's form for IPv6 (lower
// case, the longest run of zero groups as ::).
std::string formatIpAddress(const PeerAddress& address);

} // namespace net
