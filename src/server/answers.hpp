// SPDX-License-Identifier: MIT
// What a server answers of its own, whatever the name it is reached by (a
// balancer's or its own): the page at / with the choices that open a room,
// at a room's path (/r/ROOM) to play in it, and at a kept match's
// (/r/ROOM/replay/N) to play it back; GET /healthz, 200 while it
// takes rooms and 503 once it drains, for a balancer's check; GET /metrics,
// its counts for Prometheus. A query on the path changes nothing. Every
// answer ends its connection.
#pragma once

#include <string>
#include <string_view>

#include "net/http_request.hpp"
#include "net/web_answer.hpp"
#include "server/counts.hpp"

namespace server {

constexpr std::string_view healthPath = "/healthz";
constexpr std::string_view metricsPath = "/metrics";
// Everything of a room is under its path: its page, its game, its replays.
constexpr std::string_view roomsPath = "/r/";

// A path under roomsPath: the room's name and what follows it ("", "/",
// "/play"); isRoom false for any other path, and for a name no room has.
struct RoomPath {
    bool isRoom = false;
    std::string_view name;
    std::string_view rest;
};
RoomPath roomPathOf(std::string_view path);

// The answer to `request` from a server with `counts`, draining or not.
net::WebAnswer answerServerRequest(const net::HttpRequest& request, const Counts& counts,
                                   bool draining);

// Refusals of a connection for a room's game: no such room (and the link
// opens none), and no room for one now (full, or draining).
std::string notFoundResponse();
std::string unavailableResponse();

} // namespace server
