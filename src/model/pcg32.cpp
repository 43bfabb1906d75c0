// SPDX-License-Identifier: MIT
#include "model/pcg32.hpp"

namespace {

constexpr std::uint64_t multiplier = 6364136223846793005ULL;

} // namespace

Pcg32::Pcg32(std::uint64_t state, std::uint64_t stream) : increment_((stream << 1U) | 1U) {
    next();
    state_ += state;
    next();
}

std::uint32_t Pcg32::next() {
    std::uint64_t old = state_;
    state_ = old * multiplier + increment_;
    auto shifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
    auto rotation = static_cast<std::uint32_t>(old >> 59U);
    return (shifted >> rotation) | (shifted << ((32U - rotation) & 31U));
}

// Numbers below 2^32 mod bound would come up once more often than the
// rest: they are drawn again.
std::uint32_t Pcg32::below(std::uint32_t bound) {
    std::uint32_t threshold = (0U - bound) % bound;
    for (;;) {
        std::uint32_t r = next();
        if (r >= threshold)
            return r % bound;
    }
}
