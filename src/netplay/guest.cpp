// SPDX-License-Identifier: MIT
// The guest's side of the connection: the greeting, the pictures, the keys
// and the keep-alives.
#include "netplay/guest.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "game/keys.hpp"
#include "net/protocol.hpp"
#include "net/room_road.hpp"
#include "net/screen_picture.hpp"
#include "net/web_answer.hpp"

namespace netplay {

GameGuest::GameGuest(LocalScreen& screen, NetSocket socket, net::Seat seat)
    : screen_(screen), link_(socket, net::Sender::Host, netClockMs()), seat_(seat) {}

void GameGuest::throughRoom(const std::string& host, const std::string& path) {
    unsigned char key[net::webSocketKeyBytes] = {};
    unsigned char seedBytes[sizeof(std::uint64_t)] = {};
    std::uint64_t seed = 0;
    // Neither need be secret: the key only shows the answer is to this
    // request, and the masks only keep a server's frames apart from ours.
    if (netRandomBytes(key, sizeof key) && netRandomBytes(seedBytes, sizeof seedBytes))
        std::memcpy(&seed, seedBytes, sizeof seed);
    else
        seed = static_cast<std::uint64_t>(netClockMs());
    std::string keyText = net::webSocketKeyOf(key);
    link_.askWebSocket(net::webSocketRequest(host, path, keyText), net::webSocketAccept(keyText),
                       seed, netClockMs());
}

GameGuest::Answer GameGuest::greet(const net::JoinCode& code, int timeoutMs,
                                   std::string_view name) {
    std::string hello;
    net::appendHello(hello, seat_, code, name);
    return exchange(hello, timeoutMs);
}

// Any answer at all is a game's: the host refuses the look as another
// version, a host of this version or any other.
GameGuest::Answer GameGuest::look(int timeoutMs) {
    std::string probe;
    net::appendProbe(probe, seat_);
    Answer answer = exchange(probe, timeoutMs);
    return answer == Answer::Refused || answer == Answer::Welcomed ? Answer::Found : answer;
}

GameGuest::Answer GameGuest::exchange(const std::string& hello, int timeoutMs) {
    long long until = netClockMs() + timeoutMs;
    link_.queue(hello, netClockMs());
    bool refused = false;
    bool outOfTurn = false;
    while (link_.isOpen() && !welcomed_ && !refused) {
        long long left = until - netClockMs();
        if (left <= 0)
            return Answer::NoAnswer;
        SocketWatch watch = {link_.socket(), link_.queued() > 0, false, false};
        netWait(&watch, 1, static_cast<int>(left));
        if (!watch.readable && !watch.writable)
            continue;
        long long now = netClockMs();
        link_.sendQueued(now);
        link_.receive(now, [&](const net::Message& m) {
            if (m.type == net::MessageType::Welcome && m.seat == seat_) {
                welcomed_ = true;
            } else if (m.type == net::MessageType::Names && welcomed_) {
                takeNames(m); // it follows the welcome, often in the same read
            } else if (m.type == net::MessageType::Refused) {
                refusal_ = m.refusal;
                refused = true;
            } else if (m.type != net::MessageType::KeepAlive) {
                outOfTurn = true; // anything else before the answer is no host of ours
                link_.close();
            }
        });
    }
    if (link_.answerStatus() != 0 && !link_.isWebSocket())
        return Answer::Declined;
    if (outOfTurn || link_.brokeProtocol())
        return Answer::NotAHost;
    if (welcomed_ && link_.isOpen())
        return Answer::Welcomed;
    if (refused)
        return Answer::Refused;
    return link_.problem() == "closed" ? Answer::Closed : Answer::Broken;
}

void GameGuest::ready(bool keyReleases) {
    keys_.setReportsReleases(keyReleases);
    std::string message;
    net::appendReady(message, keyReleases ? net::KeyMode::Kitty : net::KeyMode::Autorepeat,
                     legend_);
    send(message);
}

void GameGuest::send(const std::string& message) {
    long long now = netClockMs();
    noteQuiet(now);
    link_.queue(message, now);
    if (!link_.isOpen())
        lose(goneWhy(now));
}

// A host lets a guest go after five seconds without a word from it, as
// after a suspend (Ctrl-Z) or a link that stalled. It only closes; this
// side knows how long it said nothing, and finds the end of the connection
// soon after, behind what the host sent before it.
void GameGuest::noteQuiet(long long nowMs) {
    long long quiet = nowMs - link_.sentMs();
    if (quiet >= net::silenceLimitMs) {
        quietMs_ = quiet;
        quietEndedMs_ = nowMs;
    }
}

bool GameGuest::wasQuiet(long long nowMs) const {
    return quietMs_ > 0 && nowMs - quietEndedMs_ < net::silenceLimitMs;
}

std::string GameGuest::goneWhy(long long nowMs) const {
    if (wasQuiet(nowMs))
        return "the host let go of this terminal after " + std::to_string(quietMs_ / 1000) +
               " seconds without a word from it (it was suspended, or the link stalled); "
               "the same command joins again";
    const std::string& what = link_.problem();
    if (what == "closed")
        return "the host closed the connection";
    if (what.empty())
        return "the connection to the host was closed";
    return "the connection to the host broke: " + what;
}

void GameGuest::lose(const std::string& why) {
    if (state_ == State::Playing) {
        state_ = State::Lost;
        lostWhy_ = why;
    }
    link_.close();
}

// A player's keys go to the host as they come, as the actions they stand
// for; a watcher's Escape leaves.
void GameGuest::keyEvent(const KeyEvent& event) {
    if (state_ != State::Playing)
        return;
    if (seat_ == net::Seat::Watcher) {
        if (event.kind == KeyEvent::Press && event.key == vkEscape)
            state_ = State::Left;
        return;
    }
    static constexpr net::KeyKind kinds[] = {net::KeyKind::Press, net::KeyKind::Repeat,
                                             net::KeyKind::Release, net::KeyKind::ReleaseAll};
    ActionEvent actions[actionLimit];
    int count = keys_.actions(event, actions, actionLimit);
    std::string message;
    for (int i = 0; i < count; ++i) {
        bool all = actions[i].kind == KeyEvent::ReleaseAll;
        net::appendKey(message, kinds[actions[i].kind],
                       all ? 0 : static_cast<int>(actions[i].action));
        if (!all && actions[i].action == Action::Escape && escapedMs_ == 0)
            escapedMs_ = netClockMs();
    }
    if (!message.empty())
        send(message);
}

int GameGuest::watched(SocketWatch* watches, int room) {
    if (!link_.isOpen() || room < 1)
        return 0;
    watches[0] = {link_.socket(), link_.queued() > 0, false, false};
    return 1;
}

void GameGuest::serve(const SocketWatch* watches, int count) {
    if (!link_.isOpen())
        return;
    long long now = netClockMs();
    noteQuiet(now); // before this serve sends anything
    if (count > 0 && watches[0].writable)
        link_.sendQueued(now);
    if (count > 0 && (watches[0].readable || watches[0].writable) &&
        !link_.receive(now, [&](const net::Message& m) { handle(m); }))
        lose(goneWhy(now));
    if (state_ == State::Playing) {
        screen_.setNames(names_[0], names_[1]);
        screen_.show();
    }
    if (state_ == State::Playing && escapedMs_ > 0 && now - escapedMs_ >= escapeGraceMs)
        state_ = State::Left; // a host that does not end the match holds nobody
    if (!link_.isOpen())
        return;
    if (now - link_.heardMs() >= net::silenceLimitMs) {
        // Stopped from outside, this side was the silent one: the host's
        // silence is only its letting go.
        lose(wasQuiet(now) ? goneWhy(now) : "the host has not been heard from for 5 seconds");
    } else if (link_.queued() == 0 && now - link_.sentMs() >= net::keepAliveMs) {
        std::string keepAlive;
        net::appendKeepAlive(keepAlive);
        send(keepAlive);
    }
}

long long GameGuest::due() const {
    if (!link_.isOpen())
        return -1;
    long long silence = link_.heardMs() + net::silenceLimitMs;
    if (escapedMs_ > 0)
        silence = std::min(silence, escapedMs_ + escapeGraceMs);
    if (link_.queued() > 0)
        return silence;
    return std::min(silence, link_.sentMs() + net::keepAliveMs);
}

// A host past what the game sends is not kept, counted or shown: the
// connection ends with what was wrong.
void GameGuest::handle(const net::Message& message) {
    long long now = netClockMs();
    std::string fault = pace_.fault(message, now);
    if (!fault.empty())
        return lose(fault);
    if (recorder_ != nullptr)
        recorder_->heard(message, now);
    switch (message.type) {
    case net::MessageType::Picture:
        picture_ = net::Picture{};
        pictured_ = true;
        screen_.setNotices({});
        [[fallthrough]];
    case net::MessageType::Delta:
        if (!pictured_)
            return lose("the host sent changes before a picture");
        net::applyRuns(message.runs, message.runsLength, picture_);
        net::paint(picture_, screen_.buffer());
        return;
    case net::MessageType::End: state_ = State::Ended; return;
    case net::MessageType::Result: lastResult_ = message.result; return;
    case net::MessageType::Kept: kept_ = message.kept; return;
    case net::MessageType::Names: takeNames(message); return;
    case net::MessageType::KeepAlive: return;
    default: return lose("the host sent a message out of turn");
    }
}

// The host is a stranger too: a name it sends that is none is shown as none.
void GameGuest::takeNames(const net::Message& message) {
    for (int b = 0; b < 2; ++b) {
        std::string_view said = message.names[b].text();
        names_[b] = net::checkPlayerName(said) == nullptr ? std::string(said) : std::string();
    }
    if (recorder_ != nullptr) // the names may come after the greeting
        recorder_->nameBoards(names_[0], names_[1]);
}

} // namespace netplay
