// SPDX-License-Identifier: MIT
// The messages of a game over the network, as bytes on a TCP stream.
//
// Every message is a header, its type (a byte) and the length of its
// payload, then the payload. The length is one byte below 128; above, two
// bytes: the first with its top bit set and the length's high seven bits,
// the second with its low seven bits; always in the shortest form. Each
// type has its own bounds on the length, and nothing is longer than
// maxPayload, so a reader never holds more than one message of that size.
//
// A guest opens with Hello (the protocol's magic and version, the seat it
// wants, the join code and its player's name); the host answers Welcome or
// Refused, and after Welcome Names: the names of both boards' players, and
// again whenever one changes (a player joins or leaves). A welcomed
// guest takes its terminal and sends Ready with the way its terminal reports
// keys and its keys as its key legend shows them; from then on the host sends the picture (a whole
// Picture first, then a Delta after every frame that changed something) and a player sends its key
// events as the actions they stand for (turn, left, right, drop, Escape, Enter, pause), by the
// guest's own keys, so the host needs nothing of its keyboard. Both sides send KeepAlive when they
// have sent nothing for a second; five seconds without a message means the other side is gone. End
// says that the match is over and the last picture is final. At the end of
// every round, and of a match left in a round, Result says how it ended, so
// that a guest knows it from the game rather than from the picture. A
// server that keeps its rooms' matches says, before End, the number its
// room keeps the match under (Kept), for the link that plays it back.
//
// A game is a match of rounds. The host draws everything a guest shows:
// the countdown before each round, who won it, the tally and whom it waits
// for, each in the words of that guest (player two or a watcher). Player
// two's Enter asks for the next round, and its pause holds the round for
// both until a pause again. Version 1 played one game without rounds,
// version 2 sent keys instead of actions, version 3 had no pause, version
// 4 no Result, version 5 sent each board's score as its rows and version 7
// had no names; each side refuses every other version.
//
// A guest that is to ask its person for the code first makes sure that a
// game listens there: it greets with a Hello of version 0, which no game
// has spoken, and every host answers Refused (another version) without
// reading a code, so the look counts as no wrong code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/layout.hpp"
#include "game/keys.hpp"
#include "net/join_code.hpp"
#include "net/player_name.hpp"

