// SPDX-License-Identifier: MIT
#include "net/room_road.hpp"

#include <algorithm>

#include "net/base64.hpp"
#include "net/host_names.hpp"
#include "net/protocol.hpp"

namespace net {

namespace {

constexpr std::size_t shortestRoomName = 4;
constexpr std::size_t longestRoomName = 32;
// The page's symbols for a room's name: no l, o, 0 or 1 to misread.
constexpr std::string_view roomLetters = "abcdefghijkmnpqrstuvwxyz23456789";
constexpr std::string_view plainScheme = "http://";
constexpr std::string_view secureScheme = "https://";
constexpr std::string_view roomPrefix = "r/";

bool nameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// `text` begins with `prefix` (lower case), in any case.
bool startsWithLower(std::string_view text, std::string_view prefix) {
    return lowered(text.substr(0, prefix.size())) == prefix;
}

const char* const roadsText = "HOST:PORT/new, HOST:PORT/quick or HOST:PORT/r/ROOM";

// The path after HOST[:PORT]/, a trailing slash left out.
std::string roomOfPath(std::string_view path, RoomRoad& road) {
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path == "new") {
        road.kind = RoomRoad::Kind::New;
    } else if (path == quickRoomName) {
        road.kind = RoomRoad::Kind::Quick;
    } else if (path.substr(0, roomPrefix.size()) == roomPrefix) {
        road.kind = RoomRoad::Kind::Room;
        road.name = path.substr(roomPrefix.size());
        if (!validRoomName(road.name)) {
            std::string wrong = "\"";
            wrong += road.name;
            wrong += "\" is no room's name: 4 to 32 letters, digits, hyphens and underscores";
            return wrong;
        }
    } else {
        std::string wrong = "/";
        wrong += path;
        wrong += " is no room of a server; give ";
        wrong += roadsText;
        return wrong;
    }
    return "";
}

} // namespace

bool validRoomName(std::string_view name) {
    return name.size() >= shortestRoomName && name.size() <= longestRoomName &&
           std::all_of(name.begin(), name.end(), nameByte);
}

std::string roomNameFromBytes(const unsigned char (&bytes)[roomNameLength]) {
    std::string name;
    for (unsigned char b : bytes)
        name += roomLetters[b & 31U];
    return name;
}

std::string parseRoomRoad(std::string_view text, Endpoint& where, RoomRoad& road, bool& isRoom) {
    isRoom = false;
    if (startsWithLower(text, secureScheme)) {
        std::string wrong = "a terminal reaches a server at its plain port, not over https: give ";
        wrong += roadsText;
        wrong += " (doc/server.md says how behind TLS)";
        return wrong;
    }
    bool link = startsWithLower(text, plainScheme);
    if (link)
        text.remove_prefix(plainScheme.size());
    std::size_t hash = text.find('#');
    std::string_view fragment = hash == std::string_view::npos ? "" : text.substr(hash + 1);
    text = text.substr(0, hash);
    std::size_t slash = text.find('/');
    if (slash == std::string_view::npos && !link && hash == std::string_view::npos)
        return ""; // a host's address, no server's room
    if (slash == std::string_view::npos) {
        std::string wrong = "a server's room needs its path: give ";
        wrong += roadsText;
        return wrong;
    }
    isRoom = true;
    std::string wrong = parseEndpoint(text.substr(0, slash), false, where);
    if (wrong.empty())
        wrong = roomOfPath(text.substr(slash + 1), road);
    if (!wrong.empty() || fragment.empty())
        return wrong;
    JoinCode code;
    if (!parseJoinCode(fragment, code)) {
        std::string noCode = "the link's #";
        noCode += fragment;
        noCode += " is no join code";
        return noCode;
    }
    road.code = code;
    return "";
}

std::string roomLink(const std::string& host, int port, const std::string& name,
                     const JoinCode& code) {
    std::string link(plainScheme);
    link += formatEndpoint(host, port);
    link += '/';
    link += roomPrefix;
    link += name;
    link += '#';
    link += formatJoinCode(code);
    return link;
}

std::string roomPlayPath(const std::string& name, std::string_view query) {
    std::string path = "/";
    path += roomPrefix;
    path += name;
    path += "/play";
    if (!query.empty()) {
        path += '?';
        path += query;
    }
    return path;
}

int keptNumberOf(std::string_view digits) {
    bool decimal =
        !digits.empty() && digits.size() <= 10 && digits[0] != '0' &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    long long n = decimal ? std::stoll(std::string(digits)) : 0;
    return n <= maxKeptNumber ? static_cast<int>(n) : 0;
}

bool parseReplayRoad(std::string_view text, Endpoint& where, ReplayRoad& road, std::string& wrong) {
    if (startsWithLower(text, plainScheme))
        text.remove_prefix(plainScheme.size());
    std::size_t slash = text.find('/');
    if (slash == std::string_view::npos || text.substr(slash + 1, roomPrefix.size()) != roomPrefix)
        return false;
    std::string_view path = text.substr(slash + 1 + roomPrefix.size());
    if (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    std::size_t replayAt = path.find(replayPath);
    if (replayAt == std::string_view::npos || !validRoomName(path.substr(0, replayAt)))
        return false;
    int number = keptNumberOf(path.substr(replayAt + replayPath.size()));
    if (number == 0)
        return false;
    road = {std::string(path.substr(0, replayAt)), number};
    wrong = parseEndpoint(text.substr(0, slash), false, where);
    return true;
}

std::string replayLink(const std::string& host, int port, const ReplayRoad& road) {
    std::string link(plainScheme);
    link += formatEndpoint(host, port);
    link += replayRecordingPath(road);
    link.resize(link.size() - recordingSuffix.size());
    return link;
}

std::string replayRecordingPath(const ReplayRoad& road) {
    std::string path = "/";
    path += roomPrefix;
    path += road.room;
    path += replayPath;
    path += std::to_string(road.number);
    path += recordingSuffix;
    return path;
}

std::string webSocketKeyOf(const unsigned char (&bytes)[webSocketKeyBytes]) {
    return base64(bytes, webSocketKeyBytes);
}

std::string webSocketRequest(std::string_view host, std::string_view path, std::string_view key) {
    std::string out = "GET ";
    out += path;
    out += " HTTP/1.1\r\nHost: ";
    out += host;
    out += "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: ";
    out += key;
    out += "\r\nSec-WebSocket-Version: 13\r\nOrigin: ";
    out += plainScheme;
    out += host;
    out += "\r\n\r\n";
    return out;
}

} // namespace net
