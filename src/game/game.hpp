// SPDX-License-Identifier: MIT
// The frame loop: start-up, the frames, and the end of the game.
#pragma once

#include <array>
#include <string>

#include "computer/computer.hpp"
#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/reads.hpp"
#include "model/model.hpp"

// The actions of a person at another keyboard (a guest over the network),
// answered as keyPressed() answers for a key of this one: true while held,
// and once for a press that began and ended since its last poll. A person
// who is not there (a guest who dropped) is never ready for the next round.
struct RemoteKeys {
    bool (*pressed)(void* context, Action action) = nullptr;
    bool (*present)(void* context) = nullptr; // nullptr: always there
    void* context = nullptr;
};

// Who steers one board.
struct Seat {
    bool computer;        // the computer decides this board's keys
    bool eitherKeys;      // a person alone at their keyboard: both players' keys
    RemoteKeys remote;    // a person at another keyboard, when `pressed` is set
    ComputerPlayer brain; // the computer's plan and its keys of this frame
};

namespace record {
class MatchKeeper;
struct RoundResult;
} // namespace record

// Calls for a game that others see from afar: a network host sends its
// guests the picture, and how each round ended. Each is called when set:
// beforeDelay once the frame's moves are drawn, before its delay, and
// frameEnded after its end, at the same points of a match's waits, and
// once more after its last picture; roundEnded where a match's keeper is
// told of a round's end (`champion` is -1 unless `matchOver`).
struct FrameHook {
    void (*beforeDelay)(void* context) = nullptr;
    void (*frameEnded)(void* context) = nullptr;
    void* context = nullptr;
    void (*roundEnded)(void* context, const record::RoundResult& round, bool matchOver,
                       int champion) = nullptr;
};

// Whom the lines of a match speak to: the person on board one or two
// ("You win"), or everyone ("Player one wins") in a demo, a match of two
// people at one keyboard, or to a watcher.
enum class Viewer : unsigned char { Everyone, PlayerOne, PlayerTwo, Watcher };

// Who plays: a person on each board unless the computer takes one or both.
struct GameSetup {
    bool computer[2] = {false, false}; // the computer plays board one, board two
    int level[2] = {computerDefaultLevel, computerDefaultLevel}; // how well it plays each board
    // Starts the pieces' generator and the computer's own; runGame and
    // runMatch take the clock's when it is 0.
    unsigned seed = 0;
    // Each player's keys: the game's own unless chosen. A person alone at
    // a keyboard plays with both sets.
    Controls keys[2] = {playerOneKeys, playerTwoKeys};
    // What moves each board played by a person, as the key legend shows it
    // (picture codes: the arrows are 24 to 27); empty for none.
    char legend[2][maxLegendLength + 1] = {};
    // Each board's player's name, kept with the match ("" for none).
    std::array<std::string, 2> names = {};
    RemoteKeys remote[2] = {}; // a board played from another keyboard
    // Rounds with a tally until someone leaves, instead of one game.
    bool match = false;
    Viewer viewer = Viewer::Everyone;
    bool countdown = false; // a countdown before every round, so that both keyboards start together
    bool pause = false;     // P pauses and resumes: every match mode, either player
    int firstTo = 0;        // the match ends once a player has won this many rounds; 0: never
    // Gravity quickens as each round goes on (speedUpPeriod); the game
    // without options keeps its steady rhythm.
    bool speedUp = false;
    // The picture goes without colours (NO_COLOR), so the colour of "Game
    // Over" cannot tell which board lost: the game alone says it in words.
    bool noColor = false;
    // A kept match played back: this keyboard's keys are the replay's own,
    // so the lines name none of the game's keys (the replay shows its own).
    bool replayed = false;
    // A match kept by an older version, played back: its pieces come from
    // the C library, as they did when it was played.
    bool libraryPieces = false;
    FrameHook frameHook = {};
    // Nobody is at this machine's keyboard (a server's room): the next
    // round waits only for the remote players' Enter, and past the away
    // limit a remote player who stayed takes the round with theirs.
    bool nobodyHere = false;
    // When it points at true, the round under way is the match's last (a
    // server draining ends its matches so); nullptr for none.
    const bool* lastRound = nullptr;
    // Keeps the match as it is played: its recording and its lines in the
    // results log; nullptr for none (the game without options never has one).
    record::MatchKeeper* keeper = nullptr;
};

