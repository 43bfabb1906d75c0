// SPDX-License-Identifier: MIT
// The Windows build's draws under Wine: the first thousand pieces and
// penalty cells of a fixed seed must fold into the digest the Linux build
// drew (tests/support/draws_digest.hpp), or a match kept on one system
// would play back other pieces on the other. Exits 1, saying both
// digests, when they differ.
#include <cstdio>

#include "draws_digest.hpp"

int main() {
    unsigned long long drawn = draws_digest::digestOfDraws(draws_digest::seed);
    unsigned long long kept = draws_digest::keptDrawsDigest;
    if (drawn == kept)
        return 0;
    std::fprintf(stderr, "the Windows build draws digest %016llx, the Linux build %016llx\n", drawn,
                 kept);
    return 1;
}
