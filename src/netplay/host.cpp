// SPDX-License-Identifier: MIT
// The host's game side: player two's keys, the guests' pictures and the
// notices on the host's console; the door and the guests' connections
// serve the sockets.
#include "netplay/host.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/match_lines.hpp"
#include "net/screen_picture.hpp"
#include "netplay/pictures.hpp"
#include "netplay/round_outcome.hpp"

namespace netplay {

namespace {

// The door's notice during play: right of the rate readout, where the game
// draws nothing; below it, right of the delay readout, how many watch.
constexpr int doorColumn = 10;
constexpr int watchersColumn = doorColumn;

// Every connection the door may hold at once is watched.
static_assert(1 + 1 + Guests::maxWatchers + net::Admission::greetingSlots + 1 +
                  net::Admission::maxWaiting + Door::maxLeaving <=
              NetService::maxSockets);

} // namespace

GameHost::GameHost(LocalScreen& screen, const net::JoinCode& code, NetSocket listener)
    : screen_(screen), guests_(*this), door_(guests_, code, listener) {}

GameHost::~GameHost() = default;

void GameHost::adopt(NetSocket socket) {
    netAdopt(socket);
    door_.take(socket, {{}, "this machine"}, netClockMs());
}

void GameHost::adopt(NetSocket socket, const net::PeerAddress& from, std::string_view head) {
    door_.take(socket, from, netClockMs(), head);
}

void GameHost::openRoom(std::string base, bool firstGivesCode) {
    door_.answerAt(std::move(base));
    door_.answerTo({std::string(net::anyHostName)});
    if (firstGivesCode)
        door_.takeFirstPlayersCode();
}

bool GameHost::sending() const { return guests_.sending() || door_.sending(); }

void GameHost::close() {
    guests_.close();
    door_.close();
}

bool GameHost::playerReady(int board) const { return guests_.playerReady(board); }

void GameHost::seatBothPlayers() {
    bothSeated_ = true;
    guests_.seatBothPlayers();
}

void GameHost::gameStarted() {
    started_ = true;
    refreshNotices(true);
}

RemoteKeys GameHost::playerKeys(int board) {
    RemoteKeys keys;
    keys.pressed = [](void* seat, Action action) {
        const auto& s = *static_cast<BoardKeys*>(seat);
        return s.host->guestKeys_[s.board].poll(static_cast<int>(action));
    };
    keys.present = [](void* seat) {
        const auto& s = *static_cast<BoardKeys*>(seat);
        return s.host->playerReady(s.board);
    };
    keys.context = &boardKeys_[board];
    return keys;
}

void GameHost::setMatch(const SteppedMatch* match) {
    match_ = match;
    screenCopy_.screen = nullptr; // a new match's buffer may stand where the last one's stood
}

const net::Picture& GameHost::screenPicture() const {
    const ScreenBuffer& screen = match_ != nullptr ? match_->screen() : screen_.buffer();
    if (screenCopy_.screen != &screen || screenCopy_.generation != screen.generation())
        screenCopy_ = {&screen, screen.generation(), net::pictureOf(screen)};
    return screenCopy_.picture;
}

FrameHook GameHost::frameHook() {
    FrameHook hook;
    hook.beforeDelay = [](void* host) { static_cast<GameHost*>(host)->sendPictures(); };
    hook.frameEnded = [](void* host) { static_cast<GameHost*>(host)->frameEnded(); };
    hook.roundEnded = [](void* host, const record::RoundResult& round, bool over, int champion) {
        static_cast<GameHost*>(host)->sendResult(round, over, champion);
    };
    hook.context = this;
    return hook;
}

net::Picture GameHost::pictureFor(net::Seat seat, int board) const {
    net::Picture picture = screenPicture();
    if (match_ != nullptr) {
        Viewer viewer = seat != net::Seat::Player ? Viewer::Watcher
                        : board == 0              ? Viewer::PlayerOne
                                                  : Viewer::PlayerTwo;
        GameSetup seen = match_->setup(); // the guests' keys as their own legends show them
        for (int b = bothSeated_ ? 0 : 1; b < 2; ++b)
            std::memcpy(seen.legend[b], guestLegend_[b], sizeof guestLegend_[b]);
        paintMatchLines(matchLines(match_->match(), seen, viewer), picture);
    }
    if (seat == net::Seat::Player)
        net::paintNotice(watchersNotice(), picture);
    return picture;
}

void GameHost::keyEvent(const KeyEvent& /*event*/) {
    // The host's own keys reach the game through the key polls.
}

void GameHost::sendPictures() { guests_.show(netClockMs()); }

void GameHost::sendResult(const record::RoundResult& round, bool matchOver, int champion) {
    net::RoundOutcome outcome =
        outcomeOf(round, match_ != nullptr ? &match_->setup() : nullptr, matchOver, champion);
    std::string message;
    net::appendResult(message, outcome);
    sendPictures(); // the round's last picture comes first
    guests_.toEveryGuest(message, netClockMs());
}

void GameHost::sendKept(int number) {
    std::string message;
    net::appendKept(message, number);
    guests_.toEveryGuest(message, netClockMs());
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

// A page joins again by its link, which holds the code; a terminal by the
// command it was started with, which asks for the code.
std::string GameHost::goneNotice() const {
    return std::string(playerOnPage_ ? "Reloading the page joins again"
                                     : "The same command joins again") +
           ", code " + net::formatJoinCode(door_.code());
}

NoticeLine GameHost::watchersNotice() const {
    int count = watching();
    if (count == 0 || !started_ || over_)
        return {delayRow, ""};
    return {delayRow, std::string(watchersColumn, ' ') + std::to_string(count) + " watching"};
}

// The waiting notice until the game begins, then how many watch and player
// two's code while they are away; the door's below the waiting notice, or
// beside the rate readout, while it has something to say; nothing over the
// final picture.
void GameHost::refreshNotices(bool always) {
    long long now = netClockMs();
    std::string door =
        door_.admission().notice(now, started_ ? pictureColumns - doorColumn : pictureColumns);
    NoticeLine watchers = watchersNotice();
    bool doorChanged = door != doorNotice_;
    if (!doorChanged && watchers.text == watchersShown_ && !always)
        return;
    // Only the door's count changed, and it was shown just now: later.
    bool countOnly = doorChanged && !door.empty() && !doorNotice_.empty();
    if (countOnly && watchers.text == watchersShown_ && !always &&
        now - doorShownMs_ < doorCountEveryMs)
        return;
    if (doorChanged)
        doorShownMs_ = now;
    doorNotice_ = door;
    watchersShown_ = watchers.text;
    std::vector<NoticeLine> lines;
    if (!started_) {
        lines = waitingNotice_;
        int row = lines.empty() ? rateRow : std::min(lines.back().row + 2, pictureRows - 1);
        lines.push_back({row, door});
    } else if (!over_) {
        if (!door.empty())
            lines.push_back({rateRow, std::string(doorColumn, ' ') + door});
        lines.push_back(watchers);
        if (playerGone_)
            lines.push_back({pictureRows - 1, goneNotice()});
    }
    std::erase_if(lines, [](const NoticeLine& line) { return line.text.empty(); });
    screen_.setNotices(std::move(lines));
}

void GameHost::finish(int lingerMs) {
    long long until = netClockMs() + lingerMs;
    for (;;) {
        pumpNow();
        bool pending = sending();
        long long left = until - netClockMs();
        if (!pending || left <= 0)
            break;
        SocketWatch watches[maxSockets];
        int n = watched(watches, maxSockets);
        netWait(watches, n, static_cast<int>(std::min(left, 10LL)));
    }
    close();
}

void GameHost::pumpNow() {
    SocketWatch watches[maxSockets];
    int n = watched(watches, maxSockets);
    netWait(watches, n, 0);
    serve(watches, n);
}

int GameHost::watched(SocketWatch* watches, int room) {
    doorWatched_ = door_.watched(watches, room, netClockMs());
    return doorWatched_ + guests_.watched(watches + doorWatched_, room - doorWatched_);
}

// The door first: whom it lets in is served with the guests at once.
void GameHost::serve(const SocketWatch* watches, int count) {
    long long now = netClockMs();
    int atDoor = std::clamp(doorWatched_, 0, std::max(count, 0));
    doorWatched_ = 0;
    door_.serve(watches, atDoor, now);
    guests_.serve(watches + atDoor, std::max(count, 0) - atDoor, now);
    screen_.setNames(guests_.name(0), guests_.name(1));
    refreshNotices();
}

long long GameHost::due() const {
    long long door = door_.due(netClockMs());
    long long guests = guests_.due();
    if (door < 0 || guests < 0)
        return std::max(door, guests);
    return std::min(door, guests);
}

void GameHost::playerJoined(const net::Message& ready, int board) {
    KeyState& keys = guestKeys_[board];
    keys.releaseAll();
    keys.setReportsReleases(ready.keyMode == net::KeyMode::Kitty);
    std::memcpy(guestLegend_[board], ready.legend, sizeof guestLegend_[board]);
    if (board == 1)
        playerGone_ = false;
    refreshNotices(true);
}

void GameHost::playerKey(const net::Message& key, int board) {
    KeyState& keys = guestKeys_[board];
    switch (key.keyKind) {
    case net::KeyKind::Press: keys.apply({KeyEvent::Press, key.action}); break;
    case net::KeyKind::Repeat: keys.apply({KeyEvent::Repeat, key.action}); break;
    case net::KeyKind::Release: keys.apply({KeyEvent::Release, key.action}); break;
    case net::KeyKind::ReleaseAll: keys.releaseAll(); break;
    }
}

// Player two gone: its keys are let go (but for an Escape owed to the
// game), and the host's console says so below the readouts while the game
// goes on.
void GameHost::playerLeft(bool onPage, int board) {
    // An Escape that came just before the close still leaves the match: a
    // page sends it and closes at once.
    KeyState& keys = guestKeys_[board];
    auto escape = static_cast<int>(Action::Escape);
    bool leaving = keys.peek(escape);
    keys.releaseAll();
    if (leaving) { // owed to the next poll, held by nobody
        keys.apply({KeyEvent::Press, escape});
        keys.apply({KeyEvent::Release, escape});
    }
    if (board != 1)
        return;
    playerGone_ = true;
    playerOnPage_ = onPage;
    refreshNotices(true);
}

void GameHost::flooded(const net::PeerAddress& from, long long nowMs) {
    door_.flooded(from, nowMs);
}

GameHost::Showing GameHost::showing() const {
    if (!started_)
        return Showing::Nothing;
    return over_ ? Showing::Final : Showing::Game;
}

} // namespace netplay
