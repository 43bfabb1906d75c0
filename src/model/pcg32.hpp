// SPDX-License-Identifier: MIT
// The game's own generator: PCG32 (the XSH RR output of a 64-bit linear
// congruential state, by M. E. O'Neill). Written into the game so that a
// seed gives the same numbers on every system, compiler and C library:
// a match kept on one machine plays back the same pieces on another.
#pragma once

#include <cstdint>

class Pcg32 {
public:
    // The reference seeding: `state` starts the sequence, `stream` chooses
    // one of 2^63 sequences.
    Pcg32(std::uint64_t state, std::uint64_t stream);
    std::uint32_t next();
    // Uniform in 0 .. bound - 1 (bound above 0), without the bias of `% bound`.
    std::uint32_t below(std::uint32_t bound);

private:
    std::uint64_t state_ = 0;
    std::uint64_t increment_;
};
