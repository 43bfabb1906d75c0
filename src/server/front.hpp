// SPDX-License-Identifier: MIT
// The server's front: its listening socket and the connections it takes,
// each served on one thread's event loop. A connection sends the head of
// one request, gets its answer (answers.hpp) and is closed; every step is
// bounded: the connections open at once, in all and from one client, those
// taken in one turn of the loop (so that a flood takes only its share of a
// turn), the time to send a head and the time to take an answer. Whoever is
// over a bound is closed and counted, never waited for. Behind a balancer
// the client is the person the balancer names, never the balancer.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "loop/event_loop.hpp"
#include "net/admission.hpp"
#include "netplay/network.hpp"
#include "server/counts.hpp"
#include "server/limits.hpp"

namespace server {

class Rooms;

// How long the listener rests when the process has no descriptor left.
constexpr int outOfRoomPauseMs = 100;

struct FrontLimits {
    int maxConnections = defaultMaxConnections; // open at once; one more is closed as it comes
    int maxPerAddress = defaultMaxPerClient;    // open at once from one client
    int acceptsPerTurn = 64;                    // taken in one turn of the loop
    int headTimeoutMs = 10'000;
    int sendTimeoutMs = 10'000;
    // After the answer, what the peer still sends is read and dropped for
    // this long, so that closing does not reset the answer on its way.
    int lingerMs = 1000;
    // Recordings held to send, in all: one more waits for the next visit.
    std::size_t replayBytes = std::size_t{64} * 1024 * 1024;
};

class Front {
public:
    // Serves `listener` (which it closes at its end) on `loop`. Connections
    // from `balancers` carry others': the client is the one a PROXY header
    // they start with names, or else the request's X-Forwarded-For. The
    // rooms' kept matches are read from the state folder `keptIn`.
    Front(loop::EventLoop& loop, NetSocket listener, const FrontLimits& limits = {},
          std::vector<net::PeerAddress> balancers = {}, Rooms* rooms = nullptr,
          std::string keptIn = "");
    ~Front();
    Front(const Front&) = delete;
    Front& operator=(const Front&) = delete;

    // From now on the health check says the server drains; all else stays.
    void drain() { draining_ = true; }
    bool draining() const { return draining_; }
    // No connection is open.
    bool idle() const { return connections_.empty(); }
    const Counts& counts() const { return counts_; }
    // Connections turned away since the last call, for a line in bulk.
    long long takeNewlyRefused();

private:
    struct Connection;
    static void listenerCame(loop::EventLoop& loop, loop::Handle handle, unsigned mask, void* self);
    static void connectionCame(loop::EventLoop& loop, loop::Handle handle, unsigned mask,
                               void* connection);
    static long long expired(loop::EventLoop& loop, loop::TimerId id, void* connection);
    void acceptSome();
    void watchListener(bool on);
    // With no descriptor left, the listener rests a while before it is
    // watched again.
    void pauseListening();
    static long long resumeListening(loop::EventLoop& loop, loop::TimerId id, void* self);
    void refuse(NetSocket socket);
    void readHead(Connection& c);
    bool readProxyHeader(Connection& c, const unsigned char* bytes, std::size_t count,
                         std::size_t& taken);
    bool admit(Connection& c, const net::PeerAddress& client);
    void route(Connection& c);
    void toRoom(Connection& c, std::string_view name, std::string_view query);
    void replay(Connection& c, std::string_view room, int number);
    void answer(Connection& c, std::string bytes, bool refused);
    void sendSome(Connection& c);
    void linger(Connection& c);
    void arm(Connection& c, int afterMs);
    void close(Connection& c);
    // Forgets the connection without closing it: it is someone else's now.
    void letGo(Connection& c);

    loop::EventLoop& loop_;
    NetSocket listener_;
    FrontLimits limits_;
    std::vector<net::PeerAddress> balancers_;
    Rooms* rooms_;
    std::string keptIn_;
    std::size_t replayBytes_ = 0; // of recordings being sent
    std::unordered_map<NetSocket, std::unique_ptr<Connection>> connections_;
    // Connections open per client, by its address's bytes.
    std::unordered_map<std::string, int> perAddress_;
    Counts counts_;
    long long refusedBefore_ = 0;
    loop::TimerId resumeTimer_ = loop::noTimer;
    bool draining_ = false;
};

} // namespace server
