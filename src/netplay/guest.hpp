// SPDX-License-Identifier: MIT
// A guest of a game over the network, player two or a watcher. It greets
// the host before taking the console, so that a refusal is a plain
// message; then, in the back end's waits, it paints the pictures the host
// sends into the console's screen buffer, and a player sends its key
// events as the actions its own keys stand for.
#pragma once

#include <optional>
#include <string>

#include "game/keys.hpp"
#include "game/local.hpp"
#include "net/join_code.hpp"
#include "net/picture.hpp"
#include "netplay/guest_keys.hpp"
#include "netplay/guest_pace.hpp"
#include "netplay/guest_recording.hpp"
#include "netplay/link.hpp"
#include "netplay/serving.hpp"

namespace netplay {

class GameGuest : public NetService {
public:
    // After a player's Escape, how long the host has to end the match (its
    // last picture then says who left); past it the guest leaves anyway,
    // whatever its host does.
    static constexpr int escapeGraceMs = 500;
    // Broken: the connection failed (problem() says how); Found: a game
    // answered look(); Declined: a server would not switch to its room
    // (declined() says with which status).
    enum class Answer { Welcomed, Refused, Closed, Broken, NotAHost, NoAnswer, Found, Declined };
    enum class State { Playing, Ended, Lost, Left };

    // `socket`, connected to the host, is taken over; the host's pictures
    // are painted into `screen`.
    GameGuest(LocalScreen& screen, NetSocket socket, net::Seat seat);

    // The connection is to a server's room at `path` of `host` (HOST:PORT
    // as the command named it): the greeting and all after it go in the
    // frames of a WebSocket, asked for first as a page asks for it.
    void throughRoom(const std::string& host, const std::string& path);
    int declined() const { return link_.answerStatus(); }

    // Says who it is (with its player's `name`, checked already; "" for
    // none) and waits up to `timeoutMs` for the host's answer.
    Answer greet(const net::JoinCode& code, int timeoutMs, std::string_view name = {});
    // Makes sure a game listens at the other end, before its person is
    // asked for the code, with a greeting the host refuses without taking
    // it for a wrong code: Found when one answered. The connection is of no
    // more use then; the greeting with the code takes a new one.
    Answer look(int timeoutMs);
    net::Refusal refusal() const { return refusal_; }
    const std::string& problem() const { return link_.problem(); }

    // The player's keys: both sets move the guest's board; `legend` shows
    // them, and the host draws it in this guest's picture. `pauses` false
    // leaves P to the other player's guest at this keyboard.
    void bindKeys(const Controls keys[2], const std::string& legend, bool pauses = true) {
        keys_.bind(keys, pauses);
        legend_ = legend;
    }
    // Once the console is taken: how its keys come, with releases or not.
    void ready(bool keyReleases);

    // From now on what the host sends that changes the picture goes to
    // `recorder` as it comes, and the names it says; nullptr keeps nothing.
    void keepIn(GuestRecorder* recorder) {
        recorder_ = recorder;
        if (recorder_ != nullptr)
            recorder_->nameBoards(names_[0], names_[1]);
    }
    // How the last round ended, as the host said; none before a round has.
    const std::optional<net::RoundOutcome>& lastResult() const { return lastResult_; }
    // The number a server's room keeps the match under; 0 when it said none.
    int kept() const { return kept_; }
    // The name of each board's player as the host last said; "" for none,
    // and for a name the host sent that is none.
    const std::string& name(int board) const { return names_[board]; }

    State state() const { return state_; }
    // Why the game was lost: the connection closed, broke or went silent.
    const std::string& lostWhy() const { return lostWhy_; }
    // Closes the connection (after the end, or on leaving).
    void close() { link_.close(); }

    int watched(SocketWatch* watches, int room) override;
    void serve(const SocketWatch* watches, int count) override;
    long long due() const override;
    void keyEvent(const KeyEvent& event) override;
    bool endsWait() const override { return state_ != State::Playing; }

private:
    // Sends `hello` and waits up to `timeoutMs` for the answer to it.
    Answer exchange(const std::string& hello, int timeoutMs);
    void handle(const net::Message& message);
    void takeNames(const net::Message& message);
    void lose(const std::string& why);
    // Notes a silence of this side long enough for the host to let it go.
    void noteQuiet(long long nowMs);
    // Why the connection is gone, found so at `nowMs`.
    std::string goneWhy(long long nowMs) const;
    // This side said nothing for the host's silence limit just now (it was
    // suspended or stopped, or its link stalled).
    bool wasQuiet(long long nowMs) const;
    void send(const std::string& message);

    LocalScreen& screen_;
    Link link_;
    net::Seat seat_;
    net::Picture picture_;
    GuestKeys keys_;
    std::string legend_;
    bool pictured_ = false;
    bool welcomed_ = false;
    net::Refusal refusal_ = {};
    State state_ = State::Playing;
    std::string lostWhy_;
    long long quietMs_ = 0;      // the last such silence, when there was one
    long long quietEndedMs_ = 0; // and when it ended
    long long escapedMs_ = 0;    // when this player pressed Escape; 0 before
    GuestRecorder* recorder_ = nullptr;
    HostPace pace_;
    std::optional<net::RoundOutcome> lastResult_;
    int kept_ = 0;
    std::string names_[2];
};

} // namespace netplay
