// SPDX-License-Identifier: MIT
// The host of a game over the network. It listens beside the console, in
// the back end's own waits, and never blocks on a connection: its door
// (netplay/door.hpp) greets who connects and lets in player two and a few
// watchers with the join code; its guests' connections (netplay/guests.hpp)
// are kept alive and paced. The host itself is the game's side: it keeps
// player two's keys from the guest's key events by the same rules as the
// terminal's, for the game to poll as a remote seat, and after every frame
// sends each guest the cells that changed since its last picture: the
// host's picture with the lines of the match as that guest is to read
// them. A connection that breaks the protocol is closed; the game goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/local.hpp"
#include "game/match.hpp"
#include "input/key_state.hpp"
#include "net/admission.hpp"
#include "net/join_code.hpp"
#include "net/picture.hpp"
#include "netplay/door.hpp"
#include "netplay/guests.hpp"
#include "netplay/serving.hpp"

namespace netplay {

class GameHost : public NetService, private GuestEvents {
public:
    static constexpr int maxWatchers = Guests::maxWatchers;
    static constexpr int maxLeaving = Door::maxLeaving;
    static constexpr std::size_t maxQueued = Guests::maxQueued;
    // The door's notice counts strangers and wrong codes as they come: under
    // a flood its count is shown afresh at most this often, so that the
    // console is not rewritten at every look at the sockets (each write a
    // round trip to the console on Windows, and bytes to a terminal over SSH).
    static constexpr int doorCountEveryMs = 250;

    // `listener` is taken over; noSocket for none (connections then come by
    // adopt()). The game's picture is read from `screen`'s buffer.
    GameHost(LocalScreen& screen, const net::JoinCode& code, NetSocket listener);
    ~GameHost() override;
    GameHost(const GameHost&) = delete;
    GameHost& operator=(const GameHost&) = delete;

    // A connection accepted elsewhere, greeted like any other.
    void adopt(NetSocket socket);
    // A connection a server's front took from `from` and read `head` of.
    void adopt(NetSocket socket, const net::PeerAddress& from, std::string_view head);
    // A server's room: its page and game under `base`, under any name;
    // with `firstGivesCode` its code is the first player's (netplay/door.hpp).
    void openRoom(std::string base, bool firstGivesCode);
    // A quick match's room: strangers meet in it, whatever their codes.
    void takeAnyCode() { door_.takeAnyCode(); }
    // How many watchers are shown the game.
    int watching() const { return guests_.watching(); }
    // Bytes are still queued for a guest or a stranger.
    bool sending() const;
    // Closes every connection at once.
    void close();
    // The names a browser may reach this host by (none until set).
    void answerTo(net::HostNames names) { door_.answerTo(std::move(names)); }

    // The name of `board`'s player while no guest plays it (this console's
    // player; none for a computer), for the guests to show.
    void nameBoard(int board, std::string name) {
        guests_.nameBoard(board, std::move(name), netClockMs());
    }
    // The name of `board`'s player as the guests were last told.
    const std::string& name(int board) const { return guests_.name(board); }
    // Player two (or of `board`) has joined and said how its keys come.
    bool playerReady(int board = 1) const;
    // Guests play both boards (a server's room of two people).
    void seatBothPlayers();
    // The game has begun: pictures go out from now on.
    void gameStarted();
    // Player two's keys, for the game's remote seat: the guest's arrows and
    // W A S D alike, Escape and Enter; present while player two is there.
    RemoteKeys playerTwoKeys() { return playerKeys(1); }
    // The keys of the guest who plays `board`, likewise.
    RemoteKeys playerKeys(int board);
    // The match the game plays, as it goes on, how it is played and the
    // screen it draws on: the guests' pictures are that screen, with its
    // lines as player two or a watcher reads them.
    void setMatch(const SteppedMatch* match);
    // What a guest in `seat` (a player: of `board`) is shown now.
    net::Picture pictureFor(net::Seat seat, int board) const override;
    net::Picture pictureFor(net::Seat seat) const { return pictureFor(seat, 1); }
    // The game's frame hook: the changes since each guest's last picture
    // to every guest before the frame's delay, when the console gets the
    // frame's moves, and the rest at the frame's end.
    FrameHook frameHook();
    // The changes since each guest's last picture, to every guest.
    void sendPictures();
    // How a round ended, after its last picture, to every guest let in.
    void sendResult(const record::RoundResult& round, bool matchOver, int champion);
    // The number a server's room keeps the match under, to every guest let
    // in: before the end, for the link that plays it back.
    void sendKept(int number);
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
    // The notice shown below the readouts while player two is away: how
    // they join again.
    std::string goneNotice() const;
    // How many watch, beside the delay readout: on this console and in
    // player two's picture; no text while nobody does.
    NoticeLine watchersNotice() const;
    // The door: how many it turned away, how many wrong codes it was given.
    const net::Admission& admission() const { return door_.admission(); }

    int watched(SocketWatch* watches, int room) override;
    void serve(const SocketWatch* watches, int count) override;
    long long due() const override;
    void keyEvent(const KeyEvent& event) override;

private:
    // What the guests' connections tell the game, and ask of it.
    void playerJoined(const net::Message& ready, int board) override;
    void playerKey(const net::Message& key, int board) override;
    void playerLeft(bool onPage, int board) override;
    void flooded(const net::PeerAddress& from, long long nowMs) override;
    Showing showing() const override;

    void refreshNotices(bool always = false);
    // The game's screen as a picture, copied out again only when its cells
    // have changed: every guest's picture each frame starts from it.
    const net::Picture& screenPicture() const;

    LocalScreen& screen_;
    Guests guests_;
    Door door_;
    int doorWatched_ = 0; // the first sockets of watched() are the door's
    // Each board's guest's actions, by number, from its events, and its
    // keys as its legend shows them: player two's, and with seatBothPlayers
    // player one's too.
    KeyState guestKeys_[2];
    char guestLegend_[2][maxLegendLength + 1] = {};
    bool bothSeated_ = false;
    struct BoardKeys {
        GameHost* host;
        int board;
    };
    BoardKeys boardKeys_[2] = {{this, 0}, {this, 1}};
    const SteppedMatch* match_ = nullptr;
    struct ScreenCopy {
        const ScreenBuffer* screen = nullptr; // nullptr: none taken yet
        std::uint64_t generation = 0;
        net::Picture picture;
    };
    mutable ScreenCopy screenCopy_;
    bool started_ = false;
    bool over_ = false;
    bool playerGone_ = false;
    bool playerOnPage_ = false; // player two last joined from a browser's page
    std::vector<NoticeLine> waitingNotice_;
    std::string doorNotice_;
    long long doorShownMs_ = 0; // when doorNotice_ was last shown afresh
    std::string watchersShown_;
};

} // namespace netplay
