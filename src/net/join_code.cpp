// SPDX-License-Identifier: MIT
// Making, reading, showing and comparing join codes.
#include "net/join_code.hpp"

#include <algorithm>
#include <iterator>

namespace net {

namespace {

constexpr char alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

// The symbol's value, -1 for a character that is none, -2 for a separator.
int valueOf(char c) {
    if (c == '-' || c == ' ' || c == '.' || c == '_')
        return -2;
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (c == 'O')
        return 0;
    if (c == 'I' || c == 'L')
        return 1;
    for (int i = 0; i < 32; ++i)
        if (alphabet[i] == c)
            return i;
    return -1;
}

} // namespace

JoinCode joinCodeFromBytes(const unsigned char (&bytes)[joinCodeBytes]) {
    unsigned long long bits = 0;
    for (unsigned char b : bytes)
        bits = bits << 8 | b;
    JoinCode code;
    for (int i = joinCodeLength - 1; i >= 0; --i, bits >>= 5)
        code.symbols[i] = alphabet[bits & 31];
    return code;
}

bool parseJoinCode(std::string_view text, JoinCode& code) {
    int count = 0;
    for (char c : text) {
        int value = valueOf(c);
        if (value == -2)
            continue;
        if (value < 0 || count == joinCodeLength)
            return false;
        code.symbols[count++] = alphabet[value];
    }
    return count == joinCodeLength;
}

bool validSymbols(const char (&symbols)[joinCodeLength]) {
    return std::all_of(std::begin(symbols), std::end(symbols), [](char c) {
        return c >= '0' && c <= 'Z' && valueOf(c) >= 0 && alphabet[valueOf(c)] == c;
    });
}

bool weakJoinCode(const JoinCode& code) {
    const char* s = code.symbols;
    int distinct = 0;
    for (int i = 0; i < joinCodeLength; ++i)
        distinct += std::find(s, s + i, s[i]) == s + i ? 1 : 0;
    constexpr int half = joinCodeLength / 2;
    bool repeated = std::equal(s, s + half, s + half);
    int steps[63] = {}; // how many steps of each size, -31 to 31
    for (int i = 1; i < joinCodeLength; ++i)
        steps[valueOf(s[i]) - valueOf(s[i - 1]) + 31] += 1;
    return distinct < 4 || repeated || *std::max_element(steps, steps + 63) >= joinCodeLength - 2;
}

std::string formatJoinCode(const JoinCode& code) {
    std::string text(code.symbols, joinCodeLength / 2);
    text += '-';
    text.append(code.symbols + joinCodeLength / 2, joinCodeLength / 2);
    return text;
}

bool sameJoinCode(const JoinCode& a, const JoinCode& b) {
    volatile unsigned char difference = 0;
    for (int i = 0; i < joinCodeLength; ++i)
        difference = difference | static_cast<unsigned char>(a.symbols[i] ^ b.symbols[i]);
    return difference == 0;
}

} // namespace net
