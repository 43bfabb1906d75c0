// SPDX-License-Identifier: MIT
// The rounds of a match: a countdown where both sides need one, the round
// itself with its holds (a pause, a player away), and the wait for every
// player's Enter between rounds. Escape from any keyboard ends the match.
#include "game/match.hpp"

#include <coroutine>
#include <optional>

#include "display/console.hpp"
#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/match_lines.hpp"
#include "game/platform.hpp"
#include "game/reads.hpp"
#include "game/recording.hpp"
#include "game/task.hpp"
#include "record/keeper.hpp"

// Everything one match holds; its parts below read, draw and wait
// through it alone.
struct MatchState {
    MatchState(const GameSetup& played, Outside& outside, ReadTape* playback, Match* shown);
    GameSetup setup;
    Match own{};
    Match& m;
    ScreenBuffer screen;
    OwnDraws draws;
    std::optional<TapeRecorder> recorder;
    Game g;
    MatchStep pending;              // what the suspended match asks for
    std::coroutine_handle<> resume; // where it goes on
    std::optional<Task<void>> run;  // the match, from its first advance
};

namespace {

// The match stops here until its caller advances it again.
struct Suspend {
    MatchState& s;
    MatchStep step;
    // The coroutine calls it on the object, so it stays a member.
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static)
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) const noexcept {
        s.pending = step;
        s.resume = h;
    }
    void await_resume() const noexcept {}
};

Suspend waitFor(MatchState& s, int ms) { return {s, {MatchStep::Kind::Wait, ms}}; }
Suspend frameEnd(MatchState& s) { return {s, {MatchStep::Kind::FrameEnd, 0}}; }

// One frame of a round, its delay and its end the caller's.
Task<bool> playFrame(MatchState& s) {
    Game& g = s.g;
    bool on = frameBeforeDelay(g);
    if (on) {
        if (g.sleep_value > 0)
            co_await waitFor(s, g.sleep_value);
        on = frameAfterDelay(g);
    }
    co_await frameEnd(s);
    frameEnded(g);
    co_return on;
}

// A round starts on a blank picture: nothing of the last one stays behind
// the new boards, score lines and readouts.
void clearPicture(Canvas& console) {
    console.setColor(textColor);
    for (int y = 0; y < pictureRows; ++y) {
        console.gotoxy(0, y);
        console.print("%*s", pictureColumns, "");
    }
}

void show(MatchState& s) { drawMatchLines(s.screen, matchLines(s.m, s.setup, s.setup.viewer)); }

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

void startClock(const Game& g, RoundClock& clock) {
    clock.started = readClock(g);
    clock.shown = -1;
}

void showClock(MatchState& s, RoundClock& clock) {
    long long seconds = readClock(s.g) - clock.started;
    if (seconds == clock.shown || seconds < 0)
        return;
    clock.shown = seconds;
    s.screen.setColor(textColor);
    s.screen.gotoxy(clockColumn, delayRow);
    // In int: every back end's printing knows %d, and a round's minutes fit.
    int minutes = static_cast<int>(seconds / 60);
    s.screen.print("%*d:%02d", clockWidth - 3, minutes, static_cast<int>(seconds % 60));
}

// A wait between frames: the picture goes out and keys come in meanwhile.
Task<void> idle(MatchState& s) {
    beforeDelay(s.g);
    co_await waitFor(s, matchWaitMs);
    co_await frameEnd(s);
    frameEnded(s.g);
}

bool atThisKeyboard(const Seat& seat) { return !seat.computer && seat.remote.pressed == nullptr; }

bool remote(const Seat& seat) { return seat.remote.pressed != nullptr; }

bool present(const Game& g, int board) { return readPresent(g, board); }

// The board of the person at this keyboard where the other is at another
// one, else -1: nobody to name.
int hereBoard(const Game& g, const GameSetup& setup) {
    if (!remote(g.seat[0]) && !remote(g.seat[1]))
        return -1;
    return setup.viewer == Viewer::PlayerOne ? 0 : setup.viewer == Viewer::PlayerTwo ? 1 : -1;
}

// The player who pressed Escape is named where the other side is at
// another keyboard: this keyboard's player, or the remote one.
void nameLeaver(MatchState& s) {
    s.m.leaver = s.g.escapeFrom >= 0 ? s.g.escapeFrom : hereBoard(s.g, s.setup);
}

// Escape from any keyboard ends the match.
bool leaving(MatchState& s) {
    if (!escapePressed(s.g))
        return false;
    nameLeaver(s);
    return true;
}

