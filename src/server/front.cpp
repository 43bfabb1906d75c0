// SPDX-License-Identifier: MIT
#include "server/front.hpp"

#include <string>

#include "net/forwarded_for.hpp"
#include "net/http_request.hpp"
#include "net/proxy_header.hpp"
#include "net/web_answer.hpp"
#include "server/answers.hpp"
#include "server/replay_answer.hpp"
#include "server/rooms.hpp"

namespace server {

namespace {

constexpr std::size_t readChunk = 4096;

std::string keyOf(const net::PeerAddress& a) { return {a.bytes.begin(), a.bytes.end()}; }

// The first byte of a PROXY header of either version.
bool startsProxyHeader(unsigned char first) { return first == 'P' || first == 0x0D; }

std::string tooManyResponse() {
    return net::httpResponse("429 Too Many Requests", "", "text/plain; charset=utf-8",
                             "429 Too Many Requests\n");
}

} // namespace

struct Front::Connection {
    enum class Phase { Head, Answer, Linger };
    Front* front;
    NetSocket socket;
    Phase phase = Phase::Head;
    bool viaBalancer = false;
    bool proxyStarted = false;
    bool proxyRead = false;  // a balancer's PROXY header, if any, is behind
    std::string counted;     // the client counted in perAddress_, "" for none
    net::PeerAddress client; // who is at the other end, behind a balancer too
    std::string head;        // what was read after a PROXY header, for a room
    net::ProxyHeaderReader proxy;
    net::HttpRequestReader reader;
    std::string out;
    std::size_t sent = 0;
    std::size_t replayBytes = 0; // of a recording in out
    loop::TimerId timer = loop::noTimer;
};

Front::Front(loop::EventLoop& loop, NetSocket listener, const FrontLimits& limits,
             std::vector<net::PeerAddress> balancers, Rooms* rooms, std::string keptIn)
    : loop_(loop), listener_(listener), limits_(limits), balancers_(std::move(balancers)),
      rooms_(rooms), keptIn_(std::move(keptIn)) {
    watchListener(true);
}

Front::~Front() {
    while (!connections_.empty())
        close(*connections_.begin()->second);
    if (resumeTimer_ != loop::noTimer)
        loop_.cancelTimer(resumeTimer_);
    watchListener(false);
    netClose(listener_);
}

long long Front::takeNewlyRefused() {
    long long fresh = counts_.connectionsRefused - refusedBefore_;
    refusedBefore_ = counts_.connectionsRefused;
    return fresh;
}

void Front::listenerCame(loop::EventLoop& /*loop*/, loop::Handle /*handle*/, unsigned /*mask*/,
                         void* self) {
    static_cast<Front*>(self)->acceptSome();
}

void Front::acceptSome() {
    for (int n = 0; n < limits_.acceptsPerTurn; ++n) {
        NetSocket socket = noSocket;
        net::PeerAddress from;
        std::string error;
        Accepted got = netAccept(listener_, socket, from, error);
        if (got == Accepted::OutOfRoom) {
            ++counts_.connectionsRefused;
            pauseListening(); // the waiting connection would wake every turn
        }
        if (got != Accepted::Socket)
            return;
        if (static_cast<int>(connections_.size()) >= limits_.maxConnections ||
            loop_.files() >= loop_.maxFiles()) {
            refuse(socket);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->front = this;
        c->socket = socket;
        c->client = from;
        c->viaBalancer = net::isTrusted(from, balancers_);
        c->proxyRead = !c->viaBalancer;
        if (!loop_.addFile(socket, loop::readable, connectionCame, c.get())) {
            refuse(socket);
            continue;
        }
        if (!c->viaBalancer && !admit(*c, from)) {
            loop_.removeFile(socket);
            refuse(socket);
            continue;
        }
        arm(*c, limits_.headTimeoutMs);
        connections_.emplace(socket, std::move(c));
        counts_.connections = static_cast<long long>(connections_.size());
    }
}

void Front::watchListener(bool on) {
    NetSocket handles[2];
    for (int i = 0, n = netHandles(listener_, handles); i < n; ++i) {
        if (on)
            loop_.addFile(handles[i], loop::readable, listenerCame, this);
        else
            loop_.removeFile(handles[i]);
    }
}

void Front::pauseListening() {
    if (resumeTimer_ != loop::noTimer)
        return;
    watchListener(false);
    resumeTimer_ = loop_.addTimer(outOfRoomPauseMs, resumeListening, this);
}

long long Front::resumeListening(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* self) {
    auto& front = *static_cast<Front*>(self);
    front.resumeTimer_ = loop::noTimer;
    front.watchListener(true);
    return loop::noMore;
}

void Front::refuse(NetSocket socket) {
    ++counts_.connectionsRefused;
    netClose(socket);
}

void Front::connectionCame(loop::EventLoop& /*loop*/, loop::Handle /*handle*/, unsigned mask,
                           void* connection) {
    Connection& c = *static_cast<Connection*>(connection);
    Front& front = *c.front;
    switch (c.phase) {
    case Connection::Phase::Head: front.readHead(c); break;
    case Connection::Phase::Answer:
        if ((mask & loop::writable) != 0)
            front.sendSome(c);
        break;
    case Connection::Phase::Linger: front.linger(c); break;
    }
}

void Front::readHead(Connection& c) {
    unsigned char bytes[readChunk];
    std::string problem;
    long got = netReceive(c.socket, bytes, sizeof bytes, problem);
    if (got < 0) {
        close(c);
        return;
    }
    auto count = static_cast<std::size_t>(got);
    std::size_t at = 0;
    if (count == 0 || (!c.proxyRead && !readProxyHeader(c, bytes, count, at)))
        return; // nothing yet, more of the header to come, or answered
    c.reader.feed(bytes + at, count - at);
    c.head.append(reinterpret_cast<const char*>(bytes) + at, count - at);
    net::PeerAddress client;
    if (c.reader.done() && c.viaBalancer && c.counted.empty() &&
        net::forwardedClient(c.reader.request().header("x-forwarded-for"), balancers_, client) &&
        !admit(c, client)) {
        answer(c, tooManyResponse(), true);
    } else if (c.reader.failed()) {
        answer(c, net::badRequestResponse(), true);
    } else if (c.reader.done()) {
        ++counts_.requests;
        route(c);
    }
}

void Front::route(Connection& c) {
    const net::HttpRequest& request = c.reader.request();
    std::string_view target = request.target;
    std::size_t mark = target.find('?');
    std::string_view path = target.substr(0, mark);
    std::string_view query = mark == std::string_view::npos ? "" : target.substr(mark + 1);
    RoomPath room = roomPathOf(path);
    if (room.isRoom && room.rest == net::webSocketPath && rooms_ != nullptr)
        return toRoom(c, room.name, query);
    if (ReplayPath kept = replayPathOf(room.rest); room.isRoom && kept.recording)
        return replay(c, room.name, kept.number);
    if (rooms_ != nullptr)
        rooms_->countInto(counts_);
    net::WebAnswer a = answerServerRequest(request, counts_, draining_);
    answer(c, std::move(a.response), net::turnsAway(a.kind));
}

// The room has the connection from here on, its socket watched by the
// room's own events, unless it cannot be had.
void Front::toRoom(Connection& c, std::string_view name, std::string_view query) {
    loop_.removeFile(c.socket);
    NetSocket socket = c.socket;
    std::string head = std::move(c.head);
    switch (rooms_->take(name, query, socket, c.client, head)) {
    case Rooms::Taken::Yes: return letGo(c);
    case Rooms::Taken::NoSuchRoom: return answer(c, notFoundResponse(), false);
    case Rooms::Taken::Draining:
    case Rooms::Taken::Full: return answer(c, unavailableResponse(), false);
    case Rooms::Taken::TooOften: return answer(c, tooManyResponse(), true);
    }
}

// A recording is read whole and held until it is sent, within a bound on
// all of them at once: beyond it, the visitor is asked to come back.
void Front::replay(Connection& c, std::string_view room, int number) {
    std::size_t bytes = 0;
    std::string response = replayRecordingResponse(keptIn_, room, number, bytes);
    if (replayBytes_ + bytes > limits_.replayBytes)
        return answer(c, unavailableResponse(), false);
    c.replayBytes = bytes;
    replayBytes_ += bytes;
    answer(c, std::move(response), false);
}

// A balancer's connection may start with a PROXY header. Whether the
// header is behind (or there is none), with `taken` the bytes of it read;
// false when more is to come or the connection is answered and gone: a
// header that does not read, or names a client over its bound.
bool Front::readProxyHeader(Connection& c, const unsigned char* bytes, std::size_t count,
                            std::size_t& taken) {
    taken = 0;
    if (!c.proxyStarted && !startsProxyHeader(bytes[0])) {
        c.proxyRead = true; // none: the request's X-Forwarded-For names the client
        return true;
    }
    c.proxyStarted = true;
    taken = c.proxy.feed(bytes, count);
    if (c.proxy.failed()) {
        answer(c, net::badRequestResponse(), true);
        return false;
    }
    if (!c.proxy.done())
        return false;
    if (c.proxy.named() && !admit(c, c.proxy.client())) {
        answer(c, tooManyResponse(), true);
        return false;
    }
    c.proxyRead = true;
    return true;
}

bool Front::admit(Connection& c, const net::PeerAddress& client) {
    std::string key = keyOf(client);
    int& open = perAddress_[key];
    if (open >= limits_.maxPerAddress) {
        if (open == 0)
            perAddress_.erase(key);
        return false;
    }
    ++open;
    c.counted = key;
    c.client = client;
    return true;
}

void Front::answer(Connection& c, std::string bytes, bool refused) {
    if (refused)
        ++counts_.connectionsRefused;
    c.phase = Connection::Phase::Answer;
    c.out = std::move(bytes);
    c.sent = 0;
    loop_.removeFile(c.socket, loop::readable);
    loop_.addFile(c.socket, loop::writable, connectionCame, &c);
    arm(c, limits_.sendTimeoutMs);
    sendSome(c);
}

void Front::sendSome(Connection& c) {
    std::string problem;
    long n = netSend(c.socket, c.out.data() + c.sent, c.out.size() - c.sent, problem);
    if (n < 0) {
        close(c);
        return;
    }
    c.sent += static_cast<std::size_t>(n);
    if (c.sent < c.out.size())
        return;
    netShutdownSend(c.socket);
    c.phase = Connection::Phase::Linger;
    std::string().swap(c.out);
    replayBytes_ -= c.replayBytes;
    c.replayBytes = 0;
    loop_.removeFile(c.socket, loop::writable);
    loop_.addFile(c.socket, loop::readable, connectionCame, &c);
    arm(c, limits_.lingerMs);
}

// What comes after the answer is dropped; the peer's close ends it.
void Front::linger(Connection& c) {
    unsigned char bytes[readChunk];
    std::string problem;
    if (netReceive(c.socket, bytes, sizeof bytes, problem) < 0)
        close(c);
}

void Front::arm(Connection& c, int afterMs) {
    if (c.timer != loop::noTimer)
        loop_.cancelTimer(c.timer);
    c.timer = loop_.addTimer(afterMs, expired, &c);
}

long long Front::expired(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* connection) {
    Connection& c = *static_cast<Connection*>(connection);
    c.timer = loop::noTimer; // it fired: nothing to cancel
    if (c.phase != Connection::Phase::Linger)
        ++c.front->counts_.connectionsRefused; // too slow to send or to take
    c.front->close(c);
    return loop::noMore;
}

void Front::close(Connection& c) {
    loop_.removeFile(c.socket);
    netClose(c.socket);
    letGo(c);
}

void Front::letGo(Connection& c) {
    replayBytes_ -= c.replayBytes;
    if (c.timer != loop::noTimer)
        loop_.cancelTimer(c.timer);
    if (!c.counted.empty()) {
        auto open = perAddress_.find(c.counted);
        if (--open->second == 0)
            perAddress_.erase(open);
    }
    NetSocket socket = c.socket;
    connections_.erase(socket); // c is gone from here on
    counts_.connections = static_cast<long long>(connections_.size());
}

} // namespace server