namespace net {

constexpr int protocolVersion = 8;
// "BLKD": a Hello from anything else is no guest of this game.
constexpr unsigned char helloMagic[4] = {'B', 'L', 'K', 'D'};

constexpr int maxHeaderSize = 3;
constexpr int maxPayload = 8192;
constexpr int maxMessage = maxHeaderSize + maxPayload;

// Silence and keep-alives, in milliseconds.
constexpr int keepAliveMs = 1000;
constexpr int silenceLimitMs = 5000;
// How long a new connection has to say who it is.
constexpr int helloLimitMs = 2000;

enum class MessageType : unsigned char {
    Hello = 1,     // guest: magic, version, seat, join code, name
    Welcome = 2,   // host: version, seat
    Refused = 3,   // host: why
    Ready = 4,     // guest: how its terminal reports keys
    Key = 5,       // player: one key event, as the action it stands for
    KeepAlive = 6, // either side, empty
    Picture = 7,   // host: the whole picture, as runs over a blank screen
    Delta = 8,     // host: runs of cells that changed
    End = 9,       // host: the game is over, the picture is final
    Result = 10,   // host: how a round ended
    Kept = 11,     // host: the number its room keeps the match under
    Names = 12,    // host: the names of both boards' players
};

// Who sent the bytes a decoder reads: each side accepts only what the
// other may send.
enum class Sender : unsigned char { Guest, Host };

enum class Seat : unsigned char { Player = 1, Watcher = 2 };

enum class Refusal : unsigned char {
    WrongCode = 1,
    SeatTaken = 2,    // player two is already playing
    NoRoom = 3,       // as many watchers as the host takes
    OtherVersion = 4, // the guest speaks another version of the protocol
    BadName = 5,      // the guest's name is no name (net/player_name.hpp)
};

// The guest's terminal: with the kitty protocol its keys come with press,
// repeat and release; without it, as autorepeat.
enum class KeyMode : unsigned char { Autorepeat = 0, Kitty = 1 };

enum class KeyKind : unsigned char { Press = 1, Repeat = 2, Release = 3, ReleaseAll = 4 };

// The Hello payload: magic, version, seat, the code's symbols, then the
// name: a byte of its length (0 for none, at most maxPlayerNameBytes) and
// its bytes. A host checks the name as it checks any stranger's text.
constexpr int helloSize = 4 + 1 + 1 + joinCodeLength + 1;
// A Hello of another version may be longer; it is still read far enough to
// be refused with a reason.
constexpr int maxHelloSize = helloSize + maxPlayerNameBytes;
// Names: board one's name, then board two's, each as in Hello (either may
// be empty); a guest checks them again, and shows one that is no name as none.
constexpr int maxNamesSize = 2 * (1 + maxPlayerNameBytes);

// Runs of cells, in Picture and Delta payloads: two bytes, most significant
// first, with the index of the run's first cell (row * pictureColumns +
// column) in the top 11 bits, a bit (keepAttribute) set when the run is in
// the attribute of the run before it (the console's default, textColor, for
// a message's first run), and its length less one in the low 4 bits; then
// the attribute byte unless it is kept; then one code byte per cell. A run
// stays inside the picture.
// The picture is the game's, cell for cell.
constexpr int pictureColumns = ::pictureColumns;
constexpr int pictureRows = ::pictureRows;
constexpr int pictureCells = pictureColumns * pictureRows;
constexpr int maxRunLength = 16;
constexpr int keepAttribute = 16;
constexpr unsigned char firstRunAttribute = textColor;

// How a round ended, as Result carries it: a payload of resultSize bytes,
// numbers most significant first: the round (4 bytes, 1 to maxResultRound),
// the winner (a byte: 0 for none, the round left unfinished, else the board
// 1 or 2), each board's score and rows (4 bytes each, board one's pair
// first, at most maxResultScore), the frames and the seconds of play (4
// bytes each), each board's computer level (a byte, 0 for a person, at most
// maxResultLevel), whether the match ended with the round (a byte, 0 or 1)
// and who won the match (a byte: 0 for nobody, else the board 1 or 2; 0
// unless it ended).
struct RoundOutcome {
    int round = 1;
    int winner = -1; // the board, 0 or 1; -1 for none
    int score[2] = {0, 0};
    int rows[2] = {0, 0};
    std::uint32_t frames = 0;
    std::uint32_t seconds = 0;
    int level[2] = {0, 0};
    bool matchOver = false;
    int champion = -1; // the board that won the match, -1 for none
};
constexpr int resultSize = 4 + 1 + 4 * 4 + 4 + 4 + 2 + 1 + 1;
constexpr int maxResultRound = 1'000'000;
constexpr int maxResultScore = 1'000'000'000;
constexpr int maxResultLevel = 99;
// Kept: the match's number in its room (4 bytes, 1 to maxKeptNumber).
constexpr int keptSize = 4;
constexpr int maxKeptNumber = 1'000'000'000;

// Appends a whole message to `out`. Names longer than maxPlayerNameBytes
// are cut there.
void appendHello(std::string& out, Seat seat, const JoinCode& code, std::string_view name = {});
// A Hello of version 0, which every host refuses as another version.
void appendProbe(std::string& out, Seat seat);
void appendWelcome(std::string& out, Seat seat);
void appendRefused(std::string& out, Refusal reason);
// `legend`: the guest's keys as its picture's key legend shows them, at
// most maxLegendLength bytes of printable ASCII and the arrows' codes (24 to
// 27); the host draws it in the guest's picture.
void appendReady(std::string& out, KeyMode mode, const std::string& legend = "");
// `action` is nothing (0) with ReleaseAll.
void appendKey(std::string& out, KeyKind kind, int action);
void appendKeepAlive(std::string& out);
void appendEnd(std::string& out);
// Fields beyond their bounds are sent at the nearest bound.
void appendResult(std::string& out, const RoundOutcome& outcome);
// `kept` is sent at the nearest bound.
void appendKept(std::string& out, int kept);
void appendNames(std::string& out, std::string_view boardOne, std::string_view boardTwo);
// Picture and Delta: the header, then the runs already in `runs`.
void appendRuns(std::string& out, MessageType type, const std::string& runs);

// True for the number of an action (game/keys.hpp), which a player's key
// messages carry.
bool isAction(int number);

} // namespace net
