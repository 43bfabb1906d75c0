// SPDX-License-Identifier: MIT
// The join code: 40 random bits as eight symbols of Crockford's base32
// (digits and letters without I, L, O and U), shown as XXXX-XXXX. Read in
// either case; I and L count as 1 and O as 0, and the separators people
// type (hyphens, spaces, dots, underscores) are ignored.
#pragma once

#include <string>
#include <string_view>

namespace net {

constexpr int joinCodeLength = 8;
constexpr int joinCodeBytes = 5; // 40 bits

struct JoinCode {
    char symbols[joinCodeLength]; // upper-case symbols of the alphabet
};

// The code of five random bytes (from the operating system's randomness).
JoinCode joinCodeFromBytes(const unsigned char (&bytes)[joinCodeBytes]);

// Reads a code as a person may type it; false when it is not one.
bool parseJoinCode(std::string_view text, JoinCode& code);

// True when all eight characters are symbols of the alphabet, as a code on
// the wire must be.
bool validSymbols(const char (&symbols)[joinCodeLength]);

// True for a code of a visibly weak form, the first a guesser tries: fewer
// than four different symbols (7777-7777, AAAA-BBBB, ABAB-ABAB), a second
// half that repeats the first (K3M9-K3M9), or a run, six or more of its
// seven steps from one symbol to the next being the same step in the
// alphabet (0123-4567, 7654-3210, ABCD-EFGH, 0246-8ACE). About one random
// code in 37,000 is weak.
bool weakJoinCode(const JoinCode& code);

// "XXXX-XXXX".
std::string formatJoinCode(const JoinCode& code);

// Compares in a time that does not depend on where the codes differ, so
// a guest cannot find a code one symbol at a time.
bool sameJoinCode(const JoinCode& a, const JoinCode& b);

} // namespace net
