// SPDX-License-Identifier: MIT
#include "app/serve_command.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/stop_request.hpp"
#include "cli/match_keeping.hpp"
#include "game/local.hpp"
#include "loop/event_loop.hpp"
#include "netplay/network.hpp"
#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "server/front.hpp"
#include "server/log_line.hpp"
#include "server/rooms.hpp"

namespace app {

namespace {

// How often the loop looks for a stop request and writes the line of the
// connections turned away since the last, in bulk.
constexpr int lookEveryMs = 250;
constexpr int refusedLineEveryMs = 10'000;
// The longest a drain waits for the open connections to end and the
// matches to play their round out: within the service's stop timeout.
constexpr int drainBoundMs = 60'000;

long long unixMsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void log(std::string_view level, std::string_view event,
         std::initializer_list<server::LogField> fields = {}) {
    std::string line = server::logLine(unixMsNow(), level, event, fields);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// A line for each room opened and closed.
struct RoomLog : server::RoomEvents {
    void opened(const std::string& name, const server::RoomKind& kind,
                const net::PeerAddress& client) override {
        log("info", "room_opened",
            {{"room", name},
             {"level", std::to_string(kind.level)},
             {"first_to", std::to_string(kind.firstTo)},
             {"client", client.text}});
    }
    void closed(const std::string& name, bool playedOut, int kept) override {
        if (kept > 0)
            log("info", playedOut ? "match_ended" : "room_closed",
                {{"room", name}, {"replay", std::to_string(kept)}});
        else
            log("info", playedOut ? "match_ended" : "room_closed", {{"room", name}});
    }
};

struct Serving {
    loop::EventLoop& loop;
    server::Front& front;
    server::Rooms& rooms;
    long long drainUntilMs = -1;
    long long refusedLineMs = 0;
};

void sayRefused(Serving& s, long long now) {
    if (now < s.refusedLineMs)
        return;
    s.refusedLineMs = now + refusedLineEveryMs;
    long long refused = s.front.takeNewlyRefused();
    if (refused > 0)
        log("warn", "refused",
            {{"connections", std::to_string(refused)},
             {"within_s", std::to_string(refusedLineEveryMs / 1000)}});
}

long long look(loop::EventLoop& loop, loop::TimerId /*id*/, void* context) {
    Serving& s = *static_cast<Serving*>(context);
    long long now = loop.nowMs();
    sayRefused(s, now);
    if (stopRequested() && !s.front.draining()) {
        s.front.drain();
        s.rooms.drain();
        s.drainUntilMs = now + drainBoundMs;
        log("info", "draining",
            {{"connections", std::to_string(s.front.counts().connections)},
             {"rooms", std::to_string(s.rooms.open())}});
    }
    if (s.front.draining() && ((s.front.idle() && s.rooms.idle()) || now >= s.drainUntilMs)) {
        loop.stop();
        return loop::noMore;
    }
    return lookEveryMs;
}

// Where the rooms' matches are kept: the folder --state names, else the
// user's state folder; "" keeps nothing. One that cannot be made is said
// once, at the start, and nothing is kept.
std::string keepingFolder(const Options& options) {
    std::string folder = options.state.empty() ? localStateFolder() : options.state;
    std::string error;
    if (folder.empty()) {
        log("warn", "cannot_keep", {{"reason", "no state folder can be named: give --state"}});
    } else if (!disk::makeFolder(folder + disk::folderSeparator() + record::recordingsFolder,
                                 error)) {
        log("warn", "cannot_keep", {{"reason", error}});
        folder.clear();
    }
    return folder;
}

} // namespace

int serve(const Options& options) {
    std::string error;
    if (!netStart(error)) {
        log("error", "cannot_start", {{"reason", error}});
        return 1;
    }
    int port = options.endpoint.port;
    NetSocket listener = netInheritedListener();
    bool inherited = listener != noSocket;
    if (!inherited)
        listener = netListen(options.endpoint, port, error);
    if (listener == noSocket) {
        log("error", "cannot_listen", {{"reason", error}});
        return 1;
    }
    watchStopRequests();
    server::FrontLimits limits;
    if (options.maxConnections > 0)
        limits.maxConnections = options.maxConnections;
    if (options.maxPerClient > 0)
        limits.maxPerAddress = options.maxPerClient;
    // The loop watches every connection, the front's and the rooms' alike,
    // and the listener's two sockets.
    loop::EventLoop loop(2 * limits.maxConnections + 8);
    server::RoomLimits roomLimits;
    if (options.maxRooms > 0)
        roomLimits.maxRooms = options.maxRooms;
    if (options.roomsPerMinute > 0)
        roomLimits.roomsPerMinute = options.roomsPerMinute;
    RoomLog roomLog;
    std::string folder = keepingFolder(options);
    server::KeepingAs keeping;
    if (!folder.empty())
        keeping = [folder] {
            long long now = std::time(nullptr);
            return KeptAs{
                record::PlayMode::Guest, -1, folder, now, localProcessId(), programVersion(),
                timeStamp(now)};
        };
    server::Rooms rooms(loop, roomLimits, &roomLog, keeping);
    server::Front front(loop, listener, limits, options.balancers, &rooms, folder);
    std::string address = options.endpoint.host.empty() ? "*" : options.endpoint.host;
    log("info", "start",
        {{"version", programVersion()},
         {"address", inherited ? "passed" : address},
         {"port", inherited ? "passed" : std::to_string(port)},
         {"balancers", std::to_string(options.balancers.size())},
         {"max_connections", std::to_string(limits.maxConnections)},
         {"max_per_client", std::to_string(limits.maxPerAddress)},
         {"max_rooms", std::to_string(roomLimits.maxRooms)},
         {"rooms_per_minute", std::to_string(roomLimits.roomsPerMinute)},
         {"state", folder}});
    Serving serving{loop, front, rooms};
    loop.addTimer(0, look, &serving);
    loop.run();
    log("info", "stop", {{"requests", std::to_string(front.counts().requests)}});
    return 0;
}

} // namespace app
