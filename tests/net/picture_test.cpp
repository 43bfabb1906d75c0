// SPDX-License-Identifier: MIT
// The picture's runs: applied to the picture they were made from, they
// give the new one, whatever changed; and they stay small.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "net/message_decoder.hpp"
#include "net/picture.hpp"

namespace {

using namespace net;

Picture applied(Picture start, const std::string& runs) {
    applyRuns(reinterpret_cast<const unsigned char*>(runs.data()), static_cast<int>(runs.size()),
              start);
    return start;
}

TEST(PictureRuns, NothingChangedSendsNothing) {
    Picture p;
    std::string runs;
    appendChanges(p, p, runs);
    EXPECT_EQ("", runs);
}

// One cell: three bytes of run and its code; what the terminal gets for
// the same change is a cursor move and the glyph, seven bytes or more.
TEST(PictureRuns, OneCellCostsFourBytes) {
    Picture from;
    Picture to = from;
    to[19 * pictureColumns + 2] = {'7', 7};
    std::string runs;
    appendChanges(from, to, runs);
    EXPECT_EQ(4u, runs.size());
    EXPECT_EQ(to, applied(from, runs));
}

// Two changes up to three cells apart share a run; four apart they do not; a
// different attribute starts a run of its own.
TEST(PictureRuns, NearbyChangesShareARun) {
    struct Case {
        int gap;
        unsigned char attr;
        std::size_t size;
    };
    const Case cases[] = {{1, 7, 3 + 2}, {2, 7, 3 + 3}, {3, 7, 3 + 4},
                          {4, 7, 4 + 4}, {5, 7, 4 + 4}, {1, 11, 4 + 4}};
    for (const Case& c : cases) {
        Picture from;
        Picture to = from;
        to[100] = {'a', 7};
        to[100 + c.gap] = {'b', c.attr};
        std::string runs;
        appendChanges(from, to, runs);
        EXPECT_EQ(c.size, runs.size()) << c.gap << " " << int(c.attr);
        EXPECT_EQ(to, applied(from, runs));
    }
}

// Random pictures and random edits of them, as frames: every delta is
// valid, rebuilds the next picture, and is no longer than a whole one.
TEST(PictureRuns, RandomEditsRebuildTheNextPicture) {
    std::mt19937 random(5);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Picture shown;
    Picture next;
    for (int frame = 0; frame < 2000; ++frame) {
        int edits = frame % 100 == 0 ? pictureCells : pick(40);
        for (int e = 0; e < edits; ++e) {
            PictureCell cell{static_cast<unsigned char>(pick(3) ? 219 : pick(256)),
                             static_cast<unsigned char>(pick(2) ? 11 : pick(256))};
            next[pick(pictureCells)] = cell;
        }
        std::string runs;
        appendChanges(shown, next, runs);
        ASSERT_TRUE(validRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                              static_cast<int>(runs.size())));
        ASSERT_LE(runs.size(), static_cast<std::size_t>(pictureCells * 4));
        shown = applied(shown, runs);
        ASSERT_EQ(next, shown) << "frame " << frame;
    }
    // The worst picture, every cell another attribute, still fits a message.
    Picture worst;
    for (int i = 0; i < pictureCells; ++i)
        worst[i] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i % 2 + 1)};
    std::string runs;
    appendChanges(Picture{}, worst, runs);
    EXPECT_LE(runs.size(), static_cast<std::size_t>(maxPayload));
}

TEST(PictureRuns, InvalidRunsAreNotApplied) {
    Picture p;
    std::string outside = {'\x92', '\xE1', 7, 'a', 'b'}; // 1175 and 1176
    EXPECT_EQ(p, applied(p, outside));
}

} // namespace
