// SPDX-License-Identifier: MIT
// A match's chance folded into one number: for a fixed seed, the first
// thousand pieces and penalty cells its own generator draws, in the order
// and with the bounds the game draws them. The same number on every build
// is what lets a match kept on one system play back on another; the core's
// tests (Linux, and clang with libc++) and the Windows build's check under
// Wine each compare it with `keptDrawsDigest`.
#pragma once

#include <cstdint>

#include "fnv1a.hpp"
#include "model/draws.hpp"

namespace draws_digest {

constexpr std::uint32_t seed = 20261208U;
constexpr int draws = 1000;

// What this game's Linux build (g++ and libstdc++) drew when the generator
// was written: a golden value on purpose, since it is how builds on other
// compilers, C++ libraries and systems prove that they draw the same.
// Never change it to make a test pass; a change means every kept match
// plays back other pieces.
constexpr std::uint64_t keptDrawsDigest = 0xadb77c373ea9b094ULL;

// Each draw folded in: a piece (0 .. 3), then a penalty cell's row
// (6 .. 9) and column (1 .. 18), as the game asks for them.
inline std::uint64_t digestOfDraws(std::uint32_t matchSeed) {
    OwnDraws own(matchSeed);
    Fnv1a digest;
    auto fold = [&digest](int drawn) { digest.fold(static_cast<std::uint64_t>(drawn)); };
    for (int i = 0; i < draws; ++i) {
        fold(own.draw(4));
        fold(own.draw(4) + 6);
        fold(own.draw(18) + 1);
    }
    return digest.value();
}

} // namespace draws_digest
