// SPDX-License-Identifier: MIT
// The host's connections: greeting, keys, pictures, keep-alives and the
// limits on what a stranger can make it do.
#include "netplay/host.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/match_lines.hpp"
#include "netplay/browser_answer.hpp"
#include "netplay/pictures.hpp"

namespace netplay {

namespace {

// A refused connection gets this long to read why before it is closed.
constexpr int leaveMs = 1000;
// A page's answer is larger: over a slow link it may still be going out
// after leaveMs. Its connection stays while the page's bytes wait to go
// out, and leaveMs after, but no longer than this in all.
constexpr int pageMs = 10'000;
// A player connection this silent gives its seat to a new one with the
// right code: a live guest sends something every keepAliveMs.
constexpr int seatSilenceMs = 2 * net::keepAliveMs;
// As many as can take a slot at once.
constexpr int acceptsPerServe = net::Admission::greetingSlots;
// What one connection's reads may bring in one serve: a greeting, or far
// more keys than a person sends in a frame, and little work for a flood.
constexpr std::size_t bytesPerServe = 1024;
// How long the listener rests when the system has no descriptor or memory
// for another connection.
constexpr int acceptRestMs = 100;
// The door's notice during play: right of the rate readout, where the game
// draws nothing; below it, right of the delay readout, how many watch.
constexpr int doorColumn = 10;
constexpr int watchersColumn = doorColumn;

// Every connection the door may hold at once is watched.
static_assert(1 + 1 + GameHost::maxWatchers + net::Admission::greetingSlots + 1 +
                  net::Admission::maxWaiting + GameHost::maxLeaving <=
              NetService::maxSockets);

// What the guest has once it has applied `runs`.
void applyRuns(const std::string& runs, net::Picture& picture) {
    net::applyRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                   static_cast<int>(runs.size()), picture);
}

} // namespace

GameHost::GameHost(LocalScreen& screen, const net::JoinCode& code, NetSocket listener)
    : screen_(screen), code_(code), listener_(listener) {}

GameHost::~GameHost() {
    if (listener_ != noSocket)
        netClose(listener_);
}

void GameHost::adopt(NetSocket socket) {
    netAdopt(socket);
    take(socket, {{}, "this machine"}, netClockMs());
}

// A new connection is read at once: a greeting already there needs no slot.
void GameHost::take(NetSocket socket, const net::PeerAddress& from, long long now) {
    Peer peer;
    peer.id = nextId_++;
    peer.from = from;
    peer.link = std::make_unique<Link>(socket, net::Sender::Guest, now);
    peer.link->acceptBrowsers();
    peers_.push_back(std::move(peer));
    admission_.opened(peers_.back().id, from, now);
    readFrom(peers_.back(), now);
    makeRoom(now);
}

void GameHost::readFrom(Peer& peer, long long now) {
    auto paceThenHandle = [&](const net::Message& m) {
        if (paced(peer, &m, now))
            handle(peer, m, now);
    };
    if (peer.link->isOpen() && !peer.link->receive(now, paceThenHandle, bytesPerServe))
        drop(peer, peer.link->brokeProtocol());
    else if (peer.stage == Stage::Greeting && peer.link->httpArrived())
        answerBrowser(peer, now);
}

// Until it switches, a browser's connection holds a slot of the door like
// any stranger's; one given its page has been served, one refused is
// turned away.
void GameHost::answerBrowser(Peer& peer, long long now) {
    net::WebAnswer answer = netplay::answerBrowser(*peer.link->http());
    peer.link->queueRaw(answer.response, now);
    if (answer.kind == net::WebAnswerKind::Upgrade) {
        peer.link->startWebSocket();
        return;
    }
    admission_.gone(peer.id, answer.kind != net::WebAnswerKind::Page, now);
    leave(peer, now);
    if (answer.kind == net::WebAnswerKind::Page)
        peer.pageBy = now + pageMs;
}

// Each read of a guest that has been let in counts as a message too: bytes
// sent one at a time would otherwise wake the host for each.
bool GameHost::paced(Peer& peer, const net::Message* message, long long now) {
    if (peer.stage != Stage::Welcomed && peer.stage != Stage::Ready)
        return true;
    bool droppable =
        message != nullptr && message->type == net::MessageType::Key &&
        (message->keyKind == net::KeyKind::Press || message->keyKind == net::KeyKind::Repeat);
    switch (peer.pace.message(droppable, now)) {
    case net::Pace::Take: return true;
    case net::Pace::Drop: return false;
    case net::Pace::End: break;
    }
    admission_.flooded(peer.from, now);
    drop(peer);
    return false;
}

