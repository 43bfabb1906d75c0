// SPDX-License-Identifier: MIT
#include "cli/wrap_words.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The longest line of `text`, in bytes.
std::size_t widest(const std::string& text) {
    std::istringstream lines(text);
    std::size_t most = 0;
    for (std::string line; std::getline(lines, line);)
        most = std::max(most, line.size());
    return most;
}

// The words of `text`, in order, whatever separates them.
std::string words(const std::string& text) {
    std::istringstream in(text);
    std::string all;
    for (std::string word; in >> word;)
        all += word + "|";
    return all;
}

const std::string tooSmall = "blockduel: the terminal is 50x20 (columns x rows); the game needs at "
                             "least 56x21. Make the window larger and start again.";

TEST(WrapWords, BreaksBetweenWordsWithinTheWidth) {
    for (int width : {20, 37, 50, 79}) {
        std::string wrapped = wrapWords(tooSmall, width);
        EXPECT_LE(widest(wrapped), static_cast<std::size_t>(width)) << wrapped;
        EXPECT_EQ(words(wrapped), words(tooSmall)) << "no word lost, split or moved";
        EXPECT_EQ(wrapped.find(" \n"), std::string::npos) << "no space left at a line's end";
        EXPECT_EQ(wrapped.find("\n "), std::string::npos) << "no space at a line's start";
    }
    EXPECT_EQ(wrapWords(tooSmall, 50), "blockduel: the terminal is 50x20 (columns x rows);\n"
                                       "the game needs at least 56x21. Make the window\n"
                                       "larger and start again.");
}

TEST(WrapWords, FillsEachLineAsFarAsTheNextWordAllows) {
    // A word that fits exactly at the edge stays on its line.
    EXPECT_EQ(wrapWords("aaaa bbbb cccc", 9), "aaaa bbbb\ncccc");
    EXPECT_EQ(wrapWords("aaaa bbbb cccc", 8), "aaaa\nbbbb\ncccc");
    EXPECT_EQ(wrapWords("aaaa bbbb", 100), "aaaa bbbb");
}

TEST(WrapWords, KeepsWhatItCannotOrNeedNotBreak) {
    EXPECT_EQ(wrapWords("a /a/very/long/path b", 6), "a\n/a/very/long/path\nb");
    EXPECT_EQ(wrapWords("first line\n  indented second", 40), "first line\n  indented second");
    EXPECT_EQ(wrapWords("one two\nthree four", 5), "one\ntwo\nthree\nfour");
    EXPECT_EQ(wrapWords("", 10), "");
    EXPECT_EQ(wrapWords("ends with a break\n", 10), "ends with\na break\n");
    EXPECT_EQ(wrapWords(tooSmall, 0), tooSmall) << "an unknown width wraps nothing";
    EXPECT_EQ(wrapWords(tooSmall, -3), tooSmall);
}

} // namespace
