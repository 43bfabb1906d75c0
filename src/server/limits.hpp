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
// Rooms open at once, and opened from one client in a minute. A room of
// computer against a person takes a few hundred kilobytes and a little of
// a core: a small machine holds this many.
constexpr int defaultMaxRooms = 500;
constexpr int defaultRoomsPerMinute = 10;

} // namespace server
