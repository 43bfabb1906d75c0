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

// One cell in the first run's attribute: two bytes of run and its code;
// what the terminal gets for the same change is a cursor move and the
// glyph, often more.
TEST(PictureRuns, OneCellCostsThreeBytes) {
    Picture from;
    Picture to = from;
    to[19 * pictureColumns + 2] = {'7', 7};
    std::string runs;
    appendChanges(from, to, runs);
    EXPECT_EQ(3U, runs.size());
    EXPECT_EQ(to, applied(from, runs));
}

// Two changes up to three cells apart share a run; four apart they do not,
// and the second run keeps the first one's attribute; a different
// attribute starts a run of its own, with the attribute.
TEST(PictureRuns, NearbyChangesShareARun) {
    struct Case {
        int gap;
        unsigned char attr;
        std::size_t size;
    };
    const Case cases[] = {{1, 7, 2 + 2}, {2, 7, 2 + 3}, {3, 7, 2 + 4},
                          {4, 7, 3 + 3}, {5, 7, 3 + 3}, {1, 11, 3 + 4}};
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
            static constexpr unsigned char codes[] = {219, 219, 32, 0, 178};
            PictureCell cell{pick(4) ? codes[pick(5)] : static_cast<unsigned char>(pick(256)),
                             static_cast<unsigned char>(pick(2) ? 7 + pick(6) : pick(256))};
            next[pick(pictureCells)] = cell;
        }
        std::string runs;
        appendChanges(shown, next, runs);
        ASSERT_TRUE(validRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                              static_cast<int>(runs.size())));
        ASSERT_LE(runs.size(), static_cast<std::size_t>(pictureCells * 4));
        shown = applied(shown, runs);
        ASSERT_TRUE(looksAlike(next, shown)) << "frame " << frame;
    }
    // The worst picture, every cell another attribute, still fits a message.
    Picture worst;
    for (int i = 0; i < pictureCells; ++i)
        worst[i] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i % 2 + 1)};
    std::string runs;
    appendChanges(Picture{}, worst, runs);
    EXPECT_LE(runs.size(), static_cast<std::size_t>(maxPayload));
}

// A blank shows only its background, so a blank that changes only its
// foreground is not sent, and blanks on the run's background join it.
TEST(PictureRuns, BlanksAreSentOnlyForTheirBackground) {
    Picture from;
    Picture to = from;
    to[10] = {' ', 11}; // only the foreground changed: nothing to send
    to[11] = {0, 7};    // shows as a space too
    std::string runs;
    appendChanges(from, to, runs);
    EXPECT_EQ("", runs);
    to[20] = {219, 12};
    to[21] = {' ', 11}; // written in 12, it looks the same
    to[22] = {219, 12};
    to[23] = {' ', 0x17}; // a blue background is no blank on black
    runs.clear();
    appendChanges(from, to, runs);
    EXPECT_EQ(3U + 3 + 4, runs.size());
    EXPECT_TRUE(looksAlike(to, applied(from, runs)));
    EXPECT_FALSE(looksAlike(PictureCell{' ', 0x17}, PictureCell{' ', 7}));
    EXPECT_FALSE(looksAlike(PictureCell{'a', 11}, PictureCell{'a', 12}));
}

TEST(PictureRuns, InvalidRunsAreNotApplied) {
    Picture p;
    std::string outside = {'\x92', '\xE1', 7, 'a', 'b'}; // 1175 and 1176
    EXPECT_EQ(p, applied(p, outside));
}

} // namespace
