// SPDX-License-Identifier: MIT
// A server's kept match fetched for --replay HOST:PORT/r/ROOM/replay/N: a
// plain GET of its recording, over the same road a browser takes (so that
// a balancer routes it by the room), its answer read within bounds
// (net/file_answer.hpp) and within fetchLimitMs in all, however slowly the
// server sends.
#pragma once

#include <string>

#include "net/address.hpp"
#include "net/room_road.hpp"

namespace netplay {

constexpr int fetchConnectMs = 5000;
constexpr int fetchLimitMs = 30'000;

// The recording's bytes into `bytes`, at most `limit` of them; "" or what
// went wrong, in words for the person who asked.
std::string fetchRecording(const net::Endpoint& where, const net::ReplayRoad& road,
                           std::size_t limit, std::string& bytes);

} // namespace netplay
