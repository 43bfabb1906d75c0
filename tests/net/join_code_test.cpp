// SPDX-License-Identifier: MIT
// Join codes: made from random bytes, read as people type them, shown in
// one way, compared.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "net/join_code.hpp"

namespace {

using namespace net;

std::string fromBytes(unsigned char a, unsigned char b, unsigned char c, unsigned char d,
                      unsigned char e) {
    const unsigned char bytes[joinCodeBytes] = {a, b, c, d, e};
    return formatJoinCode(joinCodeFromBytes(bytes));
}

TEST(JoinCode, FortyBitsMakeEightSymbols) {
    EXPECT_EQ("0000-0000", fromBytes(0, 0, 0, 0, 0));
    EXPECT_EQ("ZZZZ-ZZZZ", fromBytes(255, 255, 255, 255, 255));
    EXPECT_EQ("0000-0001", fromBytes(0, 0, 0, 0, 1));
    EXPECT_EQ("Z000-0000", fromBytes(0xF8, 0, 0, 0, 0)); // the top five bits
    EXPECT_EQ("0000-000Z", fromBytes(0, 0, 0, 0, 31));
    // Every byte's every bit reaches the code: 40 codes, all different.
    std::set<std::string> codes;
    for (int bit = 0; bit < 40; ++bit) {
        unsigned char b[joinCodeBytes] = {};
        b[bit / 8] = static_cast<unsigned char>(1 << (bit % 8));
        codes.insert(formatJoinCode(joinCodeFromBytes(b)));
    }
    EXPECT_EQ(40U, codes.size());
}

TEST(JoinCode, ReadAsPeopleTypeIt) {
    struct Case {
        const char* typed;
        const char* read; // "" when it is no code
    };
    const Case cases[] = {
        {"7K3M-Q9XD", "7K3M-Q9XD"},
        {"7k3mq9xd", "7K3M-Q9XD"},
        {" 7k3m.Q9XD ", "7K3M-Q9XD"},
        {"7K-3M_Q9-XD", "7K3M-Q9XD"},
        {"oOiIlL00", "0011-1100"}, // O as 0, I and L as 1
        {"7K3M-Q9X", ""},          // seven
        {"7K3M-Q9XD0", ""},        // nine
        {"7K3M-Q9XU", ""},         // U is no symbol
        {"7K3M-Q9X\xc3\xa9", ""},
        {"", ""},
        {"--------", ""},
    };
    for (const Case& c : cases) {
        JoinCode code;
        bool ok = parseJoinCode(c.typed, code);
        EXPECT_EQ(*c.read != '\0', ok) << c.typed;
        EXPECT_EQ(c.read, ok ? formatJoinCode(code) : "") << c.typed;
    }
}

TEST(JoinCode, OnlyUpperCaseSymbolsGoOnTheWire) {
    JoinCode code;
    ASSERT_TRUE(parseJoinCode("ABCD-EFGH", code));
    EXPECT_TRUE(validSymbols(code.symbols));
    for (char bad : {'a', 'I', 'L', 'O', 'U', '-', ' ', '\0', '\x80'}) {
        JoinCode broken = code;
        broken.symbols[5] = bad;
        EXPECT_FALSE(validSymbols(broken.symbols)) << static_cast<int>(bad);
    }
}

TEST(JoinCode, SameOnlyWhenEverySymbolIs) {
    JoinCode a;
    JoinCode b;
    ASSERT_TRUE(parseJoinCode("ABCD-EFGH", a));
    ASSERT_TRUE(parseJoinCode("abcdefgh", b));
    EXPECT_TRUE(sameJoinCode(a, b));
    for (int i = 0; i < joinCodeLength; ++i) {
        JoinCode c = a;
        c.symbols[i] = '0';
        EXPECT_FALSE(sameJoinCode(a, c)) << i;
    }
}

// The forms a guesser tries first are weak; random codes next to them are not.
TEST(JoinCode, VisiblyWeakCodes) {
    const std::pair<const char*, bool> codes[] = {
        {"7777-7777", true},  {"AAAA-BBBB", true},  {"ABAB-ABAB", true},  {"ABCA-BCAB", true},
        {"K3M9-K3M9", true},  {"0123-4567", true},  {"7654-3210", true},  {"ABCD-EFGH", true},
        {"0123-4560", true},  {"ZYXW-VTSR", true},  {"0246-8ACE", true},  {"7K3M-Q9XD", false},
        {"0123-7K3M", false}, {"AAAB-Q9XD", false}, {"K3M9-K3MA", false}, {"1112-3456", false},
    };
    for (const auto& [text, weak] : codes) {
        JoinCode code;
        ASSERT_TRUE(parseJoinCode(text, code));
        EXPECT_EQ(weak, weakJoinCode(code)) << text;
    }
}

} // namespace
