// SPDX-License-Identifier: MIT
// The server's limits that an operator may change (--max-connections,
// --max-per-client), their defaults for a small machine and their bounds.
#pragma once

namespace server {

constexpr int defaultMaxConnections = 1000;
constexpr int defaultMaxPerClient = 32;
// A connection takes a descriptor and a few kilobytes: beyond this a
// machine runs out of one or the other before the server's bound matters.
constexpr int mostConnections = 100'000;

} // namespace server
