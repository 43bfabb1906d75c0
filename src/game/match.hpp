// SPDX-License-Identifier: MIT
// A match: rounds of the game on fresh boards, a tally of rounds won, and
// between the rounds a line that says who won and what comes next. The
// game without options plays one round and no match (runGame); the modes
// beyond it play matches. Each round is the game itself, frame for frame.
#pragma once

#include <memory>

#include "display/screen_buffer.hpp"
#include "game/game.hpp"
#include "record/results.hpp"

enum class MatchPhase : unsigned char {
    Countdown, // fresh boards, nothing moves yet: the round starts in `countdown` seconds
    Playing,
    Paused,    // the round holds still, for the reason in `hold`
    Resuming,  // after a hold: the round goes on in `countdown` seconds
    RoundOver, // a player topped out: the final picture stays until the next round
    Over,      // someone left: the match has ended
};

// Why a round holds still: a player pressed P, or a player at another
// keyboard is away (their connection dropped) until they join again.
enum class Hold : unsigned char { Pause, Away };

struct Match {
    MatchPhase phase;
    int round;      // the round being played or just played, from 1
    int wins[2];    // rounds won by player one and player two
    int winner;     // the board that won the round just played, -1 before it ends
    int countdown;  // seconds left before the round starts, in Countdown (and a demo's RoundOver)
    bool ready[2];  // RoundOver: this board's player has asked for the next round
    bool hereReady; // RoundOver: Enter was pressed at this keyboard
    int leaver;     // Over: the board whose player left, -1 when not named
    int champion;   // Over: the board that won the match (GameSetup.firstTo), -1 when none did
    Hold hold;      // Paused: why
    int holder;     // Paused: the board whose player paused or is away, -1 when not named
    bool mayTake;   // Paused, away: past awayLimitSeconds, Enter here takes the round
    bool away[2];   // this board's player is at another keyboard and away
    // The round just played, or the one left unfinished when the match
    // ended in it: winner, scores, rows, frames and seconds of play.
    record::RoundResult result;
};

// What a stepped match asks of its caller next.
struct MatchStep {
    enum class Kind : unsigned char {
        Wait,     // let `ms` milliseconds pass before the next advance
        FrameEnd, // the frame's picture is in the match's screen: present it
        Over,     // the match has ended; its last picture was presented
    };
    Kind kind = Kind::Over;
    int ms = 0;
};

struct MatchState;

// One match as a value: its setup, both players and their boards, the
// frame count and pacing, its own screen, generator and reads (the outside
// it is given, through its keeper's tape or a playback's), its tally and
// its holds. Nothing of it is shared, so that any number of matches run
// side by side in one thread; it never waits or blocks itself: its caller
// steps it, and its waits (the frame's delay, countdowns, pauses, a player
// away, the rest between rounds) are the steps it asks for.
//
// The rounds: until someone leaves with Escape, or until a player has won
// `setup.firstTo` rounds when it is set; each round on fresh boards and
// new pieces, after a countdown when `setup` asks for one, paused by P (at
// this keyboard or a remote player's) when it allows that. A round holds
// still while a remote player is away, and goes on after a countdown once
// they are back; after awayLimitSeconds, Enter here takes the round.
// Between rounds, Enter at this keyboard and at every remote one that
// plays starts the next round; a demo goes on by itself after
// demoRestSeconds. The last picture holds the final tally.
class SteppedMatch {
public:
    // `setup` is seeded already (seedGenerators); `outside`, a `playback`
    // tape and the setup's keeper outlive the match. A keeper gets every
    // read on its tape. The tally is kept in `shown` when it is given, for
    // a caller that looks at it while the match goes on.
    SteppedMatch(const GameSetup& setup, Outside& outside, ReadTape* playback = nullptr,
                 Match* shown = nullptr);
    ~SteppedMatch();
    SteppedMatch(SteppedMatch&& other) noexcept;
    SteppedMatch& operator=(SteppedMatch&& other) noexcept;

    // Runs the match up to its next wait or frame end and says which; Over
    // from its end on.
    MatchStep advance();
    bool over() const;
    // How it stands, for whoever shows it (a host to its guests); how it
    // ended once it is over.
    const Match& match() const;
    const GameSetup& setup() const;
    const ScreenBuffer& screen() const;

private:
    std::unique_ptr<MatchState> state_;
};

// The outside of a match that nobody plays at a keyboard (its seats are
// the computer's or remote), on a clock its caller sets: a match stepped by
// a loop, on the loop's clock or on virtual time.
class UnattendedOutside final : public Outside {
public:
    void setClockMs(long long ms) { clockMs_ = ms; }
    bool keyPressed(int /*virtualKey*/) override { return false; }
    long long clockSeconds() override { return clockMs_ / 1000; }

private:
    long long clockMs_ = 0;
};

// A match stepped by a loop: its next step is due at `dueMs`. Runs every
// step due by `nowMs` with `outside`'s clock at the step's due time; each
// wait moves the due time on by its length, each frame's end calls
// `frameEnded` (when set) with the match. True while the match goes on.
bool advanceDue(SteppedMatch& match, UnattendedOutside& outside, long long& dueMs, long long nowMs,
                void (*frameEnded)(void* context, const SteppedMatch& match) = nullptr,
                void* context = nullptr);

// Shows a match's screen on the back end's console (display/console.hpp),
// writing only the cells that differ from what it showed last.
class ConsolePresenter {
public:
    void present(const ScreenBuffer& screen);

private:
    ScreenBuffer shown_;
    bool whole_ = true; // nothing shown yet: every cell is written
};

// Plays `match` to its end on this machine with the platform's own calls
// (game/platform.hpp): each wait a sleepMs (or `wait`, when given, with
// its context), each frame's end an endFrame, and the picture presented on
// the console at both.
void driveMatch(SteppedMatch& match, void (*wait)(void* context, int ms) = nullptr,
                void* context = nullptr);

// Plays the match `setup` (seeded already) describes on this machine, as
// driveMatch does, with its tally in `match` as it goes on; a `playback`
// tape answers its reads.
void playMatch(const GameSetup& setup, Match& match, ReadTape* playback = nullptr);

// Seeds the match's generator from the calendar (unless the setup has a
// seed), plays it on this machine's keyboard and console, and says how it
// ended.
Match runMatch(const GameSetup& setup);

// Until the round ends, between rounds, and while paused, keys are read
// and the picture is brought up to date this often, in milliseconds.
constexpr int matchWaitMs = 50;
// Seconds of the countdown before a round, and before it goes on after a
// pause or a player away.
constexpr int countdownSeconds = 3;
// Seconds a round waits for a player who is away before the one who stayed
// may take it with Enter: time to restart a terminal or a link.
constexpr int awayLimitSeconds = 120;
// Columns of the round's clock (m:ss) at the right end of the delay
// readout's row: up to 999:59.
constexpr int clockWidth = 6;
// Seconds a demo rests on a round's final picture before the next round's
// countdown: long enough to read the result.
constexpr int demoRestSeconds = 5;
// The delay, in milliseconds, at which the pacing holds 11 frames a second
// where a frame's own work takes next to no time: the mean of the delay
// over two minutes of settled frames on the in-memory back end was 90.8
// (88 to 94). A match's first round starts there rather than at the
// game's 1 ms, which would run the first quarter minute several times too
// fast; later rounds start where the last one settled.
constexpr int steadyDelayMs = 91;