// Everything a running game holds, from start-up to the final prompt.
struct Game {
    Player p1;
    Player p2;
    int tick;            // frames completed; a blocked soft drop sets it to 50
    bool speedUp;        // as the setup gave it
    int nextFall;        // speedUp: the frame count of the next gravity step
    long frames;         // speedUp: frames of this round so far, which set its fall interval
    int fps;             // frames counted since the last rate report
    int sleep_value;     // delay in milliseconds at the end of each frame
    long long last_time; // clock second of the last rate report
    int fpsShown;        // characters of the rate readout now on screen
    int delayShown;      // characters of the delay readout now on screen
    Seat seat[2];        // who steers board one and board two
    Controls keys[2];    // the keys of board one and board two at this keyboard
    int loser;           // the board that topped out, -1 while none has
    int escapeFrom;      // who pressed Escape: -1 this keyboard, else a remote board
    bool namesLoser;     // "Game Over" is followed by the board that lost
    FrameHook hook;      // as the setup gave it
    // What the game draws on, where its boards' chance comes from and what
    // it reads: the platform's own unless a match gives its own (each
    // outlives the game).
    Scene scene = backEndScene();
    Reads reads;
};

// Gives the setup the calendar's seed when it has none (0), so that the
// computer's slips differ from game to game as the pieces do; a game that
// is no match seeds the C library's generator with it, which its pieces
// come from (a match's come from its own). Returns the seed.
unsigned seedGenerators(GameSetup& setup);

// Seeds the generators, plays one whole game and waits for Enter at the
// end: two people at one keyboard, or as `setup` says.
void runGame();
void runGame(const GameSetup& setup);

// Start-up without the seeding: both players and both boards, with a person
// on each board, or as `setup` says.
void startGame(Game& g);
void startGame(Game& g, const GameSetup& setup);

// One player's moves as the input phase makes them: each erases the piece,
// changes the record, undoes the change if a rule objects and draws the
// piece again. A blocked soft drop sets `tick` to blockedDropTick.
void turnPiece(Player& p, Canvas& console = backEndConsole());
void shiftPiece(Player& p, int dx, Canvas& console = backEndConsole());
void dropPiece(Player& p, int& tick, Canvas& console = backEndConsole());

// One frame: input, gravity and locking, pacing and the Escape poll.
// False once the game has ended, by a top-out or by Escape.
bool playFrame(Game& g);
// The same frame in the two halves around its delay, for a caller that
// waits the delay itself: up to the delay (false when a top-out ended the
// game, with no delay to wait), and after it, up to the end of the frame
// (false when Escape ended the game). The frame's end follows each false,
// and the second half.
bool frameBeforeDelay(Game& g);
bool frameAfterDelay(Game& g);

// Escape from this keyboard or from a remote one; `escapeFrom` says whose.
bool escapePressed(Game& g);

// The frame hook's calls, when set.
void beforeDelay(const Game& g);
void frameEnded(const Game& g);

// The final prompt and the wait for Enter.
void closeGame();

// Parts of a frame, in the order they run. The computer seats decide their
// keys before the input phase polls them.
void computerPhase(Game& g);
void inputPhase(Game& g);
// Whether this frame takes the gravity step and the lock test: every
// gravityPeriod frames, or under speedUp as its schedule says; a blocked
// soft drop brings the step to this frame in either rhythm.
bool fallsNow(Game& g);
// The rhythm as the computer plans with it, seen from this frame.
FallRhythm fallRhythm(const Game& g);
void gravityPhase(Game& g);
bool lockPhase(Game& g); // true when a player topped out
// The pacing step after the frame's delay: the count, the readouts and the
// delay's next length.
void paceAfterDelay(Game& g);
// Play that starts or goes on after a wait counts its frames afresh, so
// neither the rate readout nor the delay counts frames from before the wait.
void restartPacing(Game& g);

// The most rounds a match may be played to (--first-to).
constexpr int maxFirstTo = 99;

// A delay this long can only come from a clock that has stopped.
constexpr int maxSleepMs = 1000;
