// SPDX-License-Identifier: MIT
// Shared set-up for tests that draw: a fresh in-memory back end and a
// fixed seed, plus helpers to build boards and pieces.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

// A player with the empty template board and a piece of the given type at (bx, by).
inline Player playerWith(int type, int bx, int by, int ox = 0, int id = 1, short color = 11) {
    Player p;
    initPlayer(p, ox, 0, id, color);
    p.bt = type;
    std::memcpy(p.block, shapeOf(type), sizeof p.block);
    p.bx = bx;
    p.by = by;
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
