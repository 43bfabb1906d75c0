// SPDX-License-Identifier: MIT
// Where a board's chance comes from: its next piece, and the row and column
// of a penalty cell sent to it. The game without options draws from the C
// library's rand(), seeded by the calendar, as it always has; every match
// draws from a generator of its own, so that its seed gives the same match
// on every system and two matches in one process never share a draw.
#pragma once

#include <cstdint>

#include "model/pcg32.hpp"

class PieceDraws {
public:
    // 0 .. n - 1.
    virtual int draw(int n) = 0;

protected:
    ~PieceDraws() = default;
};

// rand() % n: the process's one C library generator.
PieceDraws& libraryDraws();

// A match's own: the same numbers for the same seed everywhere.
class OwnDraws final : public PieceDraws {
public:
    explicit OwnDraws(std::uint32_t seed) : generator_(seed, piecesStream) {}
    int draw(int n) override {
        return static_cast<int>(generator_.below(static_cast<std::uint32_t>(n)));
    }

private:
    // Which of the generator's sequences the pieces take; any other use
    // of a match's seed takes another.
    static constexpr std::uint64_t piecesStream = 0x626c6f636bULL;
    Pcg32 generator_;
};
