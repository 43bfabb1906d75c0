// SPDX-License-Identifier: MIT
// The road a terminal takes to a server's room: the same as a page's, a
// WebSocket switch at the room's path, so that one balancer routes both.
// Which room a command names (HOST[:PORT]/new, /quick or /r/ROOM, or the
// room's link as a page shows it), room names as the server takes them,
// and the request that asks for the switch.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "net/address.hpp"
#include "net/join_code.hpp"
#include "net/web_answer.hpp"

namespace net {

// A room's name: 4 to 32 letters, digits, hyphens and underscores, so that
// it stands in a path and a log as it is.
bool validRoomName(std::string_view name);

// The names a terminal draws for a new room, as a page draws them: twelve
// of 32 symbols (60 bits), each from the low five bits of a random byte.
constexpr std::size_t roomNameLength = 12;
std::string roomNameFromBytes(const unsigned char (&bytes)[roomNameLength]);

// The name quick match goes by; its rooms are the server's own.
constexpr std::string_view quickRoomName = "quick";

struct RoomRoad {
    enum class Kind { New, Quick, Room };
    Kind kind = Kind::Room;
    std::string name;             // Room's
    std::optional<JoinCode> code; // the link's #CODE, when it had one
};

// Reads "[http://]HOST[:PORT]/new", "/quick" or "/r/ROOM[/][#CODE]" into
// where and which room; "" or what is wrong with it. Text without a path is
// no room (`isRoom` false, "" returned): a --host game's address.
std::string parseRoomRoad(std::string_view text, Endpoint& where, RoomRoad& road, bool& isRoom);

// The room's link, as a page shows it, and the path of its connection with
// `query` (what a new room plays, "friend" or "here"; may be empty).
std::string roomLink(const std::string& host, int port, const std::string& name,
                     const JoinCode& code);
std::string roomPlayPath(const std::string& name, std::string_view query);

// A room's kept match, as a replay link names it:
// "[http://]HOST[:PORT]/r/ROOM/replay/N"; the recording it plays is at the
// same path with recordingSuffix.
constexpr std::string_view replayPath = "/replay/";
constexpr std::string_view recordingSuffix = ".rec";
struct ReplayRoad {
    std::string room;
    int number = 0;
};
// The match's number in "N" (1 to maxKeptNumber, decimal, no leading
// zero); 0 for any other text.
int keptNumberOf(std::string_view digits);
// False for text of any other shape (a file's path). True when it has the
// shape, with `wrong` what is wrong with it ("" when nothing is).
bool parseReplayRoad(std::string_view text, Endpoint& where, ReplayRoad& road, std::string& wrong);
// The link to a room's kept match, and the path of its recording.
std::string replayLink(const std::string& host, int port, const ReplayRoad& road);
std::string replayRecordingPath(const ReplayRoad& road);

// A switch's random key, as base64.
std::string webSocketKeyOf(const unsigned char (&bytes)[webSocketKeyBytes]);

// The switch to a WebSocket at `path` of `host` (HOST:PORT as the command
// named it), from the server's own origin, as its page would ask.
std::string webSocketRequest(std::string_view host, std::string_view path, std::string_view key);

} // namespace net
