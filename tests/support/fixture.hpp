// SPDX-License-Identifier: MIT
// Shared set-up for tests that draw: a fresh in-memory back end and a
// fixed seed, a started game, and helpers to build boards and pieces.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "game/game.hpp"
#include "memory_backend.hpp"
#include "model/model.hpp"

class Fresh : public ::testing::Test {
protected:
    void SetUp() override {
        mem::reset();
        std::srand(7);
    }
    static mem::Backend& screen() { return mem::backend(); }
};

// A game started on a fresh back end, a person on each board unless
// start() is given another setup or seed.
class FreshGame : public Fresh {
protected:
    Game g;
    void SetUp() override { start(GameSetup{}); }
    void start(const GameSetup& setup, unsigned seed = 7) {
        mem::reset();
        std::srand(seed);
        startGame(g, setup);
    }
    // Plays frames until `count` have run or the game ends; false if it ended.
    bool play(int count) {
        for (int n = 0; n < count; ++n)
            if (!playFrame(g))
                return false;
        return true;
    }
};

// Gives the player a fresh piece of the given type, its grid at (bx, by).
inline void give(Player& p, int type, int bx, int by) {
    p.bt = type;
    std::memcpy(p.block, shapeOf(type), sizeof p.block);
    p.bx = bx;
    p.by = by;
}

// A player with the empty template board and a piece of the given type at (bx, by).
inline Player playerWith(int type, int bx, int by, int ox = 0, int id = 1, short color = 11) {
    Player p;
    initPlayer(p, ox, 0, id, color);
    give(p, type, bx, by);
    return p;
}

// Fills board row j with solid cells, leaving the listed columns free.
inline void fillRow(Player& p, int j, std::initializer_list<int> gaps = {}) {
    for (int c = 1; c < mapWidth - 1; ++c)
        p.table[j][c] = cellSolid;
    for (int c : gaps)
        p.table[j][c] = cellEmpty;
}

inline int solidCells(const Player& p, int rowFrom, int rowTo) {
    int n = 0;
    for (int r = rowFrom; r <= rowTo; ++r)
        for (int c = 1; c < mapWidth - 1; ++c)
            n += p.table[r][c] == cellSolid;
    return n;
}
