// SPDX-License-Identifier: MIT
// Players' names: what a person of any script may call themselves, and
// every way untrusted bytes could pass for a name and are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/player_name.hpp"

namespace {

TEST(PlayerName, TakesTextOfAnyScriptAndRefusesTheRest) {
    struct Case {
        std::string name;
        const char* fault; // a word of the refusal; nullptr for a name
    };
    // clang-format off
    const Case cases[] = {
        {"", nullptr},
        {"Ada", nullptr},
        {"Mr. O-Brien_2 (x)!", "16"},
        {"Mr. O-Brien_2 (x", nullptr},           // 16
        {"J\xc3\xb6rg M\xc3\xbcller", nullptr},  // Jörg Müller
        {"\xe5\xbc\xa0\xe4\xbc\x9f", nullptr},   // two CJK letters
        {"\xd8\xb9\xd9\x84\xd9\x8a", nullptr},   // Arabic
        {"\xe0\xa4\xb9\xe0\xa4\xbf", nullptr},   // Devanagari with its vowel sign
        {"e\xcc\x81", nullptr},                  // e and a combining acute
        {"\xcc\x81" "e", "mark"},
        {std::string(16, 'x') + "\xc3\xa9", "16"},
        {std::string(17, 'x'), "16"},
        {std::string(16, '\xe5'), "UTF-8"},
        {"a\tb", "control"}, {"a\x7f", "control"}, {std::string("a\0b", 3), "control"},
        {"a\xc2\x85", "control"},                // NEL, C1
        {"\xc0\xa1", "UTF-8"}, {"\xe0\x80\xa1", "UTF-8"}, {"\xf0\x80\x80\xa1", "UTF-8"}, // overlong
        {"\xed\xa0\x80", "UTF-8"},               // a surrogate
        {"\xf4\x90\x80\x80", "UTF-8"},           // past U+10FFFF
        {"ab\xc3", "UTF-8"}, {"\x80", "UTF-8"}, {"\xc3(", "UTF-8"}, {"\xff", "UTF-8"},
        {"a\xe2\x80\xae" "b", "turns"},          // right-to-left override
        {"a\xe2\x81\xa6" "b", "turns"},          // an isolate
        {"a\xd8\x9c", "turns"},                  // the Arabic letter mark
        {"a\xe2\x80\x8b" "b", "seen"},           // zero width space
        {"\xef\xbb\xbf" "a", "seen"},            // byte order mark
        {"a\xc2\xa0" "b", "seen"},               // no-break space
        {"\xe3\x85\xa4", "seen"},                // a Hangul filler
        {"a\xf3\xa0\x80\x81", "seen"},           // a tag
        {"\xf0\x9f\x98\x80", "letter"},          // an emoji
        {"\xe2\x96\x88", "letter"},              // a full block
        {"\xee\x80\x80", "letter"},              // private use
        {"\xef\xb7\x90", "letter"},              // a noncharacter
        {"a<b", "<"}, {"Tom & Jerry", "&"}, {"\"x\"", "\""}, {"O'Hara", "'"}, {"a>b", "<"},
        {" Ada", "space"}, {"Ada ", "space"}, {"A  da", "space"}, {" ", "space"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const char* fault = net::checkPlayerName(c.name);
        if (c.fault == nullptr)
            EXPECT_EQ(nullptr, fault) << testing::PrintToString(c.name) << ": " << fault;
        else
            EXPECT_NE(nullptr, fault ? std::strstr(fault, c.fault) : nullptr)
                << testing::PrintToString(c.name) << ": " << (fault ? fault : "taken");
    }
}

} // namespace
