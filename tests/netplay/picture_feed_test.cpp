// SPDX-License-Identifier: MIT
// One guest's feed of the game's picture: the whole picture first, then
// only what changed, the game's end once, and nothing after it.
#include <gtest/gtest.h>

#include <string>

#include "net/message_decoder.hpp"
#include "net/picture.hpp"
#include "netplay/picture_feed.hpp"

namespace {

using netplay::PictureFeed;

// What a guest makes of `bytes`: its picture, and the types in order.
struct Received {
    explicit Received(const std::string& bytes) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        for (std::size_t left = bytes.size(); left > 0 && !decoder.failed();) {
            std::size_t used = decoder.feed(p, left);
            p += used;
            left -= used;
            if (!decoder.hasMessage())
                continue;
            const net::Message& m = decoder.message();
            types += static_cast<char>('0' + static_cast<int>(m.type));
            if (m.type == net::MessageType::Picture || m.type == net::MessageType::Delta)
                net::applyRuns(m.runs, m.runsLength, picture);
        }
    }

    net::MessageDecoder decoder{net::Sender::Host};
    net::Picture picture;
    std::string types;
};

std::string typesOf(std::initializer_list<net::MessageType> types) {
    std::string out;
    for (net::MessageType type : types)
        out += static_cast<char>('0' + static_cast<int>(type));
    return out;
}

// A whole picture sent again on the way starts the guest over: what it had
// is gone.
TEST(PictureFeed, SendsTheWholePictureThenChangesThenTheEndOnce) {
    PictureFeed feed;
    net::Picture picture;
    picture[5].code = 'x';
    Received first(feed.next(picture, false));
    EXPECT_EQ(typesOf({net::MessageType::Picture}), first.types);
    EXPECT_EQ(picture, first.picture);
    EXPECT_EQ("", feed.next(picture, false)) << "nothing changed";

    net::Picture changed = picture;
    changed[7].code = 'y';
    std::string delta = feed.next(changed, false);
    EXPECT_LT(delta.size(), net::pictureCells / 8U) << "only the change";
    Received second(delta);
    EXPECT_EQ(typesOf({net::MessageType::Delta}), second.types);

    net::Picture later;
    later[9].code = 'b';
    Received again(feed.whole(later, false));
    EXPECT_EQ(typesOf({net::MessageType::Picture}), again.types);
    EXPECT_EQ(later, again.picture);
    EXPECT_EQ("", feed.next(later, false)) << "the guest has it all";
    std::string wholeThenBack = feed.whole(changed, false);
    wholeThenBack += feed.next(later, false);
    Received back(wholeThenBack);
    EXPECT_EQ(later, back.picture) << "brought back to the picture before the whole one";

    Received last(feed.next(later, true));
    EXPECT_EQ(typesOf({net::MessageType::End}), last.types);
    EXPECT_TRUE(feed.ended());
    EXPECT_EQ("", feed.next(picture, true));
    EXPECT_EQ("", feed.whole(picture, true));
}

} // namespace
