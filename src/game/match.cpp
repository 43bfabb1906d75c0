// SPDX-License-Identifier: MIT
// The rounds of a match: a countdown where both sides need one, the round
// itself with its holds (a pause, a player away), and the wait for every
// player's Enter between rounds. Escape from any keyboard ends the match.
#include "game/match.hpp"

#include <cstdlib>
#include <ctime>
#include <optional>

#include "display/console.hpp"
#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/match_lines.hpp"
#include "game/platform.hpp"
#include "game/reads.hpp"
#include "game/recording.hpp"
#include "record/keeper.hpp"

namespace {

// A round starts on a blank picture: nothing of the last one stays behind
// the new boards, score lines and readouts.
void clearPicture() {
    setColor(textColor);
    for (int y = 0; y < pictureRows; ++y) {
        gotoxy(0, y);
        print("%*s", pictureColumns, "");
    }
}

void show(const Match& m, const GameSetup& setup) {
    drawMatchLines(matchLines(m, setup, setup.viewer));
}

// The round's time, m:ss of play without its pauses, at the right end of
// the delay readout's row: nothing else reaches that far there (the row
// above holds a host's notices at its right).
constexpr int clockColumn = pictureColumns - clockWidth;
static_assert(clockColumn > boardColumn[1], "the clock stays clear of the readouts");

// Whole seconds of the monotonic clock, so a round's time may run up to a
// second ahead of its true length, never more.
struct RoundClock {
    long long started; // the clock's second when play began, moved on by each pause
    long long shown;   // the seconds now on screen, -1 before any
};

void startClock(RoundClock& clock) {
    clock.started = readClock();
    clock.shown = -1;
}

void showClock(RoundClock& clock) {
    long long seconds = readClock() - clock.started;
    if (seconds == clock.shown || seconds < 0)
        return;
    clock.shown = seconds;
    setColor(textColor);
    gotoxy(clockColumn, delayRow);
    // In int: every back end's printing knows %d, and a round's minutes fit.
    int minutes = static_cast<int>(seconds / 60);
    print("%*d:%02d", clockWidth - 3, minutes, static_cast<int>(seconds % 60));
}

// A wait between frames: the picture goes out and keys come in meanwhile.
void idle(const Game& g) {
    beforeDelay(g);
    waitMs(matchWaitMs);
    endFrame();
    frameEnded(g);
}

bool atThisKeyboard(const Seat& seat) { return !seat.computer && seat.remote.pressed == nullptr; }

bool remote(const Seat& seat) { return seat.remote.pressed != nullptr; }

bool present(const Game& g, int board) { return readPresent(g.seat[board], board); }

// The board of the person at this keyboard where the other is at another
// one, else -1: nobody to name.
int hereBoard(const Game& g, const GameSetup& setup) {
    if (!remote(g.seat[0]) && !remote(g.seat[1]))
        return -1;
    return setup.viewer == Viewer::PlayerOne ? 0 : setup.viewer == Viewer::PlayerTwo ? 1 : -1;
}

// The player who pressed Escape is named where the other side is at
// another keyboard: this keyboard's player, or the remote one.
void nameLeaver(const Game& g, Match& m, const GameSetup& setup) {
    m.leaver = g.escapeFrom >= 0 ? g.escapeFrom : hereBoard(g, setup);
}

// Escape from any keyboard ends the match.
bool leaving(Game& g, Match& m, const GameSetup& setup) {
    if (!escapePressed(g))
        return false;
    nameLeaver(g, m, setup);
    return true;
}

bool enterPressed(const Game& g, int board) {
    return remote(g.seat[board]) && readAction(g.seat[board], board, Action::Enter);
}

// A remote board whose player is away, -1 when none is.
int awayBoard(const Game& g) {
    for (int board = 0; board < 2; ++board)
        if (remote(g.seat[board]) && !present(g, board))
            return board;
    return -1;
}

// Notes who is away now; true when that changed.
bool noteAway(const Game& g, Match& m) {
    bool changed = false;
    for (int board = 0; board < 2; ++board) {
        bool away = remote(g.seat[board]) && !present(g, board);
        changed = changed || away != m.away[board];
        m.away[board] = away;
    }
    return changed;
}

// P counts on its press, at this keyboard and from each remote player:
// held across polls it counts once.
struct PauseKeys {
    bool held[3]; // this keyboard's P, then each board's remote Pause
};
constexpr int noPause = -2;

bool pressedOnce(bool down, bool& held) {
    bool press = down && !held;
    held = down;
    return press;
}

// Who pressed P now: a remote board, -1 for this keyboard, noPause for
// nobody. Every keyboard is polled, so that none keeps a press for later.
int pausePressed(const Game& g, PauseKeys& keys) {
    int by = pressedOnce(readKey(vkP), keys.held[0]) ? -1 : noPause;
    for (int board = 0; board < 2; ++board) {
        bool down = remote(g.seat[board]) && readAction(g.seat[board], board, Action::Pause);
        if (pressedOnce(down, keys.held[board + 1]) && by == noPause)
            by = board;
    }
    return by;
}

// Counts `seconds` down in `countdown`, showing each; false when someone
// leaves meanwhile.
bool waitSeconds(Game& g, Match& m, const GameSetup& setup, int seconds) {
    for (m.countdown = seconds; m.countdown > 0; --m.countdown) {
        show(m, setup);
        for (int waited = 0; waited < 1000; waited += matchWaitMs) {
            idle(g);
            if (leaving(g, m, setup))
                return false;
        }
    }
    return true;
}

bool countDown(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::Countdown;
    if (!waitSeconds(g, m, setup, countdownSeconds))
        return false;
    restartPacing(g); // the rate readout counts the round's frames only
    return true;
}

// How a hold ended.
enum class HoldEnd { Resumed, Left, Taken };

void holdFor(Match& m, const GameSetup& setup, Hold why, int holder, bool mayTake = false) {
    m.phase = MatchPhase::Paused;
    m.hold = why;
    m.holder = holder;
    m.mayTake = mayTake;
    show(m, setup);
}

// Until every remote player is back. Past awayLimitSeconds, Enter at this
// keyboard takes the round for the one who stayed; an Enter before then
// counts for nothing.
HoldEnd waitForReturn(Game& g, Match& m, const GameSetup& setup) {
    // Counted in waits, which take at least matchWaitMs each: whole seconds
    // of the clock could end the wait up to a second early.
    constexpr int limitWaits = awayLimitSeconds * 1000 / matchWaitMs;
    int waits = 0;
    for (int away = awayBoard(g); away >= 0; away = awayBoard(g), ++waits) {
        bool mayTake = waits >= limitWaits;
        if (m.hold != Hold::Away || m.holder != away || m.mayTake != mayTake)
            holdFor(m, setup, Hold::Away, away, mayTake);
        noteAway(g, m);
        idle(g);
        if (leaving(g, m, setup))
            return HoldEnd::Left;
        if (readKey(vkReturn) && m.mayTake) {
            g.loser = away;
            return HoldEnd::Taken;
        }
    }
    noteAway(g, m);
    return HoldEnd::Resumed;
}

// Until P again, from any player; a player who goes away meanwhile turns
// the pause into the wait for them.
HoldEnd waitForResume(Game& g, Match& m, const GameSetup& setup, PauseKeys& keys) {
    for (;;) {
        idle(g);
        if (leaving(g, m, setup))
            return HoldEnd::Left;
        if (awayBoard(g) >= 0)
            return waitForReturn(g, m, setup);
        if (pausePressed(g, keys) != noPause)
            return HoldEnd::Resumed;
    }
}

// Nothing moves while the round holds, the round's clock neither; it goes
// on after a countdown.
HoldEnd holdRound(Game& g, Match& m, const GameSetup& setup, PauseKeys& keys, RoundClock& clock) {
    long long heldAt = readClock();
    HoldEnd end =
        m.hold == Hold::Away ? waitForReturn(g, m, setup) : waitForResume(g, m, setup, keys);
    if (end != HoldEnd::Resumed)
        return end;
    m.phase = MatchPhase::Resuming;
    if (!waitSeconds(g, m, setup, countdownSeconds))
        return HoldEnd::Left;
    // A P pressed in the countdown is spent here, and one pressed once play
    // shows again is a new press.
    pausePressed(g, keys);
    clock.started += readClock() - heldAt;
    m.phase = MatchPhase::Playing;
    show(m, setup);
    restartPacing(g);
    return end;
}

// Holds the round when a remote player is away, or when P was pressed
// where the setup allows it; Resumed when it did not hold or goes on.
HoldEnd holdIfAsked(Game& g, Match& m, const GameSetup& setup, PauseKeys& keys, RoundClock& clock) {
    int away = awayBoard(g);
    if (away >= 0) {
        noteAway(g, m);
        holdFor(m, setup, Hold::Away, away);
        return holdRound(g, m, setup, keys, clock);
    }
    int by = setup.pause ? pausePressed(g, keys) : noPause;
    if (by == noPause)
        return HoldEnd::Resumed;
    holdFor(m, setup, Hold::Pause, by >= 0 ? by : hereBoard(g, setup));
    return holdRound(g, m, setup, keys, clock);
}

// The round as it stands: its number, scores, frames and seconds of play;
// who won it once someone has. Its rows are counted frame by frame.
void noteResult(const Game& g, Match& m, const RoundClock& clock) {
    record::RoundResult& r = m.result;
    r.round = m.round;
    r.winner = g.loser >= 0 ? 1 - g.loser : -1;
    r.score[0] = g.p1.score;
    r.score[1] = g.p2.score;
    r.seconds = readClock() - clock.started;
}

// The rows each board cleared in a frame: the board record keeps no count
// of them, but its score grows by rowScore for each and by nothing else.
struct Scores {
    int board[2];
};

Scores scoresOf(const Game& g) { return {{g.p1.score, g.p2.score}}; }

void countRows(const Scores& before, const Game& g, record::RoundResult& r) {
    Scores after = scoresOf(g);
    for (int board = 0; board < 2; ++board)
        r.rows[board] += (after.board[board] - before.board[board]) / rowScore;
}

// Frames until a player tops out or the round is taken from one who is
// away (true), or someone leaves (false).
bool playRound(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::Playing;
    show(m, setup);
    PauseKeys keys = {{true, true, true}}; // a P still held from before the round does not pause it
    RoundClock clock;
    startClock(clock);
    m.result = record::RoundResult{};
    bool ended = false;
    while (!ended) {
        HoldEnd held = holdIfAsked(g, m, setup, keys, clock);
        if (held != HoldEnd::Resumed) {
            noteResult(g, m, clock);
            return held == HoldEnd::Taken;
        }
        showClock(clock);
        Scores before = scoresOf(g);
        ended = !playFrame(g);
        countRows(before, g, m.result);
        m.result.frames += 1;
        if (setup.keeper != nullptr)
            setup.keeper->framePlayed();
    }
    noteResult(g, m, clock);
    if (g.loser >= 0)
        return true;
    nameLeaver(g, m, setup); // the frame ended on an Escape
    return false;
}

// A demo has nobody to press Enter: it plays on by itself, so that it can
// be left running. False when Escape leaves instead.
bool restBeforeNextRound(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::RoundOver;
    return waitSeconds(g, m, setup, demoRestSeconds);
}

// A remote player readies by their own Enter, and is no longer ready once
// away; true when that or who is away changed.
bool noteRemoteReady(const Game& g, Match& m) {
    bool changed = noteAway(g, m);
    for (int board = 0; board < 2; ++board) {
        const Seat& seat = g.seat[board];
        if (!remote(seat))
            continue;
        bool enter = enterPressed(g, board);
        bool ready = (m.ready[board] || enter) && present(g, board);
        changed = changed || ready != m.ready[board];
        m.ready[board] = ready;
    }
    return changed;
}

// Enter at this keyboard readies its players, a remote player their own.
// True when all are ready; false when someone leaves.
bool awaitNextRound(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::RoundOver;
    m.hereReady = false;
    // An Enter pressed while the round was played is no answer to this.
    readKey(vkReturn);
    for (int board = 0; board < 2; ++board) {
        enterPressed(g, board);
        m.ready[board] = g.seat[board].computer;
    }
    noteAway(g, m);
    show(m, setup);
    for (;;) {
        idle(g);
        if (leaving(g, m, setup))
            return false;
        bool changed = false;
        if (readKey(vkReturn) && !m.hereReady) {
            m.hereReady = changed = true;
            for (int board = 0; board < 2; ++board)
                m.ready[board] = m.ready[board] || atThisKeyboard(g.seat[board]);
        }
        changed = noteRemoteReady(g, m) || changed;
        if (m.hereReady && m.ready[0] && m.ready[1])
            return true;
        if (changed)
            show(m, setup);
    }
}

// A round's end, to the keeper and to whoever sees the match from afar.
void endRound(const GameSetup& setup, const record::RoundResult& round, bool matchOver,
              int champion) {
    if (setup.keeper != nullptr)
        setup.keeper->roundEnded(round, matchOver, champion);
    const FrameHook& hook = setup.frameHook;
    if (hook.roundEnded != nullptr)
        hook.roundEnded(hook.context, round, matchOver, champion);
}

// The match's end: its last round, or when that has ended already, the
// round that was not played.
void endMatch(const GameSetup& setup, const Match& m, bool lastEnded) {
    record::RoundResult unplayed;
    unplayed.round = m.round + 1;
    endRound(setup, lastEnded ? unplayed : m.result, true, m.champion);
}

// The rounds, until someone leaves or a player has won the match; true
// when the match ended between rounds, with its last round kept already.
bool playRounds(Game& g, Match& m, const GameSetup& setup) {
    int delay = steadyDelayMs;
    for (;;) {
        clearPicture();
        // The computer's slips differ from round to round, as the pieces do.
        GameSetup round = setup;
        round.seed = setup.seed + static_cast<unsigned>(m.round);
        startGame(g, round);
        g.sleep_value = delay;
        m.winner = -1;
        if (setup.countdown && !countDown(g, m, setup))
            return false;
        if (!playRound(g, m, setup))
            return false;
        delay = g.sleep_value;
        m.winner = g.loser == 0 ? 1 : 0;
        m.wins[m.winner] += 1;
        if (setup.firstTo > 0 && m.wins[m.winner] >= setup.firstTo) {
            m.champion = m.winner;
            return false;
        }
        endRound(setup, m.result, false, -1);
        bool demo = setup.computer[0] && setup.computer[1];
        if (!(demo ? restBeforeNextRound(g, m, setup) : awaitNextRound(g, m, setup)))
            return true;
        m.round += 1;
    }
}

// A match that is kept: every read goes to its tape as the match is played.
class KeptMatch {
public:
    explicit KeptMatch(record::MatchKeeper* keeper) : keeper_(keeper) {
        if (keeper_ != nullptr) {
            recorder_.emplace(keeper_->tape());
            useReadTape(&*recorder_);
        }
    }
    ~KeptMatch() {
        if (keeper_ != nullptr)
            useReadTape(nullptr);
    }
    KeptMatch(const KeptMatch&) = delete;
    KeptMatch& operator=(const KeptMatch&) = delete;

private:
    record::MatchKeeper* keeper_;
    std::optional<TapeRecorder> recorder_;
};

} // namespace

void playMatch(const GameSetup& setup, Match& m) {
    m = Match{};
    m.round = 1;
    m.winner = -1;
    m.leaver = -1;
    m.champion = -1;
    m.holder = -1;
    m.result.round = 1;
    Game g;
    KeptMatch kept(setup.keeper);
    endMatch(setup, m, playRounds(g, m, setup));
    m.phase = MatchPhase::Over;
    show(m, setup);
    endFrame();
    frameEnded(g);
}

Match runMatch(const GameSetup& setup) {
    GameSetup seeded = setup;
    seedGenerators(seeded);
    Match m;
    playMatch(seeded, m);
    return m;
}