// Each connection that gives way is read once more first.
void GameHost::makeRoom(long long now) {
    for (int id = admission_.givesWay(now); id >= 0; id = admission_.givesWay(now)) {
        Peer* peer = find(id);
        if (peer != nullptr)
            readFrom(*peer, now);
        if (peer != nullptr && peer->stage == Stage::Greeting && peer->link->isOpen())
            drop(*peer, true);
        else if (peer == nullptr || !peer->link->isOpen())
            admission_.gone(id, false, now);
    }
}

void GameHost::timeOut(long long now) {
    for (int id = admission_.expired(now); id >= 0; id = admission_.expired(now)) {
        Peer* peer = find(id);
        if (peer != nullptr)
            drop(*peer, true);
        admission_.gone(id, true, now);
    }
}

void GameHost::takeTurns(long long now) {
    for (int id = admission_.nextTurn(now); id >= 0; id = admission_.nextTurn(now)) {
        Peer* peer = find(id);
        if (peer != nullptr && peer->link->isOpen())
            check(*peer, now);
        else
            admission_.gone(id, false, now);
    }
}

GameHost::Peer* GameHost::find(int id) {
    auto it =
        std::find_if(peers_.begin(), peers_.end(), [id](const Peer& p) { return p.id == id; });
    return it == peers_.end() ? nullptr : &*it;
}

bool GameHost::playerReady() const {
    return std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) {
        return p.seat == net::Seat::Player && p.stage == Stage::Ready && p.link->isOpen();
    });
}

bool GameHost::seatTaken() const { return count(net::Seat::Player, Stage::Welcomed) > 0; }

int GameHost::count(net::Seat seat, Stage least) const {
    return static_cast<int>(std::count_if(peers_.begin(), peers_.end(), [&](const Peer& p) {
        return p.seat == seat && p.link->isOpen() &&
               (p.stage == Stage::Welcomed || p.stage == Stage::Ready) &&
               (least == Stage::Welcomed || p.stage == least);
    }));
}

void GameHost::gameStarted() {
    started_ = true;
    refreshNotices(true);
}

RemoteKeys GameHost::playerTwoKeys() {
    RemoteKeys keys;
    keys.pressed = [](void* host, Action action) {
        return static_cast<GameHost*>(host)->guestKeys_.poll(static_cast<int>(action));
    };
    keys.present = [](void* host) { return static_cast<GameHost*>(host)->playerReady(); };
    keys.context = this;
    return keys;
}

void GameHost::setMatch(const Match* match, const GameSetup* setup) {
    match_ = match;
    setup_ = setup;
}

FrameHook GameHost::frameHook() {
    FrameHook hook;
    hook.beforeDelay = [](void* host) { static_cast<GameHost*>(host)->sendPictures(); };
    hook.frameEnded = [](void* host) { static_cast<GameHost*>(host)->frameEnded(); };
    hook.context = this;
    return hook;
}

net::Picture GameHost::pictureFor(net::Seat seat) const {
    net::Picture picture = pictureOf(screen_.buffer());
    if (match_ != nullptr && setup_ != nullptr) {
        Viewer viewer = seat == net::Seat::Player ? Viewer::PlayerTwo : Viewer::Watcher;
        GameSetup seen = *setup_; // player two's keys as its own legend shows them
        std::memcpy(seen.legend[1], guestLegend_, sizeof guestLegend_);
        paintMatchLines(matchLines(*match_, seen, viewer), picture);
    }
    if (seat == net::Seat::Player)
        paintNotice(watchersNotice(), picture);
    return picture;
}

void GameHost::keyEvent(const KeyEvent& /*event*/) {
    // The host's own keys reach the game through the key polls.
}

void GameHost::sendPictures() {
    long long now = netClockMs();
    const net::Picture pictures[2] = {pictureFor(net::Seat::Player),
                                      pictureFor(net::Seat::Watcher)};
    for (Peer& peer : peers_)
        if (peer.stage == Stage::Ready)
            sendPicture(peer, pictures[peer.seat == net::Seat::Player ? 0 : 1], now);
}

void GameHost::frameEnded() {
    sendPictures();
    pumpNow();
}

void GameHost::gameOver() {
    over_ = true;
    refreshNotices(true);
    frameEnded();
}

void GameHost::setWaitingNotice(std::vector<NoticeLine> lines) {
    waitingNotice_ = std::move(lines);
    refreshNotices(true);
}

std::string GameHost::goneNotice() const {
    return "Player two's join code: " + net::formatJoinCode(code_);
}

