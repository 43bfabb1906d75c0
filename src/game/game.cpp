// SPDX-License-Identifier: MIT
// Start-up, the frame skeleton and shutdown.
#include <cstdlib>
#include <ctime>

#include "display/console.hpp"
#include "display/draw.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "game/platform.hpp"
#include "game/rhythm.hpp"

namespace {

// A person alone against the computer may play with either set of keys.
void seatPlayers(Game& g, const GameSetup& setup) {
    bool alone = setup.computer[0] != setup.computer[1];
    for (int board = 0; board < 2; ++board) {
        Seat& seat = g.seat[board];
        seat = Seat{};
        seat.computer = setup.computer[board];
        seat.eitherKeys = alone && !seat.computer;
        if (seat.computer)
            startComputer(seat.brain, setup.level[board], board, setup.computerSeed);
    }
}

} // namespace

void startGame(Game& g) { startGame(g, GameSetup{}); }

void startGame(Game& g, const GameSetup& setup) {
    seatPlayers(g, setup);
    g.tick = 0;
    initPlayer(g.p1, 0, 0, 1, 11);
    initPlayer(g.p2, 30, 0, 2, 12);
    g.fps = 0;
    g.sleep_value = 1;
    g.last_time = clockSeconds();
    g.fpsShown = 0;
    g.delayShown = 0;
    drawTable(g.p1);
    drawTable(g.p2);
}

bool playFrame(Game& g) {
    computerPhase(g);
    inputPhase(g);
    if (g.tick % gravityPeriod == 0)
        gravityPhase(g);
    if (g.tick % gravityPeriod == 0 && lockPhase(g)) {
        endFrame(); // the top-out frame's picture, "Game Over" with it
        return false;
    }
    pace(g);
    bool escape = keyPressed(vkEscape);
    endFrame();
    return !escape;
}

// The prompt goes wherever the cursor was left, in the last attribute:
// under "Game Over" after a top-out, under the readouts after Escape.
void closeGame() {
    print("\nKilepeshez nyomjon ENTER-t");
    readChar();
}

void runGame() { runGame(GameSetup{}); }

// The computer's generator starts from the clock too, so that its slips
// differ from game to game as the pieces do.
void runGame(const GameSetup& setup) {
    auto now = static_cast<unsigned>(std::time(nullptr));
    std::srand(now);
    GameSetup seeded = setup;
    seeded.computerSeed = now;
    Game g;
    startGame(g, seeded);
    while (playFrame(g)) {
    }
    closeGame();
}
