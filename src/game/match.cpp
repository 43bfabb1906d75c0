// SPDX-License-Identifier: MIT
// The rounds of a match: a countdown where both sides need one, the round
// itself with its pause, and the wait for every player's Enter between
// rounds. Escape from any keyboard ends the match.
#include "game/match.hpp"

#include <cstdlib>
#include <ctime>

#include "display/console.hpp"
#include "display/layout.hpp"
#include "game/keys.hpp"
#include "game/match_lines.hpp"
#include "game/platform.hpp"

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
    clock.started = clockSeconds();
    clock.shown = -1;
}

void showClock(RoundClock& clock) {
    long long seconds = clockSeconds() - clock.started;
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
    sleepMs(matchWaitMs);
    endFrame();
    frameEnded(g);
}

bool atThisKeyboard(const Seat& seat) { return !seat.computer && seat.remote.pressed == nullptr; }

bool present(const Seat& seat) {
    return seat.remote.present == nullptr || seat.remote.present(seat.remote.context);
}

// The player who pressed Escape is named where the other side is at
// another keyboard: this keyboard's player, or the remote one.
void nameLeaver(const Game& g, Match& m, const GameSetup& setup) {
    bool remoteSeats = g.seat[0].remote.pressed != nullptr || g.seat[1].remote.pressed != nullptr;
    int here = setup.viewer == Viewer::PlayerOne ? 0 : setup.viewer == Viewer::PlayerTwo ? 1 : -1;
    m.leaver = g.escapeFrom >= 0 ? g.escapeFrom : remoteSeats ? here : -1;
}

// Escape from any keyboard ends the match.
bool leaving(Game& g, Match& m, const GameSetup& setup) {
    if (!escapePressed(g))
        return false;
    nameLeaver(g, m, setup);
    return true;
}

bool enterPressed(const Seat& seat) {
    return seat.remote.pressed != nullptr &&
           seat.remote.pressed(seat.remote.context, Action::Enter);
}

// P toggles on its press: held across polls it counts once.
bool pausePressed(bool& held) {
    bool down = keyPressed(vkP);
    bool press = down && !held;
    held = down;
    return press;
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
    g.last_time = clockSeconds(); // the rate readout counts the round's frames only
    return true;
}

// Nothing moves until P is pressed again, the round's clock neither; false
// when Escape leaves instead.
bool holdPause(Game& g, Match& m, const GameSetup& setup, bool& pHeld, RoundClock& clock) {
    m.phase = MatchPhase::Paused;
    show(m, setup);
    long long pausedAt = clockSeconds();
    do {
        idle(g);
        if (leaving(g, m, setup))
            return false;
    } while (!pausePressed(pHeld));
    clock.started += clockSeconds() - pausedAt;
    m.phase = MatchPhase::Playing;
    show(m, setup);
    g.last_time = clockSeconds();
    return true;
}

// Frames until a player tops out (true) or someone leaves (false).
bool playRound(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::Playing;
    show(m, setup);
    bool pHeld = true; // a P still held from before the round does not pause it
    RoundClock clock;
    startClock(clock);
    for (;;) {
        if (setup.pause && pausePressed(pHeld) && !holdPause(g, m, setup, pHeld, clock))
            return false;
        showClock(clock);
        if (!playFrame(g))
            break;
    }
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

// Enter at this keyboard readies its players; a remote player readies by their own Enter, and is no
// longer ready once gone. True when all are ready; false when someone leaves.
bool awaitNextRound(Game& g, Match& m, const GameSetup& setup) {
    m.phase = MatchPhase::RoundOver;
    m.hereReady = false;
    // An Enter pressed while the round was played is no answer to this.
    keyPressed(vkReturn);
    for (int board = 0; board < 2; ++board) {
        enterPressed(g.seat[board]);
        m.ready[board] = g.seat[board].computer;
    }
    show(m, setup);
    for (;;) {
        idle(g);
        if (leaving(g, m, setup))
            return false;
        bool changed = false;
        if (keyPressed(vkReturn) && !m.hereReady) {
            m.hereReady = changed = true;
            for (int board = 0; board < 2; ++board)
                m.ready[board] = m.ready[board] || atThisKeyboard(g.seat[board]);
        }
        for (int board = 0; board < 2; ++board) {
            const Seat& seat = g.seat[board];
            if (seat.remote.pressed == nullptr)
                continue;
            bool enter = enterPressed(seat);
            bool ready = (m.ready[board] || enter) && present(seat);
            changed = changed || ready != m.ready[board];
            m.ready[board] = ready;
        }
        if (m.hereReady && m.ready[0] && m.ready[1])
            return true;
        if (changed)
            show(m, setup);
    }
}

} // namespace

void playMatch(const GameSetup& setup, Match& m) {
    m = Match{};
    m.round = 1;
    m.winner = -1;
    m.leaver = -1;
    m.champion = -1;
    Game g;
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
            break;
        if (!playRound(g, m, setup))
            break;
        delay = g.sleep_value;
        m.winner = g.loser == 0 ? 1 : 0;
        m.wins[m.winner] += 1;
        if (setup.firstTo > 0 && m.wins[m.winner] >= setup.firstTo) {
            m.champion = m.winner;
            break;
        }
        bool demo = setup.computer[0] && setup.computer[1];
        if (!(demo ? restBeforeNextRound(g, m, setup) : awaitNextRound(g, m, setup)))
            break;
        m.round += 1;
    }
    m.phase = MatchPhase::Over;
    show(m, setup);
    endFrame();
    frameEnded(g);
}

void runMatch(const GameSetup& setup) {
    GameSetup seeded = setup;
    seedGenerators(seeded);
    Match m;
    playMatch(seeded, m);
}
