// SPDX-License-Identifier: MIT
// What the fuzz targets share: a property every input must keep, and the
// way the byte-stream targets cut an input into the pieces they feed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken property says which and aborts, so that the fuzzer keeps the
// input that broke it (the program's name says which target).
inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The input's first byte, plus one, is the size of the pieces the rest is
// fed in; empty inputs have no rest.
struct CutInput {
    std::size_t piece;
    const std::uint8_t* bytes;
    std::size_t count;
};
inline CutInput cutInput(const std::uint8_t* data, std::size_t size) {
    return {std::size_t{data[0]} + 1, data + 1, size - 1};
}
