// SPDX-License-Identifier: MIT
// One guest's feed of the game's picture: the whole picture first, then
// only what changed, the game's end once, and nothing after it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/picture.hpp"
#include "netplay/picture_feed.hpp"
#include "wire.hpp"

namespace {

using netplay::PictureFeed;

using Types = std::vector<net::MessageType>;

// What a guest makes of `bytes`.
Heard received(const std::string& bytes) {
    Heard heard;
    EXPECT_TRUE(heard.take(bytes));
    return heard;
}

// A whole picture sent again on the way starts the guest over: what it had
// is gone.
TEST(PictureFeed, SendsTheWholePictureThenChangesThenTheEndOnce) {
    PictureFeed feed;
    net::Picture picture;
    picture[5].code = 'x';
    Heard first = received(feed.next(picture, false));
    EXPECT_EQ(Types{net::MessageType::Picture}, first.types);
    EXPECT_EQ(picture, first.picture);
    EXPECT_EQ("", feed.next(picture, false)) << "nothing changed";

    net::Picture changed = picture;
    changed[7].code = 'y';
    std::string delta = feed.next(changed, false);
    EXPECT_LT(delta.size(), net::pictureCells / 8U) << "only the change";
    Heard second = received(delta);
    EXPECT_EQ(Types{net::MessageType::Delta}, second.types);

    net::Picture later;
    later[9].code = 'b';
    Heard again = received(feed.whole(later, false));
    EXPECT_EQ(Types{net::MessageType::Picture}, again.types);
    EXPECT_EQ(later, again.picture);
    EXPECT_EQ("", feed.next(later, false)) << "the guest has it all";
    std::string wholeThenBack = feed.whole(changed, false);
    wholeThenBack += feed.next(later, false);
    Heard back = received(wholeThenBack);
    EXPECT_EQ(later, back.picture) << "brought back to the picture before the whole one";

    Heard last = received(feed.next(later, true));
    EXPECT_EQ(Types{net::MessageType::End}, last.types);
    EXPECT_TRUE(feed.ended());
    EXPECT_EQ("", feed.next(picture, true));
    EXPECT_EQ("", feed.whole(picture, true));
}

} // namespace