NoticeLine GameHost::watchersNotice() const {
    int watching = count(net::Seat::Watcher, Stage::Ready);
    if (watching == 0 || !started_ || over_)
        return {delayRow, ""};
    return {delayRow, std::string(watchersColumn, ' ') + std::to_string(watching) + " watching"};
}

// The waiting notice until the game begins, then how many watch and player
// two's code while they are away; the door's below the waiting notice, or
// beside the rate readout, while it has something to say; nothing over the
// final picture.
void GameHost::refreshNotices(bool always) {
    long long now = netClockMs();
    std::string door = started_ ? admission_.notice(now, pictureColumns - doorColumn)
                                : admission_.notice(now, pictureColumns);
    NoticeLine watching = watchersNotice();
    if (door == doorNotice_ && watching.text == watchersShown_ && !always)
        return;
    doorNotice_ = door;
    watchersShown_ = watching.text;
    std::vector<NoticeLine> lines;
    if (!started_) {
        lines = waitingNotice_;
        int row = lines.empty() ? rateRow : std::min(lines.back().row + 2, pictureRows - 1);
        lines.push_back({row, door});
    } else if (!over_) {
        if (!door.empty())
            lines.push_back({rateRow, std::string(doorColumn, ' ') + door});
        lines.push_back(watching);
        if (playerGone_)
            lines.push_back({pictureRows - 1, goneNotice()});
    }
    std::erase_if(lines, [](const NoticeLine& line) { return line.text.empty(); });
    screen_.setNotices(std::move(lines));
}

void GameHost::sendPicture(Peer& peer, const net::Picture& picture, long long now) const {
    if (!started_ || peer.ended)
        return;
    if (!peer.pictured) {
        sendWhole(peer, picture, now);
        return;
    }
    if (peer.stale || peer.link->queued() > maxQueued) {
        peer.stale = true; // the whole picture follows once it has caught up
        return;
    }
    std::string runs;
    net::appendChanges(peer.sent, picture, runs);
    std::string message;
    if (!runs.empty())
        net::appendRuns(message, net::MessageType::Delta, runs);
    if (over_)
        net::appendEnd(message);
    peer.ended = over_;
    applyRuns(runs, peer.sent);
    if (!message.empty())
        peer.link->queue(message, now);
}

void GameHost::sendWhole(Peer& peer, const net::Picture& picture, long long now) const {
    std::string runs;
    net::appendChanges(net::Picture{}, picture, runs);
    std::string message;
    net::appendRuns(message, net::MessageType::Picture, runs);
    if (over_)
        net::appendEnd(message);
    peer.ended = over_;
    peer.sent = net::Picture{};
    applyRuns(runs, peer.sent);
    peer.pictured = true;
    peer.stale = false;
    peer.link->queue(message, now);
}

void GameHost::finish(int lingerMs) {
    long long until = netClockMs() + lingerMs;
    for (;;) {
        pumpNow();
        bool pending = std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) {
            return p.link->isOpen() && p.link->queued() > 0 && p.stage != Stage::Leaving;
        });
        long long left = until - netClockMs();
        if (!pending || left <= 0)
            break;
        SocketWatch watches[maxSockets];
        int n = watched(watches, maxSockets);
        netWait(watches, n, static_cast<int>(std::min(left, 10LL)));
        slots_.clear();
    }
    peers_.clear();
    if (listener_ != noSocket)
        netClose(listener_);
    listener_ = noSocket;
}

void GameHost::pumpNow() {
    SocketWatch watches[maxSockets];
    int n = watched(watches, maxSockets);
    netWait(watches, n, 0);
    serve(watches, n);
}

int GameHost::watched(SocketWatch* watches, int room) {
    slots_.clear();
    int n = 0;
    long long now = netClockMs();
    // While no connection may be taken, they wait in the system's queue.
    if (listener_ != noSocket && n < room && now >= acceptAgainMs_ && admission_.mayAccept(now)) {
        watches[n++] = {listener_, false, false, false};
        slots_.push_back(-1);
    }
    listening_ = listener_ != noSocket && n > 0;
    for (std::size_t i = 0; i < peers_.size() && n < room; ++i) {
        const Link& link = *peers_[i].link;
        if (!link.isOpen())
            continue;
        watches[n++] = {link.socket(), link.queued() > 0, false, false};
        slots_.push_back(static_cast<int>(i));
    }
    return n;
}

