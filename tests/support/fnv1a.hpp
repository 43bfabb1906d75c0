// SPDX-License-Identifier: MIT
// A 64-bit FNV-1a hash, folded a value at a time: what the checks that
// compare builds (the draws' digest, a final picture's hash) print and
// compare, the same on every compiler and system.
#pragma once

#include <cstdint>

class Fnv1a {
public:
    void fold(std::uint64_t value) {
        value_ ^= value;
        value_ *= 1099511628211ULL;
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 14695981039346656037ULL;
};
