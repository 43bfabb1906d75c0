// SPDX-License-Identifier: MIT
// The host of a game over the network. It listens beside the console, in
// the back end's own waits, and never blocks on a connection: it greets who
// connects (the door's policy says who is read, who gives way and when a
// code is checked; then the join code, one seat for player two and a few
// for watchers), keeps player two's keys from the guest's key events by the
// same rules as the terminal's, for the game to poll as a remote seat, and
// after every frame sends each guest the cells that changed since its last
// picture: the host's picture with the lines of the match as that guest is
// to read them. A connection that breaks the
// protocol is closed; the game goes on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "game/match.hpp"
#include "input/key_state.hpp"
#include "net/admission.hpp"
#include "net/join_code.hpp"
#include "net/picture.hpp"
#include "net/rate_limit.hpp"
#include "netplay/link.hpp"
#include "netplay/local.hpp"

namespace netplay {

class GameHost : public NetService {
public:
    static constexpr int maxWatchers = 4;
    // Refused connections that may still read why; more and the oldest is closed.
    static constexpr int maxLeaving = 16;
    // Bytes queued for one guest past which it gets no more deltas; once it
    // has caught up it gets the whole picture again.
    static constexpr std::size_t maxQueued = std::size_t{16} * 1024;

    // `listener` is taken over; noSocket for none (connections then come by
    // adopt()). The game's picture is read from `screen`'s buffer.
    GameHost(LocalScreen& screen, const net::JoinCode& code, NetSocket listener);
    ~GameHost() override;
    GameHost(const GameHost&) = delete;
    GameHost& operator=(const GameHost&) = delete;

    // A connection accepted elsewhere, greeted like any other.
    void adopt(NetSocket socket);

    // Player two has joined and said how its keys come.
    bool playerReady() const;
    // The game has begun: pictures go out from now on.
    void gameStarted();
    // Player two's keys, for the game's remote seat: the guest's arrows and
    // W A S D alike, Escape and Enter; present while player two is there.
    RemoteKeys playerTwoKeys();
    // The match the game plays, as it goes on, and how it is played: the
    // guests' pictures show its lines as player two or a watcher reads them.
    void setMatch(const Match* match, const GameSetup* setup);
    // What a guest in `seat` is shown now.
    net::Picture pictureFor(net::Seat seat) const;
    // The game's frame hook: the changes since each guest's last picture
    // to every guest before the frame's delay, when the console gets the
    // frame's moves, and the rest at the frame's end.
    FrameHook frameHook();
    // The changes since each guest's last picture, to every guest.
    void sendPictures();
    // After the frame's picture reached the console: the rest of its
    // changes, and the connections served.
    void frameEnded();
    // The final picture, with the prompt, and the end of the game to every guest.
    void gameOver();
    // Sends what is still queued for up to `lingerMs`, then closes everything.
    void finish(int lingerMs);
    // Serves the connections now, without waiting.
    void pumpNow();

    // The lines shown in place of the boards until the game begins.
    void setWaitingNotice(std::vector<NoticeLine> lines);
    // The notice shown below the readouts while player two is away.
    std::string goneNotice() const;
    // How many watch, beside the delay readout: on this console and in
    // player two's picture; no text while nobody does.
    NoticeLine watchersNotice() const;
    // The door: how many it turned away, how many wrong codes it was given.
    const net::Admission& admission() const { return admission_; }

    int watched(SocketWatch* watches, int room) override;
    void serve(const SocketWatch* watches, int count) override;
    long long due() const override;
    void keyEvent(const KeyEvent& event) override;

private:
    // Greeting: not greeted yet; Waiting: greeted, its code not checked yet.
    enum class Stage { Greeting, Waiting, Welcomed, Ready, Leaving };
    struct Peer {
        int id = 0; // the door's name for it
        std::unique_ptr<Link> link;
        Stage stage = Stage::Greeting;
        net::Seat seat = net::Seat::Watcher;
        net::JoinCode code = {}; // Waiting: the code to check
        net::Picture sent;       // what it was last sent
        bool pictured = false;   // it has had a whole picture
        bool stale = false;      // deltas stopped until it catches up
        bool ended = false;      // it has been told the game is over
        bool shutDown = false;   // Leaving: no more bytes go to it
        long long leaveBy = 0;
        long long pageBy = 0;  // Leaving with the page: the most it is kept
        net::PeerAddress from; // where it comes from
        net::GuestPace pace;   // once let in: what it may make the host do
    };

    void acceptAll(long long now);
    void take(NetSocket socket, const net::PeerAddress& from, long long now);
    void readFrom(Peer& peer, long long now);
    // Whether a guest that has been let in may go on: false once it has
    // sent far more than a person could (the connection is closed then);
    // `message` may be dropped meanwhile (false too).
    bool paced(Peer& peer, const net::Message* message, long long now);
    void makeRoom(long long now);
    void timeOut(long long now);
    void takeTurns(long long now);
    Peer* find(int id);
    void handle(Peer& peer, const net::Message& message, long long now);
    void greet(Peer& peer, const net::Message& hello, long long now);
    void check(Peer& peer, long long now);
    bool freeSilentSeat(long long now);
    void refuse(Peer& peer, net::Refusal reason, long long now);
    // A browser's request: its page, or the switch after which it greets
    // as any guest; the page and every refusal end the connection.
    void answerBrowser(Peer& peer, long long now);
    // Told what it was told; closed once it has read it or had its time.
    void leave(Peer& peer, long long now);
    void ready(Peer& peer, const net::Message& message, long long now);
    void playerKey(const net::Message& message);
    // Closes the connection; `turnedAway` when for what it did or did not do.
    void drop(Peer& peer, bool turnedAway = false);
    void refreshNotices(bool always = false);
    void keepTime(Peer& peer, long long now);
    static long long nextDue(const Peer& peer);
    void sendPicture(Peer& peer, const net::Picture& picture, long long now) const;
    void sendWhole(Peer& peer, const net::Picture& picture, long long now) const;
    bool seatTaken() const;
    int count(net::Seat seat, Stage least) const;

    LocalScreen& screen_;
    net::JoinCode code_;
    NetSocket listener_;
    std::vector<Peer> peers_;
    std::vector<int> slots_; // for each socket watched(): its peer, -1 the listener
    bool listening_ = false; // the listener was among them
    KeyState guestKeys_;     // player two's actions, by number, from the guest's events
    char guestLegend_[maxLegendLength + 1] = {}; // player two's keys, as its legend shows them
    net::Admission admission_;
    int nextId_ = 1;
    long long acceptAgainMs_ = 0; // after the system ran out of descriptors
    const Match* match_ = nullptr;
    const GameSetup* setup_ = nullptr;
    bool started_ = false;
    bool over_ = false;
    bool playerGone_ = false;
    std::vector<NoticeLine> waitingNotice_;
    std::string doorNotice_;
    std::string watchersShown_;
};

} // namespace netplay
