// SPDX-License-Identifier: MIT
// What the host answers a browser's request: its page at /, the switch to
// a WebSocket at /play (or under a room's path) for the page's own origin only, and a plain refusal
// for anything else, and for any request that does not name this host.
// A query on a path (as chat apps and trackers add to a link) changes
// nothing. Every answer but the switch ends the connection.
#pragma once

#include <string>
#include <string_view>

#include "net/host_names.hpp"
#include "net/http_request.hpp"

namespace net {

constexpr std::string_view webPagePath = "/";
constexpr std::string_view webSocketPath = "/play";
// Random bytes in a WebSocket switch's key.
constexpr std::size_t webSocketKeyBytes = 16;
// Random bytes in each page's nonce: 128 bits, as CSP asks.
constexpr std::size_t nonceBytes = 16;

enum class WebAnswerKind {
    Page,       // 200 with the page; the connection closes after it
    Upgrade,    // 101: the connection carries the game's messages from now on
    BadRequest, // 400: an unreadable head, or a /play request that is no upgrade
    Forbidden,  // 403: a Host that is none of this host's names, or /play asked for
                // by another origin than the page's
    NotFound,   // 404
    NotAllowed, // 405: anything but GET
};

struct WebAnswer {
    WebAnswerKind kind;
    std::string response; // the bytes to send, head and body
};

// A whole answer that ends the connection: `status` ("200 OK"), the lines
// of `extra` headers (each ending in CR LF), the body and its type.
std::string httpResponse(std::string_view status, std::string_view extra, std::string_view type,
                         std::string_view body);

// The Sec-WebSocket-Accept value for a browser's Sec-WebSocket-Key.
std::string webSocketAccept(std::string_view key);

// The answer to `request` at a host of `names`. `page` is the page with
// `placeholder` wherever its nonce goes; `nonce` is fresh for this answer
// (base64). Under a `base` path (a server's room, /r/ROOM) the page is
// at base and base/, the switch at base/play.
WebAnswer answerWebRequest(const HttpRequest& request, const HostNames& names,
                           std::string_view page, std::string_view placeholder,
                           std::string_view nonce, std::string_view base = {});

// Whether an answer of `kind` turns a stranger away: it refuses what no
// visit to the page sends (an unreadable head, another host's name, another
// method, a bad switch); a path this host does not serve is only missing.
bool turnsAway(WebAnswerKind kind);

// The answer to a head that could not be read.
std::string badRequestResponse();

} // namespace net
