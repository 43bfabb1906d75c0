// SPDX-License-Identifier: MIT
// The constant board template and the four piece shapes.
#include "model/model.hpp"

namespace {

constexpr int W = cellWall;
constexpr int E = cellEmpty;
constexpr int S = cellSolid;

} // namespace

// Rows 0..12 are walled playing area, row 13 the floor, row 14 all code 0.
const int masterTable[mapHeight][mapWidth] = {
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, E, W},
    {W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W, W},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// clang-format off
const int block1[blockHeight][blockWidth] = {
    {E, E, E, E, E},
    {E, E, S, S, E},
    {E, E, S, S, E},
    {E, E, E, E, E},
    {E, E, E, E, E},
};

const int block2[blockHeight][blockWidth] = {
    {E, E, S, E, E},
    {E, E, S, E, E},
    {E, E, S, E, E},
    {E, E, S, E, E},
    {E, E, E, E, E},
};

const int block3[blockHeight][blockWidth] = {
    {E, E, S, E, E},
    {E, E, S, E, E},
    {E, E, S, S, E},
    {E, E, E, E, E},
    {E, E, E, E, E},
};

const int block4[blockHeight][blockWidth] = {
    {E, E, E, E, E},
    {E, E, S, E, E},
    {E, S, S, S, E},
    {E, E, E, E, E},
    {E, E, E, E, E},
};
// clang-format on

const int (*shapeOf(int type))[blockWidth] {
    switch (type) {
    case 0: return block1;
    case 1: return block2;
    case 2: return block3;
    case 3: return block4;
    default: return nullptr;
    }
}
