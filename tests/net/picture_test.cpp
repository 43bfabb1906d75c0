// SPDX-License-Identifier: MIT
// The picture's runs: applied to the picture they were made from, they
// give the new one, whatever changed; and they stay small.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "net/message_decoder.hpp"
#include "net/picture.hpp"

namespace {

using namespace net;

Picture applied(Picture start, const std::string& runs) {
    applyRuns(reinterpret_cast<const unsigned char*>(runs.data()), static_cast<int>(runs.size()),
              start);
    return start;
}

// Changes to a blank picture and the bytes of their runs. One cell in the
// first run's attribute costs two bytes of run and its code; what the
// terminal gets for it is a cursor move and the glyph, often more. Changes
// up to three cells apart share a run; four apart they do not, and the
// second run keeps the first one's attribute; another attribute starts a
// run of its own, with the attribute. A blank shows only its background,
// so a blank that changes only its foreground is not sent, and blanks on
// the run's background join it.
TEST(PictureRuns, ChangesCostWhatTheirRunsNeed) {
    struct Change {
        int cell;
        PictureCell to;
    };
    struct Case {
        std::vector<Change> changes;
        std::size_t size;
    };
    const Case cases[] = {
        {{}, 0},
        {{{1066, {'7', 7}}}, 3},
        {{{100, {'a', 7}}, {101, {'b', 7}}}, 2 + 2},
        {{{100, {'a', 7}}, {102, {'b', 7}}}, 2 + 3},
        {{{100, {'a', 7}}, {103, {'b', 7}}}, 2 + 4},
        {{{100, {'a', 7}}, {104, {'b', 7}}}, 3 + 3},
        {{{100, {'a', 7}}, {105, {'b', 7}}}, 3 + 3},
        {{{100, {'a', 7}}, {101, {'b', 11}}}, 3 + 4},
        {{{10, {' ', 11}}, {11, {0, 7}}}, 0}, // 0 shows as a space too
        // In 12, the blank looks the same; a blue background is no blank on black.
        {{{20, {219, 12}}, {21, {' ', 11}}, {22, {219, 12}}, {23, {' ', 0x17}}}, 3 + 3 + 4},
    };
    for (const Case& c : cases) {
        Picture from;
        Picture to = from;
        for (const Change& change : c.changes)
            to[static_cast<std::size_t>(change.cell)] = change.to;
        std::string runs;
        appendChanges(from, to, runs);
        EXPECT_EQ(c.size, runs.size()) << testing::PrintToString(runs);
        EXPECT_TRUE(looksAlike(to, applied(from, runs))) << testing::PrintToString(runs);
    }
    EXPECT_FALSE(looksAlike(PictureCell{'a', 11}, PictureCell{'a', 12}));
    Picture from;
    Picture to = from;
    for (int i = 200; i <= 200 + maxRunLength; ++i)
        to[static_cast<std::size_t>(i)] = {'z', 7};
    std::string runs;
    appendChanges(from, to, runs);
    EXPECT_EQ(2U + maxRunLength + 2 + 1, runs.size()) << "one cell more than a run holds";
    EXPECT_EQ(to, applied(from, runs));
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

// Runs that leave the picture are not applied, not even the valid ones
// before them.
TEST(PictureRuns, InvalidRunsAreNotApplied) {
    Picture p;
    std::string runs = {'\x00', '\x10', 'x', '\x92', '\xE1', 7, 'a', 'b'}; // 0; 1175 and 1176
    EXPECT_EQ(p, applied(p, runs));
}

} // namespace
