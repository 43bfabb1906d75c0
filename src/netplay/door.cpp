// SPDX-License-Identifier: MIT
// The host's door: strangers read, checked, refused or let in, and the
// limits on what a stranger can make it do.
#include "netplay/door.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "netplay/browser_answer.hpp"

namespace netplay {

namespace {

// A refused connection gets this long to read why before it is closed.
constexpr int leaveMs = 1000;
// A page's answer is larger: over a slow link it may still be going out
// after leaveMs. Its connection stays while the page's bytes wait to go
// out, and leaveMs after, but no longer than this in all.
constexpr int pageMs = 10'000;
// As many as can take a slot at once.
constexpr int acceptsPerServe = net::Admission::greetingSlots;
// How long the listener rests when the system has no descriptor or memory
// for another connection.
constexpr int acceptRestMs = 100;

} // namespace

Door::Door(Hall& hall, const net::JoinCode& code, NetSocket listener)
    : hall_(hall), code_(code), listener_(listener) {}

Door::~Door() {
    if (listener_ != noSocket)
        netClose(listener_);
}

void Door::close() {
    strangers_.clear();
    slots_.clear();
    if (listener_ != noSocket)
        netClose(listener_);
    listener_ = noSocket;
}

// A new connection is read at once: a greeting already there needs no slot.
void Door::take(NetSocket socket, const net::PeerAddress& from, long long nowMs,
                std::string_view already) {
    Stranger s;
    s.id = nextId_++;
    s.from = from;
    s.link = std::make_unique<Link>(socket, net::Sender::Guest, nowMs);
    s.link->acceptBrowsers();
    s.link->prime(already);
    strangers_.push_back(std::move(s));
    admission_.opened(strangers_.back().id, from, nowMs);
    readFrom(strangers_.back(), nowMs);
    makeRoom(nowMs);
}

// What follows a welcome in the same read is kept for the hall, which
// reads it as its own.
void Door::readFrom(Stranger& s, long long now) {
    auto handleOrKeep = [&](const net::Message& m) {
        if (s.stage == Stage::LetIn)
            s.early.push_back(m);
        else
            handle(s, m, now);
    };
    if (open(s) && !s.link->receive(now, handleOrKeep, bytesPerServe)) {
        if (s.stage != Stage::LetIn)
            drop(s, now, s.link->brokeProtocol());
    } else if (s.stage == Stage::Greeting && s.link != nullptr && s.link->httpArrived()) {
        answerBrowser(s, now);
    }
    if (s.stage == Stage::LetIn && s.link != nullptr)
        handOver(s, now);
}

// Until it switches, a browser's connection holds a slot of the door like
// any stranger's; one given its page or told a path is missing has been
// served, one refused is turned away.
void Door::answerBrowser(Stranger& s, long long now) {
    net::WebAnswer answer = netplay::answerBrowser(*s.link->http(), names_, base_);
    s.link->queueRaw(answer.response, now);
    if (answer.kind == net::WebAnswerKind::Upgrade) {
        s.link->startWebSocket();
        return;
    }
    admission_.gone(s.id, net::turnsAway(answer.kind), now);
    leave(s, now);
    if (answer.kind == net::WebAnswerKind::Page)
        s.pageBy = now + pageMs;
}

// Each connection that gives way is read once more first.
void Door::makeRoom(long long now) {
    for (int id = admission_.givesWay(now); id >= 0; id = admission_.givesWay(now)) {
        Stranger* s = find(id);
        if (s != nullptr)
            readFrom(*s, now);
        if (s != nullptr && s->stage == Stage::Greeting && open(*s))
            drop(*s, now, true);
        else if (s == nullptr || !open(*s))
            admission_.gone(id, false, now);
    }
}

void Door::timeOut(long long now) {
    for (int id = admission_.expired(now); id >= 0; id = admission_.expired(now)) {
        Stranger* s = find(id);
        if (s != nullptr)
            drop(*s, now, true);
        admission_.gone(id, true, now);
    }
}

void Door::takeTurns(long long now) {
    for (int id = admission_.nextTurn(now); id >= 0; id = admission_.nextTurn(now)) {
        Stranger* s = find(id);
        if (s == nullptr || !open(*s)) {
            admission_.gone(id, false, now);
            continue;
        }
        check(*s, now);
        if (s->stage == Stage::LetIn)
            handOver(*s, now);
    }
}

Door::Stranger* Door::find(int id) {
    auto it = std::find_if(strangers_.begin(), strangers_.end(),
                           [id](const Stranger& s) { return s.id == id && s.link != nullptr; });
    return it == strangers_.end() ? nullptr : &*it;
}

// Until the code matched, a connection may say one thing: Hello.
void Door::handle(Stranger& s, const net::Message& message, long long now) {
    switch (s.stage) {
    case Stage::Greeting:
        if (message.type == net::MessageType::Hello)
            greet(s, message, now);
        else
            drop(s, now, true);
        return;
    case Stage::Waiting:
    case Stage::ForSeat: drop(s, now, true); return; // nothing may come before the answer
    case Stage::LetIn:                               // the hall's from now on
    case Stage::Leaving: return;                     // whatever it says now changes nothing
    }
}

// A greeting of another version, or with a name that is none, is refused
// at once: its code is not read. Any other has its code checked when the
// door says.
void Door::greet(Stranger& s, const net::Message& hello, long long now) {
    bool otherVersion = hello.version != net::protocolVersion;
    if (otherVersion || net::checkPlayerName(hello.name.text()) != nullptr) {
        admission_.gone(s.id, false, now);
        return refuse(s, otherVersion ? net::Refusal::OtherVersion : net::Refusal::BadName, now);
    }
    s.seat = hello.seat;
    s.code = hello.code;
    s.name = hello.name.text();
    switch (admission_.hello(s.id, now)) {
    case net::Verdict::Check: return check(s, now);
    case net::Verdict::Wait: s.stage = Stage::Waiting; return;
    case net::Verdict::Drop: s.link->close(); return; // unchecked: it tells nothing
    }
}

void Door::check(Stranger& s, long long now) {
    if (firstGives_ && s.seat == net::Seat::Player) {
        firstGives_ = false;
        code_ = s.code;
    }
    bool right = anyCode_ || net::sameJoinCode(s.code, code_);
    admission_.checked(s.id, right, now);
    if (!right)
        return refuse(s, net::Refusal::WrongCode, now);
    // The seat's next turn is the waiter's.
    if (seatWaitedFor(s.seat))
        return refuse(s, net::Refusal::SeatTaken, now);
    s.seatBy = now + seatWaitMs;
    seat(s, now);
}

// A player whose link stalled and who comes back on a new one finds its old
// connection still in the seat for a while: it waits until the old one is
// heard from (refused then, as the seat is someone's) or is silent long
// enough to give the seat up.
void Door::seat(Stranger& s, long long now) {
    if (std::optional<net::Refusal> refusal = hall_.noRoom(s.seat, now)) {
        long long freesAt = hall_.seatFreesAt(s.seat, now);
        if (freesAt < 0 || now >= s.seatBy)
            return refuse(s, *refusal, now);
        s.stage = Stage::ForSeat;
        s.askAt = std::min(freesAt, s.seatBy);
        return;
    }
    s.stage = Stage::LetIn;
    std::string welcome;
    net::appendWelcome(welcome, s.seat);
    s.link->queue(welcome, now);
}

void Door::waitForSeats(long long now) {
    for (Stranger& s : strangers_) {
        if (s.stage != Stage::ForSeat || !open(s))
            continue;
        seat(s, now);
        if (s.stage == Stage::LetIn)
            handOver(s, now);
    }
}

bool Door::seatWaitedFor(net::Seat seat) const {
    return std::any_of(strangers_.begin(), strangers_.end(), [seat](const Stranger& s) {
        return s.stage == Stage::ForSeat && s.seat == seat && open(s);
    });
}

void Door::handOver(Stranger& s, long long now) {
    Arrival arrival{std::move(s.link), s.seat, s.from, std::move(s.name), std::move(s.early)};
    s.early.clear();
    hall_.enter(std::move(arrival), now);
}

// Refused connections count for nothing; past maxLeaving the one that has
// had longest to read why is closed.
void Door::refuse(Stranger& s, net::Refusal reason, long long now) {
    std::string message;
    net::appendRefused(message, reason);
    s.link->queue(message, now);
    leave(s, now);
}

void Door::leave(Stranger& s, long long now) {
    s.stage = Stage::Leaving;
    s.leaveBy = now + leaveMs;
    auto leaving = [](const Stranger& x) { return x.stage == Stage::Leaving && open(x); };
    if (std::count_if(strangers_.begin(), strangers_.end(), leaving) <= maxLeaving)
        return;
    Stranger* oldest = nullptr;
    for (Stranger& x : strangers_)
        if (leaving(x) && (oldest == nullptr || x.leaveBy < oldest->leaveBy))
            oldest = &x;
    oldest->link->close();
}

void Door::drop(Stranger& s, long long now, bool turnedAway) {
    if (s.stage == Stage::Greeting || s.stage == Stage::Waiting)
        admission_.gone(s.id, turnedAway, now);
    s.link->close();
}

// A refused connection leaves once told why, or when its time is up;
// admission keeps the time of the others.
void Door::keepTime(Stranger& s, long long now) {
    if (s.stage != Stage::Leaving || !open(s))
        return;
    if (s.link->queued() > 0 && now < s.pageBy)
        s.leaveBy = std::max(s.leaveBy, std::min(now + leaveMs, s.pageBy));
    if (s.link->queued() == 0 && !s.shutDown) {
        netShutdownSend(s.link->socket());
        s.shutDown = true;
    }
    if (now >= s.leaveBy)
        s.link->close();
}

int Door::watched(SocketWatch* watches, int room, long long nowMs) {
    slots_.clear();
    int n = 0;
    // While no connection may be taken, they wait in the system's queue.
    if (listener_ != noSocket && n < room && nowMs >= acceptAgainMs_ &&
        admission_.mayAccept(nowMs)) {
        watches[n++] = {listener_, false, false, false};
        slots_.push_back(-1);
    }
    listening_ = listener_ != noSocket && n > 0;
    for (std::size_t i = 0; i < strangers_.size() && n < room; ++i) {
        if (!open(strangers_[i]))
            continue;
        const Link& link = *strangers_[i].link;
        watches[n++] = {link.socket(), link.queued() > 0, false, false};
        slots_.push_back(static_cast<int>(i));
    }
    return n;
}

void Door::serve(const SocketWatch* watches, int count, long long nowMs) {
    bool incoming = false;
    for (int i = 0; i < count && i < static_cast<int>(slots_.size()); ++i) {
        const SocketWatch& watch = watches[i];
        int slot = slots_[static_cast<std::size_t>(i)];
        if (!watch.readable && !watch.writable)
            continue;
        if (slot < 0) {
            incoming = true;
            continue;
        }
        Stranger& s = strangers_[static_cast<std::size_t>(slot)];
        if (!open(s) || watch.socket != s.link->socket())
            continue;
        if (watch.writable)
            s.link->sendQueued(nowMs);
        readFrom(s, nowMs);
    }
    bool listened = listening_;
    slots_.clear();
    listening_ = false;
    for (Stranger& s : strangers_)
        keepTime(s, nowMs);
    timeOut(nowMs);
    waitForSeats(nowMs);
    takeTurns(nowMs);
    // Also when the listener was left out: a slot may have come free since.
    if (listener_ != noSocket && (incoming || !listened))
        acceptAll(nowMs);
    std::erase_if(strangers_, [](const Stranger& s) { return !open(s); });
}

void Door::acceptAll(long long now) {
    if (now < acceptAgainMs_)
        return;
    for (int i = 0; i < acceptsPerServe && admission_.mayAccept(now); ++i) {
        net::PeerAddress from;
        NetSocket socket = noSocket;
        std::string error;
        switch (netAccept(listener_, socket, from, error)) {
        case Accepted::Socket: take(socket, from, now); continue;
        case Accepted::Failed: continue; // gone before it was taken
        case Accepted::OutOfRoom:        // the queue waits meanwhile
            acceptAgainMs_ = now + acceptRestMs;
            return;
        case Accepted::None: return;
        }
    }
}

long long Door::due(long long nowMs) const {
    long long next = admission_.nextDue(nowMs);
    auto consider = [&next](long long at) {
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    };
    for (const Stranger& s : strangers_) {
        if (s.stage == Stage::Leaving && open(s))
            consider(s.leaveBy);
        if (s.stage == Stage::ForSeat && open(s))
            consider(s.askAt);
    }
    if (listener_ != noSocket && acceptAgainMs_ > nowMs)
        consider(acceptAgainMs_);
    return next;
}

bool Door::sending() const {
    return std::any_of(strangers_.begin(), strangers_.end(), [](const Stranger& s) {
        return open(s) && s.stage != Stage::Leaving && s.link->queued() > 0;
    });
}

} // namespace netplay