void GameHost::serve(const SocketWatch* watches, int count) {
    long long now = netClockMs();
    bool incoming = false;
    for (int i = 0; i < count && i < static_cast<int>(slots_.size()); ++i) {
        const SocketWatch& watch = watches[i];
        if (!watch.readable && !watch.writable)
            continue;
        if (slots_[static_cast<std::size_t>(i)] < 0) {
            incoming = true;
            continue;
        }
        Peer& peer = peers_[static_cast<std::size_t>(slots_[static_cast<std::size_t>(i)])];
        if (!peer.link->isOpen() || watch.socket != peer.link->socket())
            continue;
        if (watch.writable)
            peer.link->sendQueued(now);
        if (!watch.readable || paced(peer, nullptr, now))
            readFrom(peer, now);
    }
    bool listened = listening_;
    slots_.clear();
    listening_ = false;
    for (Peer& peer : peers_) {
        keepTime(peer, now);
        if (peer.stale && peer.link->isOpen() && peer.link->queued() == 0)
            sendWhole(peer, pictureFor(peer.seat), now);
    }
    timeOut(now);
    takeTurns(now);
    // Also when the listener was left out: a slot may have come free since.
    if (listener_ != noSocket && (incoming || !listened))
        acceptAll(now);
    std::erase_if(peers_, [](const Peer& p) { return !p.link->isOpen(); });
    refreshNotices();
}