// A server that drains ends a match that holds (paused, a player away) or
// rests between rounds at once; one being played plays its round out.
bool drained(const MatchState& s) { return s.setup.lastRound != nullptr && *s.setup.lastRound; }

bool enterPressed(const Game& g, int board) {
    return remote(g.seat[board]) && readAction(g, board, Action::Enter);
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
    int by = pressedOnce(readKey(g, vkP), keys.held[0]) ? -1 : noPause;
    for (int board = 0; board < 2; ++board) {
        bool down = remote(g.seat[board]) && readAction(g, board, Action::Pause);
        if (pressedOnce(down, keys.held[board + 1]) && by == noPause)
            by = board;
    }
    return by;
}

// Counts `seconds` down in `countdown`, showing each; false when someone
// leaves meanwhile.
Task<bool> waitSeconds(MatchState& s, int seconds) {
    for (s.m.countdown = seconds; s.m.countdown > 0; --s.m.countdown) {
        show(s);
        for (int waited = 0; waited < 1000; waited += matchWaitMs) {
            co_await idle(s);
            if (leaving(s))
                co_return false;
        }
    }
    co_return true;
}

Task<bool> countDown(MatchState& s) {
    s.m.phase = MatchPhase::Countdown;
    bool counted = co_await waitSeconds(s, countdownSeconds);
    if (counted)
        restartPacing(s.g); // the rate readout counts the round's frames only
    co_return counted;
}

// How a hold ended.
enum class HoldEnd { Resumed, Left, Taken };

void holdFor(MatchState& s, Hold why, int holder, bool mayTake = false) {
    s.m.phase = MatchPhase::Paused;
    s.m.hold = why;
    s.m.holder = holder;
    s.m.mayTake = mayTake;
    show(s);
}

// With nobody at this keyboard: the Enter of the remote player who stayed
// while `away` is away.
bool stayerTakes(const Game& g, int away) {
    int stayer = 1 - away;
    return remote(g.seat[stayer]) && present(g, stayer) && enterPressed(g, stayer);
}

// Until every remote player is back. Past awayLimitSeconds, Enter at this
// keyboard takes the round for the one who stayed; an Enter before then
// counts for nothing.
Task<HoldEnd> waitForReturn(MatchState& s) {
    Game& g = s.g;
    Match& m = s.m;
    // Counted in waits, which take at least matchWaitMs each: whole seconds
    // of the clock could end the wait up to a second early.
    constexpr int limitWaits = awayLimitSeconds * 1000 / matchWaitMs;
    int waits = 0;
    for (int away = awayBoard(g); away >= 0; away = awayBoard(g), ++waits) {
        bool mayTake = waits >= limitWaits;
        if (m.hold != Hold::Away || m.holder != away || m.mayTake != mayTake)
            holdFor(s, Hold::Away, away, mayTake);
        noteAway(g, m);
        co_await idle(s);
        if (leaving(s) || drained(s))
            co_return HoldEnd::Left;
        if ((readKey(g, vkReturn) || (s.setup.nobodyHere && stayerTakes(g, away))) && m.mayTake) {
            g.loser = away;
            co_return HoldEnd::Taken;
        }
    }
    noteAway(g, m);
    co_return HoldEnd::Resumed;
}

// Until P again, from any player; a player who goes away meanwhile turns
// the pause into the wait for them.
Task<HoldEnd> waitForResume(MatchState& s, PauseKeys& keys) {
    for (;;) {
        co_await idle(s);
        if (leaving(s) || drained(s))
            co_return HoldEnd::Left;
        if (awayBoard(s.g) >= 0) {
            HoldEnd end = co_await waitForReturn(s);
            co_return end;
        }
        if (pausePressed(s.g, keys) != noPause)
            co_return HoldEnd::Resumed;
    }
}

// Nothing moves while the round holds, the round's clock neither; it goes
// on after a countdown.
Task<HoldEnd> holdRound(MatchState& s, PauseKeys& keys, RoundClock& clock) {
    long long heldAt = readClock(s.g);
    HoldEnd end = HoldEnd::Resumed;
    if (s.m.hold == Hold::Away)
        end = co_await waitForReturn(s);
    else
        end = co_await waitForResume(s, keys);
    if (end != HoldEnd::Resumed)
        co_return end;
    s.m.phase = MatchPhase::Resuming;
    bool counted = co_await waitSeconds(s, countdownSeconds);
    if (!counted)
        co_return HoldEnd::Left;
    // A P pressed in the countdown is spent here, and one pressed once play
    // shows again is a new press.
    pausePressed(s.g, keys);
    clock.started += readClock(s.g) - heldAt;
    s.m.phase = MatchPhase::Playing;
    show(s);
    restartPacing(s.g);
    co_return end;
}

