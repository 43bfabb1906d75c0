// SPDX-License-Identifier: MIT
// The playfield model: one record per player, the board template, the piece
// shapes and the rules that move, lock and clear pieces.
#pragma once

#include "display/canvas.hpp"
#include "model/draws.hpp"

constexpr int mapWidth = 20;            // board columns, wall columns included
constexpr int mapHeight = 15;           // board rows, floor and the row below it included
constexpr int floorRow = mapHeight - 2; // row 13; the rows above it are the playing area
constexpr int blockWidth = 5;           // piece grid columns
constexpr int blockHeight = 5;          // piece grid rows
constexpr int entryColumn = 2;          // where every new piece's grid enters: column
constexpr int entryRow = -3;            // and row, above the board
// A cleared row scores one for each of its cells between the walls; the
// score grows by nothing else.
constexpr int rowScore = mapWidth - 2;

// Cell codes are characters of the console's OEM code page.
constexpr int cellEmpty = 32;
constexpr int cellWall = 178;
constexpr int cellSolid = 219;

struct Player {
    int table[mapHeight][mapWidth];     // the board, [row][column], row 0 on top
    int block[blockHeight][blockWidth]; // the falling piece in its own grid
    int bx;                             // board column of grid column 0; may be negative
    int by;                             // board row of grid row 0; negative while entering
    int bt;                             // type of the falling piece, 0..3
    int nb;                             // type of the next piece, 0..3
    int id;                             // 1 for the first player, 2 for the second
    int score;
    int ox;      // console column of board column 0
    int oy;      // console row of board row 0
    short color; // console attribute for everything drawn for this player
};

// Where boards are drawn and where their chance comes from: the back end's
// console and the C library's generator for the game without options, a
// match's own screen and generator for each match. Every call below that
// draws or draws a number takes it, the back end's by default.
struct Scene {
    Canvas* console;
    PieceDraws* draws;
};
Scene backEndScene();

extern const int masterTable[mapHeight][mapWidth];
extern const int block1[blockHeight][blockWidth]; // 2 x 2 square
extern const int block2[blockHeight][blockWidth]; // bar of four
extern const int block3[blockHeight][blockWidth]; // bar of three with a foot
extern const int block4[blockHeight][blockWidth]; // row of three with a cell on top

// The shape table of a piece type, or nullptr outside 0..3.
const int (*shapeOf(int type))[blockWidth];

// Spawning.
void initPlayer(Player& p, int ox, int oy, int id, short color, PieceDraws& draws = libraryDraws());
void newBlock(Player& p, PieceDraws& draws = libraryDraws());

// Piece rules. The tests return 1 or 0.
int collided(Player p);
int checkWallColl(Player p);
void rotateBlock(Player& p);
void placeBlock(Player& p);
int checkGameOver(Player p);
// The landing and wall tests on the caller's record, without the snapshot
// copy: the computer player asks them about hundreds of places a piece.
int collidedInPlace(const Player& p);
int checkWallCollInPlace(const Player& p);

// Line clearing, scoring and the penalty cell for the opponent.
void checkLines(Player& p, Player& p1, Player& p2, Scene scene = backEndScene());
// The clearing and scoring alone, without drawing or penalty: the number of
// full rows cleared. The computer player weighs its moves with it.
int clearFullRows(Player& p);
void addBlock(Player& p, Scene scene = backEndScene());