void GameHost::acceptAll(long long now) {
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

// Until the code matched, a connection may say one thing: Hello.
void GameHost::handle(Peer& peer, const net::Message& message, long long now) {
    using net::MessageType;
    switch (peer.stage) {
    case Stage::Greeting:
        if (message.type == MessageType::Hello)
            greet(peer, message, now);
        else
            drop(peer, true);
        return;
    case Stage::Waiting: drop(peer, true); return; // nothing may come before the answer
    case Stage::Welcomed:
        if (message.type == MessageType::Ready)
            ready(peer, message, now);
        else if (message.type != MessageType::KeepAlive)
            drop(peer);
        return;
    case Stage::Ready:
        if (message.type == MessageType::Key && peer.seat == net::Seat::Player)
            playerKey(message);
        else if (message.type != MessageType::KeepAlive)
            drop(peer);
        return;
    case Stage::Leaving: return; // whatever it says now changes nothing
    }
}

// A greeting of another version is refused at once: its code is not read.
// Any other has its code checked when the door says.
void GameHost::greet(Peer& peer, const net::Message& hello, long long now) {
    if (hello.version != net::protocolVersion) {
        admission_.gone(peer.id, false, now);
        return refuse(peer, net::Refusal::OtherVersion, now);
    }
    peer.seat = hello.seat;
    peer.code = hello.code;
    switch (admission_.hello(peer.id, now)) {
    case net::Verdict::Check: return check(peer, now);
    case net::Verdict::Wait: peer.stage = Stage::Waiting; return;
    case net::Verdict::Drop: peer.link->close(); return; // unchecked: it tells nothing
    }
}

void GameHost::check(Peer& peer, long long now) {
    bool right = net::sameJoinCode(peer.code, code_);
    admission_.checked(peer.id, right, now);
    if (!right)
        return refuse(peer, net::Refusal::WrongCode, now);
    if (peer.seat == net::Seat::Player && seatTaken() && !freeSilentSeat(now))
        return refuse(peer, net::Refusal::SeatTaken, now);
    if (peer.seat == net::Seat::Watcher &&
        count(net::Seat::Watcher, Stage::Welcomed) >= maxWatchers)
        return refuse(peer, net::Refusal::NoRoom, now);
    peer.stage = Stage::Welcomed;
    std::string welcome;
    net::appendWelcome(welcome, peer.seat);
    peer.link->queue(welcome, now);
}

// Player two's seat, held by a connection not heard from for seatSilenceMs:
// a link that went half-open, whose player is back on a new one with the
// right code. That one gets in at once rather than after silenceLimitMs.
bool GameHost::freeSilentSeat(long long now) {
    auto silent = [now](const Peer& p) {
        return p.seat == net::Seat::Player && p.link->isOpen() &&
               (p.stage == Stage::Welcomed || p.stage == Stage::Ready) &&
               now - p.link->heardMs() > seatSilenceMs;
    };
    auto it = std::find_if(peers_.begin(), peers_.end(), silent);
    if (it == peers_.end())
        return false;
    drop(*it);
    return true;
}

// Refused connections count for nothing; past maxLeaving the one that has
// had longest to read why is closed.
void GameHost::refuse(Peer& peer, net::Refusal reason, long long now) {
    std::string message;
    net::appendRefused(message, reason);
    peer.link->queue(message, now);
    leave(peer, now);
}

void GameHost::leave(Peer& peer, long long now) {
    peer.stage = Stage::Leaving;
    peer.leaveBy = now + leaveMs;
    auto leaving = [](const Peer& p) { return p.stage == Stage::Leaving && p.link->isOpen(); };
    if (std::count_if(peers_.begin(), peers_.end(), leaving) <= maxLeaving)
        return;
    Peer* oldest = nullptr;
    for (Peer& p : peers_)
        if (leaving(p) && (oldest == nullptr || p.leaveBy < oldest->leaveBy))
            oldest = &p;
    oldest->link->close();
}

void GameHost::ready(Peer& peer, const net::Message& message, long long now) {
    peer.stage = Stage::Ready;
    if (peer.seat == net::Seat::Player) {
        guestKeys_.releaseAll();
        guestKeys_.setReportsReleases(message.keyMode == net::KeyMode::Kitty);
        std::memcpy(guestLegend_, message.legend, sizeof guestLegend_);
        playerGone_ = false;
        refreshNotices(true);
    }
    if (started_)
        sendWhole(peer, pictureFor(peer.seat), now);
}

void GameHost::playerKey(const net::Message& message) {
    switch (message.keyKind) {
    case net::KeyKind::Press: guestKeys_.apply({KeyEvent::Press, message.action}); break;
    case net::KeyKind::Repeat: guestKeys_.apply({KeyEvent::Repeat, message.action}); break;
    case net::KeyKind::Release: guestKeys_.apply({KeyEvent::Release, message.action}); break;
    case net::KeyKind::ReleaseAll: guestKeys_.releaseAll(); break;
    }
}

// Player two gone: its keys are let go (but for an Escape owed to the
// game), and the host's console says so
// below the readouts while the game goes on.
void GameHost::drop(Peer& peer, bool turnedAway) {
    bool player = peer.seat == net::Seat::Player &&
                  (peer.stage == Stage::Welcomed || peer.stage == Stage::Ready);
    if (peer.stage == Stage::Greeting || peer.stage == Stage::Waiting)
        admission_.gone(peer.id, turnedAway, netClockMs());
    peer.link->close();
    if (!player)
        return;
    // An Escape that came just before the close still leaves the match: a
    // page sends it and closes at once.
    auto escape = static_cast<int>(Action::Escape);
    bool leaving = guestKeys_.peek(escape);
    guestKeys_.releaseAll();
    if (leaving) { // owed to the next poll, held by nobody
        guestKeys_.apply({KeyEvent::Press, escape});
        guestKeys_.apply({KeyEvent::Release, escape});
    }
    playerGone_ = true;
    refreshNotices(true);
}

// Deadlines: five seconds of silence, a keep-alive after a second without
// sending; a refused connection leaves once told why. The door keeps the
// time of those that have not been let in.
void GameHost::keepTime(Peer& peer, long long now) {
    Link& link = *peer.link;
    if (!link.isOpen())
        return;
    switch (peer.stage) {
    case Stage::Greeting:
    case Stage::Waiting: return;
    case Stage::Leaving:
        if (link.queued() > 0 && now < peer.pageBy)
            peer.leaveBy = std::max(peer.leaveBy, std::min(now + leaveMs, peer.pageBy));
        if (link.queued() == 0 && !peer.shutDown) {
            netShutdownSend(link.socket());
            peer.shutDown = true;
        }
        if (now >= peer.leaveBy)
            link.close();
        return;
    case Stage::Welcomed:
    case Stage::Ready:
        if (now - link.heardMs() >= net::silenceLimitMs) {
            drop(peer);
        } else if (link.queued() == 0 && now - link.sentMs() >= net::keepAliveMs) {
            std::string keepAlive;
            net::appendKeepAlive(keepAlive);
            link.queue(keepAlive, now);
        }
        return;
    }
}

long long GameHost::nextDue(const Peer& peer) {
    const Link& link = *peer.link;
    switch (peer.stage) {
    case Stage::Greeting:
    case Stage::Waiting: return -1;
    case Stage::Leaving: return peer.leaveBy;
    case Stage::Welcomed:
    case Stage::Ready: {
        long long silence = link.heardMs() + net::silenceLimitMs;
        if (link.queued() > 0)
            return silence;
        return std::min(silence, link.sentMs() + net::keepAliveMs);
    }
    }
    return -1;
}

long long GameHost::due() const {
    long long now = netClockMs();
    long long next = admission_.nextDue(now);
    auto consider = [&next](long long at) {
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    };
    for (const Peer& peer : peers_)
        if (peer.link->isOpen())
            consider(nextDue(peer));
    if (listener_ != noSocket && acceptAgainMs_ > now)
        consider(acceptAgainMs_);
    return next;
}

} // namespace netplay