// Holds the round when a remote player is away, or when P was pressed
// where the setup allows it; Resumed when it did not hold or goes on.
Task<HoldEnd> holdIfAsked(MatchState& s, PauseKeys& keys, RoundClock& clock) {
    int away = awayBoard(s.g);
    if (away >= 0) {
        noteAway(s.g, s.m);
        holdFor(s, Hold::Away, away);
        HoldEnd end = co_await holdRound(s, keys, clock);
        co_return end;
    }
    int by = s.setup.pause ? pausePressed(s.g, keys) : noPause;
    if (by == noPause)
        co_return HoldEnd::Resumed;
    holdFor(s, Hold::Pause, by >= 0 ? by : hereBoard(s.g, s.setup));
    HoldEnd end = co_await holdRound(s, keys, clock);
    co_return end;
}

// The round as it stands: its number, scores, frames and seconds of play;
// who won it once someone has. Its rows are counted frame by frame.
void noteResult(const Game& g, Match& m, const RoundClock& clock) {
    record::RoundResult& r = m.result;
    r.round = m.round;
    r.winner = g.loser >= 0 ? 1 - g.loser : -1;
    r.score[0] = g.p1.score;
    r.score[1] = g.p2.score;
    r.seconds = readClock(g) - clock.started;
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
Task<bool> playRound(MatchState& s) {
    const Game& g = s.g;
    Match& m = s.m;
    m.phase = MatchPhase::Playing;
    show(s);
    PauseKeys keys = {{true, true, true}}; // a P still held from before the round does not pause it
    RoundClock clock{};
    startClock(g, clock);
    m.result = record::RoundResult{};
    bool ended = false;
    while (!ended) {
        HoldEnd held = co_await holdIfAsked(s, keys, clock);
        if (held != HoldEnd::Resumed) {
            noteResult(g, m, clock);
            co_return held == HoldEnd::Taken;
        }
        showClock(s, clock);
        Scores before = scoresOf(g);
        bool on = co_await playFrame(s);
        ended = !on;
        countRows(before, g, m.result);
        m.result.frames += 1;
        if (s.setup.keeper != nullptr)
            s.setup.keeper->framePlayed();
    }
    noteResult(g, m, clock);
    if (g.loser >= 0)
        co_return true;
    nameLeaver(s); // the frame ended on an Escape
    co_return false;
}

// A demo has nobody to press Enter: it plays on by itself, so that it can
// be left running. False when Escape leaves instead.
Task<bool> restBeforeNextRound(MatchState& s) {
    s.m.phase = MatchPhase::RoundOver;
    bool rested = co_await waitSeconds(s, demoRestSeconds);
    co_return rested;
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
Task<bool> awaitNextRound(MatchState& s) {
    Game& g = s.g;
    Match& m = s.m;
    m.phase = MatchPhase::RoundOver;
    m.hereReady = s.setup.nobodyHere;
    // An Enter pressed while the round was played is no answer to this.
    readKey(g, vkReturn);
    for (int board = 0; board < 2; ++board) {
        enterPressed(g, board);
        m.ready[board] = g.seat[board].computer;
    }
    noteAway(g, m);
    show(s);
    for (;;) {
        co_await idle(s);
        if (leaving(s) || drained(s))
            co_return false;
        bool changed = false;
        if (readKey(g, vkReturn) && !m.hereReady) {
            m.hereReady = changed = true;
            for (int board = 0; board < 2; ++board)
                m.ready[board] = m.ready[board] || atThisKeyboard(g.seat[board]);
        }
        changed = noteRemoteReady(g, m) || changed;
        if (m.hereReady && m.ready[0] && m.ready[1])
            co_return true;
        if (changed)
            show(s);
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
Task<bool> playRounds(MatchState& s) {
    Game& g = s.g;
    Match& m = s.m;
    const GameSetup& setup = s.setup;
    int delay = steadyDelayMs;
    for (;;) {
        clearPicture(s.screen);
        // The computer's slips differ from round to round, as the pieces do.
        GameSetup round = setup;
        round.seed = setup.seed + static_cast<unsigned>(m.round);
        startGame(g, round);
        g.sleep_value = delay;
        m.winner = -1;
        if (setup.countdown) {
            bool counted = co_await countDown(s);
            if (!counted)
                co_return false;
        }
        bool played = co_await playRound(s);
        if (!played)
            co_return false;
        delay = g.sleep_value;
        m.winner = g.loser == 0 ? 1 : 0;
        m.wins[m.winner] += 1;
        if (setup.firstTo > 0 && m.wins[m.winner] >= setup.firstTo) {
            m.champion = m.winner;
            co_return false;
        }
        if (setup.lastRound != nullptr && *setup.lastRound)
            co_return false;
        endRound(setup, m.result, false, -1);
        bool demo = setup.computer[0] && setup.computer[1];
        bool next = false;
        if (demo)
            next = co_await restBeforeNextRound(s);
        else
            next = co_await awaitNextRound(s);
        if (!next)
            co_return true;
        m.round += 1;
    }
}

Task<void> playMatch(MatchState& s) {
    Match& m = s.m;
    m.round = 1;
    m.winner = -1;
    m.leaver = -1;
    m.champion = -1;
    m.holder = -1;
    m.result.round = 1;
    bool betweenRounds = co_await playRounds(s);
    endMatch(s.setup, m, betweenRounds);
    m.phase = MatchPhase::Over;
    show(s);
    co_await frameEnd(s);
    frameEnded(s.g);
}

} // namespace

// The match's pieces and penalty cells come from its own generator,
// seeded once from its seed.
MatchState::MatchState(const GameSetup& played, Outside& outside, ReadTape* playback, Match* shown)
    : setup(played), m(shown != nullptr ? *shown : own), draws(played.seed) {
    m = Match{};
    if (setup.keeper != nullptr && playback == nullptr)
        recorder.emplace(setup.keeper->tape());
    g.scene = {&screen, setup.libraryPieces ? &libraryDraws() : &draws};
    g.reads.outside = &outside;
    g.reads.tape = playback != nullptr ? playback : recorder ? &*recorder : nullptr;
}

SteppedMatch::SteppedMatch(const GameSetup& setup, Outside& outside, ReadTape* playback,
                           Match* shown)
    : state_(std::make_unique<MatchState>(setup, outside, playback, shown)) {}
SteppedMatch::~SteppedMatch() = default;
SteppedMatch::SteppedMatch(SteppedMatch&&) noexcept = default;
SteppedMatch& SteppedMatch::operator=(SteppedMatch&&) noexcept = default;

MatchStep SteppedMatch::advance() {
    MatchState& s = *state_;
    if (!s.run) {
        s.run.emplace(playMatch(s));
        s.run->start();
    } else if (!s.run->done()) {
        s.resume.resume();
    }
    return s.run->done() ? MatchStep{} : s.pending;
}

bool SteppedMatch::over() const { return state_->run && state_->run->done(); }
const Match& SteppedMatch::match() const { return state_->m; }
const GameSetup& SteppedMatch::setup() const { return state_->setup; }
const ScreenBuffer& SteppedMatch::screen() const { return state_->screen; }

void ConsolePresenter::present(const ScreenBuffer& screen) {
    for (int y = 0; y < pictureRows; ++y)
        for (int x = 0; x < pictureColumns; ++x) {
            const Cell& cell = screen.cell(x, y);
            if (!whole_ && shown_.cell(x, y) == cell)
                continue;
            ::gotoxy(x, y);
            ::setColor(cell.attr);
            ::putChar(cell.code);
            shown_.gotoxy(x, y);
            shown_.setColor(cell.attr);
            shown_.putChar(cell.code);
        }
    whole_ = false;
}

bool advanceDue(SteppedMatch& match, UnattendedOutside& outside, long long& dueMs, long long nowMs,
                void (*frameEnded)(void* context, const SteppedMatch& match), void* context) {
    while (dueMs <= nowMs) {
        outside.setClockMs(dueMs);
        MatchStep step = match.advance();
        if (step.kind == MatchStep::Kind::Over)
            return false;
        if (step.kind == MatchStep::Kind::Wait)
            dueMs += step.ms;
        else if (frameEnded != nullptr)
            frameEnded(context, match);
    }
    return true;
}

void driveMatch(SteppedMatch& match, void (*wait)(void* context, int ms), void* context) {
    ConsolePresenter presenter;
    for (MatchStep step = match.advance(); step.kind != MatchStep::Kind::Over;
         step = match.advance()) {
        presenter.present(match.screen());
        if (step.kind == MatchStep::Kind::FrameEnd)
            endFrame();
        else if (wait != nullptr)
            wait(context, step.ms);
        else
            sleepMs(step.ms);
    }
}

void playMatch(const GameSetup& setup, Match& match, ReadTape* playback) {
    SteppedMatch stepped(setup, platformOutside(), playback, &match);
    driveMatch(stepped);
}

Match runMatch(const GameSetup& setup) {
    GameSetup seeded = setup;
    seedGenerators(seeded);
    SteppedMatch match(seeded, platformOutside());
    driveMatch(match);
    return match.match();
}
