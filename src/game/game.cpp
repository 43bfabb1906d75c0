// SPDX-License-Identifier: MIT
// Start-up, the frame skeleton and shutdown.
#include <cstdlib>
#include <ctime>

#include "display/console.hpp"
#include "display/draw.hpp"
#include "display/layout.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/platform.hpp"
#include "game/reads.hpp"
#include "game/rhythm.hpp"

namespace {

bool atThisKeyboard(const GameSetup& setup, int board) {
    return !setup.computer[board] && setup.remote[board].pressed == nullptr;
}

// A person alone at a keyboard, this one or another, may play with either
// set of keys.
void seatPlayers(Game& g, const GameSetup& setup) {
    bool alone = atThisKeyboard(setup, 0) != atThisKeyboard(setup, 1);
    for (int board = 0; board < 2; ++board) {
        Seat& seat = g.seat[board];
        seat = Seat{};
        seat.computer = setup.computer[board];
        seat.remote = seat.computer ? RemoteKeys{} : setup.remote[board];
        seat.eitherKeys = (alone || seat.remote.pressed != nullptr) && !seat.computer;
        if (seat.computer)
            startComputer(seat.brain, setup.level[board], board, setup.seed);
        g.keys[board] = setup.keys[board];
    }
}

} // namespace

// Every keyboard is polled each time, so that none keeps a press owed to a
// later frame.
bool escapePressed(Game& g) {
    bool escape = readKey(g, vkEscape);
    g.escapeFrom = escape ? -1 : g.escapeFrom;
    for (int board = 0; board < 2; ++board) {
        const Seat& seat = g.seat[board];
        if (seat.remote.pressed != nullptr && readAction(g, board, Action::Escape)) {
            g.escapeFrom = escape ? g.escapeFrom : board;
            escape = true;
        }
    }
    return escape;
}

void startGame(Game& g) { startGame(g, GameSetup{}); }

void startGame(Game& g, const GameSetup& setup) {
    seatPlayers(g, setup);
    g.hook = setup.frameHook;
    g.tick = 0;
    g.speedUp = setup.speedUp;
    g.nextFall = 0;
    g.frames = 0;
    g.loser = -1;
    g.escapeFrom = -1;
    // A match's result line names the winner in any case.
    g.namesLoser = setup.noColor && !setup.match;
    initPlayer(g.p1, boardColumn[0], 0, 1, playerOneColor, *g.scene.draws);
    initPlayer(g.p2, boardColumn[1], 0, 2, playerTwoColor, *g.scene.draws);
    g.fps = 0;
    g.sleep_value = 1;
    g.last_time = readClock(g);
    g.fpsShown = 0;
    g.delayShown = 0;
    drawTable(g.p1, *g.scene.console);
    drawTable(g.p2, *g.scene.console);
}

bool frameBeforeDelay(Game& g) {
    computerPhase(g);
    inputPhase(g);
    bool falls = fallsNow(g);
    if (falls)
        gravityPhase(g);
    if (falls && lockPhase(g))
        return false; // the top-out frame's picture, "Game Over" with it, ends the frame
    beforeDelay(g);
    return true;
}

bool frameAfterDelay(Game& g) {
    paceAfterDelay(g);
    return !escapePressed(g);
}

bool playFrame(Game& g) {
    bool on = frameBeforeDelay(g);
    if (on) {
        if (g.sleep_value > 0)
            sleepMs(g.sleep_value);
        on = frameAfterDelay(g);
    }
    endFrame();
    frameEnded(g);
    return on;
}

// The prompt goes wherever the cursor was left, in the last attribute:
// under "Game Over" after a top-out, under the readouts after Escape.
void closeGame() {
    ::print("\nKilepeshez nyomjon ENTER-t");
    readChar();
}

void beforeDelay(const Game& g) {
    if (g.hook.beforeDelay != nullptr)
        g.hook.beforeDelay(g.hook.context);
}

void frameEnded(const Game& g) {
    if (g.hook.frameEnded != nullptr)
        g.hook.frameEnded(g.hook.context);
}

void runGame() { runGame(GameSetup{}); }

unsigned seedGenerators(GameSetup& setup) {
    if (setup.seed == 0)
        setup.seed = static_cast<unsigned>(std::time(nullptr));
    if (!setup.match || setup.libraryPieces)
        std::srand(setup.seed);
    return setup.seed;
}

void runGame(const GameSetup& setup) {
    GameSetup seeded = setup;
    seedGenerators(seeded);
    Game g;
    startGame(g, seeded);
    while (playFrame(g)) {
    }
    closeGame();
}
